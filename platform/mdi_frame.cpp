#include "platform/mdi_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>
#include <utility>

#include "platform/application.h"
#include "platform/child_frame.h"
#include "platform/document.h"
#include "platform/framework_ids.h"
#include "platform/lock_keys.h"
#include "platform/view.h"

namespace {

const char* const kIndicatorTexts[] = {"CAP", "NUM", "SCRL"};

}  // namespace

MdiFrame::MdiFrame(Application& app) : app_(app), mdiArea_(new QMdiArea(this)) {
    setCentralWidget(mdiArea_);
    activation_ = connect(mdiArea_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* window) {
        auto* frame = qobject_cast<ChildFrame*>(window);
        if (frame && !frame->isClosing()) childFrameActivated(frame);
    });
    qApp->installEventFilter(this);

    onCommand(FrameworkId::WindowCascade, [this] { mdiArea_->cascadeSubWindows(); });
    onCommand(FrameworkId::WindowTile, [this] { mdiArea_->tileSubWindows(); });
    onCommand(FrameworkId::WindowArrange, [this] { arrangeIcons(); });
    for (int id : {FrameworkId::WindowCascade, FrameworkId::WindowTile, FrameworkId::WindowArrange})
        onUpdateCommandUI(id, [this](CommandUI& ui) { ui.enable(activeChild() != nullptr); });

    onCommand(FrameworkId::ViewToolbar, [this] {
        if (toolBar_) toolBar_->setVisible(toolBar_->isHidden());
    });
    onUpdateCommandUI(FrameworkId::ViewToolbar,
                      [this](CommandUI& ui) { ui.setCheck(toolBar_ && !toolBar_->isHidden()); });
    onCommand(FrameworkId::ViewStatusBar, [this] { statusBar()->setVisible(statusBar()->isHidden()); });
    onUpdateCommandUI(FrameworkId::ViewStatusBar, [this](CommandUI& ui) { ui.setCheck(!statusBar()->isHidden()); });
}

MdiFrame::~MdiFrame() {
    // The MDI area reports activations while its windows are destroyed.
    disconnect(activation_);
}

View* MdiFrame::activeView() const {
    const ChildFrame* child = activeChild();
    return child ? child->view() : nullptr;
}

void MdiFrame::setBaseTitle(const QString& title) {
    baseTitle_ = title;
    updateCaption();
}

void MdiFrame::setCommandPrompts(const std::vector<CommandPrompt>& prompts) {
    for (const CommandPrompt& prompt : prompts) prompts_.insert_or_assign(prompt.id, prompt);
}

void MdiFrame::setMenuLayouts(MenuLayout frameMenu, MenuLayout childMenu) {
    frameMenu_ = std::move(frameMenu);
    childMenu_ = std::move(childMenu);
    applyMenuLayout(true);
}

void MdiFrame::setAccelerators(std::vector<Accelerator> accelerators) { accelerators_ = std::move(accelerators); }

QToolBar* MdiFrame::createToolBar(const std::vector<ToolButton>& buttons, QSize buttonSize) {
    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("toolBar"));
    toolBar_->setIconSize(buttonSize);
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    toolBar_->setMovable(true);
    toolBar_->setFloatable(true);
    for (const ToolButton& button : buttons) {
        if (button.id == 0) {
            toolBar_->addSeparator();
            continue;
        }
        QAction* action = makeCommandAction(button.icon, QString(), button.id, toolBar_);
        toolBar_->addAction(action);
        toolActions_.push_back(action);
    }
    addToolBar(Qt::TopToolBarArea, toolBar_);
    updateCommandUI();
    return toolBar_;
}

void MdiFrame::createStatusBar() {
    QStatusBar* bar = statusBar();
    // A normal widget of the status bar gives way to every prompt and comes
    // back when the prompt is cleared: the idle message.
    bar->addWidget(new QLabel(QStringLiteral("Ready"), bar), 1);
    for (const char* text : kIndicatorTexts) {
        auto* pane = new QLabel(bar);
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setAlignment(Qt::AlignCenter);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(QLatin1String(text)) + 8);
        bar->addPermanentWidget(pane);
        indicators_.push_back(pane);
    }
    updateIndicators();
}

