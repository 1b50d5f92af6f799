#include "app/zyr_app.h"

#include <QSettings>
#include <QStatusBar>
#include <algorithm>
#include <cmath>
#include <utility>

#include "app/documents.h"
#include "app/main_frame.h"
#include "dialogs/about_dlg.h"
#include "dialogs/font_size_dlg.h"
#include "dialogs/galaxy_settings_dlg.h"
#include "dialogs/model_settings_dlg.h"
#include "dialogs/new_model_dlg.h"
#include "dialogs/note_view.h"
#include "dialogs/rotate_dlg.h"
#include "dialogs/star_info_help_dlg.h"
#include "model/galaxy.h"
#include "physics/methods.h"
#include "platform/doc_template.h"
#include "platform/framework_ids.h"
#include "platform/prompter.h"
#include "platform/recent_files.h"
#include "view/command_ids.h"
#include "view/energy_plot_view.h"
#include "view/galaxy_window.h"
#include "view/info_view.h"
#include "view/zyr_view.h"

namespace {

// The template's first view, with a document and a window made for it when
// there is none; created tells whether the window is new.
View* firstViewOrNew(DocTemplate* docTemplate, bool& created) {
    Document* doc = docTemplate->firstDocument();
    if (!doc) doc = docTemplate->createDocument();
    created = false;
    if (View* view = doc->firstView()) return view;
    ChildFrame* frame = docTemplate->createFrame(doc);
    docTemplate->initialUpdateFrame(frame, doc);
    created = true;
    return frame->view();
}

View* firstViewOf(const DocTemplate* docTemplate) {
    const Document* doc = docTemplate->firstDocument();
    return doc ? doc->firstView() : nullptr;
}

template <typename Doc, typename Frame, typename ViewClass>
std::unique_ptr<DocTemplate> makeTemplate(int resourceId, const char* templateString) {
    return std::make_unique<DocTemplate>(
        resourceId, QString::fromLatin1(templateString), [] { return std::make_unique<Doc>(); },
        [] { return new Frame; }, [] { return new ViewClass; });
}

// The speeds offered in the Simulation Speed menu, by command: steps per
// second, 0 for full speed.
constexpr std::pair<int, int> kSpeeds[] = {{CommandId::FullSpeed, 0},
                                           {CommandId::Speed250, 250},
                                           {CommandId::Speed60, 60},
                                           {CommandId::Speed25, 25},
                                           {CommandId::Speed10, 10}};
const QString kSpeedKey = QStringLiteral("Simulation/StepsPerSecond");

// The speed chosen in an earlier run. Anything else found there (a file
// edited by hand, or left by another version) runs at full speed.
int savedSimulationSpeed() {
    bool ok = false;
    const int saved = QSettings().value(kSpeedKey).toInt(&ok);
    const bool offered = std::ranges::find(kSpeeds, saved, &std::pair<int, int>::second) != std::end(kSpeeds);
    return ok && offered ? saved : 0;
}

Quaternion aboutViewX(double halfAngle) { return {std::cos(halfAngle), std::sin(halfAngle), 0.0, 0.0}; }
Quaternion aboutViewY(double halfAngle) { return {std::cos(halfAngle), 0.0, std::sin(halfAngle), 0.0}; }

}  // namespace

CZyrApp::CZyrApp(QStringList commandLine) : Application(std::move(commandLine)) { registerCommands(); }

CZyrApp::~CZyrApp() = default;

