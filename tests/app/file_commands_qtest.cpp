// Open and Save as the user meets them: the file dialogs asked for, the
// messages, the run state and the windows around the galaxy file, from
// whichever window the command comes.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <limits>
#include <memory>

#include "app/documents.h"
#include "app/zyr_app.h"
#include "dialogs/gadget4_export_dlg.h"
#include "io/any_galaxy_file.h"
#include "io/gadget4_export.h"
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
#include "view/energy_plot_view.h"
#include "view/galaxy_window.h"
#include "view/zyr_view.h"

#include <sys/stat.h>

namespace {

namespace C = CommandId;
namespace F = FrameworkId;

constexpr int kStars = 16;

const QString kGalaxyFilter =
    QStringLiteral("Galaxy files (*.zyr *.hdf5);;HDF5 snapshots (*.hdf5);;Zyr galaxies (*.zyr)");

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

ChildFrame* galaxyWindow() { return g_galaxyView->parentFrame(); }

// The first star of the galaxy, field by field, to compare galaxies by.
QList<double> starFields(int i) {
    const CGalaxy& g = g_galaxy;
    return {g.mass[i], g.pos.x[i], g.pos.y[i], g.pos.z[i], g.vel.x[i], g.vel.y[i], g.vel.z[i], double(g.color[i])};
}

}  // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void openAsksForGalaxyFiles();
    void openCancelledWhileRunningKeepsRunning();
    void openMissingFileStopsAndKeepsGalaxy();
    void openReadOnlyFile();
    void openLineEndsAndExponents_data();
    void openLineEndsAndExponents();
    void openUnreadableCount_data();
    void openUnreadableCount();
    void openTruncatedFileWarnsAndLoadsTheStarsItHolds();
    void openFolderOrFifoSaysWhatItIs_data();
    void openFolderOrFifoSaysWhatItIs();
    void openWithoutGalaxyWindowCreatesIt();
    void openFromTheCommandLineAsksNothing();

    void saveAsksForGalaxyFileWithoutOverwriteQuestion();
    void saveReplacesExistingFileAndKeepsRunning();
    void saveFailureLeavesTargetAlone();
    void saveThenOpenRoundTrip();
    void snapshotSaveThenOpenKeepsEveryBitAndABadOneIsRefused();
    void saveDialogAppendsExtensionAndOverwritesSilently();
    void saveInEveryWindowWritesTheGalaxy_data();
    void saveInEveryWindowWritesTheGalaxy();
    void saveWithoutWindowIsDisabled();
    void changesAreAskedAboutBeforeTheyAreLost_data();
    void changesAreAskedAboutBeforeTheyAreLost();
    void saveAsNamesTheFileAndRecentFilesOpenIt();
    void zyrOverARunSaysWhatItLeavesOut();

    void replayStepsThroughASeriesUntilNewGalaxy();
    void replayStopsAtASnapshotThatCannotBeRead();
    void replayDialogTakesSeveralFilesOrAPattern();
    void exportForGadget4AsksFolderEndTimeAndSnapshots();
    void exportAsksBeforeReplacingAndSaysWhereItWrote_data();
    void exportAsksBeforeReplacingAndSaysWhereItWrote();
    void folderDialogTakesANewName();

private:
    // Saves the galaxy as STEM_8, STEM_9 and STEM_10.hdf5, a few steps
    // apart, so that only an order by value puts them right; their times.
    QList<double> writeSeries(const QString& stem);

    // Sends Open or Save with the given answer of the file dialog.
    void openFile(const QString& path);
    void saveFile(const QString& path);

    std::unique_ptr<CZyrApp> app_;
    ScriptedPrompter* prompter_ = nullptr;
    MdiFrame* frame_ = nullptr;
    // A fresh folder for every test.
    std::unique_ptr<QTemporaryDir> dir_;
    // The remembered folder, type and recent files, apart from the user's.
    QTemporaryDir settingsDir_;
};

