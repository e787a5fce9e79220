#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, skipping those already present.
set -euo pipefail

packages=(cmake make g++ googletest libgtest-dev g++-mingw-w64-x86-64 wine wine64 xvfb xdotool imagemagick
          python3 python3-pefile python3-debian python3-yaml zip unzip osslsigncode openssl clang-format libbenchmark-dev clang libclang-rt-14-dev clang-tidy)
# One query for all: every release, check and test run starts here.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null || :)
missing=()
for p in "${packages[@]}"; do
  grep -qxF "$p install ok installed" <<<"$installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
# Through env: sudo would drop an exported DEBIAN_FRONTEND.
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
