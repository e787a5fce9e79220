#!/usr/bin/env bash
# Sets up what is missing, builds kavo.exe and starts it under Wine. With no display it runs on
# a private Xvfb instead, saves a screenshot of the window and ends.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
exe=build/windows/app/kavo.exe
wine_run=tests/e2e/wine-run
export WINEPREFIX=${WINEPREFIX:-$HOME/.cache/kavo/wineprefix}

if [ -n "${DISPLAY:-}" ]; then
  exec "$wine_run" "$exe"
fi

echo "No DISPLAY: running Kavo on a private Xvfb display."
exec 8< <(Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>&1 2>/dev/null)
xvfb=$!
read -r -t 20 display <&8
export DISPLAY=":$display"
"$wine_run" "$exe" >/dev/null 2>&1 &
kavo=$!
trap 'kill "$kavo" 2>/dev/null; wait "$kavo" 2>/dev/null; wineserver -k 2>/dev/null; kill "$xvfb" 2>/dev/null' EXIT
geometry=$("$wine_run" build/windows/tests/e2e/kavo_test_driver.exe wait | sed -n 's/^window=//p' | tr -d '\r')
IFS=, read -r left top right bottom <<<"$geometry"
shot=${KAVO_SCREENSHOT:-$PWD/build/kavo-window.png}
import -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$shot"
echo "Kavo started; its window is in $shot"
