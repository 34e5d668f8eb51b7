#!/usr/bin/env bash
# Installs what is missing, builds (scripts/build.sh, with its switches
# from the environment), and runs every test, the include check among them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --test-dir "$build" --output-on-failure -j"${JOBS:-$(nproc)}" --timeout 900
