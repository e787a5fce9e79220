#!/usr/bin/env bash
# Builds kavo.exe twice from copies of the source in two differently named folders and checks
# that the two files are byte-identical.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for name in first second-build; do
  mkdir -p "$work/$name/src"
  (cd "$source_dir" && tar --exclude=./build --exclude=./.git -cf - .) | tar -xf - -C "$work/$name/src"
  cmake -S "$work/$name/src" -B "$work/$name/out" -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=MinSizeRel \
        -DCMAKE_TOOLCHAIN_FILE="$work/$name/src/cmake/mingw-w64-x86_64.cmake" >/dev/null
  cmake --build "$work/$name/out" --target kavo -j 2 >/dev/null
done
a=$(sha256sum <"$work/first/out/app/kavo.exe")
b=$(sha256sum <"$work/second-build/out/app/kavo.exe")
echo "first:  $a"
echo "second: $b"
[ "$a" = "$b" ] && echo "reproducible: identical" || { echo "reproducible: DIFFERENT"; exit 1; }
