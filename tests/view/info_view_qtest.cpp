// The information report: the text of both pages for a known galaxy, its
// independence of the user's locale, the tab outlines and fills, the places
// the lines are painted at, and the tab clicks.
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QtTest>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "app/zyr_app.h"
#include "model/galaxy.h"
#include "platform/child_frame.h"
#include "platform/doc_template.h"
#include "platform/document.h"
#include "platform/mdi_frame.h"
#include "platform/prompter.h"
#include "tests/support/program_under_test.h"
#include "view/command_ids.h"
#include "view/galaxy_window.h"
#include "view/info_view.h"
#include "view/zyr_view.h"

namespace {

using Lines = std::vector<std::tuple<int, int, std::string>>;

Lines flatten(const std::vector<ReportLine>& lines) {
    Lines out;
    for (const ReportLine& l : lines) out.emplace_back(l.x, l.y, l.text);
    return out;
}

std::string lineAt(const std::vector<ReportLine>& lines, int x, int y) {
    for (const ReportLine& l : lines)
        if (l.x == x && l.y == y) return l.text;
    return "(none)";
}

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kGrey = qRgb(170, 190, 190);

bool dark(QRgb pixel) { return qRed(pixel) < 128 && qGreen(pixel) < 128 && qBlue(pixel) < 128; }

// A galaxy whose report is known: every figure set by hand.
void setKnownFigures(CGalaxy& g) {
    g.scale = UnitScale::Galactic;
    g.time = 12345.678;
    g.boxSize = 5.0;
    g.totalMass = 204800.0;
    g.numStars = 16;
    g.shape = GalaxyShape::Disc;
    g.forceMethod = ForceMethod::BarnesHut;
    g.integrationMethod = IntegrationMethod::RungeKutta4;
    g.timeStep = 8.0;
    g.itersPerSecond = 0.5;
    g.totalEnergy = -1.5e-3;
    g.kineticEnergy = std::numeric_limits<double>::quiet_NaN();
    g.potentialEnergy = -std::numeric_limits<double>::infinity();
    g.momentumX = 0.0;
    g.momentumY = 123456789.0;
    g.momentumZ = -9.999e-100;
    g.centerX = 1e300;
    g.centerY = 0.00499;
    g.centerZ = -7.0;
    g.potentialSource = PotentialSource::Tree;
}

const Lines kModelPage = {
    {10, 33, " Time:  1.23e+04"},
    {230, 33, " Time Unit:  Myr"},
    {10, 47, " Box Edge Length:  5.000000"},
    {230, 47, " Length Unit:  k ly"},
    {10, 61, " Total Mass:  2.05e+05"},
    {230, 61, " Mass Unit:  Solar Masses"},
    {10, 89, " Number of Stars: 16"},
    {230, 89, " Galaxy Shape: Disc"},
    {10, 103, " Force Method: Barnes-Hut"},
    {230, 103, " Integration: Runge Kutta 4"},
    {10, 131, " Time Step:  8.00e+00"},
    {230, 131, " Iter/sec 5.00e-01"},
};

const Lines kPositionPage = {
    {10, 33, " Total Energy:  -1.50e-03"},
    {230, 33, " Energy Unit:  Msol (k ly)^2/ (Myr)^2"},
    {10, 47, " Kinetic Energy:      nan"},
    {230, 47, " Momentum Unit:  Msol k ly / Myr"},
    {10, 61, " Potential Energy:     -inf"},
    {230, 61, " Length Unit:  k ly"},
    {10, 89, " X Momentum:  0.00e+00"},
    {230, 89, " X Center of Mass:  1.00e+300"},
    {10, 103, " Y Momentum:  1.23e+08"},
    {230, 103, " Y Center of Mass:  4.99e-03"},
    {10, 117, " Z Momentum:  -1.00e-99"},
    {230, 117, " Z Center of Mass:  -7.00e+00"},
    {10, 131, " Potential from the tree walk"},
};

}  // namespace

class InfoViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init();
    void cleanup();

    void pagesOfAKnownGalaxy();
    void linesFollowTheSettings();
    void numbersIgnoreTheUserLocale();
    void outlinesAndFillsOfBothPages();
    void linesArePaintedWhereTheyBelong();
    void everyDrawingRunsTheBookkeeping();
    void progressOfALongReportIsNotPaintedInsideAPaint();
    void tabClicks();
    void clickActivatesTheWindow();

private:
    QImage picture() { return view_->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    std::unique_ptr<CZyrApp> app_;
    CInfoView* view_ = nullptr;
};

void InfoViewTest::init() {
    startProgram(app_, 16, 7u);
    if (QTest::currentTestFailed()) return;
    app_->OnShowInfo();
    view_ = qobject_cast<CInfoView*>(app_->infoTemplate->firstDocument()->firstView());
    QVERIFY(view_);
    QVERIFY(QTest::qWaitForWindowExposed(view_));
    QCOMPARE(view_->page, 0);
}

void InfoViewTest::cleanup() {
    stopProgram(app_);
}

void InfoViewTest::pagesOfAKnownGalaxy() {
    setKnownFigures(g_galaxy);
    QCOMPARE(flatten(infoReportLines(g_galaxy, 0)), kModelPage);
    QCOMPARE(flatten(infoReportLines(g_galaxy, 1)), kPositionPage);
}

void InfoViewTest::linesFollowTheSettings() {
    setKnownFigures(g_galaxy);
    // Dynamic Euler sums pairs directly whatever the force method says.
    g_galaxy.integrationMethod = IntegrationMethod::DynamicEuler;
    auto lines = infoReportLines(g_galaxy, 0);
    QCOMPARE(lineAt(lines, 10, 103), std::string(" Force Method: Direct"));
    QCOMPARE(lineAt(lines, 230, 103), std::string(" Integration: Dynamic Euler"));

    // A shape outside the known ones has no line.
    g_galaxy.shape = 42;
    lines = infoReportLines(g_galaxy, 0);
    QCOMPARE(lineAt(lines, 230, 89), std::string("(none)"));
    QCOMPARE(lines.size(), std::size_t{11});

    // What a generated model chose has a line below the others.
    g_galaxy.modelNote = "Spline softening of 0.1 k ly.";
    QCOMPARE(lineAt(infoReportLines(g_galaxy, 0), 10, 145), std::string(" Model: Spline softening of 0.1 k ly."));

    // A figure too long for the 80-character line buffer is cut at 79.
    g_galaxy.boxSize = std::ldexp(1.0, 256);
    QCOMPARE(lineAt(infoReportLines(g_galaxy, 0), 10, 47),
             std::string(" Box Edge Length:  115792089237316195423570985008687907853269984665640564039457"));

    // The scale command switches the unit names and the box.
    QVERIFY(app_->mainFrame()->executeCommand(CommandId::ScaleSolarSystem));
    lines = infoReportLines(g_galaxy, 0);
    QCOMPARE(lineAt(lines, 230, 33), std::string(" Time Unit:  days"));
    QCOMPARE(lineAt(lines, 230, 47), std::string(" Length Unit:  AU"));
    QCOMPARE(lineAt(lines, 230, 61), std::string(" Mass Unit:  Earth Masses"));
    QCOMPARE(lineAt(lines, 10, 47), std::string(" Box Edge Length:  100.000000"));
    // The next start-up takes the scale chosen last.
    QVERIFY(app_->mainFrame()->executeCommand(CommandId::ScaleGalactic));
}

void InfoViewTest::numbersIgnoreTheUserLocale() {
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "de_DE.utf8"))
        QSKIP("no German locale installed");
    char decimal[16];
    std::snprintf(decimal, sizeof decimal, "%.1f", 1.5);
    const std::string german = decimal;
    setKnownFigures(g_galaxy);
    const Lines model = flatten(infoReportLines(g_galaxy, 0));
    const Lines position = flatten(infoReportLines(g_galaxy, 1));
    std::setlocale(LC_ALL, "C");
    // The locale was in force: the C library itself wrote a decimal comma.
    QCOMPARE(german, std::string("1,5"));
    QCOMPARE(model, kModelPage);
    QCOMPARE(position, kPositionPage);
}

