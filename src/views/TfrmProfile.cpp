#include "views/TfrmProfile.h"
