#!/usr/bin/env bash
# A user's Wine prefix keeps its files: wine-run ignores WINEPREFIX and stops, naming the folder,
# at a KAVO_WINEPREFIX that Kavo did not make. check-rebuild.sh without arguments prints its usage.
set -euo pipefail
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
trap 'echo "FAILED at line $LINENO" >&2' ERR
fails() { ! "$@" >"$tmp/out" 2>&1; }
mkdir -p "$tmp/user/drive_c/users/me" "$tmp/kavo"
echo precious >"$tmp/user/drive_c/users/me/precious.txt"
touch "$tmp/kavo/.kavo-prefix" "$tmp/kavo/.kavo-ready"  # made, as far as `wine --version` needs
WINEPREFIX=$tmp/user KAVO_WINEPREFIX=$tmp/kavo scripts/wine-run --version >/dev/null
KAVO_WINEPREFIX=$tmp/user fails scripts/wine-run --version
grep -qF "$tmp/user exists and is not a Wine prefix made by Kavo" "$tmp/out"
grep -qx precious "$tmp/user/drive_c/users/me/precious.txt"
mkdir "$tmp/empty" && KAVO_WINEPREFIX=$tmp/empty fails scripts/wine-run --version  # not Kavo's either
fails scripts/check-rebuild.sh
grep -q "^usage: scripts/check-rebuild.sh RELEASE" "$tmp/out"
