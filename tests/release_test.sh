#!/usr/bin/env bash
# The release: each signing failure stops it with its message and leaves no zip or checksum file;
# signed with a throwaway certificate, it verifies, matches its checksum and, signature aside,
# equals a rebuild in another folder.
set -euo pipefail
cd "$(dirname "$0")/.."
keys=$(mktemp -d)
trap 'rm -rf "$keys"' EXIT
for usage in codeSigning serverAuth; do
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Kavo test $usage" \
    -addext "extendedKeyUsage=$usage" -keyout "$keys/$usage.key" -out "$keys/$usage.crt" 2>/dev/null
  openssl pkcs12 -export -in "$keys/$usage.crt" -inkey "$keys/$usage.key" -passout pass:right \
    -out "$keys/$usage.p12"
done
echo right >"$keys/right" && echo wrong >"$keys/wrong" && mkdir -p dist
zip=dist/kavo-$(sed -n 's/^project(Kavo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)-win64.zip

while IFS='|' read -r p12 password message; do
  touch "$zip" dist/SHA256SUMS  # left from an earlier release: must go too
  KAVO_SIGN_PKCS12=$keys/$p12 KAVO_SIGN_PASSWORD_FILE=$keys/$password scripts/release.sh >"$keys/out" 2>&1 ||
    grep -q "$message" "$keys/out" && [ ! -e "$zip" ] && [ ! -e dist/SHA256SUMS ] ||
    { echo "FAILED: $p12 with $password: expected \"$message\" and nothing left; got:"; cat "$keys/out"; exit 1; }
done <<'CASES'
missing.p12|right|KAVO_SIGN_PKCS12: no such file
codeSigning.p12|missing|KAVO_SIGN_PASSWORD_FILE: no such file
codeSigning.p12|wrong|cannot be opened with the password
serverAuth.p12|right|not for code signing
CASES

KAVO_SIGN_PKCS12=$keys/codeSigning.p12 KAVO_SIGN_PASSWORD_FILE=$keys/right scripts/release.sh >/dev/null
(cd dist && sha256sum -c SHA256SUMS)
unzip -p "$zip" kavo.exe >"$keys/kavo.exe"
osslsigncode verify -CAfile "$keys/codeSigning.crt" -in "$keys/kavo.exe" | grep -q "Signature verification: ok"
scripts/check-rebuild.sh "$zip"
