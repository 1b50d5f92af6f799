#include "app/command_table.h"

#include "platform/framework_ids.h"
#include "view/command_ids.h"
#include "view/icons.h"

namespace {

using Item = MenuItem;
namespace F = FrameworkId;
namespace C = CommandId;

Item filePopup() {
    return Item::popup("&File", {
                                    Item::command("&Open...\tCtrl+O", F::FileOpen),
                                    Item::command("&Replay Snapshots...", C::ReplaySnapshots),
                                    Item::command("&Save\tCtrl+S", F::FileSave),
                                    Item::command("Save &As...", F::FileSaveAs),
                                    Item::command("Export for &GADGET-4...", C::ExportGadget4),
                                    Item::separator(),
                                    Item::recentFiles(),
                                    Item::command("E&xit", F::AppExit),
                                });
}

Item editPopup() {
    return Item::popup("&Edit", {
                                    Item::command("&Undo\tCtrl+Z", F::EditUndo),
                                    Item::separator(),
                                    Item::command("Cu&t\tCtrl+X", F::EditCut),
                                    Item::command("&Copy\tCtrl+C", F::EditCopy),
                                    Item::command("&Paste\tCtrl+V", F::EditPaste),
                                });
}

Item scalePopup() {
    return Item::popup("Scale", {
                                    Item::command("Solar System", C::ScaleSolarSystem),
                                    Item::command("Galactic", C::ScaleGalactic),
                                    Item::command("Earth - Sun", C::ScaleEarthSun),
                                });
}

Item windowPopup() {
    return Item::popup("&Window", {
                                      Item::command("&Cascade", F::WindowCascade),
                                      Item::command("&Tile", F::WindowTile),
                                      Item::command("&Arrange Icons", F::WindowArrange),
                                  });
}

Item helpPopup() { return Item::popup("&Help", {Item::command("&About Zyr...", F::AppAbout)}); }

// The simulation items of the Galaxy menu with their ids, or all with the
// main frame's inert id.
std::vector<Item> galaxyItems(bool childWindow) {
    auto id = [childWindow](int own) { return childWindow ? own : static_cast<int>(C::NoWindow); };
    Item listOptions = childWindow ? Item::popup("List Options", {
                                                                     Item::command("Show List", C::ShowList),
                                                                     Item::command("12 pt", C::ListFont12),
                                                                     Item::command("14 pt", C::ListFont14),
                                                                     Item::command("16 pt", C::ListFont16),
                                                                 })
                                   : Item::command("List Options", C::NoWindow);
    return {
        Item::command("New Galaxy\t Ctrl+N", F::FileNew),
        Item::command("New Model...", C::NewModel),
        Item::command("Run\t Alt + R", id(C::Run)),
        Item::command("Stop\t Alt + .", id(C::Stop)),
        Item::command("Forward One Step\t Alt + F", id(C::ForwardOneStep)),
        Item::separator(),
        Item::command("Show Info", id(C::ShowInfo)),
        Item::command("Energy Plot", id(C::EnergyPlot)),
        Item::command("Stop Bookkeeping", id(C::StopBookkeeping)),
        Item::command("Exact Energy", id(C::ExactEnergy)),
        Item::command("Halve Timestep\tAlt + [", id(C::HalveTimestep)),
        Item::command("Double Timestep\tAlt + ]", id(C::DoubleTimestep)),
        Item::separator(),
        listOptions,
        Item::command("Galaxy Settings", C::GalaxySettings),
        Item::command("Model Settings", C::ModelSettings),
        Item::command("Add Galaxy...", C::AddGalaxy),
        scalePopup(),
    };
}

Item viewPopup() {
    return Item::popup(
        "&View", {
                     Item::popup("Star Size", {
                                                  Item::command("0", C::StarSize0),
                                                  Item::command("1", C::StarSize1),
                                                  Item::command("2", C::StarSize1 + 1),
                                                  Item::command("3", C::StarSize1 + 2),
                                                  Item::command("4", C::StarSize1 + 3),
                                                  Item::command("5", C::StarSize1 + 4),
                                                  Item::command("Balls", C::Balls),
                                              }),
                     Item::popup("Star Color", {
                                                   Item::command("Red", C::StarColorRed),
                                                   Item::command("Green", C::StarColorGreen),
                                                   Item::command("Blue", C::StarColorBlue),
                                                   Item::command("Yellow", C::StarColorYellow),
                                                   Item::command("Purple", C::StarColorPurple),
                                                   Item::command("Cyan", C::StarColorCyan),
                                                   Item::command("White", C::StarColorWhite),
                                                   Item::command("Orange", C::StarColorOrange),
                                               }),
                     Item::popup("Hide Color", {
                                                   Item::command("Red", C::HideRed),
                                                   Item::command("Green", C::HideGreen),
                                                   Item::command("Blue", C::HideBlue),
                                                   Item::command("Yellow", C::HideYellow),
                                                   Item::command("Purple", C::HidePurple),
                                                   Item::command("Cyan", C::HideCyan),
                                                   Item::command("White", C::HideWhite),
                                               }),
                     Item::command("Redshift", C::Redshift),
                     Item::command("Depth Cueing", C::DepthCueing),
                     Item::command("Show Box", C::ShowBox),
                     Item::command("Black Background", C::BlackBackground),
                     Item::separator(),
                     Item::command("ChromaDepth", C::ChromaDepth),
                     Item::separator(),
                     Item::command("Trace\tCtrl+T", C::Trace),
                     Item::command("Follow Centre of Mass", C::FollowCentre),
                     Item::separator(),
                     Item::command("&Toolbar", F::ViewToolbar),
                     Item::command("&Status Bar", F::ViewStatusBar),
                 });
}

Item speedPopup() {
    return Item::popup("Simulation Speed", {
                                               Item::command("Full Speed", C::FullSpeed),
                                               Item::command("250 Steps per Second", C::Speed250),
                                               Item::command("60 Steps per Second", C::Speed60),
                                               Item::command("25 Steps per Second", C::Speed25),
                                               Item::command("10 Steps per Second", C::Speed10),
                                           });
}

Item actionPopup() {
    return Item::popup("Action", {
                                     Item::command("Zoom In\tAlt + +", C::ZoomIn),
                                     Item::command("Zoom Out\tAlt + -", C::ZoomOut),
                                     Item::separator(),
                                     Item::command("Grab and Spin", C::GrabAndSpin),
                                     Item::command("Rotate z axis", C::RotateZAxis),
                                     Item::command("Wobble", C::Wobble),
                                     Item::command("Move Left", C::MoveLeft),
                                     Item::command("Move Right", C::MoveRight),
                                     Item::separator(),
                                     Item::command("Center Image", C::CenterImage),
                                     Item::command("Centre Galaxy", C::CentreGalaxy),
                                     Item::separator(),
                                     speedPopup(),
                                 });
}

}  // namespace