void InfoViewTest::outlinesAndFillsOfBothPages() {
    // A window larger than the report shows white beyond it.
    view_->parentFrame()->resize(700, 320);
    QTRY_VERIFY(view_->width() > 600 && view_->height() > 200);
    QImage image = picture();
    QCOMPARE(image.size(), view_->size());
    // The frame, the tabs and the line under the inactive tab.
    for (QPoint p : {QPoint(5, 100), QPoint(7, 20), QPoint(480, 100), QPoint(300, 160), QPoint(10, 10),
                     QPoint(100, 2), QPoint(230, 10), QPoint(300, 3), QPoint(470, 10), QPoint(300, 20),
                     QPoint(470, 20)})
        QCOMPARE(image.pixel(p), kBlack);
    QCOMPARE(image.pixel(100, 20), kWhite);  // the active tab opens into the body
    QCOMPARE(image.pixel(20, 10), kWhite);
    QCOMPARE(image.pixel(240, 10), kGrey);
    QCOMPARE(image.pixel(468, 19), kGrey);
    QCOMPARE(image.pixel(469, 10), kWhite);  // the grey stops one pixel short of the tab's edge
    QCOMPARE(image.pixel(100, 100), kWhite);
    QCOMPARE(image.pixel(600, 250), kWhite);
    QCOMPARE(image.pixel(481, 100), kWhite);

    view_->page = 1;
    image = picture();
    for (QPoint p : {QPoint(100, 20), QPoint(10, 20), QPoint(230, 20), QPoint(470, 20), QPoint(480, 20),
                     QPoint(5, 100)})
        QCOMPARE(image.pixel(p), kBlack);
    QCOMPARE(image.pixel(300, 20), kWhite);
    QCOMPARE(image.pixel(469, 20), kWhite);
    QCOMPARE(image.pixel(240, 10), kWhite);
    QCOMPARE(image.pixel(20, 10), kGrey);
    QCOMPARE(image.pixel(20, 3), kGrey);  // this tab's fill starts a row higher
    QCOMPARE(image.pixel(229, 19), kGrey);
    QCOMPARE(image.pixel(100, 100), kWhite);
}

void InfoViewTest::linesArePaintedWhereTheyBelong() {
    for (int page : {0, 1}) {
        view_->page = page;
        const QImage image = picture();
        // The figures as the last update left them.
        const auto lines = infoReportLines(g_galaxy, page);
        auto owner = [&](int x, int y) {
            for (std::size_t i = 0; i < lines.size(); ++i) {
                const int right = lines[i].x == 10 ? 230 : 480;
                if (x >= lines[i].x && x < right && y >= lines[i].y && y < lines[i].y + 12) return int(i);
            }
            return -1;
        };
        std::vector<int> top(lines.size(), 1000), left(lines.size(), 1000);
        for (int y = 21; y < 160; ++y)
            for (int x = 6; x < 480; ++x) {
                if (!dark(image.pixel(x, y))) continue;
                const int i = owner(x, y);
                QVERIFY2(i >= 0, qPrintable(QStringLiteral("stray ink at %1,%2 on page %3").arg(x).arg(y).arg(page)));
                top[i] = std::min(top[i], y);
                left[i] = std::min(left[i], x);
            }
        for (std::size_t i = 0; i < lines.size(); ++i) {
            QVERIFY2(top[i] < 1000, lines[i].text.c_str());
            // Capitals reach close to the top of the cell; the leading space keeps the ink off x.
            QVERIFY2(top[i] <= lines[i].y + 4, lines[i].text.c_str());
            QVERIFY2(left[i] > lines[i].x && left[i] < lines[i].x + 12, lines[i].text.c_str());
        }
        // The tab titles: "Model" from (80, 3) and "Position/Energy" from (300, 4).
        int modelLeft = 1000, positionLeft = 1000, modelTop = 1000, positionTop = 1000;
        for (int y = 3; y < 20; ++y)
            for (int x = 11; x < 470; ++x) {
                if (x == 230 || !dark(image.pixel(x, y)) || (y == 3 && x > 230)) continue;
                if (x < 230) {
                    modelLeft = std::min(modelLeft, x);
                    modelTop = std::min(modelTop, y);
                } else {
                    positionLeft = std::min(positionLeft, x);
                    positionTop = std::min(positionTop, y);
                }
            }
        QVERIFY(modelLeft >= 80 && modelLeft < 83);
        QVERIFY(positionLeft >= 300 && positionLeft < 303);
        QVERIFY(modelTop >= 3 && modelTop <= 6);
        QVERIFY(positionTop >= 4 && positionTop <= 7);
    }
}

