#pragma once

#include <QPoint>
#include <QString>
#include <array>

#include "platform/view.h"

class CGalaxy;
class QMouseEvent;
class QScrollBar;
class QWheelEvent;

// The selected row of the star list, the header being row 0, so row r shows
// star r - 1; -1 while nothing is selected.
extern int selectedRow;
// The star list's scroll position in pixels as of its last repaint; clicks
// are measured against it.
extern QPoint listScrollPos;

// Smallest and largest text size the star list is drawn at: below 5 points
// its columns would run backwards, at 0 a row would have no height.
constexpr int kMinListFontSize = 5;
constexpr int kMaxListFontSize = 100;

// Column geometry of the star list for text of s pixels. Columns 0 to 7
// (index, mass, x, y, z, vx, vy, vz) are right-aligned at their right edge;
// the colour column is left-aligned.
constexpr int noteColumnRight(int s, int column) { return 10 * s * (column + 1) - 80 - 50 * column; }
constexpr int noteColorLeft(int s) { return 90 * s - 520; }
constexpr int noteTableWidth(int s) { return 90 * s - 430; }

// The table row under a point y pixels from the top of the table (client y
// plus scroll position), or -1 on the header row and above.
int noteRowAt(int tableY, int s);

// "%7.2e" in the C locale.
QString formatListNumber(double value);
// The fixed-width colour name of a colour index; empty outside the list.
QString listColorName(int color);

constexpr int kNoteColumns = 9;
// The header texts and the cells of star i, in column order, colour last.
std::array<QString, kNoteColumns> noteHeaderCells();
std::array<QString, kNoteColumns> noteStarCells(const CGalaxy& galaxy, int star);

// The star-list window's view: one row per star with its index, mass,
// position, velocity and colour. A click selects a row, a double click opens
// the star's settings. It scrolls like a document larger than its window.
class CNoteView : public View {
    Q_OBJECT
public:
    CNoteView();

    void OnInitialUpdate() override;
    QSize sizeHint() const override;

protected:
    void OnDraw(QPainter& painter) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // The text size in pixels the table is drawn and clicked at.
    static int rowHeight();
    void setScrollSizes(QSize total, int lineStep);
    QSize clientSize() const;
    int tableY(const QMouseEvent* event) const;

    QScrollBar* horizontal_;
    QScrollBar* vertical_;
    QSize totalSize_{100, 100};
};
