#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test: kavo.exe, its unit tests and the end-to-end
# tests under Wine and Xvfb; meanwhile, on the time the Wine tests leave free, the pure code natively
# under ASan and UBSan and then under libFuzzer, whose output follows. Each folder's tests run under
# its build lock (scripts/build): they use its files and Wine prefix.
set -euo pipefail
[ $# -eq 0 ] || { echo "usage: $0 takes no arguments (docs/design.md says what it reads instead)" >&2; exit 2; }
cd "$(dirname "$0")"
scripts/install-deps.sh
echo "== windows: kavo.exe, unit tests and end-to-end tests under Wine"
scripts/build windows
log=$(mktemp build/native-and-fuzz.XXXXXX.log)  # build/: made by scripts/build
# What goes at the end is this run's own: its job, only while still running (once reaped, its
# process group's id may be someone else's), and the log file mktemp just made for it.
trap 'for job in $(jobs -rp); do kill -TERM -- -"$job"; done; wait; rm -f "$log"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP
# A job of its own (-m), so that it can be ended whole: it does not get the terminal's Ctrl+C.
set -m
{ echo "== native: unit tests under sanitizers" && scripts/build native -- ctest --preset native &&
  echo "== fuzz: the pure code under libFuzzer, bounded" && scripts/build fuzz -- ctest --preset fuzz
} </dev/null >"$log" 2>&1 &
set +m
status=0
scripts/build windows -- ctest --preset windows || status=$?
wait %1 || status=$?
cat "$log"
exit $status
