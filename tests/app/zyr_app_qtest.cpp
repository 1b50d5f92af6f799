// The desktop program as a user meets it: start-up, both menu layouts, the
// toolbar and status bar, commands by id and by real key events, the three
// window kinds, and the idle-time simulation driver.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "app/zyr_app.h"
#include "dialogs/about_dlg.h"
#include "io/galaxy_file.h"
#include "model/galaxy.h"
#include "physics/methods.h"
#include "platform/child_frame.h"
#include "platform/doc_template.h"
#include "platform/document.h"
#include "platform/framework_ids.h"
#include "platform/mdi_frame.h"
#include "platform/prompter.h"
#include "tests/support/program_under_test.h"
#include "view/command_ids.h"
#include "view/galaxy_window.h"
#include "view/zyr_view.h"

namespace {

namespace C = CommandId;
namespace F = FrameworkId;

constexpr int kStars = 16;

void dumpMenu(const QMenu* menu, const QString& path, QStringList& out) {
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator())
            out << path + "/-";
        else if (action->menu())
            dumpMenu(action->menu(), path + "/" + action->text(), out);
        else
            out << QStringLiteral("%1/%2=%3").arg(path, action->text()).arg(action->data().toInt());
    }
}

QStringList dumpMenuBar(const QMenuBar* bar) {
    QStringList out;
    for (const QAction* top : bar->actions()) dumpMenu(top->menu(), top->text(), out);
    return out;
}

Quaternion aboutX(double a) { return {std::cos(a), std::sin(a), 0.0, 0.0}; }
Quaternion aboutY(double a) { return {std::cos(a), 0.0, std::sin(a), 0.0}; }

bool equal(const Quaternion& a, const Quaternion& b) { return a.w == b.w && a.x == b.x && a.y == b.y && a.z == b.z; }

bool near(const Quaternion& a, const Quaternion& b, double tolerance) {
    return std::abs(a.w - b.w) < tolerance && std::abs(a.x - b.x) < tolerance && std::abs(a.y - b.y) < tolerance &&
           std::abs(a.z - b.z) < tolerance;
}

// Settings that a reset of the galaxy does not restore.
void restoreGalaxySettings() {
    CGalaxy& g = g_galaxy;
    g.requestedStars = kStars;
    g.randomSeed = 7u;
    g.scaleSetting = UnitScale::Galactic;
    g.timeStepSetting = 8.0;
    g.integrationSetting = IntegrationMethod::ImprovedEuler;
    g.forceSetting = ForceMethod::Direct;
    g.trace = 0;
    g.ballMode = 0;
    g.starSize = 0;
    g.starColor = StarColor::White;
    g.listFontSize = 12;
    g.followCentre = 0;
}

}  // namespace

class ZyrAppTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startUpOpensOneStoppedGalaxyWindow();
    void startUpWithFileNameLoadsIt();
    void startUpWithUnreadableFileKeepsGeneratedGalaxy_data();
    void startUpWithUnreadableFileKeepsGeneratedGalaxy();

    void childMenuLayout();
    void mainFrameMenuLayoutWithoutChildWindow();
    void unhandledCommandsAreDisabled();
    void toolBarButtons();
    void statusBarPanesAndPrompts();
    void barToggles();

    void viewTogglesFlipFlagsWithCheckMarks();
    void starSizeAndBalls();
    void starColorRecolours();
    void listFontSizeChecksOneItem();
    void scaleCommands();
    void showBoxBelongsToGalaxyView();
    void zoomStopsAtItsBounds();
    void zoomWorksFromInformationWindow();
    void rotateAcceleratorsAndSpin();
    void centerImageKeepsPan();
    void centreGalaxyKeepsTheRun();

    void acceleratorsAsKeyEvents();
    void altFStepsInsteadOfOpeningFileMenu();
    void acceleratorsIgnoredWhileModal();

    void showInfoActivatesExistingWindow();
    void showListLeavesExistingWindowBehind();
    void showListOpensInsideClientArea();
    void closingGalaxyWindowClosesInfoAndStopsRun();
    void newGalaxyReopensGalaxyWindow();
    void exitClosesEverythingWithoutPrompt();
    void cascadeAndTile();
    void aboutBox();

    void idleStepsAndRepaintCadence();
    void runWithoutGalaxyWindowIsCleared();
    void spinningFreezesSimulation();
    void forwardOneStepUsesImprovedEuler();
    void forwardOneStepRestartsAdamsMoulton();
    void runStopsWhenAStepIsNoLongerFinite();
    void exactEnergyChoosesTheReportsPotential();
    void halveThenDoubleRestoresStep();
    void idleDriverThroughEventLoop();
    void inputRestartsIdleCount();
    void messageBoxPausesSimulation();
    void modalDialogPausesSimulation();
    void simulationSpeedIsRememberedAndPaces_data();
    void simulationSpeedIsRememberedAndPaces();

private:
    QAction* action(int id) const;
    bool enabled(int id) const;
    bool checked(int id) const;
    ChildFrame* galaxyFrame() const { return g_galaxyView ? g_galaxyView->parentFrame() : nullptr; }
    ChildFrame* infoFrame() const;
    void closeAllChildren();
    // Ends the program object and starts a new one, as a second run would.
    void restartProgram();

    // The remembered settings of these runs, not the user's.
    QTemporaryDir settingsDir_;
    std::unique_ptr<CZyrApp> app_;
    ScriptedPrompter* prompter_ = nullptr;
    MdiFrame* frame_ = nullptr;
};

