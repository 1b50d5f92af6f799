// Open, Add Galaxy, Replay Snapshots and Save of galaxy files and Export for
// GADGET-4: the file dialogs, the messages, and what the windows and the run
// state do around the readers and writers.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStatusBar>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/documents.h"
#include "app/main_frame.h"
#include "app/zyr_app.h"
#include "dialogs/add_galaxy_dlg.h"
#include "dialogs/gadget4_export_dlg.h"
#include "io/any_galaxy_file.h"
#include "io/gadget4_export.h"
#include "io/galaxy_file.h"
#include "io/snapshot_series.h"
#include "model/galaxy.h"
#include "platform/data_exchange.h"
#include "platform/doc_template.h"
#include "platform/prompter.h"
#include "view/galaxy_window.h"
#include "view/zyr_view.h"

namespace {

const QString kFolderKey = QStringLiteral("Files/LastFolder");
const QString kTypeKey = QStringLiteral("Files/LastType");

// The last type written: HDF5 snapshots until a .zyr has been saved, since
// only they keep the whole run.
QString lastType() {
    const QString type = QSettings().value(kTypeKey).toString();
    return type == QStringLiteral("zyr") ? type : QStringLiteral("hdf5");
}

// Open and Save list both kinds of galaxy file together, in the folder of
// the last file read or written.
FileRequest galaxyFileRequest(const char* caption) {
    FileRequest request;
    request.caption = QString::fromLatin1(caption);
    request.filter = QStringLiteral("Galaxy files (*.zyr *.hdf5);;HDF5 snapshots (*.hdf5);;Zyr galaxies (*.zyr)");
    request.directory = QSettings().value(kFolderKey).toString();
    return request;
}

// What a .zyr file does not keep of a run: its time, and the settings it
// runs with where they are not the program's defaults.
bool zyrLeavesOut(const CGalaxy& g) {
    static const CGalaxy fresh;
    return g.time != 0.0 || g.timeStep != fresh.timeStep || g.integrationMethod != fresh.integrationMethod ||
           g.forceMethod != fresh.forceMethod || g.softening != fresh.softening || g.epsilon != fresh.epsilon ||
           g.shieldModifier != fresh.shieldModifier || g.darkMatter != fresh.darkMatter || !g.modelNote.empty();
}

std::string nativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// What is wrong with the galaxy, the run or the folder, under Save's caption.
void couldNotCreate(const std::string& message) {
    CZyrApp::instance()->prompter().messageBox(QString::fromStdString(message), QStringLiteral("Could Not Create"),
                                               MessageButtons::Ok, MessageIcon::None);
}

// Text and caption alike, as for every failure of a galaxy file.
void fileMessage(const QString& text) {
    CZyrApp::instance()->prompter().messageBox(text, text, MessageButtons::Ok, MessageIcon::None);
}

// Tells the user why a galaxy file could not be read, or what was missing
// from one that could; true when it was read.
bool readSucceeded(const GalaxyFileStatus& status) {
    switch (status.error) {
    case GalaxyFileError::None:
        if (!status.warning.empty()) {
            CZyrApp::instance()->prompter().messageBox(QString::fromStdString(status.warning),
                                                       QStringLiteral("Damaged Galaxy File"), MessageButtons::Ok,
                                                       MessageIcon::Warning);
        }
        return true;
    case GalaxyFileError::CannotOpen:
    case GalaxyFileError::CannotCreate:
        fileMessage(QStringLiteral("File not found"));
        return false;
    case GalaxyFileError::BadCount:
    case GalaxyFileError::TooManyStars:
    case GalaxyFileError::NotAFile:
    case GalaxyFileError::BadSnapshot:
    case GalaxyFileError::UnknownFormat:
        // The file is there but is not a galaxy this program can load.
        CZyrApp::instance()->prompter().messageBox(QString::fromStdString(status.message),
                                                   QStringLiteral("Not a Galaxy File"), MessageButtons::Ok,
                                                   MessageIcon::None);
        return false;
    case GalaxyFileError::NotFinite:
        // Add Galaxy's offset or velocity throws stars out of the range of numbers.
        processingError(QString::fromStdString(status.message));
        return false;
    }
    return false;
}

}  // namespace

void CZyrApp::OnFileOpen() {
    const std::optional<QString> path = prompter().openFileName(galaxyFileRequest("Open"));
    if (path) openGalaxyFile(*path);
}

void CZyrApp::OnRecentFile(int index) {
    const QStringList& files = recentFiles().files();
    if (index >= files.size()) return;
    const QString path = files[index];
    // A file that has gone since is reported, and leaves the list.
    if (!openGalaxyFile(path) && !QFileInfo(path).isFile()) removeRecentFile(path);
}

