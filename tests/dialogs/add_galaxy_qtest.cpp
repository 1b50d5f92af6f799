// Add Galaxy as the user meets it: the dialog and its checks, the file dialog
// behind Browse, and the galaxy after the merge or after a failure.
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/zyr_app.h"
#include "dialogs/add_galaxy_dlg.h"
#include "io/galaxy_file.h"
#include "model/galaxy.h"
#include "platform/mdi_frame.h"
#include "platform/prompter.h"
#include "tests/support/program_under_test.h"
#include "view/command_ids.h"
#include "view/galaxy_window.h"
#include "view/zyr_view.h"

namespace {

using Dlg = CAddGalaxyDlg;

constexpr int kStars = 16;
constexpr int kAddedStars = 5;

const int kNumberFields[] = {Dlg::IdOffsetX,   Dlg::IdOffsetY,   Dlg::IdOffsetZ,
                             Dlg::IdVelocityX, Dlg::IdVelocityY, Dlg::IdVelocityZ};

// A star field by field: mass, position, velocity, colour.
QList<double> starFields(const CGalaxy& g, int i) {
    return {g.mass[i], g.pos.x[i], g.pos.y[i], g.pos.z[i], g.vel.x[i], g.vel.y[i], g.vel.z[i], double(g.color[i])};
}

QList<QList<double>> allStars(const CGalaxy& g) {
    QList<QList<double>> stars;
    for (int i = 0; i < g.numStars; ++i) stars << starFields(g, i);
    return stars;
}

QLineEdit* field(QDialog* dialog, int id) { return dialog->findChild<QLineEdit*>(QString::number(id)); }

QAbstractButton* button(QDialog* dialog, const QString& text) {
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

}  // namespace

class AddGalaxyTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void dialogStartsAtZeroAndBrowsesGalaxyFiles();
    void mergeAppendsShiftedStars();
    void mergeWithoutGalaxyWindowOpensOne();
    void badNumbersKeepDialogOpen_data();
    void badNumbersKeepDialogOpen();
    void cancelChangesNothing();
    void unreadableFilesLeaveGalaxyUnchanged_data();
    void unreadableFilesLeaveGalaxyUnchanged();

private:
    // Fires Add Galaxy and hands the dialog to drive; a dialog still open
    // afterwards is cancelled.
    void runDialog(const std::function<void(QDialog*)>& drive);
    // Types the file name and the six numbers and presses OK.
    void addThroughDialog(const QString& path, const QStringList& numbers);

    QTemporaryDir dir_;
    QString addedPath_;
    std::unique_ptr<CZyrApp> app_;
    ScriptedPrompter* prompter_ = nullptr;
};

void AddGalaxyTest::initTestCase() {
    QApplication::setQuitOnLastWindowClosed(false);
    QVERIFY(dir_.isValid());
    CGalaxy other;
    other.requestedStars = kAddedStars;
    other.randomSeed = 3u;
    QVERIFY(other.newGalaxy());
    addedPath_ = dir_.filePath("added.zyr");
    QVERIFY(saveGalaxyFile(other, addedPath_.toStdString()).ok());
}

void AddGalaxyTest::init() {
    g_galaxy.requestedStars = kStars;
    g_galaxy.randomSeed = 7u;
    prompter_ = startProgram(app_);
    if (QTest::currentTestFailed()) return;
    QCOMPARE(g_galaxy.numStars, kStars);
}

void AddGalaxyTest::cleanup() {
    stopProgram(app_);
}

void AddGalaxyTest::runDialog(const std::function<void(QDialog*)>& drive) {
    bool ran = false;
    QTimer::singleShot(0, this, [&] {
        auto* dialog = qobject_cast<CAddGalaxyDlg*>(QApplication::activeModalWidget());
        if (!dialog) return;
        ran = true;
        drive(dialog);
        if (dialog->isVisible()) button(dialog, QStringLiteral("Cancel"))->click();
    });
    QVERIFY(app_->mainFrame()->executeCommand(CommandId::AddGalaxy));
    QVERIFY(ran);
}

void AddGalaxyTest::addThroughDialog(const QString& path, const QStringList& numbers) {
    runDialog([&](QDialog* dialog) {
        field(dialog, Dlg::IdFileName)->setText(path);
        for (int i = 0; i < 6; ++i) field(dialog, kNumberFields[i])->setText(numbers[i]);
        button(dialog, QStringLiteral("OK"))->click();
        QVERIFY(!dialog->isVisible());
    });
}

void AddGalaxyTest::dialogStartsAtZeroAndBrowsesGalaxyFiles() {
    prompter_->files.push_back(addedPath_);
    runDialog([&](QDialog* dialog) {
        QVERIFY(field(dialog, Dlg::IdFileName)->text().isEmpty());
        for (int id : kNumberFields) QCOMPARE(field(dialog, id)->text(), QStringLiteral("0.000000"));
        button(dialog, QStringLiteral("Browse..."))->click();
        QCOMPARE(field(dialog, Dlg::IdFileName)->text(), addedPath_);
        // A second Browse that is cancelled keeps the name already chosen.
        button(dialog, QStringLiteral("Browse..."))->click();
        QCOMPARE(field(dialog, Dlg::IdFileName)->text(), addedPath_);
    });
    QCOMPARE(prompter_->fileRequests.size(), std::size_t{2});
    QCOMPARE(prompter_->fileRequests.front().filter, QStringLiteral("Galaxy Files (*.zyr);;HDF5 Snapshots (*.hdf5)"));
    QCOMPARE(g_galaxy.numStars, kStars);
}