void ZyrAppTest::initTestCase() {
    QApplication::setQuitOnLastWindowClosed(false);
    QVERIFY(settingsDir_.isValid());
    QCoreApplication::setOrganizationName(QStringLiteral("ZyrAppTest"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir_.path());
}

void ZyrAppTest::init() {
    restoreGalaxySettings();
    QSettings().clear();
    prompter_ = startProgram(app_);
    if (QTest::currentTestFailed()) return;
    frame_ = app_->mainFrame();
}

void ZyrAppTest::cleanup() {
    stopProgram(app_);
    QVERIFY(g_galaxyView == nullptr);
    QVERIFY(g_galaxyDoc == nullptr);
}

QAction* ZyrAppTest::action(int id) const {
    const QList<QAction*> actions = frame_->commandActions(id);
    return actions.isEmpty() ? nullptr : actions.front();
}

bool ZyrAppTest::enabled(int id) const {
    frame_->updateCommandUI();
    return action(id)->isEnabled();
}

bool ZyrAppTest::checked(int id) const {
    frame_->updateCommandUI();
    return action(id)->isChecked();
}

ChildFrame* ZyrAppTest::infoFrame() const {
    const Document* doc = app_->infoTemplate->firstDocument();
    return doc && doc->firstView() ? doc->firstView()->parentFrame() : nullptr;
}

void ZyrAppTest::closeAllChildren() {
    app_->closeAllDocuments();
    QVERIFY(frame_->childFrames().empty());
}

void ZyrAppTest::restartProgram() {
    stopProgram(app_);
    prompter_ = startProgram(app_);
    frame_ = app_->mainFrame();
}

// ---- start-up -----------------------------------------------------------------

void ZyrAppTest::startUpOpensOneStoppedGalaxyWindow() {
    QCOMPARE(frame_->windowTitle(), QStringLiteral("Zyr"));
    QCOMPARE(frame_->pos(), QPoint(0, 0));
    QCOMPARE(frame_->size(), QSize(515, 575));
    QVERIFY(frame_->isVisible());
    QCOMPARE(frame_->childFrames().size(), std::size_t{1});
    QCOMPARE(app_->galaxyTemplate->documents().size(), std::size_t{1});
    QVERIFY(app_->infoTemplate->documents().empty());
    QVERIFY(app_->noteTemplate->documents().empty());
    QCOMPARE(app_->FindGalaxyView(), 1);
    QCOMPARE(app_->running, 0);
    QCOMPARE(spinning, 0);
    QVERIFY(equal(spinStep, Quaternion()));
    QCOMPARE(g_galaxy.numStars, kStars);
    QCOMPARE(g_galaxy.iteration, 0);
    ChildFrame* galaxy = galaxyFrame();
    QVERIFY(galaxy);
    QCOMPARE(galaxy->geometry(), QRect(0, 0, 300, 300));
    QCOMPARE(galaxy->windowTitle(), QStringLiteral("Galaxy"));
    QCOMPARE(frame_->activeChild(), galaxy);
    QVERIFY(frame_->showingChildMenu());
    QVERIFY(prompter_->messages.empty());
}

void ZyrAppTest::startUpWithFileNameLoadsIt() {
    QTemporaryDir dir;
    const QString path = dir.filePath("three.zyr");
    {
        CGalaxy other;
        other.requestedStars = 3;
        QVERIFY(other.newGalaxy());
        QVERIFY(saveGalaxyFile(other, path.toStdString()).ok());
    }
    stopProgram(app_);
    prompter_ = startProgram(app_, {path});
    if (QTest::currentTestFailed()) return;
    frame_ = app_->mainFrame();
    QVERIFY(prompter_->messages.empty());
    QCOMPARE(g_galaxy.numStars, 3);
    QCOMPARE(galaxyFrame()->windowTitle(), QStringLiteral("three.zyr"));
    QCOMPARE(frame_->windowTitle(), QStringLiteral("Zyr - three.zyr"));
    // A new galaxy is the file's no longer.
    QVERIFY(frame_->executeCommand(F::FileNew));
    QCOMPARE(g_galaxy.numStars, kStars);
    QCOMPARE(galaxyFrame()->windowTitle(), QStringLiteral("Galaxy"));
    QCOMPARE(frame_->windowTitle(), QStringLiteral("Zyr"));
}

void ZyrAppTest::startUpWithUnreadableFileKeepsGeneratedGalaxy_data() {
    QTest::addColumn<QByteArray>("contents");  // empty: there is no such file
    QTest::addColumn<QString>("messageCaption");
    QTest::newRow("missing") << QByteArray() << QStringLiteral("File not found");
    QTest::newRow("not a galaxy") << QByteArray("Dear diary,\n") << QStringLiteral("Not a Galaxy File");
}

void ZyrAppTest::startUpWithUnreadableFileKeepsGeneratedGalaxy() {
    QFETCH(QByteArray, contents);
    QFETCH(QString, messageCaption);
    QTemporaryDir dir;
    const QString path = dir.filePath("given.zyr");
    if (!contents.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(contents), contents.size());
    }
    stopProgram(app_);
    prompter_ = startProgram(app_, {path});
    if (QTest::currentTestFailed()) return;
    frame_ = app_->mainFrame();
    QCOMPARE(prompter_->messages.size(), std::size_t{1});
    QCOMPARE(prompter_->messages[0].caption, messageCaption);
    QCOMPARE(g_galaxy.numStars, kStars);
    QCOMPARE(galaxyFrame()->windowTitle(), QStringLiteral("Galaxy"));
}

// ---- menus, toolbar, status bar -------------------------------------------------

void ZyrAppTest::childMenuLayout() {
    const QStringList expected = {
        "&File/&Open...\tCtrl+O=57601",
        "&File/&Replay Snapshots...=32870",
        "&File/&Save\tCtrl+S=57603",
        "&File/Save &As...=57604",
        "&File/Export for &GADGET-4...=32871",
        "&File/-",
        "&File/E&xit=57665",
        "&Edit/&Undo\tCtrl+Z=57643",
        "&Edit/-",
        "&Edit/Cu&t\tCtrl+X=57635",
        "&Edit/&Copy\tCtrl+C=57634",
        "&Edit/&Paste\tCtrl+V=57637",
        "&View/Star Size/0=32822",
        "&View/Star Size/1=32799",
        "&View/Star Size/2=32800",
        "&View/Star Size/3=32801",
        "&View/Star Size/4=32802",
        "&View/Star Size/5=32803",
        "&View/Star Size/Balls=32804",
        "&View/Star Color/Red=32805",
        "&View/Star Color/Green=32806",
        "&View/Star Color/Blue=32807",
        "&View/Star Color/Yellow=32808",
        "&View/Star Color/Purple=32809",
        "&View/Star Color/Cyan=32810",
        "&View/Star Color/White=32811",
        "&View/Star Color/Orange=32841",
        "&View/Hide Color/Red=32812",
        "&View/Hide Color/Green=32813",
        "&View/Hide Color/Blue=32814",
        "&View/Hide Color/Yellow=32815",
        "&View/Hide Color/Purple=32816",
        "&View/Hide Color/Cyan=32817",
        "&View/Hide Color/White=32818",
        "&View/Redshift=32819",
        "&View/Depth Cueing=32820",
        "&View/Show Box=32771",
        "&View/Black Background=32821",
        "&View/-",
        "&View/ChromaDepth=32823",
        "&View/-",
        "&View/Trace\tCtrl+T=32844",
        "&View/Follow Centre of Mass=32863",
        "&View/-",
        "&View/&Toolbar=59392",
        "&View/&Status Bar=59393",
        "Action/Zoom In\tAlt + +=32786",
        "Action/Zoom Out\tAlt + -=32787",
        "Action/-",
        "Action/Grab and Spin=32845",
        "Action/Rotate z axis=32846",
        "Action/Wobble=32847",
        "Action/Move Left=32848",
        "Action/Move Right=32849",
        "Action/-",
        "Action/Center Image=32785",
        "Action/Centre Galaxy=32862",
        "Action/-",
        "Action/Simulation Speed/Full Speed=32864",
        "Action/Simulation Speed/250 Steps per Second=32865",
        "Action/Simulation Speed/60 Steps per Second=32866",
        "Action/Simulation Speed/25 Steps per Second=32867",
        "Action/Simulation Speed/10 Steps per Second=32868",
        "Galaxy/New Galaxy\t Ctrl+N=57600",
        "Galaxy/New Model...=32872",
        "Galaxy/Run\t Alt + R=32773",
        "Galaxy/Stop\t Alt + .=32774",
        "Galaxy/Forward One Step\t Alt + F=32775",
        "Galaxy/-",
        "Galaxy/Show Info=32776",
        "Galaxy/Energy Plot=32861",
        "Galaxy/Stop Bookkeeping=32777",
        "Galaxy/Exact Energy=32869",
        "Galaxy/Halve Timestep\tAlt + [=32778",
        "Galaxy/Double Timestep\tAlt + ]=32779",
        "Galaxy/-",
        "Galaxy/List Options/Show List=32834",
        "Galaxy/List Options/12 pt=32850",
        "Galaxy/List Options/14 pt=32851",
        "Galaxy/List Options/16 pt=32852",
        "Galaxy/Galaxy Settings=32781",
        "Galaxy/Model Settings=32782",
        "Galaxy/Add Galaxy...=32860",
        "Galaxy/Scale/Solar System=32826",
        "Galaxy/Scale/Galactic=32827",
        "Galaxy/Scale/Earth - Sun=32828",
        "&Window/&Cascade=57650",
        "&Window/&Tile=57651",
        "&Window/&Arrange Icons=57649",
        "&Help/&About Zyr...=57664",
    };
    QCOMPARE(dumpMenuBar(frame_->menuBar()), expected);

    // The information and star-list windows share the layout.
    app_->OnShowInfo();
    app_->OnShowList();
    QCOMPARE(dumpMenuBar(frame_->menuBar()), expected);
}