bool CZyrApp::openGalaxyFile(const QString& path) {
    // Stopped whether or not the file can be read.
    spinning = 0;
    running = 0;
    if (!saveChangesFirst()) return false;

    // The reader installs the stars only once the whole file is read and
    // they fit in memory; on any failure the galaxy stays as it was.
    if (!readSucceeded(loadAnyGalaxyFile(g_galaxy, nativePath(path)))) return false;

    replay_.reset();
    ShowGalaxyWindow();
    // The galaxy window is captioned with the file it shows.
    g_galaxyDoc->setPathName(path);
    galaxyIsSaved();
    rememberFile(path, false);
    g_galaxy.orientation = Quaternion();
    g_galaxyView->RedrawNow();
    return true;
}

void CZyrApp::OnAddGalaxy() {
    CAddGalaxyDlg dialog(mainFrame());
    if (dialog.exec() == QDialog::Accepted) addGalaxyFile(dialog.fileName, dialog.offset, dialog.velocity);
}

void CZyrApp::addGalaxyFile(const QString& path, const double offset[3], const double velocity[3]) {
    spinning = 0;
    running = 0;
    // Like loading, merging changes the galaxy only once the whole file is
    // read; the camera stays where it is, so the newcomer is seen arriving.
    if (!readSucceeded(mergeAnyGalaxyFile(g_galaxy, nativePath(path), offset, velocity))) return;
    g_galaxy.changes += 1;

    // The next snapshot would take the added stars away again.
    replay_.reset();
    ShowGalaxyWindow();
    g_galaxyView->RedrawNow();
}

void CZyrApp::OnReplaySnapshots() {
    FileRequest request;
    request.caption = QStringLiteral("Replay Snapshots");
    request.filter = QStringLiteral("HDF5 Snapshots (*.hdf5);;Galaxy Files (*.zyr)");
    request.fileName = QStringLiteral("*.hdf5");
    const std::optional<QStringList> names = prompter().openFileNames(request);
    if (names) replaySnapshots(*names);
}

void CZyrApp::replaySnapshots(const QStringList& names) {
    spinning = 0;
    running = 0;
    if (!saveChangesFirst()) return;
    std::vector<std::string> given;
    for (const QString& name : names) given.push_back(nativePath(name));
    auto files = expandSnapshotNames(given);
    if (!files.ok()) {
        prompter().messageBox(QString::fromStdString(files.status.message), QStringLiteral("No Snapshots"),
                              MessageButtons::Ok, MessageIcon::None);
        return;
    }
    // Only the first snapshot is read now, each of the others at its step;
    // the first is shown as Open shows a file, from the front.
    SnapshotSeries series(std::move(*files.value));
    if (!readSucceeded(series.show(g_galaxy, 0, false))) return;
    replay_ = std::move(series);
    ShowGalaxyWindow();
    galaxyIsSaved();
    captionReplay();
    g_galaxyView->RedrawNow();
    redrawReportWindows();
}

void CZyrApp::replayStep() {
    if (replay_->atEnd()) {
        running = 0;
        return;
    }
    // The next snapshot keeps the view: the camera, zoom and view flags.
    const GalaxyFileStatus status = replay_->next(g_galaxy);
    if (!readSucceeded(status)) {
        running = 0;
        // The galaxy stays the snapshot shown, no longer part of a series.
        const QString shown = QFile::decodeName(QByteArray::fromStdString(replay_->file(replay_->current())));
        replay_.reset();
        if (FindGalaxyView()) g_galaxyDoc->setPathName(shown);
        return;
    }
    captionReplay();
    redrawReportWindows();
}

void CZyrApp::captionReplay() {
    if (!FindGalaxyView()) return;
    const int shown = replay_->current();
    g_galaxyDoc->setPathName(QFile::decodeName(QByteArray::fromStdString(replay_->file(shown))));
    g_galaxyDoc->setTitle(
        QStringLiteral("%1 (%2 of %3)").arg(g_galaxyDoc->title()).arg(shown + 1).arg(replay_->size()));
}

