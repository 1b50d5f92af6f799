#pragma once

#include "platform/mdi_frame.h"

// The main window of zyr: caption "Zyr", the two menu layouts, the accelerator
// table, the toolbar and the status bar.
class CMainFrame : public MdiFrame {
    Q_OBJECT
public:
    explicit CMainFrame(Application& app);
};
