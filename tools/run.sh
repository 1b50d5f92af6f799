#!/usr/bin/env bash
# Sets up and builds Zyr, then runs the benchmarks of the core.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
exec build/bench/zyr_bench