MenuLayout mainFrameMenu() {
    return {filePopup(), editPopup(), Item::popup("Galaxy", galaxyItems(false)), windowPopup(), helpPopup()};
}

MenuLayout childWindowMenu() {
    return {filePopup(),   editPopup(),  viewPopup(), actionPopup(), Item::popup("Galaxy", galaxyItems(true)),
            windowPopup(), helpPopup()};
}

std::vector<Accelerator> acceleratorTable() {
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers alt = Qt::AltModifier;
    const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
    return {
        {Qt::Key_N, ctrl, F::FileNew},
        {Qt::Key_O, ctrl, F::FileOpen},
        {Qt::Key_S, ctrl, F::FileSave},
        {Qt::Key_P, ctrl, F::FilePrint},
        {Qt::Key_Z, ctrl, F::EditUndo},
        {Qt::Key_Backspace, alt, F::EditUndo},
        {Qt::Key_X, ctrl, F::EditCut},
        {Qt::Key_Delete, shift, F::EditCut},
        {Qt::Key_C, ctrl, F::EditCopy},
        {Qt::Key_Insert, ctrl, F::EditCopy},
        {Qt::Key_V, ctrl, F::EditPaste},
        {Qt::Key_Insert, shift, F::EditPaste},
        {Qt::Key_F6, none, F::NextPane},
        {Qt::Key_F6, shift, F::PrevPane},
        {Qt::Key_T, ctrl, C::Trace},
        {Qt::Key_R, alt, C::Run},
        {Qt::Key_Period, alt, C::Stop},
        {Qt::Key_F, alt, C::ForwardOneStep},
        {Qt::Key_BracketLeft, alt, C::HalveTimestep},
        {Qt::Key_BracketRight, alt, C::DoubleTimestep},
        // The key that carries = and +, as the menu's "Alt + +" means it.
        {Qt::Key_Equal, alt, C::ZoomIn},
        {Qt::Key_Minus, alt, C::ZoomOut},
        {Qt::Key_Up, ctrl, C::RotateUp},
        {Qt::Key_Down, ctrl, C::RotateDown},
        {Qt::Key_Right, ctrl, C::RotateRight},
        {Qt::Key_Left, ctrl, C::RotateLeft},
    };
}

std::vector<ToolButton> toolBarButtons() {
    std::vector<ToolButton> buttons;
    const int ids[] = {F::FileNew, F::FileOpen, F::FileSave, 0, F::EditCut, F::EditCopy, F::EditPaste, 0,
                       F::FilePrint, F::AppAbout};
    for (int id : ids)
        buttons.push_back({id, id ? toolBarIcon(id) : QIcon()});
    return buttons;
}

std::vector<CommandPrompt> commandPrompts() {
    return {
        {F::FileNew, "Create a new document\nNew"},
        {C::NewModel, "Build a galaxy in equilibrium from a model\nNew Model"},
        {F::FileOpen, "Open an existing document\nOpen"},
        {C::ReplaySnapshots, "Show a series of snapshots one after another as a run\nReplay Snapshots"},
        {F::FileSave, "Save the active document\nSave"},
        {F::FileSaveAs, "Save the active document with a new name\nSave As"},
        {F::FileRecent1, "Open this document"},
        {F::FileRecent1 + 1, "Open this document"},
        {F::FileRecent1 + 2, "Open this document"},
        {F::FileRecent4, "Open this document"},
        {F::FilePrint, "Print the active document\nPrint"},
        {F::EditCopy, "Copy the selection and put it on the Clipboard\nCopy"},
        {F::EditCut, "Cut the selection and put it on the Clipboard\nCut"},
        {F::EditPaste, "Insert Clipboard contents\nPaste"},
        {F::EditUndo, "Undo the last action\nUndo"},
        {F::WindowArrange, "Arrange icons at the bottom of the window\nArrange Icons"},
        {F::WindowCascade, "Arrange windows so they overlap\nCascade Windows"},
        {F::WindowTile, "Arrange windows as non-overlapping tiles\nTile Windows"},
        {F::AppAbout, "Display program information, version number and copyright\nAbout"},
        {F::AppExit, "Quit the application; prompts to save documents\nExit"},
        {F::ViewToolbar, "Show or hide the toolbar\nToggle ToolBar"},
        {F::ViewStatusBar, "Show or hide the status bar\nToggle StatusBar"},
    };
}
