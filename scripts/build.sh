#!/usr/bin/env bash
# Configures and builds the whole project into build/ (or $BUILD_DIR).
# The build's switches come from the environment: CALMORA_BUILD_GUI and
# CALMORA_BUILD_TESTS (ON unless set to OFF), CALMORA_WERROR (OFF unless
# set to ON; CI sets it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCALMORA_BUILD_GUI="${CALMORA_BUILD_GUI:-ON}" \
  -DCALMORA_BUILD_TESTS="${CALMORA_BUILD_TESTS:-ON}" \
  -DCALMORA_WERROR="${CALMORA_WERROR:-OFF}" >/dev/null
cmake --build "$build" -j"${JOBS:-$(nproc)}"
