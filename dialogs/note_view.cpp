#include "dialogs/note_view.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <algorithm>
#include <climits>

#include "dialogs/star_settings_dlg.h"
#include "model/galaxy.h"
#include "model/number_text.h"

int selectedRow = -1;
QPoint listScrollPos;

namespace {

const QColor kWhite(255, 255, 255);
const QColor kHighlight(170, 190, 190);

// The face asked for is rarely installed; the hints then pick a plain face
// of the same kind. The size is that of the whole cell, s pixels from the top
// of the tallest glyph to the bottom of the lowest, as the rows are s apart.
QFont listFont(int s) {
    QFont font(QStringLiteral("HE_TERMINAL"));
    // Plain pixels in two colours, as the selected row's inverted cells need.
    font.setStyleHint(QFont::TypeWriter, QFont::StyleStrategy(QFont::PreferQuality | QFont::NoAntialias));
    font.setFixedPitch(false);
    font.setWeight(QFont::Normal);
    int pixelSize = s;
    font.setPixelSize(pixelSize);
    while (pixelSize > 1 && QFontMetrics(font).height() > s) font.setPixelSize(--pixelSize);
    return font;
}

// Text with the top of its cell at y, its right end at x, on the current
// background.
void textRight(QPainter& dc, int x, int y, const QString& text) {
    dc.drawText(x - dc.fontMetrics().horizontalAdvance(text), y + dc.fontMetrics().ascent(), text);
}

void textLeft(QPainter& dc, int x, int y, const QString& text) { dc.drawText(x, y + dc.fontMetrics().ascent(), text); }

void drawRow(QPainter& dc, int s, int y, const std::array<QString, kNoteColumns>& cells) {
    for (int c = 0; c < kNoteColumns - 1; ++c)
        textRight(dc, noteColumnRight(s, c), y, cells[static_cast<std::size_t>(c)]);
    textLeft(dc, noteColorLeft(s), y, cells[kNoteColumns - 1]);
}

int clampToInt(long long v) { return static_cast<int>(std::clamp<long long>(v, 0, INT_MAX)); }

}  // namespace

int noteRowAt(int tableY, int s) { return tableY > s ? tableY / s : -1; }

QString formatListNumber(double value) {
    const QString text = QString::fromStdString(numberText(value, std::chars_format::scientific, 2));
    return text.rightJustified(7, QLatin1Char(' '));
}

QString listColorName(int color) {
    static const char* const names[] = {"white ", "red   ", "orange", "yellow", "green ", "blue  ", "purple", "cyan  "};
    constexpr int count = static_cast<int>(std::size(names));
    return color >= 0 && color < count ? QString::fromLatin1(names[color]) : QString();
}

std::array<QString, kNoteColumns> noteHeaderCells() {
    return {QStringLiteral("Star"), QStringLiteral("Mass"), QStringLiteral("xPos"),
            QStringLiteral("yPos"), QStringLiteral("zPos"), QStringLiteral("xVel"),
            QStringLiteral("yVel"), QStringLiteral("zVel"), QStringLiteral("Color")};
}

std::array<QString, kNoteColumns> noteStarCells(const CGalaxy& g, int i) {
    return {QString::number(i),
            formatListNumber(g.mass[i]),
            formatListNumber(g.pos.x[i]),
            formatListNumber(g.pos.y[i]),
            formatListNumber(g.pos.z[i]),
            formatListNumber(g.vel.x[i]),
            formatListNumber(g.vel.y[i]),
            formatListNumber(g.vel.z[i]),
            listColorName(g.color[i])};
}

CNoteView::CNoteView()
    : horizontal_(new QScrollBar(Qt::Horizontal, this)), vertical_(new QScrollBar(Qt::Vertical, this)) {
    horizontal_->hide();
    vertical_->hide();
    // Scrolling shows at once, as the window would repaint after a scroll.
    connect(horizontal_, &QScrollBar::valueChanged, this, [this] { RedrawNow(); });
    connect(vertical_, &QScrollBar::valueChanged, this, [this] { RedrawNow(); });
}

void CNoteView::OnInitialUpdate() {
    View::OnInitialUpdate();
    setScrollSizes({100, 100}, 0);
}

QSize CNoteView::sizeHint() const { return {noteTableWidth(12) + 20, 300}; }

int CNoteView::rowHeight() { return std::clamp(g_galaxy.listFontSize, kMinListFontSize, kMaxListFontSize); }

QSize CNoteView::clientSize() const {
    return {width() - (vertical_->isVisible() ? vertical_->width() : 0),
            height() - (horizontal_->isVisible() ? horizontal_->height() : 0)};
}