void ZyrAppTest::mainFrameMenuLayoutWithoutChildWindow() {
    closeAllChildren();
    QVERIFY(!frame_->showingChildMenu());
    const QStringList expected = {
        "&File/&Open...\tCtrl+O=57601",
        "&File/&Replay Snapshots...=32870",
        "&File/&Save\tCtrl+S=57603",
        "&File/Save &As...=57604",
        "&File/Export for &GADGET-4...=32871",
        "&File/-",
        "&File/E&xit=57665",
        "&Edit/&Undo\tCtrl+Z=57643",
        "&Edit/-",
        "&Edit/Cu&t\tCtrl+X=57635",
        "&Edit/&Copy\tCtrl+C=57634",
        "&Edit/&Paste\tCtrl+V=57637",
        "Galaxy/New Galaxy\t Ctrl+N=57600",
        "Galaxy/New Model...=32872",
        "Galaxy/Run\t Alt + R=32833",
        "Galaxy/Stop\t Alt + .=32833",
        "Galaxy/Forward One Step\t Alt + F=32833",
        "Galaxy/-",
        "Galaxy/Show Info=32833",
        "Galaxy/Energy Plot=32833",
        "Galaxy/Stop Bookkeeping=32833",
        "Galaxy/Exact Energy=32833",
        "Galaxy/Halve Timestep\tAlt + [=32833",
        "Galaxy/Double Timestep\tAlt + ]=32833",
        "Galaxy/-",
        "Galaxy/List Options=32833",
        "Galaxy/Galaxy Settings=32781",
        "Galaxy/Model Settings=32782",
        "Galaxy/Add Galaxy...=32860",
        "Galaxy/Scale/Solar System=32826",
        "Galaxy/Scale/Galactic=32827",
        "Galaxy/Scale/Earth - Sun=32828",
        "&Window/&Cascade=57650",
        "&Window/&Tile=57651",
        "&Window/&Arrange Icons=57649",
        "&Help/&About Zyr...=57664",
    };
    QCOMPARE(dumpMenuBar(frame_->menuBar()), expected);

    frame_->updateCommandUI();
    const QList<QAction*> inert = frame_->commandActions(C::NoWindow);
    QCOMPARE(inert.size(), 10);
    for (const QAction* item : inert) QVERIFY2(!item->isEnabled(), qPrintable(item->text()));
    QVERIFY(enabled(F::FileNew));
    QVERIFY(enabled(C::AddGalaxy));
    QVERIFY(enabled(C::NewModel));
    QVERIFY(enabled(C::ScaleSolarSystem));
    QVERIFY(checked(C::ScaleGalactic));
    QVERIFY(!enabled(F::WindowCascade));

    // The scale items work without a window; New Galaxy brings the child layout back.
    QVERIFY(frame_->executeCommand(C::ScaleEarthSun));
    QCOMPARE(g_galaxy.scale, int(UnitScale::EarthSun));
    QVERIFY(checked(C::ScaleEarthSun));
    QVERIFY(frame_->executeCommand(F::FileNew));
    QVERIFY(frame_->showingChildMenu());
    QCOMPARE(g_galaxy.boxSize, 4.0);
}

void ZyrAppTest::unhandledCommandsAreDisabled() {
    const int never[] = {F::EditUndo,     F::EditCut,       F::EditCopy, F::EditPaste, C::GrabAndSpin,
                         C::RotateZAxis,  C::Wobble,        C::MoveLeft, C::MoveRight, C::StopBookkeeping};
    for (int id : never) {
        QVERIFY2(!enabled(id), qPrintable(QString::number(id)));
        QVERIFY(!frame_->executeCommand(id));
    }
    for (int id : {C::Run, C::ShowInfo, C::ZoomIn, C::CenterImage, C::ListFont12})
        QVERIFY2(enabled(id), qPrintable(QString::number(id)));
    QVERIFY(enabled(F::WindowCascade));
    QVERIFY(enabled(F::AppExit));
    // Print has a key and a button but no handler.
    QVERIFY(!frame_->executeCommand(F::FilePrint));
}

void ZyrAppTest::toolBarButtons() {
    QToolBar* bar = frame_->toolBar();
    QVERIFY(bar);
    QCOMPARE(bar->iconSize(), QSize(16, 15));
    QCOMPARE(bar->allowedAreas(), Qt::AllToolBarAreas);
    QCOMPARE(frame_->toolBarArea(bar), Qt::TopToolBarArea);
    QStringList layout;
    for (const QAction* button : bar->actions())
        layout << (button->isSeparator() ? QStringLiteral("|")
                                         : QStringLiteral("%1 %2").arg(button->data().toInt()).arg(button->toolTip()));
    QCOMPARE(layout, QStringList({"57600 New", "57601 Open", "57603 Save", "|", "57635 Cut", "57634 Copy",
                                  "57637 Paste", "|", "57607 Print", "57664 About"}));
    frame_->updateCommandUI();
    for (const QAction* button : bar->actions()) {
        const int id = button->data().toInt();
        if (id == F::EditCut || id == F::EditCopy || id == F::EditPaste || id == F::FilePrint)
            QVERIFY(!button->isEnabled());
        if (id == F::FileNew || id == F::AppAbout) QVERIFY(button->isEnabled());
        if (!button->isSeparator()) QVERIFY(!button->icon().isNull());
    }
    QCOMPARE(action(F::FileNew)->statusTip(), QStringLiteral("Create a new document"));
}

