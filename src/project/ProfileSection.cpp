#include "project/ProfileSection.h"
