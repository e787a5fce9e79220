#!/usr/bin/python3
"""Package-manager manifests for a release zip: winget's multi-file manifest and a Scoop manifest.

    scripts/package_manifests.py check RELEASE_URL PACKAGE_ID
    scripts/package_manifests.py write ZIP VERSION RELEASE_URL PACKAGE_ID PUBLISHER HOME_PAGE OUT

"check" says whether the two publishing values are usable (release.py asks before building);
"write" writes OUT/winget/PACKAGE_ID{,.installer,.locale.bg-BG}.yaml and OUT/scoop/kavo.json for
the zip, which is to be published at RELEASE_URL + its file name. The output depends only on the
arguments and the zip's bytes.
"""
import hashlib
import json
import os
import re
import sys

import yaml

MANIFEST_VERSION = "1.10.0"
LOCALE = "bg-BG"
# Windows 10 1607, the oldest Windows Kavo runs on (README, "For Windows users").
MINIMUM_OS_VERSION = "10.0.14393.0"
LICENCE = "MIT"
SHORT_DESCRIPTION = "Превръща адреса на страницата на видео в прекия адрес на видео файла (.flv)."
DESCRIPTION = ("Turns the address of a video's page into the direct address of the video's .flv "
               "file (Bulgarian interface).")

# The address of a folder: https, ending in "/", nothing a manifest or a shell would misread
# ("$" is a variable to Scoop).
RELEASE_URL = re.compile(r"https://[^\s\"'<>\\^`{|}$]+/")
# winget's identifier: two to eight dot-separated parts of up to 32 characters, 128 in all.
PART = r"[^.\s\\/:*?\"<>|\x00-\x1f]{1,32}"
PACKAGE_ID = re.compile(rf"{PART}(\.{PART}){{1,7}}")


def problems(release_url, package_id):
    found = []
    if not RELEASE_URL.fullmatch(release_url):
        found.append(f'KAVO_RELEASE_URL must be the https address of the folder the zip is '
                     f'published in, ending in "/", not "{release_url}"')
    if len(package_id) > 128 or not PACKAGE_ID.fullmatch(package_id):
        found.append(f"KAVO_PACKAGE_ID must be a winget identifier of the form Publisher.Package "
                     f'(for example KavoTeam.Kavo), not "{package_id}"')
    return found


def write_yaml(path, schema, document):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(f"# yaml-language-server: $schema=https://aka.ms/winget-manifest.{schema}."
                f"{MANIFEST_VERSION}.schema.json\n\n")
        yaml.safe_dump(document, f, sort_keys=False, allow_unicode=True, width=1000)


def write(zip_path, version, release_url, package_id, publisher, home_page, out):
    if found := problems(release_url, package_id):
        sys.exit("\n".join(found))
    with open(zip_path, "rb") as f:
        sha256 = hashlib.sha256(f.read()).hexdigest()
    url = release_url + os.path.basename(zip_path)
    head = {"PackageIdentifier": package_id, "PackageVersion": version}
    tail = {"ManifestVersion": MANIFEST_VERSION}

    winget = os.path.join(out, "winget")
    os.makedirs(winget)
    write_yaml(os.path.join(winget, f"{package_id}.yaml"), "version", {
        **head, "DefaultLocale": LOCALE, "ManifestType": "version", **tail})
    write_yaml(os.path.join(winget, f"{package_id}.installer.yaml"), "installer", {
        **head,
        "InstallerType": "zip",
        "NestedInstallerType": "portable",
        "NestedInstallerFiles": [{"RelativeFilePath": "kavo.exe", "PortableCommandAlias": "kavo"}],
        "MinimumOSVersion": MINIMUM_OS_VERSION,
        "Installers": [{"Architecture": "x64", "InstallerUrl": url,
                        "InstallerSha256": sha256.upper()}],
        "ManifestType": "installer", **tail})
    write_yaml(os.path.join(winget, f"{package_id}.locale.{LOCALE}.yaml"), "defaultLocale", {
        **head,
        "PackageLocale": LOCALE,
        "Publisher": publisher,
        "PublisherUrl": home_page,
        "PackageName": "Kavo",
        "PackageUrl": home_page,
        "License": LICENCE,
        "ShortDescription": SHORT_DESCRIPTION,
        "Moniker": "kavo",
        "ManifestType": "defaultLocale", **tail})

    scoop = os.path.join(out, "scoop")
    os.makedirs(scoop)
    with open(os.path.join(scoop, "kavo.json"), "w", encoding="utf-8", newline="\n") as f:
        json.dump({
            "version": version,
            "description": DESCRIPTION,
            "homepage": home_page,
            "license": LICENCE,
            "architecture": {"64bit": {"url": url, "hash": sha256}},
            "bin": "kavo.exe",
            "shortcuts": [["kavo.exe", "Kavo"]],
        }, f, ensure_ascii=False, indent=4)
        f.write("\n")


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "check":
        sys.exit("\n".join(problems(sys.argv[2], sys.argv[3])) or None)
    if len(sys.argv) == 9 and sys.argv[1] == "write":
        write(*sys.argv[2:])
    else:
        sys.exit(__doc__.split("\n\n")[1])
