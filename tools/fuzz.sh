#!/usr/bin/env bash
# Builds the libFuzzer harnesses of the file readers with clang (AddressSanitizer
# and UndefinedBehaviorSanitizer on) in build-fuzz/ and runs each of them for
# the given number of seconds (default 60), starting from its seeds in
# tests/fuzz/seeds/<reader>/ and the sample galaxies in data/. Inputs that
# found new paths are kept in build-fuzz/corpus/<reader>/ for the next run; a
# failing input is written to build-fuzz/ and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZYR_BUILD_FUZZERS=ON \
  -DZYR_BUILD_GUI=OFF -DZYR_BUILD_TESTS=OFF -DZYR_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target zyr_fuzzers

for source in tests/fuzz/*_fuzz.cpp; do
  harness="$(basename "$source" .cpp)"
  reader="${harness%_fuzz}"
  corpus="build-fuzz/corpus/$reader"
  mkdir -p "$corpus"
  echo "fuzzing $reader for ${seconds} s"
  # Inputs up to 4 KiB (8 KiB for HDF5 snapshots, whose smallest files are
  # about 4 KiB); no input may make the reader allocate more than 64 MB.
  max_len=4096
  [ "$reader" = snapshot_file ] && max_len=8192
  log="build-fuzz/$reader.log"
  status=0
  LSAN_OPTIONS="suppressions=$PWD/tests/fuzz/lsan.supp" \
    build-fuzz/tests/fuzz/"$harness" -max_total_time="$seconds" -max_len="$max_len" -malloc_limit_mb=64 \
    -rss_limit_mb=1024 -artifact_prefix=build-fuzz/ -print_final_stats=1 \
    "$corpus" "tests/fuzz/seeds/$reader" data >"$log" 2>&1 || status=$?
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' "$log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$log" >&2
    echo "fuzzing $reader failed; the input that failed is in build-fuzz/, the whole log in $log" >&2
    exit 1
  fi
done
