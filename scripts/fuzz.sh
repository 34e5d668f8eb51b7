#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) into build-fuzz/ and runs each for a given
# time, one after another, on a copy of its seed corpus:
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
# Default 60 seconds, all four targets (registry_file sql_dialect
# filter_criteria connection_string). A crash, leak or hang (over 10 s on
# one input) stops with the reproducer in build-fuzz/findings/TARGET/.
# The last lines of each run give executions per second and coverage.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(registry_file sql_dialect filter_criteria connection_string)

"$root/scripts/install-deps.sh" --sanitizers
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DCALMORA_FUZZ=ON >/dev/null
cmake --build "$build" -j"${JOBS:-$(nproc)}" --target $(printf 'fuzz_%s ' "${targets[@]}")

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1
for t in "${targets[@]}"; do
  work="$build/corpus/$t" findings="$build/findings/$t"
  mkdir -p "$work" "$findings"
  cp -n "$root/fuzz/corpus/$t/"* "$work/" 2>/dev/null || true
  echo "==== $t: $seconds s"
  "$build/fuzz/fuzz_$t" "$work" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" 2>&1 |
    grep -E '^(#[0-9]+[[:space:]]+DONE|stat::|==|SUMMARY|Done)|ERROR|BINGO' || true
  if compgen -G "$findings/*" >/dev/null; then
    echo "$t: findings in $findings" >&2
    exit 1
  fi
done