void ZyrAppTest::statusBarPanesAndPrompts() {
    const QList<QLabel*> labels = frame_->statusBar()->findChildren<QLabel*>();
    QStringList texts;
    for (const QLabel* label : labels) texts << label->text();
    QVERIFY(texts.contains("Ready"));
    // Message pane plus CAP, NUM and SCRL; the offscreen platform reports no lock keys.
    QCOMPARE(labels.size(), 4);
    QCOMPARE(texts.count(QString()), 3);
    QCOMPARE(action(F::WindowCascade)->statusTip(), QStringLiteral("Arrange windows so they overlap"));
    QCOMPARE(action(F::AppExit)->statusTip(), QStringLiteral("Quit the application; prompts to save documents"));
    QVERIFY(action(C::Run)->statusTip().isEmpty());
}

void ZyrAppTest::barToggles() {
    QVERIFY(checked(F::ViewToolbar));
    QVERIFY(checked(F::ViewStatusBar));
    QVERIFY(frame_->executeCommand(F::ViewToolbar));
    QVERIFY(frame_->toolBar()->isHidden());
    QVERIFY(!checked(F::ViewToolbar));
    QVERIFY(frame_->executeCommand(F::ViewStatusBar));
    QVERIFY(frame_->statusBar()->isHidden());
    QVERIFY(!checked(F::ViewStatusBar));
    QVERIFY(frame_->executeCommand(F::ViewToolbar));
    QVERIFY(!frame_->toolBar()->isHidden());
}

// ---- view and camera commands ----------------------------------------------------

void ZyrAppTest::viewTogglesFlipFlagsWithCheckMarks() {
    CGalaxy& g = g_galaxy;
    struct Toggle {
        int id;
        int* flag;
    };
    const Toggle toggles[] = {
        {32819, &g.redshift},     {32820, &g.depthCue},     {32821, &g.blackBackground},
        {32823, &g.chromaDepth},  {32812, &g.hideColor[1]}, {32813, &g.hideColor[4]},
        {32814, &g.hideColor[5]}, {32815, &g.hideColor[3]}, {32816, &g.hideColor[6]},
        {32817, &g.hideColor[7]}, {32818, &g.hideColor[0]}, {32844, &g.trace},
        {32863, &g.followCentre},
    };
    PaintCounter paints(g_galaxyView);
    for (const Toggle& t : toggles) {
        const int before = *t.flag;
        QVERIFY(before == 0 || before == 1);
        QCOMPARE(checked(t.id), before == 1);
        for (int round = 0; round < 2; ++round) {
            const int painted = paints.count;
            QVERIFY(frame_->executeCommand(t.id));
            QCOMPARE(*t.flag, round == 0 ? 1 - before : before);
            QCOMPARE(checked(t.id), *t.flag == 1);
            // Trace alone repaints only when it comes on.
            const bool repaints = t.id != C::Trace || *t.flag == 1;
            QCOMPARE(paints.count, painted + (repaints ? 1 : 0));
        }
    }
    QCOMPARE(g.hideColor[StarColor::Orange], 0);
}

void ZyrAppTest::starSizeAndBalls() {
    CGalaxy& g = g_galaxy;
    QVERIFY(frame_->executeCommand(C::Balls));
    QVERIFY(frame_->executeCommand(C::StarSize1 + 2));
    QCOMPARE(g.starSize, 3);
    QCOMPARE(g.ballMode, 0);
    QVERIFY(frame_->executeCommand(C::StarSize1 + 1));
    QVERIFY(frame_->executeCommand(C::Balls));
    QCOMPARE(g.starSize, 2);
    QCOMPARE(g.ballMode, 1);
    QVERIFY(frame_->executeCommand(C::StarSize0));
    QCOMPARE(g.starSize, 0);
    QCOMPARE(g.ballMode, 0);
    for (int id : {32822, 32799, 32800, 32801, 32802, 32803, 32804}) QVERIFY(!checked(id));
}

void ZyrAppTest::starColorRecolours() {
    CGalaxy& g = g_galaxy;
    const std::pair<int, int> colours[] = {{32805, 1}, {32806, 4}, {32807, 5}, {32808, 3},
                                           {32809, 6}, {32810, 7}, {32811, 0}, {32841, 2}};
    for (const auto& [id, index] : colours) {
        g.chromaDepth = 1;
        QVERIFY(frame_->executeCommand(id));
        QCOMPARE(g.starColor, index);
        QCOMPARE(g.chromaDepth, 0);
        for (int i = 0; i < g.numStars; ++i) QCOMPARE(g.color[i], index);
        QVERIFY(!checked(id));
    }
    // The next galaxy is born in the last colour chosen.
    QVERIFY(frame_->executeCommand(F::FileNew));
    for (int i = 0; i < g.numStars; ++i) QCOMPARE(g.color[i], int(StarColor::Orange));
}

void ZyrAppTest::listFontSizeChecksOneItem() {
    const int items[] = {C::ListFont12, C::ListFont14, C::ListFont16};
    const int sizes[] = {12, 14, 16};
    for (int k : {2, 0, 1}) {
        PaintCounter paints(g_galaxyView);
        QVERIFY(frame_->executeCommand(items[k]));
        QCOMPARE(g_galaxy.listFontSize, sizes[k]);
        for (int j = 0; j < 3; ++j) QCOMPARE(checked(items[j]), j == k);
        QCOMPARE(paints.count, 0);
    }
}

void ZyrAppTest::scaleCommands() {
    CGalaxy& g = g_galaxy;
    const double gravity = g.gravity;
    const double x0 = g.pos.x[0];
    const double m0 = g.mass[0];
    QVERIFY(frame_->executeCommand(C::ZoomIn));
    QVERIFY(frame_->executeCommand(C::ScaleSolarSystem));
    QCOMPARE(g.scale, 1);
    QCOMPARE(g.scaleSetting, 1);
    QCOMPARE(g.boxSize, 100.0);
    QCOMPARE(g.viewDistance, 1000.0);
    QVERIFY(checked(C::ScaleSolarSystem));
    QVERIFY(!checked(C::ScaleGalactic));
    QVERIFY(!checked(C::ScaleEarthSun));
    QVERIFY(frame_->executeCommand(C::ScaleEarthSun));
    QCOMPARE(g.scale, 2);
    QCOMPARE(g.boxSize, 4.0);
    QCOMPARE(g.gravity, g.gravitySI * g.earthMassKg * 86400.0 * 86400.0 / (g.auMeters * g.auMeters * g.auMeters));
    QVERIFY(frame_->executeCommand(C::ScaleGalactic));
    QCOMPARE(g.scale, 0);
    QCOMPARE(g.gravity, gravity);
    QCOMPARE(g.viewDistance, 50.0);
    QCOMPARE(g.pos.x[0], x0);
    QCOMPARE(g.mass[0], m0);
    QVERIFY(checked(C::ScaleGalactic));
}

