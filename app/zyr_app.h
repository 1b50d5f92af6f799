#pragma once

#include <QStringList>
#include <cstdint>
#include <optional>

#include "io/snapshot_series.h"
#include "platform/application.h"

class DocTemplate;
class View;
struct Quaternion;

// The application object of zyr: starts the program, owns the four window
// kinds and the run flag, advances the simulation at idle time and handles
// nearly every command, so that commands work whichever window is active.
class CZyrApp : public Application {
public:
    // commandLine: nothing, or the name of a galaxy file to load at start-up.
    explicit CZyrApp(QStringList commandLine = {});
    ~CZyrApp() override;

    static CZyrApp* instance() { return static_cast<CZyrApp*>(Application::instance()); }

    bool InitInstance() override;
    // One integration step (or one spin increment) per call, the galaxy view
    // repainted after it, the other windows on every tenth call.
    bool OnIdle(long idleCount) override;

    // Looks up the first galaxy document and its first view into g_galaxyDoc
    // and g_galaxyView; 1 when both exist. Creates nothing.
    int FindGalaxyView();
    // Afterwards a galaxy document with a view exists and g_galaxyDoc and
    // g_galaxyView name them; an existing window is not brought forward.
    void ShowGalaxyWindow();
    // What Open does once a name is chosen: stops run and spin, asks about
    // unsaved changes, loads the file (telling the user when it cannot),
    // shows it in the galaxy window captioned with the file's name; true
    // when the file was loaded.
    bool openGalaxyFile(const QString& path);
    // What Add Galaxy does once the dialog is answered: stops run and spin,
    // adds the file's stars shifted by offset and moving with the extra
    // velocity (telling the user when it cannot), shows the galaxy window.
    void addGalaxyFile(const QString& path, const double offset[3], const double velocity[3]);
    // What Replay Snapshots does once names are chosen: stops run and spin,
    // takes the files the names and patterns among them stand for, in name
    // order, as a series and shows its first snapshot in the galaxy window
    // (telling the user when it cannot). Run, Stop and Forward One Step then
    // move through the series, one snapshot per step, until Open, New
    // Galaxy or Add Galaxy replaces the galaxy.
    void replaySnapshots(const QStringList& names);
    // The series being replayed; empty while the galaxy is simulated.
    const std::optional<SnapshotSeries>& replay() const { return replay_; }

    // ---- unsaved changes -----------------------------------------------------
    // Whether the stars changed since the galaxy was generated, read or saved.
    bool galaxyChanged() const;
    // Before the galaxy is thrown away: true when it may go, because nothing
    // changed, it has just been saved, or the user discards the changes. The
    // run stops while the user is asked.
    bool saveChangesFirst();
    // The question also comes when the program is closed without a galaxy
    // window.
    bool saveAllModified() override;
    // Save (askName false: to the file the galaxy was read from or saved to,
    // when there is one) and Save As; true when the file was written. The
    // galaxy window is captioned with the file's name afterwards.
    bool saveGalaxy(bool askName);

    DocTemplate* galaxyTemplate = nullptr;
    DocTemplate* infoTemplate = nullptr;
    DocTemplate* noteTemplate = nullptr;
    DocTemplate* plotTemplate = nullptr;
    int running = 0;
    // Integration steps (and spin increments) per second; 0 is full speed,
    // one per idle call.
    int stepsPerSecond = 0;

    // ---- commands ------------------------------------------------------------
    void OnNewGalaxy();
    void OnFileOpen();
    // Opens the File menu's recent file at index (0 is the newest); one that
    // cannot be read leaves the list.
    void OnRecentFile(int index);
    void OnReplaySnapshots();
    void OnAddGalaxy();
    void OnRun();
    void OnStop();
    void OnForwardOneStep();
    void OnHalveTimestep();
    void OnDoubleTimestep();
    void OnShowInfo();
    void OnShowEnergyPlot();
    void OnShowList();
    void OnListFontSize(int size);
    void OnFontSizeDialog();
    void OnStarInfoHelp();
    void OnScale(int scale);
    void OnStarSize(int size);
    void OnBalls();
    void OnStarColor(int color);
    void OnTrace();
    void OnCenterImage();
    void OnCentreGalaxy();
    // Paces the simulation and remembers the choice for the next start.
    void OnSimulationSpeed(int rate);
    void OnZoomIn();
    void OnZoomOut();
    // The four rotate accelerators; clearSpin is false only for Ctrl+Right.
    void OnRotate(const Quaternion& increment, bool clearSpin);
    void OnGalaxySettings();
    // The model dialog; once it is answered with OK, New Galaxy builds the
    // model, and the status bar tells what the model chose for its run.
    void OnNewModel();
    void OnModelSettings();
    void OnRotateDialog();
    void OnAppAbout();

private:
    void registerCommands();
    // A view option: the command flips flag between 0 and 1 and repaints, the
    // menu item is checked while the flag is set.
    void addViewToggle(int id, int& flag);
    void addCheck(int id, const int& value, int checkedValue);
    bool generateGalaxy();
    void setSimulationSpeed(int rate);
    void RedrawGalaxyView();
    // After a step: a star whose position or velocity is no longer a finite
    // number stops the run, and the user is told which.
    void stopIfNotFinite();
    // The information window, the star list and the energy plot, which
    // repaint from the galaxy as it is now.
    void redrawReportWindows();
    // Shows the next snapshot of the replay in place of a step; at the end
    // of the series the run stops, and a file that cannot be read ends the
    // replay with the galaxy as it was.
    void replayStep();
    // The galaxy window's caption names the snapshot shown and its place.
    void captionReplay();
    // The galaxy as it is now counts as saved.
    void galaxyIsSaved();
    // The galaxy window's caption shows whether there are unsaved changes.
    void showChanges();
    // The folder and type of a file read or written, for the next file
    // dialog and the recent files.
    void rememberFile(const QString& path, bool written);

    std::optional<SnapshotSeries> replay_;
    std::uint64_t savedChanges_ = 0;
};
