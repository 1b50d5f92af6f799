#include "view/galaxy_window.h"

int spinning = 0;
Quaternion spinStep;
CZyrDoc* g_galaxyDoc = nullptr;
CZyrView* g_galaxyView = nullptr;