bool CZyrApp::InitInstance() {
    if (!generateGalaxy()) return false;
    savedChanges_ = g_galaxy.changes;
    running = 0;
    spinning = 0;
    spinStep = Quaternion();
    setSimulationSpeed(savedSimulationSpeed());

    galaxyTemplate = addDocTemplate(makeTemplate<CZyrDoc, CChildFrame, CZyrView>(
        129, "Galaxy\nGalaxy\nGalaxy\nGalaxies (*.zyr)\n.zyr\nZyr.Document\nZyr Document"));
    infoTemplate = addDocTemplate(
        makeTemplate<CInfoDoc, CInfoFrm, CInfoView>(130, "\nInfo\n\n\n\nInfo.Document\nInfo Document"));
    noteTemplate = addDocTemplate(makeTemplate<CNoteDoc, CNoteFrm, CNoteView>(
        131, "\nNotebook\n\n\n\nNotebook.Document\nNoteBook Document"));
    plotTemplate = addDocTemplate(
        makeTemplate<CPlotDoc, CPlotFrm, CEnergyPlotView>(132, "\nEnergy\n\n\n\nEnergy.Document\nEnergy Document"));

    setMainFrame(std::make_unique<CMainFrame>(*this));
    if (!processShellCommand()) return false;
    mainFrame()->show();
    // A galaxy file named on the command line loads as File > Open loads it;
    // one that cannot be read is reported and the generated galaxy stays.
    if (!commandLine().isEmpty()) openGalaxyFile(commandLine().front());
    return true;
}

bool CZyrApp::OnIdle(long idleCount) {
    Application::OnIdle(idleCount);
    CGalaxy& g = g_galaxy;
    // Closing the galaxy window stops the simulation.
    if (!FindGalaxyView()) running = 0;
    if (running && !spinning) {
        if (replay_) {
            replayStep();
        } else {
            g.iteration += 1;
            integrationStep(g_galaxy);
            g.changes += 1;
            stopIfNotFinite();
        }
    }
    if (spinning) g.orientation = spinStep * g.orientation;
    if ((running || spinning) && FindGalaxyView()) g_galaxyView->RedrawNow();
    if (idleCount % 10 == 0) redrawReportWindows();
    showChanges();
    return true;
}

void CZyrApp::redrawReportWindows() {
    if (View* info = firstViewOf(infoTemplate)) info->RedrawNow();
    if (View* list = firstViewOf(noteTemplate)) list->RedrawNow();
    if (View* plot = firstViewOf(plotTemplate)) plot->RedrawNow();
}

int CZyrApp::FindGalaxyView() {
    Document* doc = galaxyTemplate->firstDocument();
    if (!doc) return 0;
    g_galaxyDoc = static_cast<CZyrDoc*>(doc);
    View* view = doc->firstView();
    if (!view) return 0;
    g_galaxyView = static_cast<CZyrView*>(view);
    return 1;
}

void CZyrApp::ShowGalaxyWindow() {
    bool created = false;
    View* view = firstViewOrNew(galaxyTemplate, created);
    g_galaxyDoc = static_cast<CZyrDoc*>(view->document());
    g_galaxyView = static_cast<CZyrView*>(view);
}