void FileCommandsTest::initTestCase() {
    QApplication::setQuitOnLastWindowClosed(false);
    QVERIFY(settingsDir_.isValid());
    QCoreApplication::setOrganizationName(QStringLiteral("FileCommandsTest"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir_.path());
}

void FileCommandsTest::init() {
    QSettings().clear();
    g_galaxy.scaleSetting = UnitScale::Galactic;
    prompter_ = startProgram(app_, kStars, 11u);
    if (QTest::currentTestFailed()) return;
    frame_ = app_->mainFrame();
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void FileCommandsTest::cleanup() {
    stopProgram(app_);
    dir_.reset();
}

void FileCommandsTest::openFile(const QString& path) {
    prompter_->files.push_back(path);
    QVERIFY(frame_->executeCommand(F::FileOpen));
    QVERIFY(prompter_->files.empty());
}

void FileCommandsTest::saveFile(const QString& path) {
    prompter_->files.push_back(path);
    QVERIFY(frame_->executeCommand(F::FileSave));
    QVERIFY(prompter_->files.empty());
}

// ---- Open ---------------------------------------------------------------------

void FileCommandsTest::openAsksForGalaxyFiles() {
    QVERIFY(frame_->executeCommand(F::FileOpen));
    QCOMPARE(prompter_->fileRequests.size(), std::size_t{1});
    const FileRequest& request = prompter_->fileRequests.front();
    QVERIFY(request.fileName.isEmpty());
    QCOMPARE(request.filter, kGalaxyFilter);
    QVERIFY(request.defaultSuffix.isEmpty());
    // Open works with no window open as well.
    app_->closeAllDocuments();
    QVERIFY(frame_->executeCommand(F::FileOpen));
    QCOMPARE(prompter_->fileRequests.size(), std::size_t{2});
}

void FileCommandsTest::openCancelledWhileRunningKeepsRunning() {
    app_->OnRun();
    spinning = 1;
    const QList<double> before = starFields(3);
    QVERIFY(frame_->executeCommand(F::FileOpen));  // no answer queued: cancelled
    QCOMPARE(app_->running, 1);
    QCOMPARE(spinning, 1);
    QCOMPARE(starFields(3), before);
    QVERIFY(prompter_->messages.empty());
    spinning = 0;
}

void FileCommandsTest::openMissingFileStopsAndKeepsGalaxy() {
    app_->OnRun();
    spinning = 1;
    const QList<double> before = starFields(5);
    openFile(dir_->filePath("missing.zyr"));
    QCOMPARE(app_->running, 0);
    QCOMPARE(spinning, 0);
    QCOMPARE(prompter_->messages.size(), std::size_t{1});
    QCOMPARE(prompter_->messages[0].text, QStringLiteral("File not found"));
    QCOMPARE(prompter_->messages[0].caption, QStringLiteral("File not found"));
    QCOMPARE(prompter_->messages[0].buttons, MessageButtons::Ok);
    QCOMPARE(g_galaxy.numStars, kStars);
    QCOMPARE(starFields(5), before);
}

void FileCommandsTest::openReadOnlyFile() {
    // Opening needs read access only: a sample file the user may not change loads.
    const QString path = dir_->filePath("sample.zyr");
    writeFile(path, "//Quasarix Version  2.000000 \r\nScale: Solar System \r\n1 \r\n"
                    "2.500000 1.000000 2.000000 3.000000 -0.100000 0.200000 -0.300000 5 \r\n");
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    openFile(path);
    QVERIFY(prompter_->messages.empty());
    QCOMPARE(g_galaxy.numStars, 1);
    QCOMPARE(starFields(0), QList<double>({2.5, 1.0, 2.0, 3.0, -0.1, 0.2, -0.3, 5.0}));
    QCOMPARE(g_galaxy.scale, int(UnitScale::SolarSystem));
    // The next New Galaxy still uses the scale chosen from the menu.
    QCOMPARE(g_galaxy.scaleSetting, int(UnitScale::Galactic));
}

void FileCommandsTest::openLineEndsAndExponents_data() {
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::newRow("CR LF") << QByteArray(" \r\n");
    QTest::newRow("LF") << QByteArray("\n");
}

void FileCommandsTest::openLineEndsAndExponents() {
    QFETCH(QByteArray, lineEnd);
    const QString path = dir_->filePath("exponents.zyr");
    const QByteArray text = "//Quasarix Version  2.000000" + lineEnd + "Scale: Earth-Sun" + lineEnd + "2" + lineEnd +
                            "4e2\t1.5E-3  -2e+1 0 0 0 7.25e0 3" + lineEnd + "1 2 3" + lineEnd;
    writeFile(path, text);
    g_galaxy.orientation = Quaternion(0.6, 0.8, 0.0, 0.0);
    openFile(path);
    QVERIFY(prompter_->messages.empty());
    QCOMPARE(g_galaxy.numStars, 2);
    QCOMPARE(starFields(0), QList<double>({400.0, 0.0015, -20.0, 0.0, 0.0, 0.0, 7.25, 3.0}));
    // A short line keeps zeros and White for the fields it lacks.
    QCOMPARE(starFields(1), QList<double>({1.0, 2.0, 3.0, 0.0, 0.0, 0.0, 0.0, 0.0}));
    QCOMPARE(g_galaxy.scale, int(UnitScale::EarthSun));
    const Quaternion& q = g_galaxy.orientation;
    QVERIFY(q.w == 1.0 && q.x == 0.0 && q.y == 0.0 && q.z == 0.0);
}

void FileCommandsTest::openUnreadableCount_data() {
    QTest::addColumn<QByteArray>("countLine");
    QTest::newRow("not a number") << QByteArray("many");
    QTest::newRow("negative") << QByteArray("-4");
    QTest::newRow("missing") << QByteArray();
}

void FileCommandsTest::openUnreadableCount() {
    QFETCH(QByteArray, countLine);
    const QString path = dir_->filePath("broken.zyr");
    QByteArray text = "//Quasarix Version  2.000000 \r\nScale: Galactic \r\n";
    if (!countLine.isEmpty()) text += countLine + " \r\n1 2 3 4 5 6 7 1 \r\n";
    writeFile(path, text);
    app_->OnRun();
    const QList<double> before = starFields(2);
    openFile(path);
    QCOMPARE(app_->running, 0);
    QCOMPARE(prompter_->messages.size(), std::size_t{1});
    const ScriptedPrompter::Message& message = prompter_->messages[0];
    // The file was found; the box says what is wrong with it instead.
    QCOMPARE(message.caption, QStringLiteral("Not a Galaxy File"));
    QVERIFY2(message.text.contains(QStringLiteral("broken.zyr")) && message.text.contains(QStringLiteral("line 3")),
             qPrintable(message.text));
    QCOMPARE(g_galaxy.numStars, kStars);
    QCOMPARE(starFields(2), before);
}

void FileCommandsTest::openTruncatedFileWarnsAndLoadsTheStarsItHolds() {
    const QString path = dir_->filePath("truncated.zyr");
    writeFile(path, "//Quasarix Version  2.000000 \r\nScale: Galactic \r\n999999999999999999 \r\n"
                    "1 2 3 4 5 6 7 1 \r\n");
    openFile(path);
    QCOMPARE(g_galaxy.numStars, 1);
    QCOMPARE(starFields(0), QList<double>({1, 2, 3, 4, 5, 6, 7, 1}));
    QCOMPARE(prompter_->messages.size(), std::size_t{1});
    const ScriptedPrompter::Message& message = prompter_->messages[0];
    QCOMPARE(message.caption, QStringLiteral("Damaged Galaxy File"));
    QVERIFY2(message.text.contains(QStringLiteral("truncated.zyr")) &&
                 message.text.contains(QStringLiteral("ends after 1 star line;")),
             qPrintable(message.text));
}

void FileCommandsTest::openFolderOrFifoSaysWhatItIs_data() {
    QTest::addColumn<bool>("fifo");
    QTest::addColumn<QString>("text");
    QTest::newRow("folder") << false << QStringLiteral("is a folder, not a galaxy file");
    // must not wait for a writer
    QTest::newRow("FIFO") << true << QStringLiteral("is not a regular file");
}

void FileCommandsTest::openFolderOrFifoSaysWhatItIs() {
    QFETCH(bool, fifo);
    QFETCH(QString, text);
    const QString path = dir_->filePath("other.zyr");
    QVERIFY(fifo ? ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0 : QDir().mkdir(path));
    openFile(path);
    QCOMPARE(prompter_->messages.size(), std::size_t{1});
    QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Not a Galaxy File"));
    QVERIFY2(prompter_->messages[0].text.contains(text), qPrintable(prompter_->messages[0].text));
    QCOMPARE(g_galaxy.numStars, kStars);
}

void FileCommandsTest::openWithoutGalaxyWindowCreatesIt() {
    const QString path = dir_->filePath("two.zyr");
    writeFile(path, "//Quasarix Version  2.000000 \r\nScale: Galactic \r\n2 \r\n"
                    "400.000000 1.250000 -0.500000 0.000000 0.010000 0.020000 0.000000 0 \r\n"
                    "400.000000 -1.250000 0.500000 0.000000 -0.010000 -0.020000 0.000000 3 \r\n");
    app_->closeAllDocuments();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!g_galaxyView);
    g_galaxy.orientation = Quaternion(0.0, 0.0, 1.0, 0.0);
    openFile(path);
    QCOMPARE(app_->galaxyTemplate->documents().size(), std::size_t{1});
    QCOMPARE(app_->FindGalaxyView(), 1);
    QCOMPARE(frame_->activeChild(), g_galaxyView->parentFrame());
    QCOMPARE(g_galaxyView->parentFrame()->geometry(), QRect(0, 0, 300, 300));
    QCOMPARE(g_galaxy.numStars, 2);
    QCOMPARE(g_galaxy.color[1], 3);
    QCOMPARE(g_galaxy.orientation.w, 1.0);
    QCOMPARE(g_galaxyView->parentFrame()->windowTitle(), QStringLiteral("two.zyr"));
    QCOMPARE(frame_->windowTitle(), QStringLiteral("Zyr - two.zyr"));

    // With the window in place, Open repaints it at once.
    QVERIFY(QTest::qWaitForWindowExposed(g_galaxyView));
    PaintCounter paints(g_galaxyView);
    openFile(path);
    QCOMPARE(paints.count, 1);
}

void FileCommandsTest::openFromTheCommandLineAsksNothing() {
    // "zyr --open FILE" goes the way of File > Open without its dialog.
    const QString path = dir_->filePath("given.zyr");
    writeFile(path, "//Quasarix Version  2.000000 \r\nScale: Earth-Sun \r\n1 \r\n"
                    "3.000000 0.500000 0.000000 0.000000 0.000000 0.000000 0.000000 2 \n");
    app_->OnRun();
    app_->openGalaxyFile(path);
    QVERIFY(prompter_->fileRequests.empty());
    QVERIFY(prompter_->messages.empty());
    QCOMPARE(app_->running, 0);
    QCOMPARE(g_galaxy.numStars, 1);
    QCOMPARE(g_galaxy.scale, int(UnitScale::EarthSun));
    app_->openGalaxyFile(dir_->filePath("missing.zyr"));
    QCOMPARE(prompter_->messages.size(), std::size_t{1});
    QCOMPARE(g_galaxy.numStars, 1);
}

// ---- Save ---------------------------------------------------------------------

void FileCommandsTest::saveAsksForGalaxyFileWithoutOverwriteQuestion() {
    QVERIFY(frame_->executeCommand(F::FileSave));  // cancelled
    QCOMPARE(prompter_->fileRequests.size(), std::size_t{1});
    const FileRequest& request = prompter_->fileRequests.front();
    QVERIFY(request.fileName.isEmpty());
    QCOMPARE(request.filter, kGalaxyFilter);
    // Snapshots keep the whole run, so they come first.
    QCOMPARE(request.defaultSuffix, QStringLiteral("hdf5"));
    QVERIFY(!request.confirmOverwrite);
    QVERIFY(prompter_->messages.empty());
    QVERIFY(QDir(dir_->path()).isEmpty());
}

void FileCommandsTest::saveReplacesExistingFileAndKeepsRunning() {
    const QString path = dir_->filePath("old.zyr");
    writeFile(path, QByteArray(5000, 'x'));
    app_->OnRun();
    const double time = g_galaxy.time;
    saveFile(path);
    QVERIFY(prompter_->messages.empty());
    QCOMPARE(readAll(path), QByteArray::fromStdString(formatGalaxyFile(g_galaxy)));
    QCOMPARE(app_->running, 1);
    QCOMPARE(g_galaxy.time, time);
    // No temporary file is left beside it.
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"old.zyr"});
    // The galaxy window names the file, and the next Save writes it unasked.
    QCOMPARE(g_galaxyDoc->pathName(), path);
    app_->OnForwardOneStep();
    QVERIFY(frame_->executeCommand(F::FileSave));
    QCOMPARE(prompter_->fileRequests.size(), std::size_t{1});
    QCOMPARE(readAll(path), QByteArray::fromStdString(formatGalaxyFile(g_galaxy)));
}