bool CZyrApp::saveGalaxy(bool askName) {
    Document* doc = galaxyTemplate->firstDocument();
    // A snapshot of a series being replayed is never written over unasked.
    QString path = doc && !replay_ ? doc->pathName() : QString();
    if (askName || path.isEmpty()) {
        FileRequest request = galaxyFileRequest("Save As");
        request.defaultSuffix = lastType();
        request.fileName = QFileInfo(path).fileName();
        request.confirmOverwrite = false;
        const std::optional<QString> chosen = prompter().saveFileName(request);
        if (!chosen) return false;
        path = *chosen;
    }
    // The writer replaces the target only once the new file is complete, so
    // a failed save leaves an older file as it was.
    const GalaxyFileStatus status = saveAnyGalaxyFile(g_galaxy, nativePath(path));
    if (status.error == GalaxyFileError::NotFinite || status.error == GalaxyFileError::UnknownFormat) {
        // Nothing wrong with the disk: say what is wrong with the galaxy or the name.
        couldNotCreate(status.message);
        return false;
    }
    if (!status.ok()) {
        fileMessage(QStringLiteral("Could Not Create"));
        return false;
    }
    galaxyIsSaved();
    if (doc && !replay_) doc->setPathName(path);
    rememberFile(path, true);
    if (galaxyFormatOf(nativePath(path)) == GalaxyFormat::Text && zyrLeavesOut(g_galaxy)) {
        mainFrame()->statusBar()->showMessage(
            QStringLiteral("Saved %1: a .zyr file keeps the stars to six decimals, not the time, the time step or "
                           "the settings; an .hdf5 snapshot keeps the whole run.")
                .arg(QFileInfo(path).fileName()));
    }
    return true;
}

bool CZyrApp::galaxyChanged() const { return g_galaxy.changes != savedChanges_; }

void CZyrApp::galaxyIsSaved() {
    savedChanges_ = g_galaxy.changes;
    showChanges();
}

void CZyrApp::showChanges() {
    if (Document* doc = galaxyTemplate ? galaxyTemplate->firstDocument() : nullptr) doc->setModified(galaxyChanged());
}

bool CZyrApp::saveChangesFirst() {
    showChanges();
    if (!galaxyChanged()) return true;
    // Nothing moves while the user is asked; Cancel goes on as before.
    const int wasRunning = std::exchange(running, 0);
    const int wasSpinning = std::exchange(spinning, 0);
    const Document* doc = galaxyTemplate->firstDocument();
    const QString name = doc && !doc->title().isEmpty() ? doc->title() : QStringLiteral("Galaxy");
    switch (prompter().messageBox(QStringLiteral("Save changes to %1?").arg(name), QStringLiteral("Zyr"),
                                  MessageButtons::SaveDiscardCancel, MessageIcon::Question)) {
    case MessageResult::Save:
        if (saveGalaxy(false)) return true;
        break;
    case MessageResult::Discard:
        galaxyIsSaved();
        return true;
    default:
        break;
    }
    running = wasRunning;
    spinning = wasSpinning;
    return false;
}

bool CZyrApp::saveAllModified() { return saveChangesFirst() && Application::saveAllModified(); }

void CZyrApp::rememberFile(const QString& path, bool written) {
    const QFileInfo file(path);
    QSettings settings;
    settings.setValue(kFolderKey, file.absolutePath());
    if (written) settings.setValue(kTypeKey, file.suffix().toLower());
    addRecentFile(path);
}

void CWindowDoc::OnExportGadget4() {
    CZyrApp* app = CZyrApp::instance();
    // A galaxy GADGET-4 cannot run is refused before anything is asked.
    if (const std::string why = gadget4GalaxyRefusal(g_galaxy); !why.empty()) {
        couldNotCreate("cannot export for GADGET-4: " + why);
        return;
    }
    FileRequest request;
    request.caption = QStringLiteral("Export for GADGET-4");
    const std::optional<QString> folder = app->prompter().folderName(request);
    if (!folder) return;
    // The files of an earlier export are replaced only when the user says so.
    QStringList files, earlier;
    for (const char* file : kGadget4Files) {
        files << QString::fromLatin1(file);
        if (QFileInfo::exists(QDir(*folder).filePath(files.back()))) earlier << files.back();
    }
    if (!earlier.isEmpty()) {
        const QString question = QStringLiteral("%1 already holds an export for GADGET-4 (%2).\nReplace it?")
                                     .arg(*folder, earlier.join(QStringLiteral(", ")));
        if (app->prompter().messageBox(question, request.caption, MessageButtons::YesNo, MessageIcon::Question) !=
            MessageResult::Yes)
            return;
    }
    CGadget4ExportDlg dialog(app->mainFrame());
    if (dialog.exec() != QDialog::Accepted) return;
    // The galaxy as the windows show it, with no step taken.
    const Gadget4ExportStatus status =
        exportForGadget4(g_galaxy, nativePath(*folder), Gadget4Run{dialog.endTime, dialog.snapshots});
    if (!status.ok()) {
        couldNotCreate(status.message);
        return;
    }
    app->mainFrame()->statusBar()->showMessage(
        QStringLiteral("Exported for GADGET-4 into %1: %2 (README.txt says how to run it).")
            .arg(*folder, files.join(QStringLiteral(", "))));
}
