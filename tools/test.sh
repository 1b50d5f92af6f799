#!/usr/bin/env bash
# Sets up and builds Zyr, then runs every test: the suites of the normal
# build, the core and zyr-sim suites again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and a minute of fuzzing for each file reader.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"
bash tools/sanitize.sh
bash tools/fuzz.sh 60
