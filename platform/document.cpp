#include "platform/document.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

#include "platform/application.h"
#include "platform/child_frame.h"
#include "platform/doc_template.h"
#include "platform/framework_ids.h"
#include "platform/mdi_frame.h"
#include "platform/prompter.h"
#include "platform/view.h"

Document::Document() {
    onCommand(FrameworkId::FileSave, [this] { OnFileSave(); });
}

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

void Document::OnFileSave() {
    Application* app = Application::instance();
    QString path = pathName_;
    if (path.isEmpty()) {
        const QString extension = template_ ? template_->string(DocTemplate::Field::FilterExt) : QString();
        FileRequest request;
        request.caption = QStringLiteral("Save As");
        request.filter = QStringLiteral("All Files (*)");
        request.defaultSuffix = extension.startsWith(QLatin1Char('.')) ? extension.mid(1) : extension;
        request.fileName = title_;
        const std::optional<QString> chosen = app->prompter().saveFileName(request);
        if (!chosen) return;
        path = *chosen;
    }
    if (!OnSaveDocument(path)) {
        app->prompter().messageBox(QStringLiteral("%1\nCannot create this file.").arg(QFileInfo(path).filePath()),
                                   QApplication::applicationName(), MessageButtons::Ok, MessageIcon::Warning);
        return;
    }
    setPathName(path);
    for (View* view : views_) {
        ChildFrame* frame = view->parentFrame();
        if (!frame) continue;
        frame->setWindowTitle(title_);
        // The main frame's caption names the active document.
        if (frame->mainFrame() && frame->mainFrame()->activeChild() == frame) frame->activateFrame();
    }
}

bool Document::OnSaveDocument(const QString& path) {
    // Through a temporary file, so that a failed save leaves an older file whole.
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.commit();
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
