#!/usr/bin/env bash
# Builds the release package: dist/kavo-VERSION-win64.zip (kavo.exe, the read-me, the licence) and
# dist/SHA256SUMS beside it. Extra arguments go to CMake, for the real site and author values:
#   scripts/release.sh -DKAVO_SITE_ONE_DOMAIN=... -DKAVO_AUTHOR_NAME=...
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=build/release
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_TESTING=OFF --no-warn-unused-cli "$@" >/dev/null
cmake --build "$build" --target kavo -j 2
version=$(sed -n 's/^project(Kavo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=kavo-$version-win64

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$build/app/kavo.exe" "$stage/kavo.exe"
sed 's/$/\r/' packaging/README.txt >"$stage/README.txt"
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
# Fixed times and order, so the same commit gives the same zip.
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 1767225600)}
touch -d "@$epoch" "$stage"/*
mkdir -p dist
rm -f "dist/$name.zip"
(cd "$stage" && TZ=UTC zip -q -X -D "$OLDPWD/dist/$name.zip" kavo.exe README.txt LICENSE.txt)
(cd dist && sha256sum "$name.zip" >SHA256SUMS)
echo "dist/$name.zip"
cat dist/SHA256SUMS
