#pragma once

#include <QImage>

#include "platform/view.h"
#include "view/raster.h"

// The galaxy window's view: paints the galaxy through the renderer into a back
// buffer of the client size, shown with one image copy, and owns Show Box.
class CZyrView : public View {
    Q_OBJECT
public:
    CZyrView();
    ~CZyrView() override;

    // Draw the reference cube.
    int showBox = 1;

    // Every document update repaints at once.
    void OnUpdate() override;
    void RedrawNow() override;

    // The last frame painted.
    const Raster& backBuffer() const { return raster_; }
    QSize sizeHint() const override;

protected:
    void OnDraw(QPainter& painter) override;

private:
    void render();

    Raster raster_;
    // Set while RedrawNow has just rendered, so that the paint shows that frame
    // instead of rendering it a second time.
    bool rendered_ = false;
};