void FileCommandsTest::saveFailureLeavesTargetAlone() {
    // A directory where the file should go: nothing can replace it.
    const QString target = dir_->filePath("taken.zyr");
    QVERIFY(QDir().mkdir(target));
    writeFile(target + "/inside.txt", "keep me");
    saveFile(target);
    QCOMPARE(prompter_->messages.size(), std::size_t{1});
    QCOMPARE(prompter_->messages[0].text, QStringLiteral("Could Not Create"));
    QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Could Not Create"));
    QCOMPARE(prompter_->messages[0].buttons, MessageButtons::Ok);
    QCOMPARE(readAll(target + "/inside.txt"), QByteArray("keep me"));
    QCOMPARE(QDir(dir_->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"taken.zyr"});

    // A folder that does not exist cannot take the file either.
    saveFile(dir_->filePath("no/such/folder.zyr"));
    QCOMPARE(prompter_->messages.size(), std::size_t{2});
    QCOMPARE(prompter_->messages[1].text, QStringLiteral("Could Not Create"));

    // A galaxy that is no longer finite would load back as another one.
    const QString older = dir_->filePath("older.zyr");
    writeFile(older, "keep me too");
    g_galaxy.vel.y[3] = std::numeric_limits<double>::infinity();
    saveFile(older);
    QCOMPARE(prompter_->messages.size(), std::size_t{3});
    QCOMPARE(prompter_->messages[2].caption, QStringLiteral("Could Not Create"));
    QVERIFY2(prompter_->messages[2].text.contains(QStringLiteral("star 3 ")), qPrintable(prompter_->messages[2].text));
    QCOMPARE(readAll(older), QByteArray("keep me too"));
}

