#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the sample run need.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev
  libsqlcipher-dev sqlcipher sqlite3
  qt6-base-dev
  libfmt-dev libicu-dev
  fonts-dejavu-core
  dpkg-dev file
)

# --sanitizers: also what the sanitizer and fuzz builds need (clang with
# its sanitizer and libFuzzer runtimes). --package: also what the Debian
# package needs (its man pages are made from each program's --help) and the
# check of the built package.
case "${1:-}" in
  --sanitizers) packages+=(clang libclang-rt-dev) ;;
  --package) packages+=(help2man lintian) ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then sudo_cmd=(); else sudo_cmd=(sudo); fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
