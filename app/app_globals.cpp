#include "app/app_globals.h"

int spinning = 0;
Quaternion spinStep;
CZyrDoc* g_galaxyDoc = nullptr;
CZyrView* g_galaxyView = nullptr;