void FileCommandsTest::saveThenOpenRoundTrip() {
    CGalaxy& g = g_galaxy;
    app_->OnScale(UnitScale::EarthSun);
    g.mass[0] = 0.0000004;
    g.pos.x[1] = 2.5e9;
    g.vel.z[2] = -123.5;
    g.color[3] = 7;
    const QString path = dir_->filePath("round.zyr");
    saveFile(path);
    const QList<double> star4 = starFields(4);
    app_->OnScale(UnitScale::Galactic);
    app_->OnNewGalaxy();
    openFile(path);
    QVERIFY(prompter_->messages.empty());
    QCOMPARE(g.numStars, kStars);
    QCOMPARE(g.scale, int(UnitScale::EarthSun));
    QCOMPARE(g.mass[0], 0.0);
    QCOMPARE(g.pos.x[1], 2.5e9);
    QCOMPARE(g.vel.z[2], -123.5);
    QCOMPARE(g.color[3], 7);
    for (int field = 0; field < 8; ++field) QVERIFY(std::abs(starFields(4)[field] - star4[field]) <= 5e-7);
}

void FileCommandsTest::snapshotSaveThenOpenKeepsEveryBitAndABadOneIsRefused() {
    CGalaxy& g = g_galaxy;
    g.time = 77.25;
    g.pos.y[2] = 1.0 / 3.0;
    const QList<double> star2 = starFields(2);
    const QString path = dir_->filePath("window.hdf5");
    saveFile(path);
    app_->OnNewGalaxy();
    openFile(path);
    QVERIFY(prompter_->messages.empty());
    QCOMPARE(g.numStars, kStars);
    QCOMPARE(g.time, 77.25);
    QCOMPARE(starFields(2), star2);

    const QString bad = dir_->filePath("bad.hdf5");
    writeFile(bad, "//Quasarix Version  2.000000 \r\n");
    openFile(bad);
    QCOMPARE(prompter_->messages.size(), std::size_t{1});
    QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Not a Galaxy File"));
    QVERIFY2(prompter_->messages[0].text.contains(QStringLiteral("not an HDF5 file")),
             qPrintable(prompter_->messages[0].text));
    QCOMPARE(g.time, 77.25);
    QCOMPARE(starFields(2), star2);
}

