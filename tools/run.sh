#!/usr/bin/env bash
# Sets up and builds Zyr, then starts the desktop program zyr (it needs a
# display). Arguments go to zyr: at most one file name. The headless zyr-sim
# is built beside it in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
exec build/zyr "$@"