std::vector<CommandTarget*> MdiFrame::commandRoute() const {
    std::vector<CommandTarget*> route;
    if (ChildFrame* child = activeChild()) {
        if (View* view = child->view()) {
            route.push_back(view);
            if (Document* doc = view->document()) route.push_back(doc);
        }
        route.push_back(child);
    }
    route.push_back(const_cast<MdiFrame*>(this));
    route.push_back(&app_);
    return route;
}

CommandUI MdiFrame::queryCommand(int id) const {
    CommandUI ui(id);
    const auto route = commandRoute();
    for (CommandTarget* target : route)
        if (target->invokeUpdate(id, ui)) break;
    if (!ui.enableChanged())
        ui.enable(std::any_of(route.begin(), route.end(), [id](CommandTarget* t) { return t->handlesCommand(id); }));
    return ui;
}

bool MdiFrame::executeCommand(int id) {
    if (!queryCommand(id).enabled()) return false;
    for (CommandTarget* target : commandRoute()) {
        if (target->invokeCommand(id)) {
            updateCommandUI();
            return true;
        }
    }
    return false;
}

void MdiFrame::updateCommandUI() {
    std::unordered_map<int, CommandUI> states;
    auto refresh = [&](QAction* action) {
        const int id = action->data().toInt();
        auto it = states.find(id);
        if (it == states.end()) it = states.emplace(id, queryCommand(id)).first;
        action->setEnabled(it->second.enabled());
        // Only a checked item is checkable, so unchecked items show no box.
        action->setCheckable(it->second.checked());
        action->setChecked(it->second.checked());
    };
    for (QAction* action : menuActions_) refresh(action);
    for (QAction* action : toolActions_) refresh(action);
}

void MdiFrame::updateIndicators() {
    const auto keys = queryLockKeys();
    const bool on[] = {keys && keys->caps, keys && keys->num, keys && keys->scroll};
    for (std::size_t i = 0; i < indicators_.size(); ++i)
        indicators_[i]->setText(on[i] ? QLatin1String(kIndicatorTexts[i]) : QString());
}

QList<QAction*> MdiFrame::commandActions(int id) const {
    QList<QAction*> found;
    for (const auto* list : {&menuActions_, &toolActions_})
        for (QAction* action : *list)
            if (action->data().toInt() == id) found.append(action);
    return found;
}

void MdiFrame::addChildFrame(ChildFrame* frame) {
    frame->mainFrame_ = this;
    const auto geometry = frame->PreCreateWindow();
    if (!geometry) {
        // A frame without a place of its own gets its hint, but no more than
        // the client area shows, so that its title bar and borders stay in
        // reach; sized before it is added, it is placed by that size. Until
        // the main frame is shown its client area has no size to go by.
        QSize size = frame->sizeHint();
        if (mdiArea_->isVisible()) size = size.boundedTo(mdiArea_->viewport()->size());
        frame->resize(size);
    }
    mdiArea_->addSubWindow(frame);
    if (geometry) frame->setGeometry(*geometry);
    // Not active until it is activated.
    frames_.insert(frames_.begin(), frame);
    applyMenuLayout(false);
}

void MdiFrame::childFrameActivated(ChildFrame* frame) {
    const auto it = std::find(frames_.begin(), frames_.end(), frame);
    if (it == frames_.end()) return;
    std::rotate(it, it + 1, frames_.end());
    if (mdiArea_->activeSubWindow() != frame) mdiArea_->setActiveSubWindow(frame);
    updateCaption();
    updateCommandUI();
}

void MdiFrame::childFrameClosed(ChildFrame* frame) {
    frames_.erase(std::remove(frames_.begin(), frames_.end(), frame), frames_.end());
    if (!frames_.empty()) {
        // The window activated most recently before the closed one takes over.
        mdiArea_->setActiveSubWindow(frames_.back());
    }
    applyMenuLayout(false);
    updateCaption();
    updateCommandUI();
}

void MdiFrame::closeEvent(QCloseEvent* event) {
    // A document with unsaved changes may keep the program open.
    if (!app_.saveAllModified()) {
        event->ignore();
        return;
    }
    app_.closeAllDocuments();
    event->accept();
}