void FileCommandsTest::saveDialogAppendsExtensionAndOverwritesSilently() {
    // Qt's own dialog, as the user sees it.
    app_->setPrompter(std::make_unique<QtPrompter>());
    const QString existing = dir_->filePath("named.zyr");
    writeFile(existing, "old contents");
    int modalsAfterAccept = -1;
    QTimer::singleShot(0, this, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        QCOMPARE(dialog->defaultSuffix(), QStringLiteral("hdf5"));
        // Picking the filter of one type makes it the type appended.
        dialog->selectNameFilter(QStringLiteral("Zyr galaxies (*.zyr)"));
        dialog->setDirectory(dir_->path());
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        QVERIFY(name->text().isEmpty());
        name->setText(QStringLiteral("named"));
        // A question about replacing the file would open inside accept() and
        // be the modal window this timer finds.
        QTimer::singleShot(0, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            modalsAfterAccept = modal ? 1 : 0;
            if (auto* box = qobject_cast<QMessageBox*>(modal)) box->button(QMessageBox::Yes)->click();
        });
        static_cast<QDialog*>(dialog)->accept();
    });
    QVERIFY(frame_->executeCommand(F::FileSave));
    QCOMPARE(readAll(existing), QByteArray::fromStdString(formatGalaxyFile(g_galaxy)));
    QTRY_VERIFY(modalsAfterAccept >= 0);
    QCOMPARE(modalsAfterAccept, 0);
    QVERIFY(!QFile::exists(dir_->filePath("named")));
}

void FileCommandsTest::saveInEveryWindowWritesTheGalaxy_data() {
    QTest::addColumn<int>("showWindow");
    QTest::addColumn<QString>("caption");
    QTest::newRow("information") << int(C::ShowInfo) << QStringLiteral("Info");
    QTest::newRow("star list") << int(C::ShowList) << QStringLiteral("Notebook");
    QTest::newRow("energy plot") << int(C::EnergyPlot) << QStringLiteral("Energy");
}

void FileCommandsTest::saveInEveryWindowWritesTheGalaxy() {
    QFETCH(int, showWindow);
    QFETCH(QString, caption);
    QVERIFY(frame_->executeCommand(showWindow));
    ChildFrame* window = frame_->activeChild();
    QVERIFY(window->document() != g_galaxyDoc);
    const QString path = dir_->filePath("from-window.zyr");
    saveFile(path);
    QVERIFY(prompter_->messages.empty());
    const FileRequest& request = prompter_->fileRequests.front();
    QCOMPARE(request.filter, kGalaxyFilter);
    QCOMPARE(request.defaultSuffix, QStringLiteral("hdf5"));
    QCOMPARE(readAll(path), QByteArray::fromStdString(formatGalaxyFile(g_galaxy)));
    // The window still shows the galaxy, not the file.
    QCOMPARE(window->windowTitle(), caption);
    QCOMPARE(frame_->windowTitle(), QStringLiteral("Zyr"));
}

void FileCommandsTest::saveWithoutWindowIsDisabled() {
    app_->closeAllDocuments();
    QVERIFY(!frame_->queryCommand(F::FileSave).enabled());
    QVERIFY(!frame_->executeCommand(F::FileSave));
    QVERIFY(prompter_->fileRequests.empty());
    QVERIFY(frame_->queryCommand(F::FileOpen).enabled());
}

// ---- unsaved changes, Save As and the recent files -------------------------------

void FileCommandsTest::changesAreAskedAboutBeforeTheyAreLost_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("reply");  // -1: nothing changed, nothing asked
    QTest::addColumn<bool>("replaced");
    const int exit = F::AppExit, fileNew = F::FileNew, open = F::FileOpen;
    QTest::newRow("step, New, cancel") << "step" << fileNew << int(MessageResult::Cancel) << false;
    QTest::newRow("step, New, discard") << "step" << fileNew << int(MessageResult::Discard) << true;
    QTest::newRow("edit, Open, save") << "colour" << open << int(MessageResult::Save) << true;
    QTest::newRow("added, Open, cancel") << "add" << open << int(MessageResult::Cancel) << false;
    QTest::newRow("step, Exit, cancel") << "step" << exit << int(MessageResult::Cancel) << false;
    QTest::newRow("step, Exit, save") << "step" << exit << int(MessageResult::Save) << true;
    QTest::newRow("nothing, New") << "" << fileNew << -1 << true;
    QTest::newRow("nothing, Exit") << "" << exit << -1 << true;
}

void FileCommandsTest::changesAreAskedAboutBeforeTheyAreLost() {
    QFETCH(QString, change);
    QFETCH(int, command);
    QFETCH(int, reply);
    QFETCH(bool, replaced);
    const QString other = dir_->filePath("other.zyr");
    QVERIFY(saveGalaxyFile(g_galaxy, other.toStdString()).ok());
    const QString saved = dir_->filePath("kept.hdf5");
    if (change == "step") app_->OnForwardOneStep();
    if (change == "colour") app_->OnStarColor(StarColor::Red);
    if (change == "add") {
        const double zero[3] = {};
        app_->addGalaxyFile(other, zero, zero);
    }
    app_->OnIdle(1);  // where the caption catches up
    QCOMPARE(g_galaxyDoc->isModified(), !change.isEmpty());
    QCOMPARE(galaxyWindow()->windowTitle(), change.isEmpty() ? QStringLiteral("Galaxy") : QStringLiteral("Galaxy*"));
    const QList<double> star0 = starFields(0);
    const int stars = g_galaxy.numStars;
    // Open asks for the file first, then about the changes.
    if (command == F::FileOpen) prompter_->files.push_back(other);
    if (reply >= 0) prompter_->replies.push_back(MessageResult(reply));
    if (reply == int(MessageResult::Save)) prompter_->files.push_back(saved);
    app_->running = 1;
    frame_->executeCommand(command);

    QCOMPARE(prompter_->messages.size(), std::size_t{reply >= 0 ? 1u : 0u});
    if (reply >= 0) {
        QCOMPARE(prompter_->messages[0].text, QStringLiteral("Save changes to Galaxy?"));
        QCOMPARE(prompter_->messages[0].buttons, MessageButtons::SaveDiscardCancel);
    }
    QCOMPARE(QFile::exists(saved), reply == int(MessageResult::Save));
    if (command == F::AppExit) {
        QCOMPARE(frame_->isVisible(), !replaced);
    } else if (replaced) {
        QVERIFY(!g_galaxyDoc->isModified());
    } else {
        // Cancelled: the galaxy and its changes stay, and the run goes on
        // (Open stops it, whether or not a file is read).
        QCOMPARE(starFields(0), star0);
        QCOMPARE(g_galaxy.numStars, stars);
        QVERIFY(g_galaxyDoc->isModified());
        QCOMPARE(app_->running, command == F::FileOpen ? 0 : 1);
    }
}

