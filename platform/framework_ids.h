#pragma once

// Command ids that belong to the framework rather than to the program: the
// standard File, Edit, Window, View-bar and Help commands. The platform layer
// handles the window arrangement, bar toggling and exit itself.
namespace FrameworkId {
enum : int {
    FileNew = 57600,
    FileOpen = 57601,
    FileSave = 57603,
    FileSaveAs = 57604,
    FilePrintSetup = 57606,
    FilePrint = 57607,
    // the recent files of the File menu, newest first
    FileRecent1 = 57616,
    FileRecent4 = 57619,
    EditCopy = 57634,
    EditCut = 57635,
    EditPaste = 57637,
    EditUndo = 57643,
    WindowArrange = 57649,
    WindowCascade = 57650,
    WindowTile = 57651,
    AppAbout = 57664,
    AppExit = 57665,
    NextPane = 57680,
    PrevPane = 57681,
    ViewToolbar = 59392,
    ViewStatusBar = 59393,
};
}
