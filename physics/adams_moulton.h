#pragma once

// What Adams-Moulton carries from step to step, for the step itself and for
// the snapshots that save a run and continue it exactly: the newest
// derivatives of the state and the times they belong to (one time per
// component), slot by slot, oldest slot first, in the galaxy's scratch
// vectors; historyCount tells how many slots hold values.

#include "model/galaxy.h"

inline constexpr int kAdamsMoultonSlots = 4;
// The scratch vectors of the oldest slot's derivatives and times; slot k is k
// vectors further on. The first steps are improved Euler's, whose own scratch
// vectors 0 and 1 come before.
inline constexpr int kAdamsMoultonDerivatives = 2;
inline constexpr int kAdamsMoultonTimes = kAdamsMoultonDerivatives + kAdamsMoultonSlots;
static_assert(kAdamsMoultonTimes + kAdamsMoultonSlots <= sizeof(CGalaxy::scratch) / sizeof(double*));

// The slots that hold values after that many steps since the history was
// reset: each of the first steps fills one.
constexpr int adamsMoultonFilledSlots(long long steps) {
    return steps < kAdamsMoultonSlots ? static_cast<int>(steps) : kAdamsMoultonSlots;
}
