#include "dialogs/note_view.h"

#include <QPainter>

void CNoteView::OnDraw(QPainter& painter) { painter.fillRect(rect(), Qt::white); }
