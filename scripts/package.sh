#!/usr/bin/env bash
# Builds the Debian package with its man pages into build/ (or $BUILD_DIR)
# and checks it with lintian; exits non-zero when lintian reports an error.
# Prints the package's path last.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh" --package
# A build tree configured before help2man was installed has no man pages
# yet: configuring again finds it.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/calmora-import_*.deb | head -n 1)
lintian --fail-on error "$deb"
echo "$deb"
