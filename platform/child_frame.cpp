#include "platform/child_frame.h"

#include <QCloseEvent>

#include "platform/document.h"
#include "platform/mdi_frame.h"
#include "platform/view.h"

ChildFrame::ChildFrame() = default;

ChildFrame::~ChildFrame() = default;

std::optional<QRect> ChildFrame::PreCreateWindow() const { return std::nullopt; }

View* ChildFrame::view() const { return qobject_cast<View*>(widget()); }

Document* ChildFrame::document() const {
    const View* v = view();
    return v ? v->document() : nullptr;
}

void ChildFrame::activateFrame() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    if (mainFrame_) mainFrame_->childFrameActivated(this);
}

void ChildFrame::destroyFrame() {
    if (closing_) return;
    closing_ = true;
    if (View* v = view())
        if (Document* doc = v->document()) doc->removeView(v);
    hide();
    if (mainFrame_) mainFrame_->childFrameClosed(this);
    deleteLater();
}

QSize ChildFrame::sizeHint() const {
    // Cascading sizes the windows by their hint; each kind keeps the size it
    // was created with.
    if (const auto geometry = PreCreateWindow()) return geometry->size();
    return QMdiSubWindow::sizeHint();
}

void ChildFrame::closeEvent(QCloseEvent* event) {
    // The frame never closes on its own: either the document goes with its last
    // frame, or this frame alone is destroyed.
    event->ignore();
    Document* doc = document();
    if (doc && doc->views().size() == 1) {
        // A document with unsaved changes may keep its window.
        if (doc->saveModified()) doc->OnCloseDocument();
    } else {
        destroyFrame();
    }
}
