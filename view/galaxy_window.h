#pragma once

#include "model/quaternion.h"

class CZyrDoc;
class CZyrView;

// Spin mode of the galaxy view: while set, every idle call turns the view by
// spinStep instead of advancing the simulation.
extern int spinning;
extern Quaternion spinStep;

// The galaxy document and view last created or looked up. The document and the
// view clear them when they go, so they never point at a deleted window.
extern CZyrDoc* g_galaxyDoc;
extern CZyrView* g_galaxyView;
