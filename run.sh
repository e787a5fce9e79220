#!/usr/bin/env bash
# Sets up what is missing, builds kavo.exe and starts it under Wine. With no display it runs on
# a private Xvfb instead, saves a screenshot of the window and ends.
set -euo pipefail
# Kavo's own prefix, never the caller's WINEPREFIX (scripts/wine-run says why). Paths given are
# read from the caller's folder.
absolute() { [[ $1 == /* ]] && echo "$1" || echo "$PWD/$1"; }
KAVO_WINEPREFIX=$(absolute "${KAVO_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/kavo/wineprefix}")
export KAVO_WINEPREFIX
[ -z "${KAVO_SCREENSHOT:-}" ] || KAVO_SCREENSHOT=$(absolute "$KAVO_SCREENSHOT")
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
exe=build/windows/app/kavo.exe
wine_run=scripts/wine-run

if [ -n "${DISPLAY:-}" ]; then
  exec "$wine_run" "$exe"
fi

echo "No DISPLAY: running Kavo on a private Xvfb display."
# Only what this run started is ended: its Xvfb, its driver and its Kavo, by their process ids.
# Other Kavos may run in the same prefix (the user's, started with scripts/wine-run), so neither
# its Wine server nor the first Kavo window found is this run's.
driver=build/windows/tests/kavo_test_driver.exe
xvfb='' started='' tmp=''
cleanup() {
  set +e  # a killed process's status must not cut the cleanup short
  if [ -n "$started" ]; then  # TERM: wine-run, if still making the prefix, ends what it started
    kill "$started" 2>/dev/null
    wait "$started" 2>/dev/null
  fi
  # The Windows process id of the Kavo it started, which the driver printed before anything else.
  pid=$( [ -z "$tmp" ] || sed -n 's/^pid=\([0-9]*\).*/\1/p' "$info_file" 2>/dev/null)
  [ -z "$pid" ] || "$wine_run" taskkill /f /pid "$pid" >/dev/null 2>&1
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
  fi
  [ -z "$tmp" ] || rm -rf "$tmp"  # the run's own folder, from mktemp
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
tmp=$(mktemp -d)
display_file=$tmp/display info_file=$tmp/info
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
if [ ! -s "$display_file" ]; then
  echo "run.sh: Xvfb gave no display within 10 s." >&2
  exit 1
fi
export DISPLAY=":$(head -n 1 "$display_file")"
# The driver starts Kavo itself, so it knows its process and waits for that process's window. In
# the background, so that Ctrl+C is not held up until it returns. To a file, not a pipe: a Wine
# server started by the driver would hold a pipe open.
"$wine_run" "$driver" start "$exe" >"$info_file" 2>&1 &
started=$!
wait "$started" || { echo "run.sh: Kavo's window did not appear." >&2; exit 1; }
started=''
geometry=$(sed -n 's/^window=//p' "$info_file" | tr -d '\r')
IFS=, read -r left top right bottom <<<"$geometry"
shot=${KAVO_SCREENSHOT:-$PWD/build/kavo-window.png}
import -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$shot"
echo "Kavo started; its window is in $shot"
