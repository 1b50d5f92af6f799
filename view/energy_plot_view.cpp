#include "view/energy_plot_view.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "model/galaxy.h"
#include "model/number_text.h"

namespace {

// The plot area inside the client area: room for the legend above and a
// margin elsewhere.
constexpr int kMargin = 8;
constexpr int kLegendHeight = 18;
constexpr int kAxisHeight = 16;
const QColor kDriftColour(0, 150, 0);

// "%.2e" of a number, never in the user's locale.
QString scientific(double value) {
    return QString::fromStdString(numberText(value, std::chars_format::scientific, 2));
}

struct Series {
    double EnergySample::*value;
    QColor colour;
    const char* label;
};

const Series kSeries[] = {
    {&EnergySample::kinetic, QColor(255, 0, 0), "Kinetic"},
    {&EnergySample::potential, QColor(0, 0, 255), "Potential"},
    {&EnergySample::total, QColor(0, 0, 0), "Total"},
};

}  // namespace

void EnergyHistory::add(const EnergySample& sample) {
    if (!samples_.empty() && sample.time < samples_.back().time) samples_.clear();
    if (!samples_.empty() && sample.time == samples_.back().time) {
        samples_.back() = sample;
        return;
    }
    samples_.push_back(sample);
    if (samples_.size() <= kMaxSamples) return;
    // Keeps the even positions, among them the first; the newest sample is at
    // an even position too, since the size is one past a power of two.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < samples_.size(); i += 2) samples_[kept++] = samples_[i];
    samples_.resize(kept);
}

QSize CEnergyPlotView::sizeHint() const { return {190, 240}; }

void CEnergyPlotView::OnDraw(QPainter& target) {
    CGalaxy& g = g_galaxy;
    g.bookkeeping();
    history_.add({g.time, g.kineticEnergy, g.potentialEnergy, g.totalEnergy});

    QImage image(size(), QImage::Format_RGB32);
    if (image.isNull()) return;
    image.fill(Qt::white);
    QPainter dc(&image);

    int x = kMargin;
    for (const Series& s : kSeries) {
        dc.setPen(s.colour);
        const QString label = QString::fromLatin1(s.label);
        dc.drawText(x, kMargin + 8, label);
        x += dc.fontMetrics().horizontalAdvance(label) + kMargin;
    }
    dc.setPen(kDriftColour);
    dc.drawText(x, kMargin + 8, QStringLiteral("Drift"));

    const QRect area(kMargin, kMargin + kLegendHeight + kAxisHeight, width() - 2 * kMargin,
                     height() - 2 * kMargin - kLegendHeight - 2 * kAxisHeight);
    if (area.width() < 2 || area.height() < 2) {
        target.drawImage(0, 0, image);
        return;
    }
    dc.setPen(Qt::black);
    dc.drawRect(area.adjusted(0, 0, -1, -1));

    const std::vector<EnergySample>& samples = history_.samples();
    double low = 0.0, high = 0.0;
    for (const EnergySample& e : samples)
        for (const Series& s : kSeries) {
            low = std::min(low, e.*s.value);
            high = std::max(high, e.*s.value);
        }
    // Zero is always in range, so the sign of each energy can be read off
    // against the grey zero line.
    if (high == low) high = low + 1.0;
    // A little room above and below keeps the extreme curves off the frame.
    const double pad = 0.05 * (high - low);
    low -= pad;
    high += pad;
    const double t0 = samples.front().time, t1 = samples.back().time;
    const double span = t1 > t0 ? t1 - t0 : 1.0;
    auto point = [&](double t, double e) {
        return QPointF(area.left() + (t - t0) / span * (area.width() - 1),
                       area.bottom() - (e - low) / (high - low) * (area.height() - 1));
    };

    // The axes in the units of the scale, and the largest drift of the total
    // energy relative to its first value, which the green curve shows on a
    // scale of its own from -max to +max.
    const int scale = g.scale;
    const double first = samples.front().total;
    double drift = 0.0;
    for (const EnergySample& e : samples) drift = std::max(drift, std::fabs(driftOf(e.total, first)));
    dc.setPen(Qt::black);
    dc.drawText(kMargin, kMargin + kLegendHeight + 10,
                QStringLiteral("E [%1]").arg(QString::fromStdString(g.energyUnitName[scale])));
    dc.setPen(kDriftColour);
    const QString driftText = QStringLiteral("drift %1").arg(scientific(drift));
    dc.drawText(area.right() - 2 - dc.fontMetrics().horizontalAdvance(driftText), area.top() + 12, driftText);
    dc.setPen(Qt::black);
    dc.drawText(kMargin, area.bottom() + 13,
                QStringLiteral("t %1 .. %2 %3")
                    .arg(scientific(t0), scientific(t1), QString::fromStdString(g.timeUnitName[scale])));

    // Drift -max .. +max spans the plot area's height; the energies are
    // drawn over it.
    if (drift > 0.0) {
        auto driftPoint = [&](const EnergySample& e) {
            const double d = driftOf(e.total, first) / drift;
            return QPointF(area.left() + (e.time - t0) / span * (area.width() - 1),
                           area.center().y() - d * 0.5 * (area.height() - 1));
        };
        dc.setPen(kDriftColour);
        QPointF previous = driftPoint(samples.front());
        for (const EnergySample& e : samples) {
            const QPointF p = driftPoint(e);
            dc.drawLine(previous, p);
            previous = p;
        }
    }
    dc.setPen(QColor(160, 160, 160));
    dc.drawLine(point(t0, 0.0), point(t1, 0.0));
    for (const Series& s : kSeries) {
        dc.setPen(s.colour);
        QPointF previous = point(samples.front().time, samples.front().*s.value);
        for (const EnergySample& e : samples) {
            const QPointF p = point(e.time, e.*s.value);
            dc.drawLine(previous, p);
            previous = p;
        }
    }
    dc.end();
    target.drawImage(0, 0, image);
}

double driftOf(double total, double first) { return first != 0.0 ? (total - first) / std::fabs(first) : 0.0; }
