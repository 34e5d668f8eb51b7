#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs the whole test suite, with g++ and with clang (or the compilers
# named: scripts/sanitize.sh g++ | clang++). Build folders:
# build-sanitize-g++/, build-sanitize-clang++/. Any sanitizer finding
# fails the test that met it. Tests that lower resource limits skip
# themselves here, saying why.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
compilers=("$@")
[ ${#compilers[@]} -gt 0 ] || compilers=(g++ clang++)

"$root/scripts/install-deps.sh" --sanitizers
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Qt and fontconfig keep caches for the life of the process: not leaks of ours.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/scripts/lsan.supp}
status=0
for cxx in "${compilers[@]}"; do
  build=$root/build-sanitize-$cxx
  echo "==== $cxx"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$cxx" \
    -DCALMORA_SANITIZE=ON -DCALMORA_WERROR="${CALMORA_WERROR:-OFF}" >/dev/null
  cmake --build "$build" -j"${JOBS:-$(nproc)}"
  ctest --test-dir "$build" --output-on-failure -j"${JOBS:-$(nproc)}" --timeout 1800 || status=1
done
exit "$status"
