// The platform layer on its own: command routing and enabling, accelerators
// against menu mnemonics, the document/frame lifecycle, the idle driver and the
// up-down control, with a minimal application of one window kind.
#include <QApplication>
#include <QDialog>
#include <QMenuBar>
#include <QPainter>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "platform/application.h"
#include "platform/child_frame.h"
#include "platform/doc_template.h"
#include "platform/document.h"
#include "platform/idle_driver.h"
#include "platform/mdi_frame.h"
#include "platform/up_down_control.h"
#include "platform/view.h"

namespace {

constexpr int kPlain = 1;
constexpr int kChildOnly = 2;
constexpr int kKeyed = 3;

class PlainView : public View {
protected:
    void OnDraw(QPainter& painter) override { painter.fillRect(rect(), Qt::white); }
};

class TestApp : public Application {
public:
    TestApp() : Application({}) {}

    bool InitInstance() override {
        docs = addDocTemplate(std::make_unique<DocTemplate>(
            1, "\nPlain\n\n\n\n\n", [] { return std::make_unique<Document>(); }, [] { return new ChildFrame; },
            [] { return new PlainView; }));
        setMainFrame(std::make_unique<MdiFrame>(*this));
        mainFrame()->setMenuLayouts({MenuItem::popup("&File", {MenuItem::command("Plain", kPlain)})},
                                    {MenuItem::popup("&File", {MenuItem::command("Plain", kPlain),
                                                               MenuItem::command("Child only", kChildOnly)})});
        mainFrame()->setAccelerators({{Qt::Key_F, Qt::AltModifier, kKeyed}});
        mainFrame()->show();
        return true;
    }

    ChildFrame* openFrame(Document* doc) {
        ChildFrame* frame = docs->createFrame(doc);
        docs->initialUpdateFrame(frame, doc);
        return frame;
    }

    DocTemplate* docs = nullptr;
};

}  // namespace

class PlatformTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init();
    void cleanup();

    void firstHandlerOnTheRouteRuns();
    void updateHandlersDecideEnabling();
    void disabledCommandsNeverRun();
    void acceleratorWinsOverMnemonic();
    void lastFrameClosesItsDocument();
    void menuLayoutFollowsChildWindows();
    void idleHookWithoutMoreWaitsForInput();
    void idleCallsStopWhileModal();
    void upDownReportsSteps_data();
    void upDownReportsSteps();
    void upDownKeysAndStepBy();

private:
    MdiFrame* frame() const { return app_->mainFrame(); }
    std::unique_ptr<TestApp> app_;
};

void PlatformTest::init() {
    app_ = std::make_unique<TestApp>();
    QVERIFY(app_->InitInstance());
}

void PlatformTest::cleanup() {
    app_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void PlatformTest::firstHandlerOnTheRouteRuns() {
    Document* doc = app_->docs->createDocument();
    ChildFrame* child = app_->openFrame(doc);
    QStringList ran;
    app_->onCommand(kPlain, [&] { ran << "app"; });
    frame()->onCommand(kPlain, [&] { ran << "frame"; });
    child->onCommand(kPlain, [&] { ran << "child"; });
    doc->onCommand(kPlain, [&] { ran << "document"; });
    child->view()->onCommand(kPlain, [&] { ran << "view"; });
    QVERIFY(frame()->executeCommand(kPlain));
    // Without an active child only the frame and the application are asked.
    child->close();
    QVERIFY(frame()->executeCommand(kPlain));
    QCOMPARE(ran, QStringList({"view", "frame"}));
}

void PlatformTest::updateHandlersDecideEnabling() {
    // No handler anywhere: disabled.
    QVERIFY(!frame()->queryCommand(kPlain).enabled());
    // A check-only update handler leaves enabling to the existence of a handler.
    bool on = true;
    app_->onUpdateCommandUI(kPlain, [&](CommandUI& ui) { ui.setCheck(on); });
    CommandUI ui = frame()->queryCommand(kPlain);
    QVERIFY(ui.checked());
    QVERIFY(!ui.enabled());
    app_->onCommand(kPlain, [] {});
    QVERIFY(frame()->queryCommand(kPlain).enabled());
    // The first update handler on the route wins over later ones.
    frame()->onUpdateCommandUI(kPlain, [](CommandUI& u) { u.enable(false); });
    QVERIFY(!frame()->queryCommand(kPlain).enabled());
    QVERIFY(!frame()->queryCommand(kPlain).checked());

    frame()->updateCommandUI();
    QAction* item = frame()->commandActions(kPlain).front();
    QVERIFY(!item->isEnabled());
    QVERIFY(!item->isCheckable());
}

void PlatformTest::disabledCommandsNeverRun() {
    int runs = 0;
    bool allowed = false;
    app_->onCommand(kKeyed, [&] { ++runs; });
    app_->onUpdateCommandUI(kKeyed, [&](CommandUI& ui) { ui.enable(allowed); });
    QVERIFY(!frame()->executeCommand(kKeyed));
    QTest::keyClick(frame(), Qt::Key_F, Qt::AltModifier);
    QCOMPARE(runs, 0);
    allowed = true;
    QTest::keyClick(frame(), Qt::Key_F, Qt::AltModifier);
    QCOMPARE(runs, 1);
}

void PlatformTest::acceleratorWinsOverMnemonic() {
    frame()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame()));
    int runs = 0;
    app_->onCommand(kKeyed, [&] { ++runs; });
    QTest::keyClick(frame(), Qt::Key_F, Qt::AltModifier);
    QCOMPARE(runs, 1);
    QVERIFY(QApplication::activePopupWidget() == nullptr);
    // Without the accelerator the same key opens the "&File" menu.
    frame()->setAccelerators({});
    QTest::keyClick(frame(), Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
    QApplication::activePopupWidget()->close();
    QCOMPARE(runs, 1);
}