void AddGalaxyTest::mergeAppendsShiftedStars() {
    CGalaxy file;
    QVERIFY(loadGalaxyFile(file, addedPath_.toStdString()).ok());
    const QList<QList<double>> before = allStars(g_galaxy);
    const Quaternion orientation(0.8, 0.6, 0.0, 0.0);
    g_galaxy.orientation = orientation;
    app_->running = 1;
    spinning = 1;

    // Blanks around a number are allowed; the C locale reads the point.
    addThroughDialog(addedPath_, {"12.5", " -3 ", "0.25", "1e-3", "0", "-2"});

    QCOMPARE(app_->running, 0);
    QCOMPARE(spinning, 0);
    QCOMPARE(g_galaxy.numStars, kStars + kAddedStars);
    const QList<QList<double>> after = allStars(g_galaxy);
    QCOMPARE(after.mid(0, kStars), before);
    for (int i = 0; i < kAddedStars; ++i) {
        const QList<double> expected = {file.mass[i],         file.pos.x[i] + 12.5, file.pos.y[i] - 3.0,
                                        file.pos.z[i] + 0.25, file.vel.x[i] + 1e-3, file.vel.y[i],
                                        file.vel.z[i] - 2.0,  double(file.color[i])};
        QCOMPARE(after[kStars + i], expected);
    }
    // The camera stays, so the newcomer is seen where it was put.
    QCOMPARE(g_galaxy.orientation.w, orientation.w);
    QCOMPARE(g_galaxy.orientation.x, orientation.x);
    QVERIFY(prompter_->messages.empty());
}

void AddGalaxyTest::mergeWithoutGalaxyWindowOpensOne() {
    app_->closeAllDocuments();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(g_galaxyView == nullptr);
    addThroughDialog(addedPath_, {"0", "0", "0", "0", "0", "0"});
    QCOMPARE(g_galaxy.numStars, kStars + kAddedStars);
    QVERIFY(g_galaxyView);
    QCOMPARE(app_->FindGalaxyView(), 1);
}

void AddGalaxyTest::badNumbersKeepDialogOpen_data() {
    QTest::addColumn<int>("fieldIndex");
    QTest::addColumn<QString>("text");
    QTest::newRow("word") << 0 << QStringLiteral("abc");
    QTest::newRow("empty") << 1 << QString();
    QTest::newRow("trailing letters") << 2 << QStringLiteral("1.5x");
    QTest::newRow("nan") << 3 << QStringLiteral("nan");
    QTest::newRow("infinity") << 4 << QStringLiteral("-inf");
    QTest::newRow("overflow") << 5 << QStringLiteral("1e999");
    QTest::newRow("decimal comma") << 0 << QStringLiteral("1,5");
}

void AddGalaxyTest::badNumbersKeepDialogOpen() {
    QFETCH(int, fieldIndex);
    QFETCH(QString, text);
    const QList<QList<double>> before = allStars(g_galaxy);
    bool stayedOpen = false;
    runDialog([&](QDialog* dialog) {
        field(dialog, Dlg::IdFileName)->setText(addedPath_);
        field(dialog, kNumberFields[fieldIndex])->setText(text);
        button(dialog, QStringLiteral("OK"))->click();
        stayedOpen = dialog->isVisible();
    });
    QVERIFY(stayedOpen);
    QCOMPARE(prompter_->messages.size(), std::size_t{1});
    QCOMPARE(prompter_->messages.front().caption, QStringLiteral("Processing Error"));
    QCOMPARE(prompter_->messages.front().text, QStringLiteral("Please enter a number."));
    QCOMPARE(allStars(g_galaxy), before);
}

void AddGalaxyTest::cancelChangesNothing() {
    const QList<QList<double>> before = allStars(g_galaxy);
    app_->running = 1;
    runDialog([&](QDialog* dialog) { field(dialog, Dlg::IdFileName)->setText(addedPath_); });
    QCOMPARE(app_->running, 1);
    QCOMPARE(allStars(g_galaxy), before);
    QVERIFY(prompter_->messages.empty());
}

void AddGalaxyTest::unreadableFilesLeaveGalaxyUnchanged_data() {
    QTest::addColumn<QByteArray>("contents");  // empty: no such file
    QTest::addColumn<QString>("caption");
    QTest::newRow("missing") << QByteArray() << QStringLiteral("File not found");
    QTest::newRow("no count") << QByteArray("Galaxy\r\n1\r\nmany\r\n") << QStringLiteral("Not a Galaxy File");
}

void AddGalaxyTest::unreadableFilesLeaveGalaxyUnchanged() {
    QFETCH(QByteArray, contents);
    QFETCH(QString, caption);
    const QString path = dir_.filePath(QStringLiteral("bad-%1.zyr").arg(QTest::currentDataTag()));
    if (!contents.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(contents), contents.size());
    }
    const QList<QList<double>> before = allStars(g_galaxy);
    const double time = g_galaxy.time;
    app_->running = 1;
    addThroughDialog(path, {"1", "2", "3", "4", "5", "6"});
    QCOMPARE(app_->running, 0);
    QCOMPARE(prompter_->messages.size(), std::size_t{1});
    QCOMPARE(prompter_->messages.front().caption, caption);
    QCOMPARE(allStars(g_galaxy), before);
    QCOMPARE(g_galaxy.time, time);
}

QTEST_MAIN(AddGalaxyTest)
#include "add_galaxy_qtest.moc"
