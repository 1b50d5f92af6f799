#include "view/info_view.h"

#include <QPainter>

QSize CInfoView::sizeHint() const { return {490, 170}; }

void CInfoView::OnDraw(QPainter& painter) { painter.fillRect(rect(), Qt::white); }
