#!/usr/bin/env bash
# Releases from a committed copy of this tree: after other values, one with none has the defaults;
# signed, it verifies, equals a rebuild, and its notices, manifests and SHA256SUMS fit. Bad inputs,
# configure and signing errors and uncommitted changes stop it with their message, dist/ untouched.
set -euo pipefail
unset "${!KAVO_@}" SOURCE_DATE_EPOCH  # the caller's signing, publishing and other release variables
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
trap 'echo "FAILED at line $LINENO" >&2' ERR
src=$tmp/src keys=$tmp/keys && export KAVO_DIST=$tmp/dist TMPDIR=$tmp/scratch  # where the releases build
mkdir "$src" "$keys" "$TMPDIR"
(cd "$(dirname "$0")/.." && tar --exclude=./build --exclude=./dist --exclude=./.git -cf - .) | tar -xf - -C "$src"
git -C "$src" init -q && git -C "$src" add -A && git -C "$src" -c user.name=Kavo -c user.email=kavo@example.invalid commit -qm copy
for usage in codeSigning serverAuth; do
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Kavo test $usage" -addext "extendedKeyUsage=$usage" \
    -keyout "$keys/$usage.key" -out "$keys/$usage.crt" 2>/dev/null
  openssl pkcs12 -export -in "$keys/$usage.crt" -inkey "$keys/$usage.key" -passout pass:right -out "$keys/$usage.p12"
done
echo right >"$keys/right" && echo wrong >"$keys/wrong"

