#pragma once

#include "platform/view.h"

// The star-list window's view. Until the table is drawn here it shows an empty
// white page; it repaints whenever the idle loop asks.
class CNoteView : public View {
    Q_OBJECT

protected:
    void OnDraw(QPainter& painter) override;
};
