#include "platform/doc_template.h"

#include <algorithm>
#include <utility>

#include "platform/application.h"
#include "platform/child_frame.h"
#include "platform/document.h"
#include "platform/mdi_frame.h"
#include "platform/view.h"

DocTemplate::DocTemplate(int resourceId, QString templateString, DocumentFactory makeDocument,
                         FrameFactory makeFrame, ViewFactory makeView)
    : resourceId_(resourceId),
      fields_(templateString.split(QLatin1Char('\n'))),
      makeDocument_(std::move(makeDocument)),
      makeFrame_(std::move(makeFrame)),
      makeView_(std::move(makeView)) {}

DocTemplate::~DocTemplate() = default;

QString DocTemplate::string(Field field) const { return fields_.value(static_cast<int>(field)); }

std::vector<Document*> DocTemplate::documents() const {
    std::vector<Document*> docs;
    for (const auto& doc : documents_) docs.push_back(doc.get());
    return docs;
}

Document* DocTemplate::createDocument() {
    documents_.push_back(makeDocument_());
    Document* doc = documents_.back().get();
    doc->template_ = this;
    return doc;
}

ChildFrame* DocTemplate::createFrame(Document* doc) {
    ChildFrame* frame = makeFrame_();
    View* view = makeView_();
    frame->setWidget(view);
    doc->addView(view);
    app_->mainFrame()->addChildFrame(frame);
    return frame;
}

void DocTemplate::initialUpdateFrame(ChildFrame* frame, Document* doc, bool makeVisible) {
    frame->setWindowTitle(doc->frameCaption());
    if (View* view = frame->view()) view->OnInitialUpdate();
    if (makeVisible) frame->activateFrame();
}

void DocTemplate::closeAllDocuments() {
    while (Document* doc = firstDocument()) doc->OnCloseDocument();
}

void DocTemplate::removeDocument(Document* doc) {
    const auto it = std::find_if(documents_.begin(), documents_.end(),
                                 [doc](const auto& owned) { return owned.get() == doc; });
    if (it == documents_.end()) return;
    // Out of the list first, so that its destructor sees the list without it.
    const std::unique_ptr<Document> dying = std::move(*it);
    documents_.erase(it);
}
