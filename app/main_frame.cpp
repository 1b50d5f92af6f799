#include "app/main_frame.h"

#include "app/command_table.h"
#include "view/icons.h"

CMainFrame::CMainFrame(Application& app) : MdiFrame(app) {
    setBaseTitle(QStringLiteral("Zyr"));
    setWindowIcon(applicationIcon());
    move(0, 0);
    resize(515, 575);
    setCommandPrompts(commandPrompts());
    createToolBar(toolBarButtons(), QSize(16, 15));
    createStatusBar();
    setMenuLayouts(mainFrameMenu(), childWindowMenu());
    setAccelerators(acceleratorTable());
}
