#include "view/zyr_view.h"

#include <QPainter>

#include "app/app_globals.h"
#include "app/command_ids.h"
#include "model/galaxy.h"
#include "view/galaxy_renderer.h"

CZyrView::CZyrView() {
    g_galaxyView = this;
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