void CNoteView::setScrollSizes(QSize total, int lineStep) {
    totalSize_ = total;
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    // Each bar takes room from the other direction, so one may bring the other.
    bool needH = total.width() > width();
    bool needV = total.height() > height();
    needH = needH || (needV && total.width() > width() - extent);
    needV = needV || (needH && total.height() > height() - extent);
    const int clientW = width() - (needV ? extent : 0);
    const int clientH = height() - (needH ? extent : 0);

    const QSignalBlocker blockH(horizontal_);
    const QSignalBlocker blockV(vertical_);
    horizontal_->setGeometry(0, height() - extent, clientW, extent);
    vertical_->setGeometry(width() - extent, 0, extent, clientH);
    horizontal_->setRange(0, std::max(0, total.width() - clientW));
    horizontal_->setPageStep(std::max(1, clientW));
    horizontal_->setSingleStep(std::max(1, clientW / 10));
    vertical_->setRange(0, std::max(0, total.height() - clientH));
    vertical_->setPageStep(std::max(1, clientH));
    vertical_->setSingleStep(lineStep > 0 ? lineStep : std::max(1, clientH / 10));
    horizontal_->setVisible(needH);
    vertical_->setVisible(needV);
}

void CNoteView::resizeEvent(QResizeEvent* event) {
    View::resizeEvent(event);
    setScrollSizes(totalSize_, vertical_->singleStep());
}

void CNoteView::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 120;
    vertical_->setValue(vertical_->value() - 3 * steps * vertical_->singleStep());
    event->accept();
}

void CNoteView::OnDraw(QPainter& target) {
    const CGalaxy& g = g_galaxy;
    const int s = rowHeight();
    const int n = g.numStars;
    const int tableWidth = noteTableWidth(s);
    const long long tableHeight = static_cast<long long>(s) * (n + 1);

    // Only the part of the table in the window is drawn, so that a galaxy of
    // many stars needs no picture of its whole length.
    const QSize client = clientSize();
    QImage image(client.expandedTo({1, 1}), QImage::Format_RGB32);
    if (image.isNull()) return;
    listScrollPos = {horizontal_->value(), vertical_->value()};
    QPainter dc(&image);
    dc.fillRect(image.rect(), kWhite);
    dc.translate(-listScrollPos.x(), -listScrollPos.y());

    dc.setFont(listFont(s));
    dc.fillRect(0, 0, tableWidth, clampToInt(tableHeight), kWhite);
    dc.fillRect(0, s * selectedRow, tableWidth, s, kHighlight);
    dc.setBackgroundMode(Qt::OpaqueMode);
    dc.setBackground(kWhite);
    dc.setPen(Qt::black);

    drawRow(dc, s, 0, noteHeaderCells());
    const int first = std::max(0, listScrollPos.y() / s - 1);
    const int last = std::min(n, (listScrollPos.y() + image.height()) / s + 1);
    for (int i = first; i < last; ++i) drawRow(dc, s, s * (i + 1), noteStarCells(g, i));

    if (selectedRow >= 1 && selectedRow <= n) {
        const QColor text = dc.pen().color();
        dc.setBackground(text);
        dc.setPen(kWhite);
        drawRow(dc, s, s * selectedRow, noteStarCells(g, selectedRow - 1));
        dc.setBackground(kWhite);
        dc.setPen(text);
    }
    dc.end();

    setScrollSizes({tableWidth, clampToInt(tableHeight)}, s);
    target.drawImage(0, 0, image);
    // The square between the two bars belongs to neither; unpainted, it would
    // keep whatever the window showed there before.
    if (horizontal_->isVisible() && vertical_->isVisible())
        target.fillRect(vertical_->x(), horizontal_->y(), vertical_->width(), horizontal_->height(),
                        palette().window());
}

int CNoteView::tableY(const QMouseEvent* event) const { return event->position().toPoint().y() + listScrollPos.y(); }

void CNoteView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const int row = noteRowAt(tableY(event), rowHeight());
        if (row >= 0) selectedRow = row;
    }
    View::mousePressEvent(event);
}

void CNoteView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int row = noteRowAt(tableY(event), rowHeight());
    // The dialog edits the selected row, which the first click of this double
    // click has set; it must name a star as well.
    const int n = g_galaxy.numStars;
    if (row >= 1 && row <= n && selectedRow >= 1 && selectedRow <= n) {
        CStarSettingsDlg dialog;
        dialog.exec();
    }
}
