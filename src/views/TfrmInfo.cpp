#include "views/TfrmInfo.h"
