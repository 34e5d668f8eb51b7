#!/usr/bin/env bash
# Installs what is missing, builds, writes a fresh sample machine into
# sample/ and runs the conversion on it through the terminal front end
# (one click), then shows the conversion log and the summary.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
machine=${SAMPLE_DIR:-$root/sample}
"$root/scripts/build.sh"

rm -rf "$machine"
"$build/tools/fixture/calmora-fixture" "$machine" "$@"

status=0
echo | CALMORA_REGISTRY="$machine/registry.reg" CALMORA_UI=terminal \
  "$build/src/app/calmora-import" || status=$?

log=$(ls -t "$machine/Calmora 2014"/conversion_*.txt 2>/dev/null | head -n 1 || true)
if [ -n "$log" ]; then
  echo "---- $log"
  tr -d '\r' < "$log"
fi
summary=$(ls -t "$machine/Calmora 2014"/conversion-summary_*.txt 2>/dev/null | head -n 1 || true)
if [ -n "$summary" ]; then
  echo "---- $summary"
  tr -d '\r' < "$summary"
fi
echo "---- calmora-import exit status: $status"
exit "$status"