void FileCommandsTest::saveAsNamesTheFileAndRecentFilesOpenIt() {
    const QString first = dir_->filePath("first.hdf5");
    const QString second = dir_->filePath("second.zyr");
    saveFile(first);
    app_->OnForwardOneStep();
    prompter_->files.push_back(second);
    QVERIFY(frame_->executeCommand(F::FileSaveAs));
    QCOMPARE(prompter_->fileRequests.back().fileName, QStringLiteral("first.hdf5"));
    QCOMPARE(galaxyWindow()->windowTitle(), QStringLiteral("second.zyr"));
    // The next dialog starts where the last file went, with its type.
    QVERIFY(frame_->executeCommand(F::FileSaveAs));  // cancelled
    QCOMPARE(prompter_->fileRequests.back().directory, dir_->path());
    QCOMPARE(prompter_->fileRequests.back().defaultSuffix, QStringLiteral("zyr"));

    QStringList recent;
    for (int id = F::FileRecent1; id <= F::FileRecent4; ++id)
        for (const QAction* item : frame_->commandActions(id)) recent << item->text();
    QCOMPARE(recent, (QStringList{"&1 second.zyr", "&2 first.hdf5"}));
    QVERIFY(frame_->executeCommand(F::FileRecent1 + 1));
    QCOMPARE(galaxyWindow()->windowTitle(), QStringLiteral("first.hdf5"));
    QCOMPARE(app_->recentFiles().files().front(), first);
    // A file that has gone is reported and leaves the list.
    QVERIFY(QFile::remove(second));
    QVERIFY(frame_->executeCommand(F::FileRecent1 + 1));
    QCOMPARE(prompter_->messages.back().text, QStringLiteral("File not found"));
    QCOMPARE(app_->recentFiles().files(), QStringList{first});
}

void FileCommandsTest::zyrOverARunSaysWhatItLeavesOut() {
    saveFile(dir_->filePath("fresh.zyr"));
    QVERIFY(frame_->statusBar()->currentMessage().isEmpty());
    app_->OnForwardOneStep();
    prompter_->files.push_back(dir_->filePath("stepped.zyr"));
    QVERIFY(frame_->executeCommand(F::FileSaveAs));
    QVERIFY2(frame_->statusBar()->currentMessage().contains(QStringLiteral("not the time")),
             qPrintable(frame_->statusBar()->currentMessage()));
}

// ---- Replay Snapshots -------------------------------------------------------------

QList<double> FileCommandsTest::writeSeries(const QString& stem) {
    QList<double> times;
    for (const int number : {8, 9, 10}) {
        if (number > 8)
            for (int k = 0; k < 3; ++k) integrationStep(g_galaxy);
        const QString path = dir_->filePath(QStringLiteral("%1_%2.hdf5").arg(stem).arg(number));
        [&] { QVERIFY(saveAnyGalaxyFile(g_galaxy, QFile::encodeName(path).toStdString()).ok()); }();
        times.push_back(g_galaxy.time);
    }
    return times;
}

