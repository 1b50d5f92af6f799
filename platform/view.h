#pragma once

#include <QWidget>

#include "platform/command_target.h"

class ChildFrame;
class Document;

// A window showing a document. Views paint through OnDraw, both when the window
// system exposes them and when the program asks for an immediate repaint.
class View : public QWidget, public CommandTarget {
    Q_OBJECT
public:
    explicit View(QWidget* parent = nullptr);
    ~View() override;

    Document* document() const { return document_; }
    ChildFrame* parentFrame() const;

    // Called once when the frame is first shown; by default it runs OnUpdate.
    virtual void OnInitialUpdate();
    // The document changed; by default the view is invalidated and repaints
    // when the event loop comes round to it.
    virtual void OnUpdate();
    // Paints the view at once, not by invalidation.
    virtual void RedrawNow();

    QSize sizeHint() const override;

protected:
    virtual void OnDraw(QPainter& painter) = 0;
    void paintEvent(QPaintEvent* event) override;

private:
    friend class Document;
    Document* document_ = nullptr;
};
