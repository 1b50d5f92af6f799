#include "dialogs/model_preview.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <utility>

#include "model/number_text.h"

namespace {

constexpr int kMargin = 6;
constexpr int kLegendHeight = 14;
constexpr int kTitleHeight = 14;
constexpr int kTickLabelWidth = 34;
constexpr int kTickLabelHeight = 14;
constexpr int kTickLength = 3;
// The speed curves' share of the width when Q(R) stands beside them.
constexpr double kSpeedShare = 0.6;

struct Part {
    std::vector<double> ModelCurves::*speeds;
    QColor colour;
    const char* label;
};

const QColor kDiscColour(0, 0, 255);

const Part kParts[] = {
    {&ModelCurves::vCircle, QColor(0, 0, 0), "Total"},
    {&ModelCurves::vDisc, kDiscColour, "Disc"},
    {&ModelCurves::vBulge, QColor(255, 0, 0), "Bulge"},
    {&ModelCurves::vHalo, QColor(0, 150, 0), "Halo"},
    {&ModelCurves::vCentral, QColor(160, 0, 160), "Central"},
};

// The largest finite value, 0 for none.
double largest(const std::vector<double>& values) {
    double top = 0.0;
    for (const double v : values)
        if (std::isfinite(v)) top = std::max(top, v);
    return top;
}

// A part of the model that is there: one of its speeds is above 0.
bool present(const std::vector<double>& values) { return largest(values) > 0.0; }

// About a quarter of the span, rounded to 1, 2 or 5 times a power of ten.
double tickStep(double span) {
    const double raw = span / 4.0;
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0})
        if (factor * decade >= raw) return factor * decade;
    return 10.0 * decade;
}

// "%.4g", which also hides the rounding of the tick multiples (0.30000000000000004).
QString tickText(double value) {
    return QString::fromStdString(numberText(value, std::chars_format::general, 4));
}

// One panel: its frame, value range and ticks, from 0 to a whole number of
// ticks at or above the largest value on either axis.
class Panel {
public:
    Panel(const QRect& area, double xLargest, double yLargest)
        : area_(area), xStep_(tickStep(xLargest)), yStep_(tickStep(yLargest)),
          xTop_(std::ceil(xLargest / xStep_ - 1e-9) * xStep_), yTop_(std::ceil(yLargest / yStep_ - 1e-9) * yStep_) {}

    QPointF at(double x, double y) const {
        return {area_.left() + x / xTop_ * (area_.width() - 1), area_.bottom() - y / yTop_ * (area_.height() - 1)};
    }

    // The frame, the ticks with their numbers, the y title above the frame's
    // left corner and the x title under the numbers.
    void drawAxes(QPainter& dc, const QString& xTitle, const QString& yTitle) const {
        dc.setPen(Qt::black);
        dc.drawRect(area_.adjusted(0, 0, -1, -1));
        for (int k = 0; k * xStep_ <= xTop_ * (1 + 1e-9); ++k) {
            const QPointF p = at(k * xStep_, 0.0);
            dc.drawLine(p, p + QPointF(0, kTickLength));
            dc.drawText(QRectF(p.x() - kTickLabelWidth, p.y() + kTickLength, 2 * kTickLabelWidth, kTickLabelHeight),
                        Qt::AlignHCenter | Qt::AlignTop, tickText(k * xStep_));
        }
        for (int k = 0; k * yStep_ <= yTop_ * (1 + 1e-9); ++k) {
            const QPointF p = at(0.0, k * yStep_);
            dc.drawLine(p, p - QPointF(kTickLength, 0));
            dc.drawText(QRectF(p.x() - kTickLength - kTickLabelWidth - 2, p.y() - kTickLabelHeight / 2.0,
                               kTickLabelWidth, kTickLabelHeight),
                        Qt::AlignRight | Qt::AlignVCenter, tickText(k * yStep_));
        }
        // Right of the frame's left edge, clear of the top tick's number.
        dc.drawText(QRect(area_.left() + kTickLength, area_.top() - kTitleHeight, area_.width(), kTitleHeight),
                    Qt::AlignLeft | Qt::AlignVCenter, yTitle);
        dc.drawText(QRect(area_.left(), area_.bottom() + kTickLabelHeight, area_.width(), kTickLabelHeight),
                    Qt::AlignHCenter | Qt::AlignVCenter, xTitle);
    }

