#pragma once

#include <string>
#include <vector>

#include "platform/view.h"

class CGalaxy;
class QMouseEvent;

// One line of the information report: its text and the top-left corner of the
// text in client pixels.
struct ReportLine {
    int x = 0;
    int y = 0;
    std::string text;
};

// The figure lines of report page 0 (Model) or 1 (Position/Energy), from the
// galaxy as it stands (the caller runs the bookkeeping first). Numbers are
// formatted as the C library does in the "C" locale, whatever the user's
// locale is.
std::vector<ReportLine> infoReportLines(const CGalaxy& galaxy, int page);

// The information window's view: a two-page report drawn as a pair of tabs at
// fixed pixel positions; a click on a tab picks the page. The figures are
// worked out when the view is updated or redrawn, never while it paints: the
// progress of a long pass repaints the status bar, which Qt cannot do in the
// middle of another widget's paint.
class CInfoView : public View {
    Q_OBJECT
public:
    // 0: Model, 1: Position/Energy.
    int page = 0;

    QSize sizeHint() const override;
    void OnUpdate() override;
    void RedrawNow() override;

protected:
    void OnDraw(QPainter& painter) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void bookkeepingWithProgress();
};
