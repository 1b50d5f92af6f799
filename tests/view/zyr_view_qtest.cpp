// The galaxy view under the mouse: left drags turn it, a quick release leaves
// it spinning, a click stops the spin, right drags pan, and a move with Ctrl or
// Shift held acts as a drag of the button pressed last.
#include <QApplication>
#include <QMouseEvent>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <memory>

#include "app/zyr_app.h"
#include "model/galaxy.h"
#include "platform/mdi_frame.h"
#include "platform/prompter.h"
#include "tests/support/program_under_test.h"
#include "view/galaxy_window.h"
#include "view/zyr_view.h"

namespace {

bool near(const Quaternion& a, const Quaternion& b) {
    constexpr double kTolerance = 1e-15;
    return std::abs(a.w - b.w) < kTolerance && std::abs(a.x - b.x) < kTolerance &&
           std::abs(a.y - b.y) < kTolerance && std::abs(a.z - b.z) < kTolerance;
}

// Turn by the given angle (radians) about a unit screen axis (ax, ay, 0).
Quaternion turnBy(double angle, double ax, double ay) {
    return {std::cos(angle / 2), std::sin(angle / 2) * ax, std::sin(angle / 2) * ay, 0.0};
}

}  // namespace

class ZyrViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init();
    void cleanup();

    void startValues();
    void leftDragTurnsTheView();
    void shortMovesAddUp();
    void releaseAfterQuickStepSpins();
    void clickStopsTheSpin();
    void rightDragPansWithoutStoppingSpin();
    void modifierMoveActsAsDrag();
    void plainMoveDoesNothing();
    void doubleClickIsNoPress();

private:
    void press(Qt::MouseButton button, QPoint p, Qt::KeyboardModifiers modifiers = {});
    void move(QPoint p, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = {});
    void release(Qt::MouseButton button, QPoint p);

    std::unique_ptr<CZyrApp> app_;
    CZyrView* view_ = nullptr;
};

void ZyrViewTest::init() {
    startProgram(app_, 16, 5u);
    if (QTest::currentTestFailed()) return;
    view_ = g_galaxyView;
    QVERIFY(view_);
}

void ZyrViewTest::cleanup() {
    stopProgram(app_);
}

void ZyrViewTest::press(Qt::MouseButton button, QPoint p, Qt::KeyboardModifiers modifiers) {
    QMouseEvent event(QEvent::MouseButtonPress, p, view_->mapToGlobal(p), button, button, modifiers);
    QApplication::sendEvent(view_, &event);
}

void ZyrViewTest::move(QPoint p, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    QMouseEvent event(QEvent::MouseMove, p, view_->mapToGlobal(p), Qt::NoButton, buttons, modifiers);
    QApplication::sendEvent(view_, &event);
}

void ZyrViewTest::release(Qt::MouseButton button, QPoint p) {
    QMouseEvent event(QEvent::MouseButtonRelease, p, view_->mapToGlobal(p), button, Qt::NoButton, {});
    QApplication::sendEvent(view_, &event);
}

void ZyrViewTest::startValues() {
    QCOMPARE(view_->lastPoint, QPoint(0, 0));
    QCOMPARE(view_->dragButton, 0);
    QCOMPARE(view_->dragLength, 0.0);
    QCOMPARE(view_->showBox, 1);
    QVERIFY(view_->hasMouseTracking());
    // A click on a fresh view starts no spin.
    press(Qt::LeftButton, {50, 50});
    release(Qt::LeftButton, {50, 50});
    QCOMPARE(spinning, 0);
}

void ZyrViewTest::leftDragTurnsTheView() {
    const Quaternion start = g_galaxy.orientation;
    PaintCounter paints(view_);
    press(Qt::LeftButton, {100, 100});
    QCOMPARE(view_->lastPoint, QPoint(100, 100));
    // 10 pixels to the right: about the vertical screen axis, 0.006 rad a pixel.
    move({110, 100}, Qt::LeftButton);
    const Quaternion right = turnBy(0.06, 0.0, 1.0);
    QVERIFY(near(g_galaxy.orientation, right * start));
    // 3 right and 4 down, a step of 5: the axis (0.8, -0.6) is perpendicular to it.
    move({113, 104}, Qt::LeftButton);
    const Quaternion diagonal = turnBy(-0.03, 0.8, -0.6);
    QVERIFY(near(g_galaxy.orientation, diagonal * (right * start)));
    QCOMPARE(view_->lastPoint, QPoint(113, 104));
    QCOMPARE(view_->dragLength, 5.0);
    // The spin it would leave is a fifth of the last step's turn.
    QVERIFY(near(spinStep, turnBy(-0.006, 0.8, -0.6)));
    // Each step is painted at once.
    QCOMPARE(paints.count, 2);
    QCOMPARE(spinning, 0);
}

void ZyrViewTest::shortMovesAddUp() {
    press(Qt::LeftButton, {100, 100});
    move({104, 100}, Qt::LeftButton);
    spinning = 1;
    const Quaternion before = g_galaxy.orientation;
    // A move that ends where the last one did is no step: nothing changes,
    // not even the spin.
    move({104, 100}, Qt::LeftButton);
    QVERIFY(near(g_galaxy.orientation, before));
    QCOMPARE(spinning, 1);
    QCOMPARE(view_->dragLength, 4.0);
}

