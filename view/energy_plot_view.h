#pragma once

#include <cstddef>
#include <vector>

#include "platform/view.h"

// The bookkeeping's energies at one simulated time.
struct EnergySample {
    double time = 0.0;
    double kinetic = 0.0;
    double potential = 0.0;
    double total = 0.0;
};

// Drift of the total energy relative to its first value; 0 when that is 0.
double driftOf(double total, double first);

// The energies of the present run, oldest first. A time earlier than the last
// sample's means a new galaxy: the history starts again. A sample at the last
// time replaces it, so that repaints of a stopped simulation add nothing but
// an edited star still shows. Past the limit every second sample is dropped,
// so the history always spans the whole run at a coarser grain.
class EnergyHistory {
public:
    static constexpr std::size_t kMaxSamples = 2048;

    void add(const EnergySample& sample);
    const std::vector<EnergySample>& samples() const { return samples_; }

private:
    std::vector<EnergySample> samples_;
};

// The energy plot window: kinetic, potential and total energy of the galaxy
// and the relative drift of the total against time, with the scale's units, drawn afresh from the history at every repaint, which first
// runs the bookkeeping and records its figures.
class CEnergyPlotView : public View {
    Q_OBJECT
public:
    const EnergyHistory& history() const { return history_; }
    QSize sizeHint() const override;

protected:
    void OnDraw(QPainter& painter) override;

private:
    EnergyHistory history_;
};
