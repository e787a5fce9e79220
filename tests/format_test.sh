#!/bin/sh
# The format check outside git, as from a tarball: a misformatted line among the files there fails it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
tar -C "$root" --exclude=./build --exclude=./.git -cf - . | tar -C "$tmp" -xf -
sed -i 's/^namespace {$/namespace  {/' "$tmp/links/video_links.cpp"
cmake -DSOURCE_DIR="$tmp" -P "$root/cmake/FormatCheck.cmake" >"$tmp/out" 2>&1 &&
  { echo "the format check passed a misformatted line outside git" >&2; exit 1; }
grep -q '^links/video_links.cpp:[0-9]*:[0-9]*: error' "$tmp/out"
