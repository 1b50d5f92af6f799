#include "platform/document.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "platform/child_frame.h"
#include "platform/doc_template.h"
#include "platform/view.h"

Document::~Document() {
    for (View* view : views_) view->document_ = nullptr;
}

void Document::addView(View* view) {
    if (view->document_) view->document_->removeView(view);
    views_.push_back(view);
    view->document_ = this;
}

void Document::removeView(View* view) {
    views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
    if (view->document_ == this) view->document_ = nullptr;
}

void Document::setPathName(const QString& path) {
    pathName_ = path;
    title_ = QFileInfo(path).fileName();
}

bool Document::OnOpenDocument(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    setPathName(path);
    return true;
}

void Document::OnCloseDocument() {
    while (!views_.empty()) {
        View* view = views_.front();
        if (ChildFrame* frame = view->parentFrame())
            frame->destroyFrame();
        else
            removeView(view);
    }
    template_->removeDocument(this);
}
