#pragma once

#include <QStringList>
#include <memory>
#include <vector>

#include "platform/command_target.h"
#include "platform/idle_driver.h"
#include "platform/recent_files.h"

class DocTemplate;
class MdiFrame;
class Prompter;

// The application object: last stop of the command routing, owner of the
// document templates and the main frame, and the idle hook of the event loop.
// There is one at a time; it needs a QApplication.
class Application : public CommandTarget {
public:
    // commandLine: the arguments after the program name.
    explicit Application(QStringList commandLine);
    ~Application() override;

    static Application* instance() { return instance_; }

    // Builds the program's objects and windows; false ends the program before
    // the event loop starts.
    virtual bool InitInstance() = 0;
    // Called by the idle driver whenever the event queue is empty; idleCount
    // counts the calls since the last input (0 for the first). The framework's
    // own part brings the menus, toolbar and status-bar panes up to date on the
    // first call. The result asks for more idle calls; without more, the
    // calls resume at the next input.
    virtual bool OnIdle(long idleCount);
    // Runs the event loop with the idle driver until the main frame closes.
    int Run();

    const QStringList& commandLine() const { return commandLine_; }
    DocTemplate* addDocTemplate(std::unique_ptr<DocTemplate> docTemplate);
    MdiFrame* mainFrame() const { return mainFrame_.get(); }
    void setMainFrame(std::unique_ptr<MdiFrame> frame);
    Prompter& prompter() const { return *prompter_; }
    void setPrompter(std::unique_ptr<Prompter> prompter);
    IdleDriver& idleDriver() { return idleDriver_; }

    // Sends the New command (57600) to the application, as a start without a
    // document does; false when no main frame is left. A file named on the
    // command line is the application's to open.
    bool processShellCommand();
    // Asks each document with unsaved changes in turn; false as soon as one
    // is to be kept.
    virtual bool saveAllModified();
    // The File menu's recent files, read from the settings at start; the
    // menus follow a change at once.
    const RecentFiles& recentFiles() const { return recentFiles_; }
    void addRecentFile(const QString& path);
    void removeRecentFile(const QString& path);
    void closeAllDocuments();

private:
    static Application* instance_;
    QStringList commandLine_;
    std::unique_ptr<Prompter> prompter_;
    std::vector<std::unique_ptr<DocTemplate>> templates_;
    std::unique_ptr<MdiFrame> mainFrame_;
    IdleDriver idleDriver_;
    RecentFiles recentFiles_;
};
