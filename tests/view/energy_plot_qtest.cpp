// The energy plot window: where it opens, what it records from the running
// simulation, when its history starts again, and what it draws.
#include <QApplication>
#include <QImage>
#include <QtTest>
#include <memory>

#include "app/zyr_app.h"
#include "model/galaxy.h"
#include "platform/child_frame.h"
#include "platform/doc_template.h"
#include "platform/document.h"
#include "platform/framework_ids.h"
#include "platform/mdi_frame.h"
#include "platform/prompter.h"
#include "tests/support/program_under_test.h"
#include "view/command_ids.h"
#include "view/energy_plot_view.h"
#include "view/galaxy_window.h"
#include "view/zyr_view.h"

namespace {

// Pixels of the colour well inside the plot's frame, away from the legend.
int interiorPixelsOf(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 28; y < image.height() - 12; ++y)
        for (int x = 12; x < image.width() - 12; ++x) count += image.pixel(x, y) == colour;
    return count;
}

}  // namespace

class EnergyPlotTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init();
    void cleanup();

    void opensRightOfGalaxyAndActivatesExisting();
    void recordsBookkeepingAtIdle();
    void newGalaxyStartsHistoryAgain();
    void historyThinsOutKeepingWholeRun();
    void drawsThreeCurves();

private:
    CEnergyPlotView* plot() const;

    std::unique_ptr<CZyrApp> app_;
    ScriptedPrompter* prompter_ = nullptr;
};

void EnergyPlotTest::init() {
    prompter_ = startProgram(app_, 24, 9u);
    if (QTest::currentTestFailed()) return;
}

void EnergyPlotTest::cleanup() {
    stopProgram(app_);
}

CEnergyPlotView* EnergyPlotTest::plot() const {
    const Document* doc = app_->plotTemplate->firstDocument();
    return doc ? static_cast<CEnergyPlotView*>(doc->firstView()) : nullptr;
}

void EnergyPlotTest::opensRightOfGalaxyAndActivatesExisting() {
    MdiFrame* frame = app_->mainFrame();
    QVERIFY(!plot());
    QVERIFY(frame->executeCommand(CommandId::EnergyPlot));
    QVERIFY(plot());
    ChildFrame* plotFrame = plot()->parentFrame();
    QCOMPARE(plotFrame->geometry(), QRect(300, 0, 200, 275));
    QCOMPARE(plotFrame->windowTitle(), QStringLiteral("Energy"));
    QCOMPARE(frame->activeChild(), plotFrame);
    g_galaxyView->parentFrame()->activateFrame();
    QVERIFY(frame->executeCommand(CommandId::EnergyPlot));
    QCOMPARE(app_->plotTemplate->documents().size(), std::size_t{1});
    QCOMPARE(frame->activeChild(), plotFrame);
}

void EnergyPlotTest::recordsBookkeepingAtIdle() {
    QVERIFY(app_->mainFrame()->executeCommand(CommandId::EnergyPlot));
    plot()->RedrawNow();
    // Repaints of a stopped simulation add nothing.
    plot()->RedrawNow();
    QCOMPARE(plot()->history().samples().size(), std::size_t{1});

    app_->running = 1;
    constexpr int kSteps = 5;
    for (int i = 0; i < kSteps; ++i) app_->OnIdle(0);
    const std::vector<EnergySample>& samples = plot()->history().samples();
    QCOMPARE(samples.size(), std::size_t{kSteps + 1});
    for (std::size_t i = 1; i < samples.size(); ++i) QVERIFY(samples[i].time > samples[i - 1].time);

    CGalaxy& g = g_galaxy;
    g.bookkeeping();
    const EnergySample& last = samples.back();
    QCOMPARE(last.time, g.time);
    QCOMPARE(last.kinetic, g.kineticEnergy);
    QCOMPARE(last.potential, g.potentialEnergy);
    QCOMPARE(last.total, g.kineticEnergy + g.potentialEnergy);
    QVERIFY(last.kinetic > 0.0);
    QVERIFY(last.potential < 0.0);

    // Idle calls between the plot's turns leave it alone.
    app_->OnIdle(3);
    QCOMPARE(plot()->history().samples().size(), std::size_t{kSteps + 1});
}

void EnergyPlotTest::newGalaxyStartsHistoryAgain() {
    QVERIFY(app_->mainFrame()->executeCommand(CommandId::EnergyPlot));
    plot()->RedrawNow();
    app_->running = 1;
    for (int i = 0; i < 3; ++i) app_->OnIdle(0);
    QCOMPARE(plot()->history().samples().size(), std::size_t{4});
    prompter_->replies.push_back(MessageResult::Discard);  // the run's changes
    QVERIFY(app_->mainFrame()->executeCommand(FrameworkId::FileNew));
    plot()->RedrawNow();
    QCOMPARE(plot()->history().samples().size(), std::size_t{1});
    QCOMPARE(plot()->history().samples().front().time, 0.0);
}

void EnergyPlotTest::historyThinsOutKeepingWholeRun() {
    EnergyHistory history;
    const int count = 3 * static_cast<int>(EnergyHistory::kMaxSamples);
    for (int i = 0; i < count; ++i) history.add({double(i), 1.0, -2.0, -1.0});
    const std::vector<EnergySample>& samples = history.samples();
    QVERIFY(samples.size() <= EnergyHistory::kMaxSamples);
    QVERIFY(samples.size() > EnergyHistory::kMaxSamples / 4);
    QCOMPARE(samples.front().time, 0.0);
    QCOMPARE(samples.back().time, double(count - 1));
    for (std::size_t i = 1; i < samples.size(); ++i) QVERIFY(samples[i].time > samples[i - 1].time);

    // A sample at the last time replaces it; an earlier time starts anew.
    history.add({double(count - 1), 5.0, -6.0, -1.0});
    QCOMPARE(history.samples().back().kinetic, 5.0);
    history.add({0.0, 1.0, -1.0, 0.0});
    QCOMPARE(history.samples().size(), std::size_t{1});
}

void EnergyPlotTest::drawsThreeCurves() {
    QVERIFY(app_->mainFrame()->executeCommand(CommandId::EnergyPlot));
    app_->running = 1;
    for (int i = 0; i < 4; ++i) app_->OnIdle(0);
    const QImage image = plot()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(image.size(), plot()->size());
    // Each curve crosses the plot from left to right.
    const int columns = image.width() - 24;
    QVERIFY(interiorPixelsOf(image, qRgb(255, 0, 0)) >= columns);
    QVERIFY(interiorPixelsOf(image, qRgb(0, 0, 255)) >= columns);
    QVERIFY(interiorPixelsOf(image, qRgb(0, 0, 0)) >= columns);
    // and so does the drift of the total energy, on a scale of its own
    QVERIFY(interiorPixelsOf(image, qRgb(0, 150, 0)) >= columns / 2);
}

QTEST_MAIN(EnergyPlotTest)
#include "energy_plot_qtest.moc"