void ZyrViewTest::releaseAfterQuickStepSpins() {
    press(Qt::LeftButton, {100, 100});
    move({120, 100}, Qt::LeftButton);
    move({123, 100}, Qt::LeftButton);
    release(Qt::LeftButton, {123, 100});
    QCOMPARE(spinning, 0);

    const Quaternion start = g_galaxy.orientation;
    press(Qt::LeftButton, {100, 100});
    move({100, 90}, Qt::LeftButton);
    move({100, 86}, Qt::LeftButton);
    release(Qt::LeftButton, {100, 86});
    QCOMPARE(spinning, 1);
    QCOMPARE(view_->dragLength, 0.0);
    // The drag has turned about the horizontal axis; the spin keeps that axis.
    QVERIFY(near(g_galaxy.orientation, turnBy(0.024, 1.0, 0.0) * (turnBy(0.06, 1.0, 0.0) * start)));
    QVERIFY(near(spinStep, turnBy(0.0048, 1.0, 0.0)));
    // The idle loop turns the spinning view by the spin step.
    const Quaternion spun = spinStep * g_galaxy.orientation;
    QVERIFY(app_->OnIdle(1));
    QVERIFY(near(g_galaxy.orientation, spun));
}

void ZyrViewTest::clickStopsTheSpin() {
    press(Qt::LeftButton, {100, 100});
    move({108, 100}, Qt::LeftButton);
    release(Qt::LeftButton, {108, 100});
    QCOMPARE(spinning, 1);
    const Quaternion spinningAt = g_galaxy.orientation;
    press(Qt::LeftButton, {60, 60});
    release(Qt::LeftButton, {60, 60});
    QCOMPARE(spinning, 0);
    QVERIFY(near(g_galaxy.orientation, spinningAt));
    // A drag step during the spin stops it too, before the button comes up.
    spinning = 1;
    press(Qt::LeftButton, {60, 60});
    move({61, 60}, Qt::LeftButton);
    QCOMPARE(spinning, 0);
}

void ZyrViewTest::rightDragPansWithoutStoppingSpin() {
    spinning = 1;
    const Quaternion orientation = g_galaxy.orientation;
    const double panX = g_galaxy.panX;
    const double panY = g_galaxy.panY;
    press(Qt::RightButton, {100, 100});
    QCOMPARE(view_->dragButton, 1);
    move({130, 80}, Qt::RightButton);
    move({140, 85}, Qt::RightButton);
    release(Qt::RightButton, {140, 85});
    const double f = 0.45 * std::max(view_->width(), view_->height()) * g_galaxy.panScale;
    QCOMPARE(g_galaxy.panX, panX + 30 / f + 10 / f);
    QCOMPARE(g_galaxy.panY, panY + -20 / f + 5 / f);
    QCOMPARE(view_->lastPoint, QPoint(140, 85));
    QCOMPARE(spinning, 1);
    QVERIFY(near(g_galaxy.orientation, orientation));
}

void ZyrViewTest::modifierMoveActsAsDrag() {
    // After a left press, a Ctrl move with no button turns.
    press(Qt::LeftButton, {100, 100});
    release(Qt::LeftButton, {100, 100});
    const Quaternion start = g_galaxy.orientation;
    move({100, 107}, Qt::NoButton, Qt::ControlModifier);
    QVERIFY(near(g_galaxy.orientation, turnBy(-0.042, 1.0, 0.0) * start));
    QCOMPARE(view_->lastPoint, QPoint(100, 107));

    // After a right press, a Shift move with no button pans.
    press(Qt::RightButton, {50, 50});
    release(Qt::RightButton, {50, 50});
    const double panX = g_galaxy.panX;
    const Quaternion turned = g_galaxy.orientation;
    move({62, 50}, Qt::NoButton, Qt::ShiftModifier);
    const double f = 0.45 * std::max(view_->width(), view_->height()) * g_galaxy.panScale;
    QCOMPARE(g_galaxy.panX, panX + 12 / f);
    QVERIFY(near(g_galaxy.orientation, turned));
}

void ZyrViewTest::plainMoveDoesNothing() {
    press(Qt::LeftButton, {100, 100});
    release(Qt::LeftButton, {100, 100});
    const Quaternion start = g_galaxy.orientation;
    PaintCounter paints(view_);
    move({150, 140}, Qt::NoButton);
    QVERIFY(near(g_galaxy.orientation, start));
    QCOMPARE(view_->lastPoint, QPoint(100, 100));
    QCOMPARE(paints.count, 0);
}

void ZyrViewTest::doubleClickIsNoPress() {
    press(Qt::RightButton, {40, 40});
    release(Qt::RightButton, {40, 40});
    QMouseEvent event(QEvent::MouseButtonDblClick, QPointF(70, 70), view_->mapToGlobal(QPointF(70, 70)),
                      Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(view_, &event);
    QCOMPARE(view_->lastPoint, QPoint(40, 40));
    QCOMPARE(view_->dragButton, 1);
}

QTEST_MAIN(ZyrViewTest)
#include "zyr_view_qtest.moc"
