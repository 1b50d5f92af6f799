#include "view/zyr_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "model/galaxy.h"
#include "render/galaxy_renderer.h"
#include "view/command_ids.h"
#include "view/galaxy_window.h"

namespace {

// Half angle per pixel of a turning drag, and of the spin it leaves behind
// (a fifth of it, so the spin is gentler than the drag).
constexpr double kDragHalfAnglePerPixel = -0.003;
constexpr double kSpinHalfAnglePerPixel = -0.0006;
// A release after a last step this long keeps the galaxy turning.
constexpr double kSpinThreshold = 4.0;

// A rotation by the given half angle about the unit axis (ax, ay, 0).
Quaternion aboutScreenAxis(double halfAngle, double ax, double ay) {
    const double s = std::sin(halfAngle);
    return {std::cos(halfAngle), s * ax, s * ay, 0.0};
}

}  // namespace

CZyrView::CZyrView() {
    g_galaxyView = this;
    // Moves with Ctrl or Shift and no button held act as drags, so the view has
    // to see moves without a button too.
    setMouseTracking(true);
    onCommand(CommandId::ShowBox, [this] {
        showBox = showBox ? 0 : 1;
        RedrawNow();
    });
    onUpdateCommandUI(CommandId::ShowBox, [this](CommandUI& ui) { ui.setCheck(showBox != 0); });
}

CZyrView::~CZyrView() {
    if (g_galaxyView == this) g_galaxyView = nullptr;
}

void CZyrView::OnUpdate() { RedrawNow(); }

void CZyrView::RedrawNow() {
    render();
    rendered_ = true;
    repaint();
    rendered_ = false;
}

QSize CZyrView::sizeHint() const { return {290, 270}; }

void CZyrView::OnDraw(QPainter& painter) {
    if (!rendered_) render();
    const QImage image(reinterpret_cast<const uchar*>(raster_.data()), raster_.width(), raster_.height(),
                       static_cast<qsizetype>(raster_.bytesPerLine()), QImage::Format_RGB32);
    painter.drawImage(0, 0, image);
}

void CZyrView::render() {
    // A view not laid out yet has no area to paint.
    if (width() <= 0 || height() <= 0 || !raster_.resize(width(), height())) return;
    renderGalaxy(g_galaxy, raster_, showBox != 0);
}

void CZyrView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        lastPoint = event->position().toPoint();
        dragButton = 0;
    } else if (event->button() == Qt::RightButton) {
        lastPoint = event->position().toPoint();
        dragButton = 1;
    }
    View::mousePressEvent(event);
}

void CZyrView::mouseMoveEvent(QMouseEvent* event) {
    const bool acting = event->buttons() != Qt::NoButton ||
                        (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) != Qt::NoModifier;
    if (acting) {
        const QPoint p = event->position().toPoint();
        if (dragButton == 0) {
            // Moves under a pixel are left to add up with the next ones.
            if (!turn(p)) return;
        } else {
            pan(p);
        }
    }
    View::mouseMoveEvent(event);
}

void CZyrView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (dragLength >= kSpinThreshold) {
            spinning = 1;
            // A later click without a drag then stops the spin.
            dragLength = 0.0;
        } else {
            spinning = 0;
        }
    }
    View::mouseReleaseEvent(event);
}

void CZyrView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is no new press: it neither moves
    // lastPoint nor picks the drag button (QWidget's handler would treat it as
    // one).
    event->ignore();
}

bool CZyrView::turn(QPoint p) {
    const double dy = p.y() - lastPoint.y();
    const double dx = lastPoint.x() - p.x();
    const double len = std::sqrt(dx * dx + dy * dy);
    if (len < 1.0) return false;
    // The axis lies in the screen plane, perpendicular to the drag, so the near
    // side of the galaxy follows the pointer.
    const double ax = dy / len;
    const double ay = dx / len;
    spinStep = aboutScreenAxis(len * kSpinHalfAnglePerPixel, ax, ay);
    const Quaternion r = aboutScreenAxis(len * kDragHalfAnglePerPixel, ax, ay);
    spinning = 0;
    g_galaxy.orientation = r * g_galaxy.orientation;
    RedrawNow();
    lastPoint = p;
    dragLength = len;
    return true;
}

void CZyrView::pan(QPoint p) {
    const double f = 0.45 * std::max(width(), height()) * g_galaxy.panScale;
    g_galaxy.panX += (p.x() - lastPoint.x()) / f;
    g_galaxy.panY += (p.y() - lastPoint.y()) / f;
    RedrawNow();
    lastPoint = p;
}
