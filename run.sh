#!/usr/bin/env bash
# Sets up what is missing, builds kavo.exe and starts it under Wine. With no display it runs on
# a private Xvfb instead, saves a screenshot of the window and ends.
set -euo pipefail
[ $# -eq 0 ] || { echo "usage: $0 takes no arguments (docs/design.md says what it reads instead)" >&2; exit 2; }
# Kavo's own prefix, never the caller's WINEPREFIX (scripts/wine-run says why). Paths given are
# read from the caller's folder.
absolute() { [[ $1 == /* ]] && echo "$1" || echo "$PWD/$1"; }
KAVO_WINEPREFIX=$(absolute "${KAVO_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/kavo/wineprefix}")
export KAVO_WINEPREFIX
[ -z "${KAVO_SCREENSHOT:-}" ] || KAVO_SCREENSHOT=$(absolute "$KAVO_SCREENSHOT")
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build windows kavo
exe=build/windows/app/kavo.exe

if [ -n "${DISPLAY:-}" ]; then
  exec scripts/wine-run "$exe"
fi

echo "No DISPLAY: running Kavo on a private Xvfb display."
# It ends what it started alone, by process: other Kavos may run in the same prefix (the user's,
# started with scripts/wine-run), so neither its Wine server nor the first Kavo window found is
# this run's.
exec python3 desktop/wine_desktop.py screenshot "$exe" "${KAVO_SCREENSHOT:-$PWD/build/kavo-window.png}"