void ZyrAppTest::showBoxBelongsToGalaxyView() {
    QVERIFY(enabled(C::ShowBox));
    QVERIFY(checked(C::ShowBox));
    QVERIFY(frame_->executeCommand(C::ShowBox));
    QCOMPARE(g_galaxyView->showBox, 0);
    QVERIFY(!checked(C::ShowBox));
    app_->OnShowInfo();
    QVERIFY(!enabled(C::ShowBox));
    QVERIFY(!frame_->executeCommand(C::ShowBox));
    QCOMPARE(g_galaxyView->showBox, 0);
    galaxyFrame()->activateFrame();
    QVERIFY(enabled(C::ShowBox));
}

void ZyrAppTest::zoomStopsAtItsBounds() {
    CGalaxy& g = g_galaxy;
    QCOMPARE(g.viewDistance, 50.0);
    QVERIFY(frame_->executeCommand(C::ZoomIn));
    QCOMPARE(g.viewDistance, 50.0 * 0.9090909090909091);
    for (int i = 0; i < 100; ++i) frame_->executeCommand(C::ZoomIn);
    const double nearest = g.viewDistance;
    QVERIFY(nearest <= 0.05);
    QVERIFY(nearest > 0.05 / 1.1);
    PaintCounter paints(g_galaxyView);
    QVERIFY(frame_->executeCommand(C::ZoomIn));
    QCOMPARE(g.viewDistance, nearest);
    QCOMPARE(paints.count, 1);  // repainted all the same
    for (int i = 0; i < 200; ++i) frame_->executeCommand(C::ZoomOut);
    const double farthest = g.viewDistance;
    QVERIFY(farthest >= 1000.0);
    QVERIFY(farthest < 1100.0);
    QVERIFY(frame_->executeCommand(C::ZoomOut));
    QCOMPARE(g.viewDistance, farthest);
}

void ZyrAppTest::zoomWorksFromInformationWindow() {
    app_->OnShowInfo();
    QCOMPARE(frame_->activeChild(), infoFrame());
    PaintCounter paints(g_galaxyView);
    QVERIFY(frame_->executeCommand(C::ZoomIn));
    QCOMPARE(g_galaxy.viewDistance, 50.0 / 1.1);
    QCOMPARE(paints.count, 1);
}

void ZyrAppTest::rotateAcceleratorsAndSpin() {
    CGalaxy& g = g_galaxy;
    const Quaternion start = g.orientation;
    for (int id : {C::RotateUp, C::RotateUp, C::RotateDown, C::RotateDown}) QVERIFY(frame_->executeCommand(id));
    QVERIFY(near(g.orientation, start, 1e-15));

    Quaternion expected = aboutX(0.01) * g.orientation;
    frame_->executeCommand(C::RotateUp);
    QVERIFY(equal(g.orientation, expected));

    spinning = 1;
    PaintCounter paints(g_galaxyView);
    frame_->executeCommand(C::RotateRight);
    expected = aboutY(0.01) * expected;
    QVERIFY(equal(g.orientation, expected));
    QCOMPARE(spinning, 1);
    QCOMPARE(paints.count, 1);
    frame_->executeCommand(C::RotateLeft);
    QVERIFY(equal(g.orientation, aboutY(-0.01) * expected));
    QCOMPARE(spinning, 0);
    for (int id : {C::RotateUp, C::RotateDown}) {
        spinning = 1;
        frame_->executeCommand(id);
        QCOMPARE(spinning, 0);
    }
}

void ZyrAppTest::centerImageKeepsPan() {
    CGalaxy& g = g_galaxy;
    frame_->executeCommand(C::RotateUp);
    g.panX = 0.25;
    g.panY = -0.5;
    frame_->executeCommand(C::ZoomIn);
    spinning = 1;
    QVERIFY(frame_->executeCommand(C::CenterImage));
    QVERIFY(equal(g.orientation, Quaternion()));
    QCOMPARE(spinning, 0);
    QCOMPARE(g.panX, 0.25);
    QCOMPARE(g.panY, -0.5);
    QCOMPARE(g.viewDistance, 50.0 / 1.1);
}

void ZyrAppTest::centreGalaxyKeepsTheRun() {
    CGalaxy& g = g_galaxy;
    // Off the origin and drifting.
    for (int i = 0; i < g.numStars; ++i) {
        g.pos.y[i] += 1.5;
        g.vel.x[i] += 0.02;
    }
    app_->OnRun();
    PaintCounter paints(g_galaxyView);
    QVERIFY(frame_->executeCommand(C::CentreGalaxy));
    QCOMPARE(app_->running, 1);
    QCOMPARE(paints.count, 1);
    g.bookkeeping();
    for (double c : {g.centerX, g.centerY, g.centerZ}) QVERIFY(std::abs(c) < 1e-12);
    for (double p : {g.momentumX, g.momentumY, g.momentumZ}) QVERIFY(std::abs(p) < 1e-12 * g.totalMass);

    // The infinities of a star that blew up would reach every star: none
    // moves, and the user is told why.
    g.vel.z[3] = INFINITY;
    const std::vector<double> before(g.state, g.state + g.stateLen);
    QVERIFY(frame_->executeCommand(C::CentreGalaxy));
    QVERIFY(std::vector<double>(g.state, g.state + g.stateLen) == before);
    QCOMPARE(prompter_->messages.size(), std::size_t{1});
    QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Centre Galaxy"));
}

// ---- keys -------------------------------------------------------------------------

void ZyrAppTest::acceleratorsAsKeyEvents() {
    CGalaxy& g = g_galaxy;
    QWidget* w = frame_;
    QTest::keyClick(w, Qt::Key_R, Qt::AltModifier);
    QCOMPARE(app_->running, 1);
    QTest::keyClick(w, Qt::Key_Period, Qt::AltModifier);
    QCOMPARE(app_->running, 0);
    QTest::keyClick(w, Qt::Key_BracketLeft, Qt::AltModifier);
    QCOMPARE(g.timeStep, 4.0);
    QCOMPARE(g.timeStepSetting, 4.0);
    QTest::keyClick(w, Qt::Key_BracketRight, Qt::AltModifier);
    QCOMPARE(g.timeStep, 8.0);
    QTest::keyClick(w, Qt::Key_Equal, Qt::AltModifier);
    QCOMPARE(g.viewDistance, 50.0 / 1.1);
    QTest::keyClick(w, Qt::Key_Minus, Qt::AltModifier);
    QCOMPARE(g.viewDistance, 50.0 / 1.1 * 1.1);
    QTest::keyClick(w, Qt::Key_T, Qt::ControlModifier);
    QCOMPARE(g.trace, 1);
    QTest::keyClick(w, Qt::Key_T, Qt::ControlModifier);
    QCOMPARE(g.trace, 0);
    const Quaternion start = g.orientation;
    QTest::keyClick(w, Qt::Key_Up, Qt::ControlModifier);
    QVERIFY(equal(g.orientation, aboutX(0.01) * start));
    QTest::keyClick(g_galaxyView, Qt::Key_Down, Qt::ControlModifier);
    QTest::keyClick(w, Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(w, Qt::Key_Left, Qt::ControlModifier);
    QVERIFY(near(g.orientation, start, 1e-15));

    // Ctrl+N from the galaxy view itself: a new galaxy, stopped.
    app_->running = 1;
    g.iteration = 5;
    QTest::keyClick(g_galaxyView, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(app_->running, 0);
    QCOMPARE(g.iteration, 0);
    // Ctrl+P and the Edit keys have no handler.
    QTest::keyClick(w, Qt::Key_P, Qt::ControlModifier);
    QTest::keyClick(w, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(!QApplication::activeModalWidget());
}

void ZyrAppTest::altFStepsInsteadOfOpeningFileMenu() {
    frame_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame_));
    // The mnemonics work here: Alt+E opens the Edit menu.
    QTest::keyClick(frame_, Qt::Key_E, Qt::AltModifier);
    QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
    QApplication::activePopupWidget()->close();
    QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);

    CGalaxy& g = g_galaxy;
    const double t0 = g.time;
    PaintCounter paints(g_galaxyView);
    QTest::keyClick(frame_, Qt::Key_F, Qt::AltModifier);
    QCOMPARE(g.time, t0 + g.timeStep);
    QCOMPARE(g.iteration, 0);
    QCOMPARE(paints.count, 1);
    QVERIFY(QApplication::activePopupWidget() == nullptr);
    QVERIFY(frame_->menuBar()->activeAction() == nullptr);
}

