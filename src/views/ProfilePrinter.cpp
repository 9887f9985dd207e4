#include "views/ProfilePrinter.h"
