#!/usr/bin/env bash
# Takes a picture of the window as it opens, without a display, and checks
# on the way that it shows the background, the red warning and the button.
#   scripts/screenshot.sh [BUILD_DIR] [OUTPUT.png]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
out=${2:-$PWD/frmMain.png}
case $out in /*) ;; *) out=$PWD/$out ;; esac

if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$here" -B "$build" -G "Unix Makefiles"
fi
cmake --build "$build" --target gui_tests -j"$(nproc)"
CALMORA_SCREENSHOT=$out QT_QPA_PLATFORM=offscreen \
  "$build/tests/gui/gui_tests" --gtest_filter='WindowPicture.*' --gtest_brief=1
echo "$out"
