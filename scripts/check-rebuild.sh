#!/usr/bin/env bash
# Checks a released kavo.exe against a rebuild of this checkout:
#   scripts/check-rebuild.sh RELEASE [the -D values the release was built with]
# RELEASE is the release zip or its kavo.exe. Run it in a clean checkout of the release's commit.
# The checkout is copied to a fresh folder and built there as scripts/release.sh builds; the
# released kavo.exe has its Authenticode signature removed (osslsigncode remove-signature) and is
# compared with the rebuilt one byte for byte, with two allowances that signing alone makes: the
# 4-byte PE checksum field, and at most 7 zero bytes of padding at the end of the file.
set -euo pipefail
if [ $# -eq 0 ]; then
  echo "usage: $0 RELEASE [-DVARIABLE=VALUE ...]" >&2
  echo "RELEASE: the release zip or its kavo.exe; then the -D values the release was built with" >&2
  exit 2
fi
source=$(cd "$(dirname "$0")/.." && pwd)
git -C "$source" diff --quiet HEAD -- 2>/dev/null ||
  echo "check-rebuild: note: $source is not a clean checkout; the rebuild has its changes" >&2
release=$(realpath "$1")
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [[ $release == *.zip ]]; then
  unzip -p "$release" kavo.exe >"$work/released.exe"
else
  cp "$release" "$work/released.exe"
fi
osslsigncode remove-signature -in "$work/released.exe" -out "$work/stripped.exe" >/dev/null 2>&1 ||
  cp "$work/released.exe" "$work/stripped.exe"  # it was not signed

mkdir "$work/src"
(cd "$source" && tar --exclude=./build --exclude=./dist --exclude=./.git -cf - .) | tar -xf - -C "$work/src"
# The copy has no .git, so it names no commit; its release goes to a folder of its own. The
# caller's signing and publishing variables play no part (a signing option alone stops a release).
# The values are the release's own, placeholders too.
env -u KAVO_SIGN_PKCS12 -u KAVO_SIGN_PASSWORD_FILE -u KAVO_SIGN_TIMESTAMP_URL -u KAVO_RELEASE_URL \
  -u KAVO_PACKAGE_ID KAVO_ALLOW_DIRTY=1 KAVO_ALLOW_PLACEHOLDERS=1 KAVO_DIST="$work/dist" "$work/src/scripts/release.sh" "$@" >/dev/null
rebuilt=$work/rebuilt.exe
unzip -p "$work"/dist/kavo-*-win64.zip kavo.exe >"$rebuilt"

size=$(stat -c %s "$rebuilt")
padding=$(( $(stat -c %s "$work/stripped.exe") - size ))
if (( padding < 0 || padding > 7 )) || [ -n "$(tail -c +$((size + 1)) "$work/stripped.exe" | tr -d '\0')" ]; then
  echo "check-rebuild: DIFFERENT: the released kavo.exe is not the rebuilt one plus a signature" >&2
  exit 1
fi
checksum=$(( $(od -An -tu4 -j 60 -N 4 "$rebuilt") + 88 ))  # e_lfanew + offset of CheckSum
for f in "$rebuilt" "$work/stripped.exe"; do
  head -c "$size" "$f" >"$f.cmp"
  printf '\0\0\0\0' | dd of="$f.cmp" bs=1 seek="$checksum" conv=notrunc status=none
done
if ! cmp -s "$rebuilt.cmp" "$work/stripped.exe.cmp"; then
  echo "check-rebuild: DIFFERENT: $(cmp "$rebuilt.cmp" "$work/stripped.exe.cmp" | head -n 1)" >&2
  exit 1
fi
echo "check-rebuild: identical to a rebuild ($(sha256sum <"$rebuilt" | cut -c 1-16)...), signature aside"