    // A line through the points that are numbers, clipped to the frame; a
    // value that is not a number breaks it.
    void drawCurve(QPainter& dc, const std::vector<double>& xs, const std::vector<double>& ys,
                   const QColor& colour) const {
        dc.save();
        dc.setClipRect(area_);
        dc.setPen(colour);
        const std::size_t n = std::min(xs.size(), ys.size());
        for (std::size_t k = 1; k < n; ++k) {
            if (std::isfinite(ys[k - 1]) && std::isfinite(ys[k]))
                dc.drawLine(at(xs[k - 1], ys[k - 1]), at(xs[k], ys[k]));
        }
        dc.restore();
    }

    void drawLevel(QPainter& dc, double y, const QColor& colour) const {
        dc.save();
        dc.setPen(QPen(colour, 1, Qt::DashLine));
        dc.drawLine(at(0.0, y), at(xTop_, y));
        dc.restore();
    }

private:
    QRect area_;
    double xStep_, yStep_, xTop_, yTop_;
};

}  // namespace

CModelPreview::CModelPreview(QWidget* parent) : QWidget(parent) {}

QSize CModelPreview::sizeHint() const { return {560, 220}; }

void CModelPreview::showCurves(ModelCurves curves, const QString& lengthUnit, const QString& timeUnit) {
    curves_ = std::move(curves);
    problem_.clear();
    lengthUnit_ = lengthUnit;
    timeUnit_ = timeUnit;
    update();
}

void CModelPreview::showProblem(const QString& reason) {
    curves_ = {};
    problem_ = reason;
    update();
}

void CModelPreview::paintEvent(QPaintEvent*) {
    QImage image(size(), QImage::Format_RGB32);
    if (image.isNull()) return;
    image.fill(Qt::white);
    {
        QPainter dc(&image);
        draw(dc);
    }
    QPainter(this).drawImage(0, 0, image);
}

void CModelPreview::draw(QPainter& dc) const {
    dc.setPen(Qt::black);
    dc.drawRect(rect().adjusted(0, 0, -1, -1));
    const double rEnd = curves_.radius.empty() ? 0.0 : curves_.radius.back();
    const double vTop = largest(curves_.vCircle);
    if (!problem_.isEmpty() || !(rEnd > 0.0) || !(vTop > 0.0)) {
        dc.drawText(rect().adjusted(3 * kMargin, kMargin, -3 * kMargin, -kMargin), Qt::AlignCenter | Qt::TextWordWrap,
                    problem_);
        return;
    }

    int x = kMargin;
    for (const Part& part : kParts) {
        if (!present(curves_.*part.speeds)) continue;
        dc.setPen(part.colour);
        const QString label = QString::fromLatin1(part.label);
        dc.drawText(x, kMargin + 10, label);
        x += dc.fontMetrics().horizontalAdvance(label) + kMargin;
    }

    const double qTop = largest(curves_.toomreQ);
    const bool withQ = qTop > 0.0;
    const int top = kMargin + kLegendHeight + kTitleHeight;
    const int bottom = height() - kMargin - 2 * kTickLabelHeight;
    const int left = kMargin + kTickLabelWidth + kTickLength;
    const int right = width() - 2 * kMargin;
    const int speedRight = withQ ? left + static_cast<int>(kSpeedShare * (right - left)) - kTickLabelWidth : right;
    if (bottom - top < 8 || speedRight - left < 8) return;

    const QString radiusTitle = QStringLiteral("R [%1]").arg(lengthUnit_);
    const Panel speeds(QRect(left, top, speedRight - left, bottom - top), rEnd, vTop);
    speeds.drawAxes(dc, radiusTitle, QStringLiteral("v [%1/%2]").arg(lengthUnit_, timeUnit_));
    for (const Part& part : kParts)
        if (present(curves_.*part.speeds)) speeds.drawCurve(dc, curves_.radius, curves_.*part.speeds, part.colour);
    if (!withQ) return;

    // Q grows without bound where the disc thins out; the scale stops at
    // three times its least value, so that the part near 1 stays readable.
    double qLeast = qTop;
    for (const double q : curves_.toomreQ)
        if (std::isfinite(q) && q > 0.0) qLeast = std::min(qLeast, q);
    const int qLeft = speedRight + 2 * kTickLabelWidth;
    const Panel q(QRect(qLeft, top, right - qLeft, bottom - top), rEnd, std::min(qTop, 3.0 * qLeast));
    q.drawAxes(dc, radiusTitle, QStringLiteral("Toomre Q"));
    q.drawLevel(dc, 1.0, QColor(160, 160, 160));
    q.drawCurve(dc, curves_.radius, curves_.toomreQ, kDiscColour);
}
