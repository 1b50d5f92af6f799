#pragma once

#include <QIcon>

// The program's pictures, drawn in code: the toolbar buttons (16 by 15
// pixels) and the icons of the main frame and the child windows.
QIcon toolBarIcon(int commandId);
QIcon applicationIcon();
QIcon infoIcon();
QIcon listIcon();