void FileCommandsTest::replayStepsThroughASeriesUntilNewGalaxy() {
    const QList<double> times = writeSeries(QStringLiteral("snap"));
    const QList<double> lastStar = starFields(4);
    app_->OnNewGalaxy();
    app_->OnShowEnergyPlot();
    auto* plot = static_cast<CEnergyPlotView*>(app_->plotTemplate->firstDocument()->firstView());

    // A pattern as the dialog's answer stands for the files it matches.
    prompter_->files.push_back(dir_->filePath(QStringLiteral("snap_*.hdf5")));
    QVERIFY(frame_->executeCommand(C::ReplaySnapshots));
    QCOMPARE(prompter_->fileRequests.back().caption, QStringLiteral("Replay Snapshots"));
    QVERIFY(prompter_->messages.empty());
    QVERIFY(app_->replay());
    QCOMPARE(app_->replay()->size(), 3);
    QCOMPARE(g_galaxy.time, times[0]);
    QWidget* window = g_galaxyView->parentFrame();
    QCOMPARE(window->windowTitle(), QStringLiteral("snap_8.hdf5 (1 of 3)"));

    // Forward One Step shows the next snapshot in the same view, and the
    // energy plot has a sample of each.
    app_->OnZoomIn();
    const double zoomed = g_galaxy.viewDistance;
    QVERIFY(frame_->executeCommand(C::ForwardOneStep));
    QCOMPARE(g_galaxy.time, times[1]);
    QCOMPARE(window->windowTitle(), QStringLiteral("snap_9.hdf5 (2 of 3)"));
    QCOMPARE(g_galaxy.viewDistance, zoomed);
    QCOMPARE(plot->history().samples().back().time, times[1]);

    // Run takes a snapshot per idle call and stops at the end of the series.
    app_->OnRun();
    app_->OnIdle(1);
    QCOMPARE(g_galaxy.time, times[2]);
    QCOMPARE(starFields(4), lastStar);
    QCOMPARE(app_->running, 1);
    app_->OnIdle(2);
    QCOMPARE(app_->running, 0);
    QCOMPARE(g_galaxy.time, times[2]);
    QCOMPARE(window->windowTitle(), QStringLiteral("snap_10.hdf5 (3 of 3)"));
    QCOMPARE(plot->history().samples().size(), std::size_t{3});

    // New Galaxy leaves replay: Forward One Step integrates again.
    QVERIFY(frame_->executeCommand(F::FileNew));
    QVERIFY(!app_->replay());
    QCOMPARE(window->windowTitle(), QStringLiteral("Galaxy"));
    QVERIFY(frame_->executeCommand(C::ForwardOneStep));
    QCOMPARE(g_galaxy.time, g_galaxy.timeStep);
    QVERIFY(prompter_->messages.empty());
}

void FileCommandsTest::replayStopsAtASnapshotThatCannotBeRead() {
    const QList<double> times = writeSeries(QStringLiteral("run"));
    writeFile(dir_->filePath(QStringLiteral("run_9.hdf5")), "not HDF5");
    const QStringList chosen = {dir_->filePath(QStringLiteral("run_10.hdf5")),
                                dir_->filePath(QStringLiteral("run_9.hdf5")),
                                dir_->filePath(QStringLiteral("run_8.hdf5"))};
    app_->replaySnapshots(chosen);
    QVERIFY(prompter_->messages.empty());
    const QList<double> first = starFields(1);
    app_->OnRun();
    app_->OnIdle(1);
    QCOMPARE(app_->running, 0);
    QCOMPARE(prompter_->messages.size(), std::size_t{1});
    QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Not a Galaxy File"));
    const QString& text = prompter_->messages[0].text;
    QVERIFY2(text.contains(QStringLiteral("run_9.hdf5")), qPrintable(text));
    QVERIFY(!app_->replay());
    QCOMPARE(g_galaxy.time, times[0]);
    QCOMPARE(starFields(1), first);
    QCOMPARE(g_galaxyView->parentFrame()->windowTitle(), QStringLiteral("run_8.hdf5"));
}

void FileCommandsTest::replayDialogTakesSeveralFilesOrAPattern() {
    // Qt's own dialog, as the user sees it: names chosen in its list, or a
    // pattern typed as the name, which a dialog for existing files refuses.
    writeSeries(QStringLiteral("snap"));
    app_->setPrompter(std::make_unique<QtPrompter>());
    const QString chosenInTheList = QStringLiteral("\"snap_10.hdf5\" \"snap_9.hdf5\"");
    for (const QString& typed : {chosenInTheList, QStringLiteral("snap_[19]*")}) {
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
            dialog->setDirectory(dir_->path());
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            QCOMPARE(name->text(), QStringLiteral("*.hdf5"));
            name->setText(typed);
            static_cast<QDialog*>(dialog)->accept();
        });
        QVERIFY(frame_->executeCommand(C::ReplaySnapshots));
        QVERIFY2(!QApplication::activeModalWidget(), qPrintable(typed));
        QVERIFY(app_->replay());
        QCOMPARE(app_->replay()->size(), 2);
        QCOMPARE(g_galaxyView->parentFrame()->windowTitle(), QStringLiteral("snap_9.hdf5 (1 of 2)"));
    }
}

// ---- Export for GADGET-4 ------------------------------------------------------

