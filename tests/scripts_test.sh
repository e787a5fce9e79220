#!/usr/bin/env bash
# wine-run: Kavo's prefix, never WINEPREFIX; the menu builder off whatever the DLL overrides; no
# prefix Kavo did not make; Ctrl+C while it makes one leaves nothing. Builds of one folder take turns.
set -euo pipefail -m  # -m: background jobs in process groups of their own, where INT is not ignored
cd "$(dirname "$0")/.."
tmp=$(mktemp -d) pids=()
trap 'set +e; kill -KILL "${pids[@]}" 2>/dev/null; wait; WINEPREFIX=$KAVO_WINEPREFIX timeout 30 wineserver -w; rm -rf "$tmp"' EXIT
trap 'echo "FAILED at line $LINENO" >&2' ERR
fails() { ! "$@" >"$tmp/out" 2>&1; }  # never before &&: set -e skips what precedes it
mkdir "$tmp/bin" && printf '#!/bin/sh\necho "$1 $WINEDLLOVERRIDES" >>"$0.seen"\n' >"$tmp/bin/wine64" && ln -s wine64 "$tmp/bin/wineserver"
chmod +x "$tmp/bin/wine64" && WINEDLLOVERRIDES=windowscodecs= PATH=$tmp/bin:$PATH KAVO_WINEPREFIX=$tmp/fake scripts/wine-run kavo.exe
[ "$(cat "$tmp/bin/wine64.seen")" = $'wineboot mscoree,mshtml,winemenubuilder.exe=\nkavo.exe mscoree,mshtml=;windowscodecs=;winemenubuilder.exe=' ]

# Left alone: a user's prefix (its WINEPREFIX too), an empty folder, a marked prefix via a symlink, two ways.
mkdir -p "$tmp/alone/user/drive_c/users/me" "$tmp/alone/empty" "$tmp/alone/marker-link" "$tmp/half"
echo precious >"$tmp/alone/user/drive_c/users/me/precious.txt" && touch "$tmp/half/.kavo-ready"
ln -s "$tmp/half/.kavo-ready" "$tmp/alone/marker-link/.kavo-ready" && ln -s "$tmp/half" "$tmp/alone/prefix-link"
before=$(ls -lAR "$tmp/alone" "$tmp/half") && WINEPREFIX=$tmp/alone/user scripts/wine-run cmd /c echo >/dev/null
for prefix in "$tmp"/alone/*; do
  KAVO_WINEPREFIX=$prefix PATH=$tmp/bin:$PATH fails scripts/wine-run kavo.exe
  grep -qF "$prefix exists and is not a Wine prefix made by Kavo" "$tmp/out"
done
[ "$(ls -lAR "$tmp/alone" "$tmp/half")" = "$before" ]

KAVO_WINEPREFIX=$tmp/new scripts/wine-run cmd /c echo ran >"$tmp/ran" 2>&1 &  # made beside, in new.*
for _ in $(seq 100); do ! compgen -G "$tmp/new.*" >/dev/null || break; sleep 0.1; done
compgen -G "$tmp/new.*" >/dev/null  # stopped while it makes it
kill -INT $! && fails wait $!
[[ ! -s $tmp/ran && ! -e $tmp/new && -z $(compgen -G "$tmp/new.*") ]]  # its Wine ended, then its folder went

for script in run.sh test.sh bench.sh; do fails "./$script" --no-such-option; grep -q "^usage: ./$script" "$tmp/out"; done

# Two builds of one folder at once (a cmake that notices an overlap): the later waits, and says so.
mkdir -p "$tmp/two/stub" && ln -s "$PWD/scripts" "$tmp/two/scripts"
printf '#!/bin/sh\nmkdir "$0.busy" 2>/dev/null || echo overlap >>"$0.log"; sleep 0.3; rmdir "$0.busy" 2>/dev/null || :\n' >"$tmp/two/stub/cmake"
chmod +x "$tmp/two/stub/cmake" && build() { PATH=$tmp/two/stub:$PATH "$tmp/two/scripts/build" windows -- cmake; }
build 2>"$tmp/two/first" & build 2>"$tmp/two/second"
wait $!; [ ! -e "$tmp/two/stub/cmake.log" ]
grep -q "^scripts/build: waiting for the build in progress in build/windows to finish" "$tmp/two/first" "$tmp/two/second"

# A user's Kavo in the prefix, text typed in, outlives the one the Wine desktop helper starts and ends.
exec 4< <(exec Xvfb -displayfd 1 -screen 0 640x480x24 -nolisten tcp 2>/dev/null) && pids+=($!)
read -r -t 10 display <&4 && export DISPLAY=:$display
scripts/wine-run "$KAVO_EXE" >/dev/null 2>&1 & pids+=($!)
scripts/wine-run "$KAVO_DRIVER" wait >/dev/null && xdotool search --sync --onlyvisible --name '^Kavo$' windowfocus --sync type kept
env -u DISPLAY python3 desktop/wine_desktop.py screenshot "$KAVO_EXE" "$tmp/shot.png" >/dev/null
[ "$(identify -format %wx%h "$tmp/shot.png")" = 249x105 ]
grep -qa "^text=006b006500700074" <(scripts/wine-run "$KAVO_DRIVER" info)
kill "${pids[1]}"; fails wait "${pids[1]}"; fails scripts/wine-run "$KAVO_DRIVER" info  # and the helper's is gone
