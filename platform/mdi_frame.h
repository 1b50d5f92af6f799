#pragma once

#include <QMainWindow>
#include <QString>
#include <unordered_map>
#include <vector>

#include "platform/command_target.h"
#include "platform/menu_layout.h"

class Application;
class ChildFrame;
class QKeyEvent;
class QLabel;
class QMdiArea;
class QMenu;
class QToolBar;
class View;

// The main window: an MDI area for the child frames, a menu bar that switches
// between the frame's own layout (no child open) and the child layout, a
// toolbar, a status bar, and the command routing of every menu item, button
// and accelerator.
//
// Commands travel active view -> its document -> active child frame -> main
// frame -> application; the first target with a handler runs it. A command is
// enabled when the first update handler on the route enables it, or, when no
// update handler decides, when some target handles it; disabled commands never
// run, whichever way they are sent.
class MdiFrame : public QMainWindow, public CommandTarget {
    Q_OBJECT
public:
    explicit MdiFrame(Application& app);
    ~MdiFrame() override;

    Application& application() const { return app_; }
    QMdiArea* mdiArea() const { return mdiArea_; }

    // Child frames in activation order, the active one last; frames already
    // closing are not among them.
    const std::vector<ChildFrame*>& childFrames() const { return frames_; }
    ChildFrame* activeChild() const { return frames_.empty() ? nullptr : frames_.back(); }
    View* activeView() const;

    // ---- set-up ------------------------------------------------------------
    // The caption; the active document's title, when it has one, is added.
    void setBaseTitle(const QString& title);
    // Shows the active document's title again after it has changed.
    void updateCaption();
    // Builds the menus again, after the recent files have changed.
    void rebuildMenus() { applyMenuLayout(true); }
    // Status-bar prompts and tooltips; give them before the menus and the toolbar.
    void setCommandPrompts(const std::vector<CommandPrompt>& prompts);
    void setMenuLayouts(MenuLayout frameMenu, MenuLayout childMenu);
    void setAccelerators(std::vector<Accelerator> accelerators);
    // A toolbar at the top that can be docked on any side or float.
    QToolBar* createToolBar(const std::vector<ToolButton>& buttons, QSize buttonSize);
    // A status bar with the message pane ("Ready" when idle) and the CAP, NUM
    // and SCRL panes.
    void createStatusBar();

    // ---- commands ----------------------------------------------------------
    std::vector<CommandTarget*> commandRoute() const;
    CommandUI queryCommand(int id) const;
    // Runs the command if it is enabled; true when a handler ran.
    bool executeCommand(int id);
    // Brings the enabled and checked state of every menu item and toolbar
    // button up to date.
    void updateCommandUI();
    void updateIndicators();
    // The items of the menu bar now shown, and the toolbar buttons, that send id.
    QList<QAction*> commandActions(int id) const;
    bool showingChildMenu() const { return childMenuShown_; }
    QToolBar* toolBar() const { return toolBar_; }

    // ---- called by the templates and frames --------------------------------
    void addChildFrame(ChildFrame* frame);
    void childFrameActivated(ChildFrame* frame);
    void childFrameClosed(ChildFrame* frame);

protected:
    void closeEvent(QCloseEvent* event) override;
    // Accelerators are taken before any widget or menu mnemonic sees the key.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyMenuLayout(bool rebuild);
    void buildMenu(QMenu* menu, const std::vector<MenuItem>& items);
    QAction* makeCommandAction(const QIcon& icon, const QString& text, int id, QObject* parent);
    void watchMenu(QMenu* menu);
    void arrangeIcons();
    const Accelerator* findAccelerator(const QKeyEvent& key) const;

    Application& app_;
    QMdiArea* mdiArea_;
    QMetaObject::Connection activation_;
    std::vector<ChildFrame*> frames_;
    MenuLayout frameMenu_;
    MenuLayout childMenu_;
    bool childMenuShown_ = false;
    std::vector<QAction*> menuActions_;
    std::vector<QAction*> toolActions_;
    QToolBar* toolBar_ = nullptr;
    std::vector<QLabel*> indicators_;
    std::vector<Accelerator> accelerators_;
    std::unordered_map<int, CommandPrompt> prompts_;
    QString baseTitle_;
};
