#!/usr/bin/env bash
# wine-run opens Kavo's prefix, never WINEPREFIX, keeps the menu builder off whatever the caller's
# DLL overrides, makes a prefix with none of them, and stops at a KAVO_WINEPREFIX Kavo did not make and on Ctrl+C while it makes one,
# left unmarked. run.sh ends only its own Kavo.
set -euo pipefail -m  # -m: background jobs in process groups of their own, where INT is not ignored
cd "$(dirname "$0")/.."
tmp=$(mktemp -d) pids=()
trap 'set +e; kill -KILL "${pids[@]}" 2>/dev/null; wait; for p in "$KAVO_WINEPREFIX" "$tmp/new"; do WINEPREFIX=$p wineserver -w 2>/dev/null; done; rm -rf "$tmp"' EXIT
trap 'echo "FAILED at line $LINENO" >&2' ERR
fails() { ! "$@" >"$tmp/out" 2>&1; }
mkdir -p "$tmp/user/drive_c/users/me" "$tmp/run/build" && echo precious >"$tmp/user/drive_c/users/me/precious.txt"
WINEPREFIX=$tmp/user WINEDLLOVERRIDES=mshtml=b scripts/wine-run cmd /c echo %WINEDLLOVERRIDES% >"$tmp/out"
grep -q "^mscoree,mshtml=;mshtml=b;winemenubuilder.exe=" "$tmp/out"
KAVO_WINEPREFIX=$tmp/user fails scripts/wine-run --version
grep -qF "$tmp/user exists and is not a Wine prefix made by Kavo" "$tmp/out"
[ "$(find "$tmp/user" | wc -l) $(cat "$tmp/user/drive_c/users/me/precious.txt")" = "5 precious" ]  # no prefix made there
mkdir "$tmp/empty" && KAVO_WINEPREFIX=$tmp/empty fails scripts/wine-run --version  # not Kavo's either
mkdir "$tmp/bin" && printf '#!/bin/sh\necho "$1 $WINEDLLOVERRIDES" >>"$0.seen"\n' >"$tmp/bin/wine64" && ln -s wine64 "$tmp/bin/wineserver"
chmod +x "$tmp/bin/wine64" && WINEDLLOVERRIDES=windowscodecs= PATH=$tmp/bin:$PATH KAVO_WINEPREFIX=$tmp/fake scripts/wine-run kavo.exe
[ "$(cat "$tmp/bin/wine64.seen")" = $'wineboot mscoree,mshtml,winemenubuilder.exe=\nkavo.exe mscoree,mshtml=;windowscodecs=;winemenubuilder.exe=' ]
KAVO_WINEPREFIX=$tmp/new scripts/wine-run cmd /c echo ran >"$tmp/ran" 2>&1 &
for _ in $(seq 100); do [ ! -e "$tmp/new/.kavo-prefix" ] || break; sleep 0.1; done
kill -INT $! && fails wait $!
[[ ! -s $tmp/ran && ! -e $tmp/new/.kavo-ready ]]
WINEPREFIX=$tmp/new timeout 5 wineserver -w  # and nothing of it is left running

# A user's Kavo in the same prefix, with text typed in, outlives run.sh's (whose cmake is true: all is built).
exec 4< <(exec Xvfb -displayfd 1 -screen 0 640x480x24 -nolisten tcp 2>/dev/null) && pids+=($!)
read -r -t 10 display <&4 && export DISPLAY=:$display
scripts/wine-run "$KAVO_EXE" >/dev/null 2>&1 & pids+=($!)
scripts/wine-run "$KAVO_DRIVER" wait >/dev/null && xdotool search --sync --onlyvisible --name '^Kavo$' windowfocus --sync type kept
ln -s "$PWD/run.sh" "$PWD/scripts" "$tmp/run" && ln -s "${KAVO_EXE%/app/kavo.exe}" "$tmp/run/build/windows" && ln -s /bin/true "$tmp/cmake"
env -u DISPLAY PATH="$tmp:$PATH" KAVO_SCREENSHOT="$tmp/shot.png" "$tmp/run/run.sh" >/dev/null
grep -qa "^text=006b006500700074" <(scripts/wine-run "$KAVO_DRIVER" info)
