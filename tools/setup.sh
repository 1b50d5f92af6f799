#!/usr/bin/env bash
# Installs the Debian packages Zyr needs, then configures and builds it in
# build/. Without arguments it builds everything and installs what the tests
# need too (clang and its fuzzing runtime); with target names (zyr, zyr-sim)
# it builds only those. Safe to run again: it installs only what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ make zlib1g-dev libhdf5-dev libgtest-dev libbenchmark-dev locales qt6-base-dev libx11-dev)
# The Python module zyr (pybind11, numpy) and its tests (pytest), and the
# example notebooks the tests run (nbclient, a kernel, matplotlib).
[ $# -eq 0 ] && packages+=(pybind11-dev python3-dev python3-numpy python3-pytest python3-nbclient python3-ipykernel
                           python3-matplotlib)
# h5py checks the snapshot files Zyr writes, and writes other codes' layouts;
# yt must read them as GADGET snapshots.
[ $# -eq 0 ] && packages+=(python3-h5py python3-yt)
# The fuzzing harnesses of the tests are built with clang's libFuzzer.
[ $# -eq 0 ] && packages+=(clang libclang-rt-14-dev)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root apt-get update
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The file tests write and read galaxies under a German locale (comma as the
# decimal separator) to prove that numbers never follow the user's locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  as_root localedef -i de_DE -c -f UTF-8 de_DE.UTF-8 || echo "note: could not generate de_DE.UTF-8" >&2
fi

# A build of named targets (zyr, zyr-sim) may lack what the Python module needs.
python=ON
for p in pybind11-dev python3-dev python3-numpy; do installed "$p" || python=OFF; done
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZYR_BUILD_PYTHON=$python >/dev/null
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build build -j"$(nproc)" "${targets[@]}"