void ZyrAppTest::acceleratorsIgnoredWhileModal() {
    bool sawDialog = false;
    QTimer::singleShot(0, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        sawDialog = qobject_cast<CAboutDlg*>(modal) != nullptr;
        QTest::keyClick(frame_, Qt::Key_R, Qt::AltModifier);
        if (modal) modal->close();
    });
    QVERIFY(frame_->executeCommand(F::AppAbout));
    QVERIFY(sawDialog);
    QCOMPARE(app_->running, 0);
}

// ---- windows ------------------------------------------------------------------------

void ZyrAppTest::showInfoActivatesExistingWindow() {
    QVERIFY(frame_->executeCommand(C::ShowInfo));
    ChildFrame* info = infoFrame();
    QVERIFY(info);
    QCOMPARE(info->geometry(), QRect(0, 275, 500, 200));
    QCOMPARE(info->windowTitle(), QStringLiteral("Info"));
    QCOMPARE(frame_->activeChild(), info);
    galaxyFrame()->activateFrame();
    QCOMPARE(frame_->activeChild(), galaxyFrame());
    QVERIFY(frame_->executeCommand(C::ShowInfo));
    QCOMPARE(app_->infoTemplate->documents().size(), std::size_t{1});
    QCOMPARE(infoFrame(), info);
    QCOMPARE(frame_->activeChild(), info);
    QCOMPARE(frame_->childFrames().size(), std::size_t{2});
}

void ZyrAppTest::showListLeavesExistingWindowBehind() {
    QVERIFY(frame_->executeCommand(C::ShowList));
    const Document* list = app_->noteTemplate->firstDocument();
    QVERIFY(list && list->firstView());
    ChildFrame* listFrame = list->firstView()->parentFrame();
    QCOMPARE(frame_->activeChild(), listFrame);
    QCOMPARE(listFrame->windowTitle(), QStringLiteral("Notebook"));
    galaxyFrame()->activateFrame();
    QVERIFY(frame_->executeCommand(C::ShowList));
    QCOMPARE(app_->noteTemplate->documents().size(), std::size_t{1});
    QCOMPARE(list->views().size(), std::size_t{1});
    QCOMPARE(frame_->activeChild(), galaxyFrame());
}

void ZyrAppTest::showListOpensInsideClientArea() {
    QVERIFY(frame_->executeCommand(C::ShowList));
    View* list = app_->noteTemplate->firstDocument()->firstView();
    // Its title bar, buttons and borders all within reach.
    QVERIFY(frame_->mdiArea()->viewport()->rect().contains(list->parentFrame()->geometry()));
    // The table is wider than the window: the rest is a horizontal scroll away.
    list->RedrawNow();
    const auto bars = list->findChildren<QScrollBar*>();
    const auto horizontal = std::find_if(bars.begin(), bars.end(), [](const QScrollBar* bar) {
        return bar->orientation() == Qt::Horizontal && bar->isVisible();
    });
    QVERIFY(horizontal != bars.end() && (*horizontal)->maximum() > 0);
}

void ZyrAppTest::closingGalaxyWindowClosesInfoAndStopsRun() {
    app_->OnShowInfo();
    app_->OnShowList();
    frame_->executeCommand(C::Run);
    app_->OnIdle(1);
    const int steps = g_galaxy.iteration;
    QCOMPARE(steps, 1);

    // The step is a change no file holds.
    prompter_->replies.push_back(MessageResult::Discard);
    galaxyFrame()->close();
    QCOMPARE(prompter_->messages.size(), std::size_t{1});
    QVERIFY(app_->galaxyTemplate->documents().empty());
    QVERIFY(app_->infoTemplate->documents().empty());
    QCOMPARE(app_->noteTemplate->documents().size(), std::size_t{1});
    QCOMPARE(frame_->childFrames().size(), std::size_t{1});
    QVERIFY(frame_->showingChildMenu());
    app_->OnIdle(2);
    QCOMPARE(app_->running, 0);
    QCOMPARE(g_galaxy.iteration, steps);
    QCOMPARE(app_->FindGalaxyView(), 0);

    // Show Info from the star list's menu reports the galaxy still in memory.
    QVERIFY(frame_->executeCommand(C::ShowInfo));
    QVERIFY(infoFrame());
    QCOMPARE(g_galaxy.numStars, kStars);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(g_galaxyView == nullptr);
}

void ZyrAppTest::newGalaxyReopensGalaxyWindow() {
    g_galaxy.requestedStars = 9;
    galaxyFrame()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!frame_->showingChildMenu());
    spinning = 1;
    QVERIFY(frame_->executeCommand(F::FileNew));
    ChildFrame* galaxy = galaxyFrame();
    QVERIFY(galaxy);
    QCOMPARE(galaxy->geometry(), QRect(0, 0, 300, 300));
    QCOMPARE(g_galaxy.numStars, 9);
    QCOMPARE(spinning, 0);
    QCOMPARE(app_->FindGalaxyView(), 1);
    QVERIFY(frame_->showingChildMenu());
    // A second New keeps the one window.
    QVERIFY(frame_->executeCommand(F::FileNew));
    QCOMPARE(frame_->childFrames().size(), std::size_t{1});
    QCOMPARE(galaxyFrame(), galaxy);
}

void ZyrAppTest::exitClosesEverythingWithoutPrompt() {
    app_->OnShowInfo();
    app_->OnShowList();
    QVERIFY(frame_->executeCommand(F::AppExit));
    QVERIFY(!frame_->isVisible());
    QVERIFY(frame_->childFrames().empty());
    for (const DocTemplate* t : {app_->galaxyTemplate, app_->infoTemplate, app_->noteTemplate})
        QVERIFY(t->documents().empty());
    QVERIFY(prompter_->messages.empty());
}

