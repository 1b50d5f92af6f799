#!/usr/bin/env bash
# Sets up and builds Zyr, then starts the desktop program zyr (it needs a
# display). Arguments go to zyr: at most one file name. Only zyr is built, so
# that the window opens soon; tools/test.sh builds the rest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh zyr
exec build/zyr "$@"