void PlatformTest::lastFrameClosesItsDocument() {
    Document* doc = app_->docs->createDocument();
    ChildFrame* first = app_->openFrame(doc);
    ChildFrame* second = app_->openFrame(doc);
    QCOMPARE(frame()->activeChild(), second);
    QCOMPARE(doc->views().size(), std::size_t{2});

    second->close();
    QCOMPARE(app_->docs->firstDocument(), doc);
    QCOMPARE(doc->views().size(), std::size_t{1});
    QCOMPARE(doc->firstView(), first->view());
    QCOMPARE(frame()->activeChild(), first);

    QPointer<ChildFrame> last = first;
    frame()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame()));
    QTest::keyClick(frame(), Qt::Key_F4, Qt::ControlModifier);  // closes the active child
    QVERIFY(app_->docs->documents().empty());
    QVERIFY(frame()->activeChild() == nullptr);
    QVERIFY(!last.isNull());  // deleted only when control returns to the event loop
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(last.isNull());
}

void PlatformTest::menuLayoutFollowsChildWindows() {
    QVERIFY(!frame()->showingChildMenu());
    QVERIFY(frame()->commandActions(kChildOnly).isEmpty());
    Document* doc = app_->docs->createDocument();
    app_->openFrame(doc);
    QVERIFY(frame()->showingChildMenu());
    QCOMPARE(frame()->commandActions(kChildOnly).size(), 1);
    app_->closeAllDocuments();
    QVERIFY(!frame()->showingChildMenu());
    QVERIFY(frame()->commandActions(kChildOnly).isEmpty());
}

void PlatformTest::idleHookWithoutMoreWaitsForInput() {
    QList<long> counts;
    IdleDriver driver([&](long count) {
        counts << count;
        return count < 2;
    });
    driver.start();
    QTRY_COMPARE(counts.size(), 3);
    QTest::qWait(20);
    QCOMPARE(counts, QList<long>({0, 1, 2}));
    QVERIFY(!driver.isCalling());
    QTest::keyClick(frame(), Qt::Key_A);
    QTRY_COMPARE(counts.size(), 6);
    QCOMPARE(counts.mid(3), QList<long>({0, 1, 2}));
}

void PlatformTest::idleCallsStopWhileModal() {
    long calls = 0;
    IdleDriver driver([&](long) {
        ++calls;
        return true;
    });
    driver.start();
    QTRY_VERIFY(calls > 5);
    long inside = -1;
    bool callingInside = true;
    QDialog dialog(frame());
    QTimer::singleShot(0, this, [&] {
        const long before = calls;
        for (int i = 0; i < 200; ++i) QCoreApplication::processEvents();
        inside = calls - before;
        callingInside = driver.isCalling();
        dialog.accept();
    });
    dialog.exec();
    QCOMPARE(inside, 0L);
    QVERIFY(!callingInside);
    QVERIFY(driver.isCalling());
    const long after = calls;
    QTRY_VERIFY(calls > after + 5);
}

void PlatformTest::upDownReportsSteps_data() {
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QPoint>("click");
    QTest::addColumn<int>("delta");
    QTest::newRow("right arrow") << int(Qt::Horizontal) << QPoint(45, 8) << 1;
    QTest::newRow("left arrow") << int(Qt::Horizontal) << QPoint(5, 8) << -1;
    QTest::newRow("up arrow") << int(Qt::Vertical) << QPoint(8, 5) << 1;
    QTest::newRow("down arrow") << int(Qt::Vertical) << QPoint(8, 45) << -1;
}

void PlatformTest::upDownReportsSteps() {
    QFETCH(int, orientation);
    QFETCH(QPoint, click);
    QFETCH(int, delta);
    UpDownControl control(static_cast<Qt::Orientation>(orientation));
    control.resize(orientation == Qt::Horizontal ? QSize(50, 16) : QSize(16, 50));
    QSignalSpy spy(&control, &UpDownControl::positionChanging);
    QTest::mouseClick(&control, Qt::LeftButton, {}, click);
    QTest::mouseClick(&control, Qt::LeftButton, {}, click);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).toInt(), delta);
    QCOMPARE(spy.at(1).at(0).toInt(), delta);
    QVERIFY(control.buttonRect(delta).contains(click));
    QVERIFY(!control.buttonRect(-delta).contains(click));
}

void PlatformTest::upDownKeysAndStepBy() {
    UpDownControl control(Qt::Vertical);
    QSignalSpy spy(&control, &UpDownControl::positionChanging);
    QTest::keyClick(&control, Qt::Key_Up);
    QTest::keyClick(&control, Qt::Key_Left);
    QTest::keyClick(&control, Qt::Key_Right);
    QTest::keyClick(&control, Qt::Key_Down);
    QTest::keyClick(&control, Qt::Key_A);
    control.stepBy(0);
    control.stepBy(-3);
    QList<int> deltas;
    for (const auto& args : spy) deltas << args.at(0).toInt();
    QCOMPARE(deltas, QList<int>({1, -1, 1, -1, -3}));
}

QTEST_MAIN(PlatformTest)
#include "platform_qtest.moc"
