#!/usr/bin/env bash
# Builds the release: kavo-VERSION-win64.zip (kavo.exe, the read-me, the licence, the notices of
# the libraries linked in) and SHA256SUMS beside it, in dist/ or the folder KAVO_DIST names.
# Extra arguments go to CMake, for the real site and author values:
#   scripts/release.sh -DKAVO_SITE_ONE_DOMAIN=... -DKAVO_AUTHOR_NAME=...
# A name the project does not read (a misspelt one) stops the release, and so do values that
# still name a .example host, the defaults' placeholders (KAVO_ALLOW_PLACEHOLDERS=1 builds anyway
# and says so). The output lists the values built in.
# Each run builds in a new folder of its own: a value not given is the default, never one left
# from an earlier release (CMake does not see every file a changed value rewrites).
# With KAVO_SIGN_PKCS12 (a PKCS#12 file) and KAVO_SIGN_PASSWORD_FILE (a file holding its password)
# in the environment, kavo.exe is Authenticode-signed (SHA-256) before it is zipped;
# KAVO_SIGN_TIMESTAMP_URL, if set, names an RFC 3161 time-stamp server.
# With KAVO_RELEASE_URL (the https folder the zip will be published in, ending in "/") and
# KAVO_PACKAGE_ID (winget's Publisher.Package), winget's and Scoop's manifests for the zip are
# written beside it too, in manifests/. That folder belongs to the release: an earlier release's
# manifests name a zip that is no longer there, so each release replaces them, or removes them
# when it writes none. It is replaced only when it holds exactly what a release wrote there, as
# listed (with their hashes) in the .kavo-release record written with them: anything else stops
# the release. A zip of the same name with other bytes stops it too (KAVO_REPLACE_RELEASE=1
# replaces it); SHA256SUMS lists every release zip in the folder.
# A release names one commit: uncommitted changes to tracked files stop it (KAVO_ALLOW_DIRTY=1
# builds anyway and says so). Whatever stops it, the output folder is left as it was: everything
# is made in a staging folder inside it and moved into place at the end, SHA256SUMS last.
set -euo pipefail
fail() {
  echo "release: $*" >&2
  exit 1
}
# The build and staging folders (both from mktemp), and any folders made for the output folder,
# go whenever the run ends.
build='' stage='' made=() finished=
cleanup() {
  [ -z "$build" ] || rm -rf "$build"  # only ever '' or the mktemp folder this run made
  # Stopped while the manifests were being replaced: the earlier ones go back.
  [ -n "$finished" ] || [ -z "$stage" ] || [ ! -d "$stage/replaced-manifests" ] ||
    [ -e "$dist/manifests" ] || mv -T "$stage/replaced-manifests" "$dist/manifests"
  [ -z "$stage" ] || rm -rf "$stage"
  for folder in "${made[@]}"; do rmdir "$folder" 2>/dev/null || break; done
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
absolute() { [[ -z $1 || $1 == /* ]] && echo "$1" || echo "$PWD/$1"; }
# Paths the caller gives are read from the caller's folder.
root=$(cd "$(dirname "$0")/.." && pwd -P)
dist=$(absolute "${KAVO_DIST:-$root/dist}")
sign=$(absolute "${KAVO_SIGN_PKCS12:-}")
password=$(absolute "${KAVO_SIGN_PASSWORD_FILE:-}")
cd "$root"
scripts/install-deps.sh
version=$(sed -n 's/^project(Kavo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=kavo-$version-win64

# The inputs are checked before anything is built or made.
if [ -z "$sign" ] && [ -n "${KAVO_SIGN_PASSWORD_FILE:-}${KAVO_SIGN_TIMESTAMP_URL:-}" ]; then
  fail "KAVO_SIGN_PASSWORD_FILE and KAVO_SIGN_TIMESTAMP_URL sign only with KAVO_SIGN_PKCS12: set it too, or unset them"
fi
if [ -n "$sign" ]; then
  [ -f "$sign" ] || fail "KAVO_SIGN_PKCS12: no such file: $sign"
  [ -f "$password" ] || fail "KAVO_SIGN_PASSWORD_FILE: no such file: ${password:-(not set)}"
  certificate=$(openssl pkcs12 -in "$sign" -passin "file:$password" -nokeys -clcerts 2>/dev/null ||
                openssl pkcs12 -legacy -in "$sign" -passin "file:$password" -nokeys -clcerts 2>/dev/null) ||
    fail "KAVO_SIGN_PKCS12: cannot be opened with the password in KAVO_SIGN_PASSWORD_FILE"
  openssl x509 -noout -ext extendedKeyUsage <<<"$certificate" 2>/dev/null | grep -q "Code Signing" ||
    fail "KAVO_SIGN_PKCS12: the certificate is not for code signing (no Code Signing extended key usage)"
fi
release_url=${KAVO_RELEASE_URL:-} package_id=${KAVO_PACKAGE_ID:-}
if [ -n "$release_url$package_id" ]; then
  [ -n "$release_url" ] && [ -n "$package_id" ] ||
    fail "KAVO_RELEASE_URL and KAVO_PACKAGE_ID go together: set both, or neither"
  problems=$(scripts/package_manifests.py check "$release_url" "$package_id" 2>&1) || fail "$problems"
fi
if [ "$(git rev-parse --show-toplevel 2>/dev/null)" != "$root" ]; then
  source_state="not a git checkout, so it names no commit"
elif ! git diff --quiet HEAD --; then
  source_state="uncommitted changes to tracked files ($(git diff --name-only HEAD -- | head -n 3 | paste -sd ' '))"
fi
if [ -n "${source_state:-}" ]; then
  [ "${KAVO_ALLOW_DIRTY:-}" = 1 ] ||
    fail "the source has $source_state: commit first, or set KAVO_ALLOW_DIRTY=1 to build it anyway"
  built_from="a source with $source_state (KAVO_ALLOW_DIRTY=1)"
else
  built_from="commit $(git rev-parse --short=12 HEAD)"
fi
# The zip's entries must have a time zip can store (1980 to 2107).
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 1767225600)}
[[ $epoch =~ ^[0-9]{1,10}$ ]] && ((10#$epoch >= 315532800 && 10#$epoch <= 4354819199)) ||
  fail "SOURCE_DATE_EPOCH must be seconds since 1970, in 1980 to 2107, not \"$epoch\""
epoch=$((10#$epoch))
# The other release zips in the output folder keep their lines in SHA256SUMS, unless it lists one
# with other bytes than it has now: a line for those would vouch for what was not released.
others=()
for zip in "$dist"/kavo-*-win64.zip; do
  [ ! -f "$zip" ] || [ "${zip##*/}" = "$name.zip" ] || others+=("${zip##*/}")
done
sums=$( [ ${#others[@]} -eq 0 ] || { cd "$dist" && sha256sum -- "${others[@]}"; })
changed=$( [ ! -f "$dist/SHA256SUMS" ] ||
  awk 'NR == FNR { now[$2] = $1; next } $2 in now && now[$2] != $1 { print $2 }' - "$dist/SHA256SUMS" <<<"$sums" |
  paste -sd ' ')
[ -z "$changed" ] || fail "$dist/SHA256SUMS lists $changed with other bytes than it has now: restore it, or move it away"
# manifests/ is replaced whole, so it may hold only what a release wrote there, never a folder of
# the same name that someone keeps in the output folder: exactly the files its record lists (and
# their folders), each with the bytes it was written with.
if [ -e "$dist/manifests" ] || [ -L "$dist/manifests" ]; then
  [ -d "$dist/manifests" ] && [ ! -L "$dist/manifests" ] && [ -f "$dist/manifests/.kavo-release" ] &&
    (cd "$dist/manifests" && sha256sum -c --quiet --strict .kavo-release >/dev/null 2>&1) &&
    [ "$(cd "$dist/manifests" && find . -mindepth 1 ! -path ./.kavo-release -printf '%y %P\n' | LC_ALL=C sort)" = \
      "$(cut -c 67- "$dist/manifests/.kavo-release" |
         awk '{ print "f " $0; while (sub(/\/[^\/]*$/, "")) print "d " $0 }' | LC_ALL=C sort -u)" ] ||
    fail "$dist/manifests holds files no release wrote (or has no .kavo-release record, as before releases kept one): move it away, or set KAVO_DIST to another folder"
fi

build=$(mktemp -d "${TMPDIR:-/tmp}/kavo-release.XXXXXX")
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_TESTING=OFF "$@" >"$build/configure.log" 2>&1 ||
  { sed '/^-- /d' "$build/configure.log" >&2; fail "the configure step failed"; }
# CMake names the -D variables that nothing in the project read.
unused=$(sed -n '/^  Manually-specified variables were not used by the project:$/,/^[^ ]/s/^    //p' \
  "$build/configure.log" | paste -sd ' ')
[ -z "$unused" ] || fail "the project reads no variable named $unused: check the -D names"
cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
placeholders=() values=''
for var in KAVO_SITE_ONE_DOMAIN KAVO_SITE_TWO_DOMAIN KAVO_SITE_ONE_MEDIA_HOST KAVO_SITE_TWO_MEDIA_HOST \
    KAVO_AUTHOR_NAME KAVO_AUTHOR_HOME_PAGE; do
  values+="  $var=$(cached $var)"$'\n'
  host=$(cached $var | sed -E 's|^https?://([^/?#]*@)?([^/?#:]*).*|\2|')
  [ $var = KAVO_AUTHOR_NAME ] || [[ ! ${host,,} =~ (^|\.)example\.?$ ]] || placeholders+=($var)
done
if [ ${#placeholders[@]} -gt 0 ] && [ "${KAVO_ALLOW_PLACEHOLDERS:-}" != 1 ]; then
  fail "${placeholders[*]} still name a .example host, a placeholder: give real values" \
    "for each (-DNAME=VALUE), or set KAVO_ALLOW_PLACEHOLDERS=1 to build it anyway"
fi
cmake --build "$build" --target kavo -j 2

folder=$dist
while [ ! -e "$folder" ]; do made+=("$folder") && folder=$(dirname "$folder"); done
mkdir -p "$dist"
stage=$(mktemp -d "$dist/.kavo-release.XXXXXX")

# The zip's files, in the zip's order, with fixed times, so the same commit and values give the
# same zip (and, signed with the same key, the same signature).
files=(kavo.exe README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt)
mkdir "$stage/files"
cd "$stage/files"
if [ -n "$sign" ]; then
  osslsigncode sign -pkcs12 "$sign" -readpass "$password" -h sha256 -n Kavo -time "$epoch" \
      ${KAVO_SIGN_TIMESTAMP_URL:+-ts "$KAVO_SIGN_TIMESTAMP_URL"} \
      -in "$build/app/kavo.exe" -out kavo.exe >"$stage/sign.log" 2>&1 ||
    fail "signing kavo.exe failed: $(grep -v -e '^Succeeded' -e '^$' "$stage/sign.log" | head -n 3)"
else
  cp "$build/app/kavo.exe" kavo.exe
fi
short=${version%.*.*}  # the major and minor version, as the About box shows it
title="Kavo $short"
sed -e "1s/@VERSION@/$short/" -e "2s/^=*\$/${title//?/=}/" -e 's/$/\r/' \
    "$root/packaging/README.txt" >README.txt
sed 's/$/\r/' "$root/LICENSE" >LICENSE.txt
"$root/scripts/third_party_notices.py" "$build/app/kavo.map" THIRD-PARTY-NOTICES.txt
chmod 644 "${files[@]}" && chmod 755 kavo.exe  # modes are stored in the zip: not the umask's
touch -d "@$epoch" "${files[@]}"
TZ=UTC zip -q -X -D "$stage/$name.zip" "${files[@]}"

cd "$stage"
# Only now can a zip already there be compared: the same bytes (the same commit and values) are
# the same release.
if { [ -e "$dist/$name.zip" ] || [ -L "$dist/$name.zip" ]; } && ! cmp -s "$name.zip" "$dist/$name.zip"; then
  [ "${KAVO_REPLACE_RELEASE:-}" = 1 ] ||
    fail "$dist/$name.zip is there already, with other bytes: move it away, or set KAVO_REPLACE_RELEASE=1 to replace it"
  built_from+=", in place of the earlier $name.zip (KAVO_REPLACE_RELEASE=1)"
fi
{ [ -z "$sums" ] || echo "$sums"; sha256sum "$name.zip"; } | LC_ALL=C sort -k 2 >SHA256SUMS
if [ -n "$release_url" ]; then
  "$root/scripts/package_manifests.py" write "$name.zip" "$version" "$release_url" "$package_id" \
      "$(cached KAVO_AUTHOR_NAME)" "$(cached KAVO_AUTHOR_HOME_PAGE)" manifests
  # Not listing itself: the shell makes it while find is looking.
  (cd manifests && find . -type f ! -path ./.kavo-release -printf '%P\0' | LC_ALL=C sort -z |
     xargs -0 sha256sum >.kavo-release)
fi
# Moved into the output folder in this order, each in one rename: the zip, the manifests folder
# in place of the earlier one, and last SHA256SUMS, which lists the zip. Ctrl+C no longer stops
# the run here: stopped between two renames, it would leave the new zip beside the old checksums.
trap '' INT TERM
mv -fT "$name.zip" "$dist/$name.zip"
[ ! -e "$dist/manifests" ] || mv -T "$dist/manifests" "$stage/replaced-manifests"
[ ! -d manifests ] || mv -T manifests "$dist/manifests"
mv -fT SHA256SUMS "$dist/SHA256SUMS"
finished=1
echo "$dist/$name.zip${sign:+ (signed)}, built from $built_from, with:"
printf '%s' "$values"
[ ${#placeholders[@]} -eq 0 ] ||
  echo "placeholders built in (KAVO_ALLOW_PLACEHOLDERS=1): ${placeholders[*]} name .example hosts"
[ -z "$release_url" ] || echo "manifests for $package_id at $release_url$name.zip: $dist/manifests/"
cat "$dist/SHA256SUMS"
