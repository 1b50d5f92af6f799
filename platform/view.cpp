#include "platform/view.h"

#include <QPainter>

#include "platform/child_frame.h"
#include "platform/document.h"

View::View(QWidget* parent) : QWidget(parent) {
    // Every view paints its whole client area itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

View::~View() {
    if (document_) document_->removeView(this);
}

ChildFrame* View::parentFrame() const {
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* frame = qobject_cast<ChildFrame*>(w)) return frame;
    return nullptr;
}

void View::OnInitialUpdate() { OnUpdate(); }

void View::OnUpdate() { update(); }

void View::RedrawNow() { repaint(); }

QSize View::sizeHint() const { return {400, 300}; }

void View::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    OnDraw(painter);
}