void ZyrAppTest::cascadeAndTile() {
    app_->OnShowInfo();
    app_->OnShowList();
    QVERIFY(frame_->executeCommand(F::WindowTile));
    const auto frames = frame_->childFrames();
    for (std::size_t i = 0; i < frames.size(); ++i)
        for (std::size_t j = i + 1; j < frames.size(); ++j)
            QVERIFY(!frames[i]->geometry().intersects(frames[j]->geometry()));
    QVERIFY(frame_->executeCommand(F::WindowCascade));
    const QRect galaxy = galaxyFrame()->geometry();
    const QRect info = infoFrame()->geometry();
    QVERIFY(galaxy.topLeft() != info.topLeft());
    // Each kind keeps its size when cascaded.
    QCOMPARE(galaxy.size(), QSize(300, 300));
    QCOMPARE(info.size(), QSize(500, 200));
    QVERIFY(frame_->executeCommand(F::WindowArrange));
}

void ZyrAppTest::aboutBox() {
    QString title;
    QStringList texts;
    QTimer::singleShot(0, this, [&] {
        auto* box = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        if (!box) return;
        title = box->windowTitle();
        for (const QLabel* label : box->findChildren<QLabel*>())
            if (!label->text().isEmpty()) texts << label->text();
        box->findChild<QPushButton*>()->click();
    });
    QVERIFY(frame_->executeCommand(F::AppAbout));
    QCOMPARE(title, QStringLiteral("About Zyr"));
    QVERIFY(texts.contains("Quasarix 2.05 (for Windows)"));
    QCOMPARE(texts.size(), 3);
}

// ---- the simulation driver ------------------------------------------------------------

void ZyrAppTest::idleStepsAndRepaintCadence() {
    CGalaxy& g = g_galaxy;
    PaintCounter galaxyPaints(g_galaxyView);
    app_->OnRun();
    double expectedTime = g.time;
    for (long k = 0; k < 25; ++k) {
        QVERIFY(app_->OnIdle(k));
        expectedTime += g.timeStep;
    }
    QCOMPARE(g.iteration, 25);
    QCOMPARE(g.time, expectedTime);
    QCOMPARE(galaxyPaints.count, 25);

    // Stopped: the information and star-list windows still repaint on every
    // tenth call, the galaxy window not at all.
    app_->OnStop();
    app_->OnShowInfo();
    app_->OnShowList();
    // Let the new windows take their first paint before counting.
    QCoreApplication::processEvents();
    PaintCounter infoPaints(app_->infoTemplate->firstDocument()->firstView());
    PaintCounter listPaints(app_->noteTemplate->firstDocument()->firstView());
    galaxyPaints.count = 0;
    for (long k = 0; k <= 30; ++k) app_->OnIdle(k);
    QCOMPARE(infoPaints.count, 4);  // 0, 10, 20, 30
    QCOMPARE(listPaints.count, 4);
    QCOMPARE(galaxyPaints.count, 0);
    // The report's bookkeeping restarts the step counter of its rate
    // measurement, so only the time tells that no step was taken.
    QCOMPARE(g.time, expectedTime);
}

void ZyrAppTest::runWithoutGalaxyWindowIsCleared() {
    galaxyFrame()->close();
    const double t0 = g_galaxy.time;
    app_->OnRun();
    QCOMPARE(app_->running, 1);
    app_->OnIdle(0);
    QCOMPARE(app_->running, 0);
    QCOMPARE(g_galaxy.iteration, 0);
    QCOMPARE(g_galaxy.time, t0);
}

void ZyrAppTest::spinningFreezesSimulation() {
    CGalaxy& g = g_galaxy;
    spinStep = aboutY(0.05);
    spinning = 1;
    app_->OnRun();
    Quaternion expected = g.orientation;
    const double t0 = g.time;
    PaintCounter paints(g_galaxyView);
    for (long k = 1; k <= 5; ++k) {
        app_->OnIdle(k);
        expected = spinStep * expected;
    }
    QVERIFY(equal(g.orientation, expected));
    QCOMPARE(g.iteration, 0);
    QCOMPARE(g.time, t0);
    QCOMPARE(paints.count, 5);
    spinning = 0;
    app_->OnIdle(6);
    QCOMPARE(g.iteration, 1);
}

void ZyrAppTest::forwardOneStepUsesImprovedEuler() {
    CGalaxy& g = g_galaxy;
    g.integrationMethod = IntegrationMethod::RungeKutta4;
    const std::vector<double> start(g.state, g.state + g.stateLen);
    const double t0 = g.time;
    QVERIFY(frame_->executeCommand(C::ForwardOneStep));
    QCOMPARE(g.time, t0 + g.timeStep);
    QCOMPARE(g.iteration, 0);
    const std::vector<double> stepped(g.state, g.state + g.stateLen);
    QVERIFY(stepped != start);

    // The same step taken by the driver's Improved Euler, from the same state.
    auto stepWith = [&](int method) {
        std::copy(start.begin(), start.end(), g.state);
        g.time = t0;
        g.integrationMethod = method;
        integrationStep(g_galaxy);
        return std::vector<double>(g.state, g.state + g.stateLen);
    };
    QVERIFY(stepWith(IntegrationMethod::ImprovedEuler) == stepped);
    QVERIFY(stepWith(IntegrationMethod::RungeKutta4) != stepped);

    // While running it does nothing.
    app_->OnRun();
    const double t1 = g.time;
    QVERIFY(frame_->executeCommand(C::ForwardOneStep));
    QCOMPARE(g.time, t1);
}

void ZyrAppTest::forwardOneStepRestartsAdamsMoulton() {
    CGalaxy& g = g_galaxy;
    g.integrationMethod = IntegrationMethod::AdamsMoulton;
    app_->OnRun();
    // Past the four start-up steps: the history is full.
    for (long k = 1; k <= 6; ++k) app_->OnIdle(k);
    app_->OnStop();
    QVERIFY(frame_->executeCommand(C::ForwardOneStep));
    const std::vector<double> start(g.state, g.state + g.stateLen);
    const double t0 = g.time;
    app_->OnRun();
    app_->OnIdle(7);
    const std::vector<double> next(g.state, g.state + g.stateLen);

    // The history ends where Forward One Step began, so the next step starts
    // it anew with an Improved Euler step from the present state.
    std::copy(start.begin(), start.end(), g.state);
    g.time = t0;
    g.integrationMethod = IntegrationMethod::ImprovedEuler;
    integrationStep(g_galaxy);
    QVERIFY(std::vector<double>(g.state, g.state + g.stateLen) == next);
}

void ZyrAppTest::runStopsWhenAStepIsNoLongerFinite() {
    CGalaxy& g = g_galaxy;
    // Two stars on top of each other without a shield fly apart without bound.
    g.shieldModifier = 0.0;
    for (int i : {4, 5}) g.pos.x[i] = g.pos.y[i] = g.pos.z[i] = 0.0;
    g.pos.x[5] = 1e-155;
    app_->OnRun();
    for (long k = 1; k <= 10 && app_->running; ++k) app_->OnIdle(k);
    QCOMPARE(app_->running, 0);
    QCOMPARE(prompter_->messages.size(), std::size_t{1});
    QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Simulation Stopped"));
    QVERIFY2(prompter_->messages[0].text.contains(QStringLiteral("infinite or not a number")),
             qPrintable(prompter_->messages[0].text));
}

