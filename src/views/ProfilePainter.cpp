#include "views/ProfilePainter.h"
