#!/usr/bin/env bash
# Sets up and builds Zyr, then runs the main job: the default galaxy (a sphere of
# 512 stars, Improved Euler, direct summation) with a report every 100 steps.
# Extra arguments go to zyr-sim, e.g. tools/run.sh --shape disc --steps 2000.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
if [ $# -eq 0 ]; then set -- --steps 1000 --report-every 100; fi
exec build/zyr-sim "$@"
