#!/usr/bin/env bash
# Makes the HDF5 samples of data/ with zyr-sim, so that each opens in zyr
# ready to run: the two equilibrium models from seed 1, and the galaxy files
# that need settings of their own (a time step, a halo) with those settings,
# centred (centre of mass at the origin, no net momentum). The same zyr-sim
# gives the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
sim=build/zyr-sim
[ -x "$sim" ] || bash tools/setup.sh zyr-sim

model=(--seed 1 --integrator leapfrog --force barnes-hut --force-error 1e-3 --steps 0 --quiet)
"$sim" --shape plummer --stars 8192 "${model[@]}" --save data/plummer.hdf5
"$sim" --shape disc-galaxy --stars 8192 "${model[@]}" --save data/milky-way-like.hdf5

# At the default step of 8 days the Sun's shield radius is wider than the
# Earth's orbit; the discs need a step of 2 to keep their stars; the disc's
# start velocities include the original's sphere halo.
centred=(--centre --steps 0 --quiet)
"$sim" --load data/sun-and-earth.zyr --dt 1 "${centred[@]}" --save data/sun-and-earth.hdf5
"$sim" --load data/colliding-discs.zyr --dt 2 "${centred[@]}" --save data/colliding-discs.hdf5
"$sim" --load data/disc-in-halo.zyr --dark-matter sphere "${centred[@]}" --save data/disc-in-halo.hdf5