void ZyrAppTest::exactEnergyChoosesTheReportsPotential() {
    CGalaxy& g = g_galaxy;
    g.forceMethod = ForceMethod::BarnesHut;
    for (const int source : {PotentialSource::Tree, PotentialSource::Exact, PotentialSource::Tree}) {
        QCOMPARE(checked(C::ExactEnergy), source == PotentialSource::Exact);
        g.bookkeeping();
        QCOMPARE(g.potentialSource, source);
        QVERIFY(frame_->executeCommand(C::ExactEnergy));
    }
    QVERIFY(frame_->executeCommand(C::ExactEnergy));
}

void ZyrAppTest::halveThenDoubleRestoresStep() {
    CGalaxy& g = g_galaxy;
    g.timeStep = 0.3;
    g.timeStepSetting = 0.7;
    for (int k = 0; k < 3; ++k) frame_->executeCommand(C::HalveTimestep);
    QCOMPARE(g.timeStep, 0.3 / 8);
    QCOMPARE(g.timeStepSetting, 0.7 / 8);
    for (int k = 0; k < 3; ++k) frame_->executeCommand(C::DoubleTimestep);
    QCOMPARE(g.timeStep, 0.3);
    QCOMPARE(g.timeStepSetting, 0.7);
}

void ZyrAppTest::idleDriverThroughEventLoop() {
    IdleDriver& driver = app_->idleDriver();
    app_->OnRun();
    driver.start();
    QTRY_VERIFY(g_galaxy.iteration >= 30);
    QVERIFY(driver.idleCount() >= 30);
    frame_->executeCommand(C::Stop);
    const int steps = g_galaxy.iteration;
    QTest::qWait(20);
    QCOMPARE(g_galaxy.iteration, steps);
    driver.stop();
}

void ZyrAppTest::inputRestartsIdleCount() {
    IdleDriver& driver = app_->idleDriver();
    driver.start();
    QTRY_VERIFY(driver.idleCount() > 20);
    QTest::keyClick(g_galaxyView, Qt::Key_A);
    QCOMPARE(driver.idleCount(), 0L);
    QTRY_VERIFY(driver.idleCount() > 20);
    QTest::mouseMove(g_galaxyView, QPoint(10, 10));
    QTest::mouseMove(g_galaxyView, QPoint(20, 20));
    QCOMPARE(driver.idleCount(), 0L);
    driver.stop();
}

void ZyrAppTest::messageBoxPausesSimulation() {
    app_->setPrompter(std::make_unique<QtPrompter>());
    app_->OnRun();
    app_->idleDriver().start();
    QTRY_VERIFY(g_galaxy.iteration > 3);
    bool sawBox = false;
    int stepsInside = -1;
    QTimer::singleShot(0, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        sawBox = box != nullptr;
        const int before = g_galaxy.iteration;
        for (int i = 0; i < 300; ++i) QCoreApplication::processEvents();
        stepsInside = g_galaxy.iteration - before;
        if (box) box->button(QMessageBox::Ok)->click();
    });
    const MessageResult result = app_->prompter().messageBox("Paused?", "Zyr", MessageButtons::OkCancel);
    QCOMPARE(result, MessageResult::Ok);
    QVERIFY(sawBox);
    QCOMPARE(stepsInside, 0);
    const int after = g_galaxy.iteration;
    QTRY_VERIFY(g_galaxy.iteration > after + 3);
    app_->idleDriver().stop();
}

void ZyrAppTest::modalDialogPausesSimulation() {
    app_->OnRun();
    app_->idleDriver().start();
    QTRY_VERIFY(g_galaxy.iteration > 3);
    int stepsInside = -1;
    QTimer::singleShot(0, this, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        const int before = g_galaxy.iteration;
        for (int i = 0; i < 300; ++i) QCoreApplication::processEvents();
        stepsInside = g_galaxy.iteration - before;
        if (dialog) dialog->close();
    });
    QVERIFY(frame_->executeCommand(F::AppAbout));
    QCOMPARE(stepsInside, 0);
    const int after = g_galaxy.iteration;
    QTRY_VERIFY(g_galaxy.iteration > after + 3);
    app_->idleDriver().stop();
}

void ZyrAppTest::simulationSpeedIsRememberedAndPaces_data() {
    QTest::addColumn<QVariant>("saved");  // left in the settings by hand; none: chosen from the menu
    QTest::addColumn<int>("id");          // the menu item in force at the next start
    QTest::addColumn<int>("interval");    // milliseconds between steps
    QTest::newRow("full speed") << QVariant() << int(C::FullSpeed) << 0;
    QTest::newRow("250") << QVariant() << int(C::Speed250) << 4;
    QTest::newRow("60") << QVariant() << int(C::Speed60) << 17;
    QTest::newRow("25") << QVariant() << int(C::Speed25) << 40;
    QTest::newRow("10") << QVariant() << int(C::Speed10) << 100;
    QTest::newRow("saved 25") << QVariant(25) << int(C::Speed25) << 40;
    QTest::newRow("not offered") << QVariant(30) << int(C::FullSpeed) << 0;
    QTest::newRow("negative") << QVariant(-10) << int(C::FullSpeed) << 0;
    QTest::newRow("text") << QVariant(QStringLiteral("fast")) << int(C::FullSpeed) << 0;
    QTest::newRow("fraction") << QVariant(QStringLiteral("10.5")) << int(C::FullSpeed) << 0;
}

void ZyrAppTest::simulationSpeedIsRememberedAndPaces() {
    QFETCH(QVariant, saved);
    QFETCH(int, id);
    QFETCH(int, interval);
    QVERIFY(checked(C::FullSpeed));
    if (saved.isValid()) {
        QSettings().setValue(QStringLiteral("Simulation/StepsPerSecond"), saved);
    } else {
        // Another choice first, so that the row's own has one to replace.
        QVERIFY(frame_->executeCommand(id == C::Speed10 ? C::Speed25 : C::Speed10));
        QVERIFY(frame_->executeCommand(id));
    }

    restartProgram();
    if (QTest::currentTestFailed()) return;
    for (int speed : {C::FullSpeed, C::Speed250, C::Speed60, C::Speed25, C::Speed10})
        QCOMPARE(checked(speed), speed == id);
    // The timer ticks at the chosen rate, and no step is taken but on a tick.
    IdleDriver& driver = app_->idleDriver();
    QCOMPARE(driver.timer().interval(), interval);
    QSignalSpy ticks(&driver.timer(), &QTimer::timeout);
    app_->OnRun();
    driver.start();
    QTRY_VERIFY(ticks.count() >= 3);
    driver.stop();
    QCOMPARE(g_galaxy.iteration, int(ticks.count()));
}

QTEST_MAIN(ZyrAppTest)
#include "zyr_app_qtest.moc"
