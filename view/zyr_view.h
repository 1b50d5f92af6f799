#pragma once

#include <QImage>
#include <QPoint>

#include "platform/view.h"
#include "render/raster.h"

class QMouseEvent;

// The galaxy window's view: paints the galaxy through the renderer into a back
// buffer of the client size, shown with one image copy, owns Show Box, and
// turns, spins and pans the picture with the mouse.
class CZyrView : public View {
    Q_OBJECT
public:
    CZyrView();
    ~CZyrView() override;

    // Where the last button press or the last handled drag step was.
    QPoint lastPoint{0, 0};
    // Draw the reference cube.
    int showBox = 1;
    // 0: drags turn the galaxy (the last press was the left button); 1: they pan.
    int dragButton = 0;
    // Length in pixels of the last turning step; a release after a step of 4 or
    // more leaves the galaxy spinning. Zero, so that a first click spins nothing.
    double dragLength = 0.0;

    // Every document update repaints at once.
    void OnUpdate() override;
    void RedrawNow() override;

    // The last frame painted.
    const Raster& backBuffer() const { return raster_; }
    QSize sizeHint() const override;

protected:
    void OnDraw(QPainter& painter) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void render();
    // A turning step; false when the pointer has not yet moved a whole pixel.
    bool turn(QPoint p);
    void pan(QPoint p);

    Raster raster_;
    // Set while RedrawNow has just rendered, so that the paint shows that frame
    // instead of rendering it a second time.
    bool rendered_ = false;
};
