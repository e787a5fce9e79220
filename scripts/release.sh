#!/usr/bin/env bash
# Builds the release package: dist/kavo-VERSION-win64.zip (kavo.exe, the read-me, the licence) and
# dist/SHA256SUMS beside it. Extra arguments go to CMake, for the real site and author values:
#   scripts/release.sh -DKAVO_SITE_ONE_DOMAIN=... -DKAVO_AUTHOR_NAME=...
# With KAVO_SIGN_PKCS12 (a PKCS#12 file) and KAVO_SIGN_PASSWORD_FILE (a file holding its password)
# in the environment, kavo.exe is Authenticode-signed (SHA-256) before it is zipped;
# KAVO_SIGN_TIMESTAMP_URL, if set, names an RFC 3161 time-stamp server. A failure leaves neither
# the zip nor the checksum file behind.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
version=$(sed -n 's/^project(Kavo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=kavo-$version-win64
mkdir -p dist
rm -f "dist/$name.zip" dist/SHA256SUMS
fail() {
  echo "release: $*" >&2
  exit 1
}

# The signing inputs are checked before anything is built.
sign=${KAVO_SIGN_PKCS12:-}
if [ -n "$sign" ]; then
  password=${KAVO_SIGN_PASSWORD_FILE:-}
  [ -f "$sign" ] || fail "KAVO_SIGN_PKCS12: no such file: $sign"
  [ -f "$password" ] || fail "KAVO_SIGN_PASSWORD_FILE: no such file: ${password:-(not set)}"
  certificate=$(openssl pkcs12 -in "$sign" -passin "file:$password" -nokeys -clcerts 2>/dev/null ||
                openssl pkcs12 -legacy -in "$sign" -passin "file:$password" -nokeys -clcerts 2>/dev/null) ||
    fail "KAVO_SIGN_PKCS12: cannot be opened with the password in KAVO_SIGN_PASSWORD_FILE"
  openssl x509 -noout -ext extendedKeyUsage <<<"$certificate" 2>/dev/null | grep -q "Code Signing" ||
    fail "KAVO_SIGN_PKCS12: the certificate is not for code signing (no Code Signing extended key usage)"
fi

build=build/release
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_TESTING=OFF --no-warn-unused-cli "$@" >/dev/null
cmake --build "$build" --target kavo -j 2

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
# Fixed times and order, so the same commit and values give the same zip (and, signed with the
# same key, the same signature).
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 1767225600)}
if [ -n "$sign" ]; then
  osslsigncode sign -pkcs12 "$sign" -readpass "$password" -h sha256 -n Kavo -time "$epoch" \
      ${KAVO_SIGN_TIMESTAMP_URL:+-ts "$KAVO_SIGN_TIMESTAMP_URL"} \
      -in "$build/app/kavo.exe" -out "$stage/kavo.exe" >"$stage/sign.log" 2>&1 ||
    fail "signing kavo.exe failed: $(grep -v '^Succeeded' "$stage/sign.log" | head -n 3)"
  rm "$stage/sign.log"
else
  cp "$build/app/kavo.exe" "$stage/kavo.exe"
fi
sed 's/$/\r/' packaging/README.txt >"$stage/README.txt"
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
touch -d "@$epoch" "$stage"/*
(cd "$stage" && TZ=UTC zip -q -X -D "$name.zip" kavo.exe README.txt LICENSE.txt &&
 sha256sum "$name.zip" >SHA256SUMS)
mv "$stage/$name.zip" "$stage/SHA256SUMS" dist/
echo "dist/$name.zip${sign:+ (signed)}"
cat dist/SHA256SUMS
