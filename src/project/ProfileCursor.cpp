#include "project/ProfileCursor.h"
