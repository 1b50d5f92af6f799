#pragma once

#include "platform/view.h"

// The information window's view. Until the report is drawn here it shows an
// empty white page; it repaints whenever the idle loop asks.
class CInfoView : public View {
    Q_OBJECT
public:
    QSize sizeHint() const override;

protected:
    void OnDraw(QPainter& painter) override;
};