void CZyrApp::registerCommands() {
    namespace C = CommandId;
    CGalaxy& g = g_galaxy;

    onCommand(FrameworkId::FileNew, [this] { OnNewGalaxy(); });
    onCommand(FrameworkId::FileOpen, [this] { OnFileOpen(); });
    for (int i = 0; i < RecentFiles::kSize; ++i) onCommand(FrameworkId::FileRecent1 + i, [this, i] { OnRecentFile(i); });
    onCommand(C::ReplaySnapshots, [this] { OnReplaySnapshots(); });
    onCommand(C::Run, [this] { OnRun(); });
    onCommand(C::Stop, [this] { OnStop(); });
    onCommand(C::ForwardOneStep, [this] { OnForwardOneStep(); });
    onCommand(C::HalveTimestep, [this] { OnHalveTimestep(); });
    onCommand(C::DoubleTimestep, [this] { OnDoubleTimestep(); });
    onCommand(C::ShowInfo, [this] { OnShowInfo(); });
    onCommand(C::EnergyPlot, [this] { OnShowEnergyPlot(); });
    onCommand(C::ShowList, [this] { OnShowList(); });
    onCommand(C::FontSizeDialog, [this] { OnFontSizeDialog(); });
    onCommand(C::StarInfoHelp, [this] { OnStarInfoHelp(); });

    const std::pair<int, int> fontSizes[] = {{C::ListFont12, 12}, {C::ListFont14, 14}, {C::ListFont16, 16}};
    for (const auto& [id, size] : fontSizes) {
        onCommand(id, [this, size] { OnListFontSize(size); });
        addCheck(id, g.listFontSize, size);
    }
    const std::pair<int, int> scales[] = {{C::ScaleSolarSystem, UnitScale::SolarSystem},
                                          {C::ScaleGalactic, UnitScale::Galactic},
                                          {C::ScaleEarthSun, UnitScale::EarthSun}};
    for (const auto& [id, scale] : scales) {
        onCommand(id, [this, scale] { OnScale(scale); });
        addCheck(id, g.scale, scale);
    }

    onCommand(C::StarSize0, [this] { OnStarSize(0); });
    for (int size = 1; size <= 5; ++size) onCommand(C::StarSize1 + size - 1, [this, size] { OnStarSize(size); });
    onCommand(C::Balls, [this] { OnBalls(); });
    const std::pair<int, int> colors[] = {
        {C::StarColorRed, StarColor::Red},       {C::StarColorGreen, StarColor::Green},
        {C::StarColorBlue, StarColor::Blue},     {C::StarColorYellow, StarColor::Yellow},
        {C::StarColorPurple, StarColor::Purple}, {C::StarColorCyan, StarColor::Cyan},
        {C::StarColorWhite, StarColor::White},   {C::StarColorOrange, StarColor::Orange}};
    for (const auto& [id, color] : colors) onCommand(id, [this, color] { OnStarColor(color); });
    const std::pair<int, int> hidden[] = {{C::HideRed, StarColor::Red},       {C::HideGreen, StarColor::Green},
                                          {C::HideBlue, StarColor::Blue},     {C::HideYellow, StarColor::Yellow},
                                          {C::HidePurple, StarColor::Purple}, {C::HideCyan, StarColor::Cyan},
                                          {C::HideWhite, StarColor::White}};
    for (const auto& [id, color] : hidden) addViewToggle(id, g.hideColor[color]);
    addViewToggle(C::Redshift, g.redshift);
    addViewToggle(C::DepthCueing, g.depthCue);
    addViewToggle(C::BlackBackground, g.blackBackground);
    addViewToggle(C::ChromaDepth, g.chromaDepth);
    onCommand(C::Trace, [this] { OnTrace(); });
    addCheck(C::Trace, g.trace, 1);

    onCommand(C::CenterImage, [this] { OnCenterImage(); });
    onCommand(C::CentreGalaxy, [this] { OnCentreGalaxy(); });
    // Tree and grid runs report the potential their forces come from; this
    // asks for the pass over all pairs instead, whatever it costs.
    onCommand(C::ExactEnergy, [&g] { g.exactEnergy = 1 - g.exactEnergy; });
    addCheck(C::ExactEnergy, g.exactEnergy, 1);
    addViewToggle(C::FollowCentre, g.followCentre);
    for (const auto& [id, rate] : kSpeeds) {
        onCommand(id, [this, rate] { OnSimulationSpeed(rate); });
        addCheck(id, stepsPerSecond, rate);
    }
    onCommand(C::ZoomIn, [this] { OnZoomIn(); });
    onCommand(C::ZoomOut, [this] { OnZoomOut(); });
    onCommand(C::RotateUp, [this] { OnRotate(aboutViewX(0.01), true); });
    onCommand(C::RotateDown, [this] { OnRotate(aboutViewX(-0.01), true); });
    onCommand(C::RotateRight, [this] { OnRotate(aboutViewY(0.01), false); });
    onCommand(C::RotateLeft, [this] { OnRotate(aboutViewY(-0.01), true); });
    onCommand(C::GalaxySettings, [this] { OnGalaxySettings(); });
    onCommand(C::NewModel, [this] { OnNewModel(); });
    onCommand(C::ModelSettings, [this] { OnModelSettings(); });
    onCommand(C::AddGalaxy, [this] { OnAddGalaxy(); });
    onCommand(C::RotateDialog, [this] { OnRotateDialog(); });
    onCommand(FrameworkId::AppAbout, [this] { OnAppAbout(); });
}