void FileCommandsTest::exportForGadget4AsksFolderEndTimeAndSnapshots() {
    g_galaxy.time = 24.0;
    const QString folder = dir_->filePath("g4");
    QVERIFY(QDir().mkdir(folder));
    // Drives the end-time dialog: checks its defaults, asks for typed
    // values, presses OK; a dialog still open afterwards is cancelled.
    const auto answer = [&](const QString& endTime, const QString& snapshots, bool closes) {
        bool ran = false;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<CGadget4ExportDlg*>(QApplication::activeModalWidget());
            if (!dialog) return;
            ran = true;
            auto* end = static_cast<QLineEdit*>(dialog->control(CGadget4ExportDlg::IdEndTime));
            auto* count = static_cast<QLineEdit*>(dialog->control(CGadget4ExportDlg::IdSnapshots));
            // 1000 steps of 8 after the galaxy's time, 10 snapshots.
            QCOMPARE(end->text(), QStringLiteral("8024.000000"));
            QCOMPARE(count->text(), QStringLiteral("10"));
            end->setText(endTime);
            count->setText(snapshots);
            dialog->accept();
            QCOMPARE(dialog->isVisible(), !closes);
            if (dialog->isVisible()) dialog->reject();
        });
        prompter_->files.push_back(folder);
        QVERIFY(frame_->executeCommand(C::ExportGadget4));
        QVERIFY(ran);
        QVERIFY(prompter_->files.empty());
    };

    // An end time before the galaxy's keeps the dialog open with the reason.
    answer(QStringLiteral("20"), QStringLiteral("10"), false);
    QCOMPARE(prompter_->messages.size(), std::size_t{1});
    QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Processing Error"));
    QVERIFY2(prompter_->messages[0].text.startsWith(QStringLiteral("The end time 20 Myr must be later")),
             qPrintable(prompter_->messages[0].text));
    QVERIFY(QDir(folder).isEmpty());

    answer(QStringLiteral("824"), QStringLiteral("4"), true);
    QCOMPARE(prompter_->messages.size(), std::size_t{1});
    QCOMPARE(prompter_->fileRequests.back().caption, QStringLiteral("Export for GADGET-4"));
    const QString param = QString::fromLatin1(readAll(folder + "/param.txt"));
    QVERIFY(param.contains(QRegularExpression(QStringLiteral("\\nTimeBegin +24 "))));
    QVERIFY(param.contains(QRegularExpression(QStringLiteral("\\nTimeMax +824 "))));
    QVERIFY(param.contains(QRegularExpression(QStringLiteral("\\nTimeBetSnapshot +200 "))));
    for (const char* file : {"/ic.hdf5", "/Config.sh", "/README.txt"}) QVERIFY(QFile::exists(folder + file));

    // A galaxy GADGET-4 cannot run is refused before anything is asked.
    g_galaxy.shieldModifier = 0.0;
    QVERIFY(frame_->executeCommand(C::ExportGadget4));
    QCOMPARE(prompter_->fileRequests.size(), std::size_t{2});
    QCOMPARE(prompter_->messages.size(), std::size_t{2});
    QCOMPARE(prompter_->messages[1].caption, QStringLiteral("Could Not Create"));
    QVERIFY(prompter_->messages[1].text.contains(QStringLiteral("softening length greater than 0")));

    // Like Save, it needs a window showing the galaxy.
    app_->closeAllDocuments();
    QVERIFY(!frame_->queryCommand(C::ExportGadget4).enabled());
}

void FileCommandsTest::exportAsksBeforeReplacingAndSaysWhereItWrote_data() {
    // Files of an earlier export in the folder, and the answer to replacing them.
    QTest::addColumn<QStringList>("earlier");
    QTest::addColumn<int>("reply");
    QTest::newRow("missing folder") << QStringList() << int(MessageResult::No);
    QTest::newRow("earlier export replaced") << QStringList{"ic.hdf5", "README.txt"} << int(MessageResult::Yes);
    QTest::newRow("earlier export kept") << QStringList{"ic.hdf5", "README.txt"} << int(MessageResult::No);
    QTest::newRow("parameter file kept") << QStringList{"param.txt"} << int(MessageResult::No);
}

void FileCommandsTest::exportAsksBeforeReplacingAndSaysWhereItWrote() {
    QFETCH(QStringList, earlier);
    QFETCH(int, reply);
    const QString folder = dir_->filePath("g4");
    if (!earlier.isEmpty()) QVERIFY(QDir().mkdir(folder));
    for (const QString& file : earlier) writeFile(folder + "/" + file, "earlier");
    const bool writes = earlier.isEmpty() || reply == int(MessageResult::Yes);
    prompter_->replies.push_back(MessageResult(reply));
    prompter_->files.push_back(folder);
    QTimer::singleShot(0, this, [] {
        if (auto* dialog = qobject_cast<CGadget4ExportDlg*>(QApplication::activeModalWidget())) dialog->accept();
    });
    QVERIFY(frame_->executeCommand(C::ExportGadget4));
    QCoreApplication::processEvents();

    QCOMPARE(prompter_->messages.size(), std::size_t(!earlier.isEmpty()));
    if (!earlier.isEmpty()) {
        QCOMPARE(prompter_->messages[0].buttons, MessageButtons::YesNo);
        QVERIFY(prompter_->messages[0].text.contains(folder + " already holds an export for GADGET-4 (" +
                                                     earlier.join(", ") + ")"));
    }
    const QString status = frame_->statusBar()->currentMessage();
    QCOMPARE(status.contains("into " + folder + ": ic.hdf5, param.txt, Config.sh, README.txt"), writes);
    for (const char* file : kGadget4Files) {
        const QString name = QString::fromLatin1(file);
        QCOMPARE(QFile::exists(folder + "/" + name), writes || earlier.contains(name));
        QCOMPARE(readAll(folder + "/" + name) == "earlier", !writes && earlier.contains(name));
    }
}

void FileCommandsTest::folderDialogTakesANewName() {
    // Qt's own dialog takes an existing folder, and a new name typed in one.
    QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("existing")));
    for (const QString& typed : {QStringLiteral("existing"), QStringLiteral("new run")}) {
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            dialog->setDirectory(dir_->path());
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(typed);
            // Qt's refusal of the name would open inside accept(): it and the dialog are closed.
            QTimer::singleShot(0, dialog, [dialog] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    box->close();
                    dialog->reject();
                }
            });
            static_cast<QDialog*>(dialog)->accept();
        });
        QCOMPARE(QtPrompter().folderName(FileRequest()), std::optional<QString>(dir_->filePath(typed)));
    }
}

QTEST_MAIN(FileCommandsTest)
#include "file_commands_qtest.moc"
