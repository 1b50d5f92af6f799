#include "platform/document.h"

#include <QFileInfo>
#include <algorithm>

#include "platform/child_frame.h"
#include "platform/doc_template.h"
#include "platform/mdi_frame.h"
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

void Document::setTitle(const QString& title) {
    title_ = title;
    updateCaptions();
}

void Document::setModified(bool modified) {
    if (modified == modified_) return;
    modified_ = modified;
    updateCaptions();
}

void Document::updateCaptions() {
    for (View* view : views_) {
        ChildFrame* frame = view->parentFrame();
        if (!frame) continue;
        frame->setWindowTitle(frameCaption());
        if (MdiFrame* main = frame->mainFrame()) main->updateCaption();
    }
}

void Document::setPathName(const QString& path) {
    pathName_ = path;
    setTitle(QFileInfo(path).fileName());
}

QString Document::frameCaption() const {
    const QString name = !title_.isEmpty() || !template_ ? title_ : template_->string(DocTemplate::Field::DocName);
    return modified_ ? name + u'*' : name;
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