# The author (in the About box and in the version resource) and the home page a zip's kavo.exe has.
values() { unzip -p "$1" kavo.exe | strings -e l | grep -x -e Other -e 'https\?://[a-z.-]*example/' | LC_ALL=C sort | paste -sd ' '; }
sed -i 's/^project(Kavo VERSION [0-9.]*/project(Kavo VERSION 17.8.0.9/' "$src/CMakeLists.txt"
zip=$KAVO_DIST/kavo-17.8.0.9-win64.zip
export KAVO_ALLOW_DIRTY=1 KAVO_ALLOW_PLACEHOLDERS=1
(mkdir -p "$KAVO_DIST/manifests/scoop" && cd "$KAVO_DIST/manifests" && touch scoop/kavo.json && sha256sum scoop/kavo.json >.kavo-release)  # an earlier zip's
echo old >"$KAVO_DIST/kavo-1.0.0.0-win64.zip"  # an earlier version's, kept
"$src/scripts/release.sh" -DKAVO_AUTHOR_NAME=Other -DKAVO_AUTHOR_HOME_PAGE=https://other.example/ >"$tmp/out"
grep -qz "changes to tracked files (CMakeLists.txt).*KAVO_AUTHOR_NAME=Other.*(KAVO_ALLOW_PLACEHOLDERS=1): KAVO_SITE_ONE_DOMAIN .* KAVO_AUTHOR_HOME_PAGE name" "$tmp/out"
[ "$(values "$zip")" = "Other Other https://other.example/" ]
[ "$(unzip -p "$zip" README.txt | head -n 2)" = $'Kavo 17.8\r\n=========\r' ]
[ ! -e "$KAVO_DIST/manifests" ]  # none asked for: the earlier ones, naming another zip, went
# The same version, none of those values; paths relative to the caller's folder.
(cd "$keys" && KAVO_REPLACE_RELEASE=1 KAVO_DIST=../dist KAVO_SIGN_PKCS12=codeSigning.p12 KAVO_SIGN_PASSWORD_FILE=right \
  KAVO_RELEASE_URL=https://downloads.example/kavo/ KAVO_PACKAGE_ID=Kavo.Test "$src/scripts/release.sh" >/dev/null)
[ "$(values "$zip")" = http://kavo.example/ ]
[ "$(cd "$KAVO_DIST" && sha256sum -c SHA256SUMS | paste -sd ' ')" = "kavo-1.0.0.0-win64.zip: OK ${zip##*/}: OK" ]
grep -q "The above copyright notice and this permission notice shall be" \
  <(unzip -p "$zip" THIRD-PARTY-NOTICES.txt | tr -d '\r' | awk '/^winpthreads/,/^-----/')
/usr/bin/python3 - "$zip" <<'EOF'
import hashlib, json, os, sys, yaml
zip_path, version = sys.argv[1], os.path.basename(sys.argv[1]).split("-")[1]
sha256, url = hashlib.sha256(open(zip_path, "rb").read()).hexdigest(), "https://downloads.example/kavo/" + os.path.basename(zip_path)
folder = os.path.dirname(zip_path) + "/manifests/"
winget = [yaml.safe_load(open(f"{folder}winget/Kavo.Test{part}.yaml", encoding="utf-8")) for part in ("", ".installer", ".locale.bg-BG")]
scoop, installer = json.load(open(folder + "scoop/kavo.json", encoding="utf-8")), winget[1]["Installers"][0]
assert {(m["PackageIdentifier"], m["PackageVersion"]) for m in winget} == {("Kavo.Test", version)}
assert (installer["InstallerUrl"], installer["InstallerSha256"].lower()) == (url, sha256), installer
assert (scoop["version"], scoop["architecture"]["64bit"]) == (version, {"url": url, "hash": sha256})
EOF
unzip -p "$zip" kavo.exe >"$keys/kavo.exe"
osslsigncode verify -CAfile "$keys/codeSigning.crt" -in "$keys/kavo.exe" | grep -q "Signature verification: ok"
KAVO_SIGN_PASSWORD_FILE=$keys/right "$src/scripts/check-rebuild.sh" "$zip"  # a publisher's signing variable too

cp -a "$KAVO_DIST" "$tmp/before"
stops() {  # the release stops with this message and leaves the output folder as it was
  ! "$src/scripts/release.sh" "${@:2}" >"$tmp/out" 2>&1 && grep -qF "$1" "$tmp/out" && diff -r "$tmp/before" "$KAVO_DIST" ||
    { echo "FAILED: expected \"$1\" and the output folder as it was; got:" && cat "$tmp/out" && exit 1; }
}
stops "$zip is there already, with other bytes"  # unsigned, this time
unset KAVO_ALLOW_DIRTY KAVO_ALLOW_PLACEHOLDERS && git -C "$src" checkout -q CMakeLists.txt
signed() { KAVO_SIGN_PKCS12=$keys/$1 KAVO_SIGN_PASSWORD_FILE=$keys/$2 stops "$3"; }
signed missing.p12 right "KAVO_SIGN_PKCS12: no such file"
signed codeSigning.p12 missing "KAVO_SIGN_PASSWORD_FILE: no such file"
signed codeSigning.p12 wrong "cannot be opened with the password"
signed serverAuth.p12 right "not for code signing"
KAVO_SIGN_PASSWORD_FILE=$keys/right stops "sign only with KAVO_SIGN_PKCS12"
KAVO_ALLOW_PLACEHOLDERS=1 KAVO_SIGN_TIMESTAMP_URL=http://127.0.0.1:9/ signed codeSigning.p12 right "signing kavo.exe failed"
SOURCE_DATE_EPOCH=1e9 stops "SOURCE_DATE_EPOCH must be seconds since 1970"
stops "KAVO_SITE_ONE_DOMAIN must be a plain host name" -DKAVO_SITE_ONE_DOMAIN=no/such
stops "reads no variable named KAVO_SITE_ONE_DOMIAN:" -DKAVO_SITE_ONE_DOMIAN=real-one.org
stops "KAVO_SITE_ONE_DOMAIN KAVO_SITE_ONE_MEDIA_HOST KAVO_SITE_TWO_MEDIA_HOST still name a .example host" \
  -DKAVO_SITE_TWO_DOMAIN=b.org -DKAVO_AUTHOR_HOME_PAGE=http://me@b.org:8/
KAVO_RELEASE_URL=http://downloads.example/ KAVO_PACKAGE_ID=Kavo.Test stops "KAVO_RELEASE_URL must be"
KAVO_RELEASE_URL=https://downloads.example/ KAVO_PACKAGE_ID=Kavo stops "KAVO_PACKAGE_ID must be"
echo >>"$src/LICENSE" && stops "uncommitted changes to tracked files (LICENSE)"
export KAVO_ALLOW_DIRTY=1
cp -a "$KAVO_DIST/manifests" "$tmp/manifests"  # someone's own beside a release's, or changed
for change in "mkdir k" "touch winget/release-checklist.yaml" "echo >>scoop/kavo.json"; do
  for d in "$KAVO_DIST" "$tmp/before"; do rm -r "$d/manifests" && cp -a "$tmp/manifests" "$d" && (cd "$d/manifests" && eval "$change"); done
  stops "manifests holds files no release wrote"
done
for d in "$KAVO_DIST" "$tmp/before"; do echo changed >"$d/kavo-1.0.0.0-win64.zip"; done
stops "SHA256SUMS lists kavo-1.0.0.0-win64.zip with other bytes"
[ -z "$(ls -A "$TMPDIR")" ]  # every run, whether it stopped or not, removed its build folder

# An archive that puts code into kavo.exe and has no notice entry stops the notices by name; an
# import library's stubs (.idata) need none.
printf ' %s 0x140001000 0x8 /lib/%s\n' .text 'libnew.a(new.o)' .text 'libnewdll.a(s1.o)' \
  '.idata$5' 'libnewdll.a(s1.o)' | sed '1i Linker script and memory map' >"$tmp/fake.map"
"$src/scripts/third_party_notices.py" "$tmp/fake.map" "$tmp/notices" 2>"$tmp/out" && exit 1
grep -q "^third_party_notices: libnew.a put code into kavo.exe" "$tmp/out"
