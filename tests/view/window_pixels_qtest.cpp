// What the galaxy window shows is exactly the picture zyr-sim writes: the
// window's pixels against a raster of the same size drawn by the renderer.
#include <QApplication>
#include <QImage>
#include <QtTest>
#include <cmath>
#include <memory>

#include "app/zyr_app.h"
#include "model/galaxy.h"
#include "platform/child_frame.h"
#include "platform/mdi_frame.h"
#include "platform/prompter.h"
#include "render/galaxy_renderer.h"
#include "render/raster.h"
#include "tests/support/program_under_test.h"
#include "view/galaxy_window.h"
#include "view/zyr_view.h"

namespace {

struct ViewOptions {
    int redshift = 0;
    int chromaDepth = 0;
    int depthCue = 1;
    int blackBackground = 1;
    int starSize = 0;
    int ballMode = 0;
    int showBox = 1;
};

void applyOptions(const ViewOptions& o, CGalaxy& g) {
    g.redshift = o.redshift;
    g.chromaDepth = o.chromaDepth;
    g.depthCue = o.depthCue;
    g.blackBackground = o.blackBackground;
    g.starSize = o.starSize;
    g.ballMode = o.ballMode;
}

// The number of pixels that differ from the background; a picture of the
// background alone would make the comparison say nothing.
int paintedPixels(const Raster& raster) {
    const std::uint32_t background = raster.pixel(0, 0);
    int count = 0;
    for (int y = 0; y < raster.height(); ++y)
        for (int x = 0; x < raster.width(); ++x) count += raster.pixel(x, y) != background;
    return count;
}

}  // namespace

Q_DECLARE_METATYPE(ViewOptions)

class WindowPixelsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init();
    void cleanup();

    void windowEqualsRenderer_data();
    void windowEqualsRenderer();

private:
    std::unique_ptr<CZyrApp> app_;
    ViewOptions saved_;
};

void WindowPixelsTest::init() {
    const CGalaxy& g = g_galaxy;
    saved_ = {g.redshift, g.chromaDepth, g.depthCue, g.blackBackground, g.starSize, g.ballMode, 1};
    startProgram(app_, 40, 11u);
    if (QTest::currentTestFailed()) return;
    QVERIFY(g_galaxyView);
}

void WindowPixelsTest::cleanup() {
    app_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    applyOptions(saved_, g_galaxy);
}

void WindowPixelsTest::windowEqualsRenderer_data() {
    QTest::addColumn<ViewOptions>("options");
    QTest::addColumn<QSize>("size");
    QTest::newRow("defaults") << ViewOptions{} << QSize();
    QTest::newRow("redshift, size 2") << ViewOptions{1, 0, 1, 1, 2, 0, 1} << QSize();
    QTest::newRow("balls, white background, no box") << ViewOptions{0, 0, 0, 0, 0, 1, 0} << QSize();
    QTest::newRow("chromadepth, size 3, resized") << ViewOptions{0, 1, 1, 1, 3, 0, 1} << QSize(173, 211);
}

void WindowPixelsTest::windowEqualsRenderer() {
    QFETCH(ViewOptions, options);
    QFETCH(QSize, size);
    CZyrView* view = g_galaxyView;
    if (size.isValid()) {
        // The frame around the view, so that the view itself gets the new size.
        QWidget* frame = view->parentFrame();
        frame->resize(frame->size() + size - view->size());
        QCOMPARE(view->size(), size);
    }
    applyOptions(options, g_galaxy);
    view->showBox = options.showBox;
    // A turn off the axes, so that the box's edges and the stars' depth order
    // are no special case.
    const double a = 0.3, b = -0.2;
    g_galaxy.orientation = Quaternion(std::cos(a), std::sin(a), 0.0, 0.0) *
                           Quaternion(std::cos(b), 0.0, std::sin(b), 0.0);
    view->RedrawNow();

    const QImage shown = view->grab().toImage().convertToFormat(QImage::Format_RGB32);

    Raster expected;
    QVERIFY(expected.resize(view->width(), view->height()));
    renderGalaxy(g_galaxy, expected, options.showBox != 0);
    QVERIFY(paintedPixels(expected) > 40);

    QCOMPARE(shown.size(), QSize(expected.width(), expected.height()));
    for (int y = 0; y < expected.height(); ++y) {
        const auto* line = reinterpret_cast<const std::uint32_t*>(shown.constScanLine(y));
        for (int x = 0; x < expected.width(); ++x) {
            if (line[x] != expected.pixel(x, y))
                QFAIL(qPrintable(QStringLiteral("pixel (%1, %2): window %3, renderer %4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(line[x], 8, 16, QLatin1Char('0'))
                                     .arg(expected.pixel(x, y), 8, 16, QLatin1Char('0'))));
        }
    }
}

QTEST_MAIN(WindowPixelsTest)
#include "window_pixels_qtest.moc"