bool MdiFrame::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress) return false;
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) return false;
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return false;
    const auto& key = *static_cast<QKeyEvent*>(event);
    // Ctrl+F4 closes the active child window. Every child's system menu binds
    // the same key, which leaves it ambiguous, so that Qt would do nothing.
    if (key.keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_F4)) {
        event->accept();
        if (ChildFrame* child = activeChild(); child && type == QEvent::KeyPress) child->close();
        return true;
    }
    const Accelerator* accelerator = findAccelerator(key);
    if (!accelerator) return false;
    // Accepting the override keeps the key from the shortcut map, where a menu
    // mnemonic such as Alt+F of "&File" would take it; the key press follows.
    event->accept();
    if (type == QEvent::KeyPress) executeCommand(accelerator->id);
    return true;
}

void MdiFrame::applyMenuLayout(bool rebuild) {
    const bool child = !frames_.empty();
    if (!rebuild && child == childMenuShown_) return;
    childMenuShown_ = child;
    menuActions_.clear();
    auto* bar = new QMenuBar(this);
    for (const MenuItem& popup : child ? childMenu_ : frameMenu_) {
        QMenu* menu = bar->addMenu(popup.text);
        watchMenu(menu);
        buildMenu(menu, popup.items);
    }
    setMenuBar(bar);  // the old bar is deleted later
    updateCommandUI();
}

void MdiFrame::buildMenu(QMenu* menu, const std::vector<MenuItem>& items) {
    for (const MenuItem& item : items) {
        switch (item.kind) {
        case MenuItem::Kind::Command: {
            QAction* action = makeCommandAction(QIcon(), item.text, item.id, menu);
            menu->addAction(action);
            menuActions_.push_back(action);
            break;
        }
        case MenuItem::Kind::Separator:
            menu->addSeparator();
            break;
        case MenuItem::Kind::RecentFiles: {
            const QStringList& files = app_.recentFiles().files();
            for (int i = 0; i < files.size(); ++i) {
                const QString text = QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(files[i]).fileName());
                QAction* action = makeCommandAction(QIcon(), text, FrameworkId::FileRecent1 + i, menu);
                menu->addAction(action);
                menuActions_.push_back(action);
            }
            if (!files.isEmpty()) menu->addSeparator();
            break;
        }
        case MenuItem::Kind::Popup: {
            QMenu* sub = menu->addMenu(item.text);
            watchMenu(sub);
            buildMenu(sub, item.items);
            break;
        }
        }
    }
}

QAction* MdiFrame::makeCommandAction(const QIcon& icon, const QString& text, int id, QObject* parent) {
    auto* action = new QAction(icon, text, parent);
    action->setData(id);
    if (const auto it = prompts_.find(id); it != prompts_.end()) {
        action->setStatusTip(it->second.prompt());
        if (text.isEmpty()) action->setToolTip(it->second.tooltip());
    }
    connect(action, &QAction::triggered, this, [this, id] { executeCommand(id); });
    return action;
}

void MdiFrame::watchMenu(QMenu* menu) { connect(menu, &QMenu::aboutToShow, this, &MdiFrame::updateCommandUI); }

void MdiFrame::updateCaption() {
    QString title = baseTitle_;
    if (const ChildFrame* child = activeChild())
        if (const Document* doc = child->document(); doc && !doc->title().isEmpty())
            title += QStringLiteral(" - ") + doc->frameCaption();
    setWindowTitle(title);
}

void MdiFrame::arrangeIcons() {
    // Minimised windows in a row along the bottom edge, in creation order.
    int x = 0;
    const int bottom = mdiArea_->viewport()->height();
    for (QMdiSubWindow* window : mdiArea_->subWindowList(QMdiArea::CreationOrder)) {
        if (!window->isMinimized() || window->isHidden()) continue;
        window->move(x, bottom - window->height());
        x += window->width();
    }
}

const Accelerator* MdiFrame::findAccelerator(const QKeyEvent& key) const {
    const Qt::KeyboardModifiers modifiers =
        key.modifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier);
    for (const Accelerator& accelerator : accelerators_)
        if (accelerator.key == key.key() && accelerator.modifiers == modifiers) return &accelerator;
    return nullptr;
}
