#!/usr/bin/env bash
# Sets up and builds Zyr, then runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"