void InfoViewTest::everyDrawingRunsTheBookkeeping() {
    double mass = 0.0;
    for (int i = 0; i < g_galaxy.numStars; ++i) mass += g_galaxy.mass[i];
    g_galaxy.totalMass = -1.0;
    g_galaxy.totalEnergy = 99.0;
    view_->RedrawNow();
    QCOMPARE(g_galaxy.totalMass, mass);
    QVERIFY(g_galaxy.totalEnergy != 99.0);
}

// The pass over all pairs of 65,536 stars takes well over the half second
// after which the status bar shows its progress. Qt crashes when that repaint
// comes from inside the report's own paint.
void InfoViewTest::progressOfALongReportIsNotPaintedInsideAPaint() {
    g_galaxy.requestedStars = 65536;
    g_galaxy.forceMethod = ForceMethod::Direct;
    QVERIFY(g_galaxy.newGalaxy());
    QStatusBar* status = app_->mainFrame()->statusBar();
    struct StatusPaints : QObject {
        const QWidget* report = nullptr;
        int all = 0, insideTheReportsPaint = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) {
                ++all;
                if (report->paintingActive()) ++insideTheReportsPaint;
            }
            return false;
        }
    } paints;
    paints.report = view_;
    status->installEventFilter(&paints);
    QStringList messages;
    connect(status, &QStatusBar::messageChanged, [&](const QString& text) { messages << text; });
    view_->RedrawNow();
    view_->update();
    QCoreApplication::processEvents();
    status->removeEventFilter(&paints);
    QVERIFY(!messages.filter(QStringLiteral("Exact energy: ")).isEmpty());
    QVERIFY(paints.all > 0);
    QCOMPARE(paints.insideTheReportsPaint, 0);
}

void InfoViewTest::tabClicks() {
    PaintCounter paints(view_);
    auto click = [&](int x, int y) { QTest::mouseClick(view_, Qt::LeftButton, {}, QPoint(x, y)); };
    // Position/Energy switches and repaints at once.
    click(300, 10);
    QCOMPARE(view_->page, 1);
    QCOMPARE(paints.count, 1);
    // Model switches without a repaint: the old page stays until the next one.
    click(100, 10);
    QCOMPARE(view_->page, 0);
    QCOMPARE(paints.count, 1);
    // The tab edges, and the body below them, are no tab.
    view_->page = 1;
    for (QPoint p : {QPoint(10, 10), QPoint(230, 10), QPoint(100, 21), QPoint(100, 1)}) {
        click(p.x(), p.y());
        QCOMPARE(view_->page, 1);
    }
    view_->page = 0;
    for (QPoint p : {QPoint(470, 10), QPoint(300, 21), QPoint(300, 100), QPoint(475, 10)}) {
        click(p.x(), p.y());
        QCOMPARE(view_->page, 0);
    }
    QCOMPARE(paints.count, 1);
    // The first and last rows of the tabs count.
    click(469, 2);
    QCOMPARE(view_->page, 1);
    click(11, 20);
    QCOMPARE(view_->page, 0);
}

void InfoViewTest::clickActivatesTheWindow() {
    QMdiArea* area = app_->mainFrame()->mdiArea();
    g_galaxyView->parentFrame()->activateFrame();
    QCOMPARE(area->activeSubWindow(), static_cast<QMdiSubWindow*>(g_galaxyView->parentFrame()));
    QTest::mouseClick(view_, Qt::LeftButton, {}, QPoint(300, 100));
    QCOMPARE(area->activeSubWindow(), static_cast<QMdiSubWindow*>(view_->parentFrame()));
}

QTEST_MAIN(InfoViewTest)
#include "info_view_qtest.moc"
