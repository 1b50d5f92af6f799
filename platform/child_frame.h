#pragma once

#include <QMdiSubWindow>
#include <optional>

#include "platform/command_target.h"

class Document;
class MdiFrame;
class View;

// A child window of the main frame holding one view. Closing the last frame of
// a document closes the document.
class ChildFrame : public QMdiSubWindow, public CommandTarget {
    Q_OBJECT
public:
    ChildFrame();
    ~ChildFrame() override;

    // Position and size in the main frame's client area that this kind of frame
    // asks for; none leaves the placement to the MDI area.
    virtual std::optional<QRect> PreCreateWindow() const;

    View* view() const;
    Document* document() const;
    MdiFrame* mainFrame() const { return mainFrame_; }

    // Shows the frame (restoring it when minimised), brings it to the front
    // and makes it the active child.
    void activateFrame();
    // Detaches the view from its document, hides the frame and deletes it once
    // control returns to the event loop.
    void destroyFrame();
    bool isClosing() const { return closing_; }

    QSize sizeHint() const override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    friend class MdiFrame;
    MdiFrame* mainFrame_ = nullptr;
    bool closing_ = false;
};
