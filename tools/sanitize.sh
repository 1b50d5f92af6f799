#!/usr/bin/env bash
# Builds the core, zyr-sim and their test suites with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-sanitize/ and runs those suites there.
# Any report fails the run: the sanitizers stop the program at the first one.
set -euo pipefail
cd "$(dirname "$0")/.."

flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZYR_BUILD_GUI=OFF -DZYR_BUILD_BENCH=OFF -DZYR_BUILD_PYTHON=OFF \
  -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build build-sanitize -j"$(nproc)" --target zyr_core_tests zyr_sim_tests zyr-sim
ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 ctest --test-dir build-sanitize --output-on-failure -j"$(nproc)"
