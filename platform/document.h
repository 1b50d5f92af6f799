#pragma once

#include <QString>
#include <vector>

#include "platform/command_target.h"

class DocTemplate;
class View;

// A document of a template. It knows its views; the windows it is shown in
// belong to the views' frames.
class Document : public CommandTarget {
public:
    ~Document() override;

    DocTemplate* docTemplate() const { return template_; }
    View* firstView() const { return views_.empty() ? nullptr : views_.front(); }
    const std::vector<View*>& views() const { return views_; }
    void addView(View* view);
    void removeView(View* view);

    const QString& title() const { return title_; }
    // The captions of the document's frames and, while one of them is
    // active, of the main frame follow at once.
    void setTitle(const QString& title);
    const QString& pathName() const { return pathName_; }
    // Also makes the file's name the title; an empty path leaves no title.
    void setPathName(const QString& path);
    // What the document's frames are captioned: its title, or while it has
    // none, the name of its kind, marked "*" while it has unsaved changes.
    QString frameCaption() const;
    bool isModified() const { return modified_; }
    // The captions follow when the flag changes.
    void setModified(bool modified);
    // Asked before the document is thrown away (its last window closed, the
    // program ended); false keeps it. By default nothing asks.
    virtual bool saveModified() { return true; }
    // Destroys every frame showing the document, then the document itself:
    // nothing may touch the document after this returns.
    virtual void OnCloseDocument();

private:
    void updateCaptions();

    friend class DocTemplate;
    DocTemplate* template_ = nullptr;
    std::vector<View*> views_;
    QString title_;
    QString pathName_;
    bool modified_ = false;
};
