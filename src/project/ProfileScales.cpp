#include "project/ProfileScales.h"
