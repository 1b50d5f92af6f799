// The Rotate dialog driven as a user drives it: clicks on its two up-down
// controls turn the galaxy view, OK keeps the turn, Cancel and Escape put the
// orientation back exactly.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <functional>
#include <memory>

#include "app/zyr_app.h"
#include "dialogs/rotate_dlg.h"
#include "model/galaxy.h"
#include "platform/mdi_frame.h"
#include "platform/prompter.h"
#include "platform/up_down_control.h"
#include "tests/support/program_under_test.h"
#include "view/command_ids.h"
#include "view/galaxy_window.h"
#include "view/zyr_view.h"

namespace {

bool equal(const Quaternion& a, const Quaternion& b) { return a.w == b.w && a.x == b.x && a.y == b.y && a.z == b.z; }

// One press of an arrow: up or right steps by +1, which turns by -0.2 rad.
void click(UpDownControl* control, int delta) {
    QTest::mouseClick(control, Qt::LeftButton, {}, control->buttonRect(delta).center());
}

QPushButton* button(QWidget* dialog, const QString& text) {
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

}  // namespace

class RotateDlgTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init();
    void cleanup();

    void layout();
    void clicksTurnAndCancelRestores();
    void okKeepsTheTurn();
    void escapeRestores();

private:
    // Sends the dialog's command and runs drive inside its event loop.
    void runDialog(const std::function<void(CRotateDlg*)>& drive);

    std::unique_ptr<CZyrApp> app_;
};

void RotateDlgTest::init() {
    startProgram(app_, 16, 3u);
    if (QTest::currentTestFailed()) return;
    // Start from a turned view, so that restoring means more than the identity.
    app_->mainFrame()->executeCommand(CommandId::RotateUp);
    app_->mainFrame()->executeCommand(CommandId::RotateRight);
}

void RotateDlgTest::cleanup() {
    stopProgram(app_);
}

void RotateDlgTest::runDialog(const std::function<void(CRotateDlg*)>& drive) {
    bool found = false;
    QTimer::singleShot(0, this, [&] {
        auto* dialog = qobject_cast<CRotateDlg*>(QApplication::activeModalWidget());
        found = dialog != nullptr;
        if (!dialog) return;
        drive(dialog);
        if (dialog->isVisible()) dialog->done(QDialog::Accepted);
    });
    QVERIFY(app_->mainFrame()->executeCommand(CommandId::RotateDialog));
    QVERIFY(found);
}

void RotateDlgTest::layout() {
    runDialog([](CRotateDlg* dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Dialog"));
        QCOMPARE(dialog->control(1000)->orientation(), Qt::Horizontal);
        QCOMPARE(dialog->control(1001)->orientation(), Qt::Vertical);
        QStringList texts;
        for (const QLabel* label : dialog->findChildren<QLabel*>()) texts << label->text();
        texts.sort();
        QCOMPARE(texts, QStringList({"Rotate about y axis", "Rotate about z axis"}));
        QVERIFY(button(dialog, "OK"));
        QVERIFY(button(dialog, "Cancel"));
        // OK sits above Cancel at the right.
        QVERIFY(button(dialog, "OK")->y() < button(dialog, "Cancel")->y());
        QCOMPARE(button(dialog, "OK")->x(), button(dialog, "Cancel")->x());
    });
}

void RotateDlgTest::clicksTurnAndCancelRestores() {
    const Quaternion start = g_galaxy.orientation;
    spinning = 1;
    PaintCounter paints(g_galaxyView);
    Quaternion afterClicks;
    runDialog([&](CRotateDlg* dialog) {
        QVERIFY(equal(dialog->savedOrientation, start));
        click(dialog->control(1000), 1);
        click(dialog->control(1000), 1);
        click(dialog->control(1001), -1);
        click(dialog->control(1000), -1);
        afterClicks = g_galaxy.orientation;
        button(dialog, "Cancel")->click();
    });
    const double a = 0.1;
    const Quaternion plusY(std::cos(a), 0.0, std::sin(a), 0.0);
    const Quaternion minusY(std::cos(-a), 0.0, std::sin(-a), 0.0);
    const Quaternion plusX(std::cos(a), std::sin(a), 0.0, 0.0);
    QVERIFY(equal(afterClicks, plusY * (plusX * (minusY * (minusY * start)))));
    QVERIFY(equal(g_galaxy.orientation, start));
    // Each click and the Cancel repaint the galaxy view; the dialog leaves the spin alone.
    QCOMPARE(paints.count, 5);
    QCOMPARE(spinning, 1);
}

void RotateDlgTest::okKeepsTheTurn() {
    const Quaternion start = g_galaxy.orientation;
    runDialog([](CRotateDlg* dialog) {
        click(dialog->control(1001), 1);
        button(dialog, "OK")->click();
    });
    const Quaternion minusX(std::cos(-0.1), std::sin(-0.1), 0.0, 0.0);
    QVERIFY(equal(g_galaxy.orientation, minusX * start));
}

void RotateDlgTest::escapeRestores() {
    const Quaternion start = g_galaxy.orientation;
    runDialog([](CRotateDlg* dialog) {
        dialog->control(1001)->setFocus();
        QTest::keyClick(dialog->control(1001), Qt::Key_Up);
        QTest::keyClick(dialog->control(1000), Qt::Key_Right);
        QVERIFY(!equal(g_galaxy.orientation, dialog->savedOrientation));
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QVERIFY(equal(g_galaxy.orientation, start));
}

QTEST_MAIN(RotateDlgTest)
#include "rotate_dlg_qtest.moc"
