#pragma once

#include <QIcon>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class Application;
class ChildFrame;
class Document;
class View;

// Binds a document class, a child frame class and a view class into one kind of
// window, and keeps the open documents of that kind.
class DocTemplate {
public:
    using DocumentFactory = std::function<std::unique_ptr<Document>()>;
    using FrameFactory = std::function<ChildFrame*()>;
    using ViewFactory = std::function<View*()>;

    // The fields of the template string, separated by newlines in this order.
    enum class Field { WindowTitle, DocName, FileNewName, FilterName, FilterExt, RegFileTypeId, RegFileTypeName };

    DocTemplate(int resourceId, QString templateString, DocumentFactory makeDocument, FrameFactory makeFrame,
                ViewFactory makeView);
    ~DocTemplate();
    DocTemplate(const DocTemplate&) = delete;
    DocTemplate& operator=(const DocTemplate&) = delete;

    int resourceId() const { return resourceId_; }
    QString string(Field field) const;

    Document* firstDocument() const { return documents_.empty() ? nullptr : documents_.front().get(); }
    std::vector<Document*> documents() const;

    // A new document of this kind, without a window and without a title.
    Document* createDocument();
    // A new frame with its view for doc, placed in the main frame but not shown.
    ChildFrame* createFrame(Document* doc);
    // Runs the view's initial update and, if asked, shows and activates the frame.
    void initialUpdateFrame(ChildFrame* frame, Document* doc, bool makeVisible = true);
    void closeAllDocuments();
    // Deletes doc, which must be one of this template's documents.
    void removeDocument(Document* doc);

private:
    friend class Application;
    Application* app_ = nullptr;
    int resourceId_;
    QStringList fields_;
    DocumentFactory makeDocument_;
    FrameFactory makeFrame_;
    ViewFactory makeView_;
    std::vector<std::unique_ptr<Document>> documents_;
};