void CZyrApp::addViewToggle(int id, int& flag) {
    onCommand(id, [this, &flag] {
        flag = flag ? 0 : 1;
        RedrawGalaxyView();
    });
    addCheck(id, flag, 1);
}

void CZyrApp::addCheck(int id, const int& value, int checkedValue) {
    onUpdateCommandUI(id, [&value, checkedValue](CommandUI& ui) { ui.setCheck(value == checkedValue); });
}

bool CZyrApp::generateGalaxy() {
    // newGalaxy obtains the new arrays before it frees the old ones, so a
    // galaxy too large for memory leaves the current one in place.
    if (g_galaxy.newGalaxy()) return true;
    prompter().messageBox(QStringLiteral("Not enough memory for %1 stars.").arg(g_galaxy.requestedStars),
                          QStringLiteral("Zyr"), MessageButtons::Ok, MessageIcon::Warning);
    return false;
}

void CZyrApp::RedrawGalaxyView() {
    if (FindGalaxyView()) g_galaxyView->RedrawNow();
}

void CZyrApp::OnNewGalaxy() {
    if (!saveChangesFirst()) return;
    ShowGalaxyWindow();
    // A galaxy too large for memory leaves the one shown, and its caption.
    if (generateGalaxy()) {
        g_galaxyDoc->setPathName(QString());
        replay_.reset();
        galaxyIsSaved();
    }
    running = 0;
    spinning = 0;
    RedrawGalaxyView();
}

void CZyrApp::OnRun() { running = 1; }

void CZyrApp::OnStop() { running = 0; }

void CZyrApp::OnForwardOneStep() {
    if (running) return;
    if (replay_) {
        replayStep();
        RedrawGalaxyView();
        return;
    }
    // Always Improved Euler, whatever integrator is chosen, and not counted.
    g_galaxy.ImprovedEulerStep(g_galaxy.timeStep, DerivativeFunc(g_galaxy));
    g_galaxy.changes += 1;
    // The Adams-Moulton history now ends before this step; its next step
    // would integrate from there again and take this one twice.
    g_galaxy.historyCount = 0;
    if (g_galaxyView) g_galaxyView->RedrawNow();
    stopIfNotFinite();
}

void CZyrApp::stopIfNotFinite() {
    const CGalaxy& g = g_galaxy;
    const int star = g.firstNonFiniteStar();
    if (star < 0) return;
    running = 0;
    // Two stars that come too close without a shield are flung apart
    // without bound; the numbers after that mean nothing.
    prompter().messageBox(QStringLiteral("After the step to time %1 %2, star %3 has a position or velocity that is "
                                         "infinite or not a number. The run has been stopped.")
                              .arg(g.time)
                              .arg(QString::fromStdString(g.timeUnitName[g.scale]))
                              .arg(star),
                          QStringLiteral("Simulation Stopped"), MessageButtons::Ok, MessageIcon::Warning);
}

void CZyrApp::OnHalveTimestep() {
    g_galaxy.timeStep *= 0.5;
    g_galaxy.timeStepSetting *= 0.5;
}

void CZyrApp::OnDoubleTimestep() {
    g_galaxy.timeStep *= 2.0;
    g_galaxy.timeStepSetting *= 2.0;
}

void CZyrApp::OnShowInfo() {
    bool created = false;
    View* view = firstViewOrNew(infoTemplate, created);
    if (!created) view->parentFrame()->activateFrame();
}

void CZyrApp::OnShowEnergyPlot() {
    bool created = false;
    View* view = firstViewOrNew(plotTemplate, created);
    if (!created) view->parentFrame()->activateFrame();
}

void CZyrApp::OnShowList() {
    // An existing star list is left where it is, even behind other windows.
    bool created = false;
    firstViewOrNew(noteTemplate, created);
}

void CZyrApp::OnListFontSize(int size) { g_galaxy.listFontSize = size; }

void CZyrApp::OnFontSizeDialog() {
    CFontSizeDlg dialog(mainFrame());
    dialog.exec();
    OnShowList();
}

void CZyrApp::OnStarInfoHelp() {
    CStarInfoHelpDlg dialog(mainFrame());
    dialog.exec();
    OnShowList();
}

void CZyrApp::OnScale(int scale) {
    g_galaxy.scale = scale;
    g_galaxy.scaleSetting = scale;
    g_galaxy.setScale(scale);
    RedrawGalaxyView();
}

void CZyrApp::OnStarSize(int size) {
    g_galaxy.ballMode = 0;
    g_galaxy.starSize = size;
    RedrawGalaxyView();
}

void CZyrApp::OnBalls() {
    g_galaxy.ballMode = 1;
    RedrawGalaxyView();
}

void CZyrApp::OnStarColor(int color) {
    CGalaxy& g = g_galaxy;
    g.starColor = color;
    for (int i = 0; i < g.numStars; ++i) g.color[i] = color;
    g.changes += 1;
    g.chromaDepth = 0;
    RedrawGalaxyView();
}

void CZyrApp::OnTrace() {
    g_galaxy.trace = g_galaxy.trace ? 0 : 1;
    // Switching it off shows at the next repaint.
    if (g_galaxy.trace) RedrawGalaxyView();
}

void CZyrApp::OnCenterImage() {
    g_galaxy.orientation = Quaternion();
    spinning = 0;
    RedrawGalaxyView();
}

void CZyrApp::OnCentreGalaxy() {
    CGalaxy& g = g_galaxy;
    // The infinities of a star that blew up would spread to every other star.
    const int star = g.firstNonFiniteStar();
    if (star >= 0) {
        prompter().messageBox(QStringLiteral("Star %1 has a mass, position or velocity that is infinite or not a "
                                             "number, so the galaxy has no centre of mass. No star has been moved.")
                                  .arg(star),
                              QStringLiteral("Centre Galaxy"), MessageButtons::Ok, MessageIcon::Warning);
        return;
    }
    g.centre();
    g.changes += 1;
    RedrawGalaxyView();
}

void CZyrApp::OnSimulationSpeed(int rate) {
    setSimulationSpeed(rate);
    QSettings().setValue(kSpeedKey, rate);
}

void CZyrApp::setSimulationSpeed(int rate) {
    stepsPerSecond = rate;
    // The timer counts whole milliseconds: 60 steps per second come out at
    // 17 ms, 58.8 per second.
    idleDriver().setInterval(rate > 0 ? (1000 + rate / 2) / rate : 0);
}

void CZyrApp::OnZoomIn() {
    CGalaxy& g = g_galaxy;
    if (0.01 * g.boxSize < g.viewDistance) g.viewDistance *= 1.0 / 1.1;
    RedrawGalaxyView();
}

void CZyrApp::OnZoomOut() {
    CGalaxy& g = g_galaxy;
    if (200.0 * g.boxSize > g.viewDistance) g.viewDistance *= 1.1;
    RedrawGalaxyView();
}

void CZyrApp::OnRotate(const Quaternion& increment, bool clearSpin) {
    if (clearSpin) spinning = 0;
    g_galaxy.orientation = increment * g_galaxy.orientation;
    RedrawGalaxyView();
}

void CZyrApp::OnGalaxySettings() {
    CGalaxySettingsDlg dialog(mainFrame());
    dialog.exec();
}

void CZyrApp::OnNewModel() {
    CNewModelDlg dialog(mainFrame());
    if (dialog.exec() != QDialog::Accepted || !saveChangesFirst()) return;
    OnNewGalaxy();
    mainFrame()->statusBar()->showMessage(QString::fromStdString(g_galaxy.modelNote));
}

void CZyrApp::OnModelSettings() {
    CModelSettingsDlg dialog(mainFrame());
    dialog.exec();
}

void CZyrApp::OnRotateDialog() {
    CRotateDlg dialog(mainFrame());
    dialog.exec();
}

void CZyrApp::OnAppAbout() {
    CAboutDlg dialog(mainFrame());
    dialog.exec();
}
