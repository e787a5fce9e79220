#!/usr/bin/python3
"""Two releases at once, a check of one, each input refused beside them; the parts no release reaches."""
import concurrent.futures
import json
import os
import re
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile
from pathlib import Path
from unittest import mock

import yaml

ROOT = os.path.dirname(os.path.dirname(os.path.realpath(__file__)))
sys.path.insert(0, f"{ROOT}/scripts")
import release  # noqa: E402 pylint: disable=wrong-import-position

URL, PACKAGE = "https://downloads.example/kavo/", "Kavo.Test"
COMMITTED, WORKING = "kavo-17.8.0.9-win64.zip", "kavo-17.9.0.0-win64.zip"


def run(*args, **options):
    return subprocess.run(args, check=True, stdout=subprocess.PIPE, text=True, **options).stdout


def built_in(zip_path):
    """The author (About box, version resource), home page and untracked header's host built in."""
    exe = (zip_path / "kavo.exe").read_bytes()
    found = (text.decode("utf-16-le") for text in re.findall(rb"(?:[\x20-\x7e]\x00){4,}", exe))
    return sorted(text for text in found if text in (
        "Other", "https://other.example/", "http://kavo.example/", "shadow.invalid"))


def snapshot(folder):
    """Every path under folder (symbolic links not followed), with a file's bytes."""
    return {path: path.is_file() and path.read_bytes() for path in Path(folder).rglob("*")}


def session(pid):  # the processes left in pid's session
    return subprocess.run(["ps", "-o", "comm=", "-s", str(pid)], stdout=subprocess.PIPE,
                          text=True).stdout.split()


def until(condition, seconds):
    deadline = time.monotonic() + seconds
    while not condition() and time.monotonic() < deadline:
        time.sleep(0.05)


# src: this tree committed as 17.8.0.9; working: a clone at 17.9.0.0, not committed; elsewhere: a
# clone a commit on; each with an untracked links/site_values.h. keys: PKCS#12 files, password
# "right". before: a case's dist, an earlier zip listed and one this replaces; dist adds manifests.
SETUP = r"""
mkdir src keys scratch before && tar -C "$1" --exclude=./build --exclude=./dist --exclude=./.git \
  -c . | tar -C src -x
version() { sed -i "s/^\(project(Kavo VERSION \)[0-9.]*/\1$2/" "$1/CMakeLists.txt"; }
git() { command git -c user.name=Kavo -c user.email=kavo@example.invalid "$@"; }
version src 17.8.0.9 && git -C src init -q && git -C src add -A && git -C src commit -qm c
git clone -q src working && version working 17.9.0.0
git clone -q src elsewhere && version elsewhere 17.8.1.0 && git -C elsewhere commit -qam d
sed "s/@KAVO_SITE_[A-Z_]*@/shadow.invalid/g" "$1/links/site_values.h.in" |
  tee {src,working,elsewhere}/links/site_values.h >/dev/null
echo right >keys/right && echo wrong >keys/wrong
for usage in codeSigning serverAuth; do
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Kavo test $usage" -addext \
    extendedKeyUsage=$usage -keyout keys/$usage.key -out keys/$usage.crt 2>/dev/null
  openssl pkcs12 -export -in keys/$usage.crt -inkey keys/$usage.key -passout pass:right \
    -out keys/$usage.p12
done
cd before && echo old >kavo-1.0.0.0-win64.zip && echo earlier >kavo-17.8.0.9-win64.zip
sha256sum kavo-1.0.0.0-win64.zip >SHA256SUMS && cp -r . ../dist && cd ../dist/
for version in 1.0.0.0 17.8.0.9; do mkdir -p manifests/$version/scoop; done
echo kept >manifests/1.0.0.0/scoop/kavo.json && echo earlier >manifests/17.8.0.9/scoop/kavo.json
"""


EXAMPLES = set(re.findall(r"^scripts/release\.py (-D.*)$", "".join(
    Path(ROOT, name).read_text(encoding="utf-8").replace("\\\n", " ")
    for name in ("README.md", "docs/releasing.md")), re.MULTILINE))
assert EXAMPLES, "no release command found in README.md or docs/releasing.md"


class ReleaseTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="kavo-release-test.")
        cls.addClassCleanup(shutil.rmtree, cls.tmp)
        run("bash", "-ec", SETUP, "setup", ROOT, cwd=cls.tmp)
        cls.src, cls.working, cls.keys, cls.dist, cls.before, cls.scratch = (
            f"{cls.tmp}/{name}" for name in ("src", "working", "keys", "dist", "before", "scratch"))
        cls.env = {name: value for name, value in os.environ.items()
                   if not name.startswith("KAVO_") and name != "SOURCE_DATE_EPOCH"}
        cls.env.update(TMPDIR=cls.scratch, KAVO_DIST=cls.dist)
        # To check: from another toolchain and commit, a dirty tree, a value no release takes.
        info = "".join(f"{name}={'https://' * ('PAGE' in name)}a.example\n" for name in release.VALUES) + \
            f"commit={'f' * 40}\ng++-mingw-w64-x86-64-posix=0.1\n"
        for name, more in (("elsewhere", ""), ("dirty", "uncommitted=a source with\n"),
                           ("crafted", "KAVO_SITE_ONE_DOMAIN=a.example/x\n")):
            with zipfile.ZipFile(f"{cls.before}/{name}.zip", "w") as archive:
                archive.writestr("kavo.exe", b"MZ")
                archive.writestr("BUILD-INFO.txt", info + more)
        with concurrent.futures.ThreadPoolExecutor(4) as pool:  # the cases beside the releases
            cases = [pool.submit(cls.case, *row) for row in cls.REFUSALS]
            first = cls.release(cls.src, cwd=cls.keys, KAVO_DIST="../dist",  # relative
                                KAVO_REPLACE_RELEASE="1", KAVO_ALLOW_PLACEHOLDERS="1",
                                KAVO_SIGN_PKCS12="codeSigning.p12", KAVO_SIGN_PASSWORD_FILE="right",
                                KAVO_RELEASE_URL=URL, KAVO_PACKAGE_ID=PACKAGE)
            until(lambda: first.poll() is not None or  # its output folder held
                  subprocess.run(["flock", "-n", cls.dist, "true"]).returncode, 60)
            second = cls.release(cls.working, "-DKAVO_AUTHOR_NAME=Other",
                                 "-DKAVO_AUTHOR_HOME_PAGE=https://other.example/",
                                 KAVO_ALLOW_DIRTY="1", KAVO_ALLOW_PLACEHOLDERS="1")
            first.wait()  # and its zip checked alone from a clone at another commit, meanwhile
            check = cls.release(f"{cls.tmp}/elsewhere", "check", f"dist/{COMMITTED}", cwd=cls.tmp)
            cls.first, cls.second, cls.check = (
                (p.wait(), Path(p.out).read_text()) for p in (first, second, check))
            cls.refusals = [case.result() for case in cases]

    @classmethod
    def release(cls, src, *args, cwd=None, **env):  # src's scripts/release.py, output in a file
        with tempfile.NamedTemporaryFile(dir=cls.tmp, delete=False) as out:
            process = subprocess.Popen([f"{src}/scripts/release.py", *args], cwd=cwd,
                                       env={**cls.env, **env}, stdout=out, stderr=subprocess.STDOUT,
                                       start_new_session=True)
        process.out = out.name
        return process

    @classmethod
    def case(cls, message, env, args, change=":"):
        """A release in a folder of its own (dist copied from before, src, keys): its exit status,
        output, the processes it left and the paths it changed; its terminal closed mid-build if
        change is "hang up"."""
        case = tempfile.mkdtemp(dir=cls.tmp)
        shutil.copytree(cls.before, f"{case}/dist")
        os.symlink(cls.keys, f"{case}/keys")
        os.symlink(cls.src, f"{case}/src")
        run("sh", "-ec", change.replace("hang up", ":"), cwd=case)
        before = snapshot(case)
        process = cls.release(f"{case}/src", *args, cwd=case, TMPDIR=case,
                              **{"KAVO_DIST": "dist", **env})
        if change == "hang up":  # with a compiler at work on kavo.exe, past the configure step
            until(lambda: process.poll() is not None or "cc1plus" in session(process.pid) and
                  any(Path(case).glob("kavo-release.*/build/Makefile")), 60)
            process.send_signal(signal.SIGHUP)
        process.wait()
        until(lambda: not session(process.pid), 10)  # what it killed may take a moment to go
        after = snapshot(case)
        said = f"{Path(process.out).read_text()}exit status {process.returncode}"
        return process.returncode, said, session(process.pid) + sorted(
            str(path) for path in {*after, *before} if after.get(path) != before.get(path))

    def test_two_releases_at_once(self):
        self.assertEqual((self.first[0], self.second[0]), (0, 0), self.first[1] + self.second[1])
        self.assertEqual(run("sha256sum", "-c", "SHA256SUMS", cwd=self.dist),
                         f"kavo-1.0.0.0-win64.zip: OK\n{COMMITTED}: OK\n{WORKING}: OK\n")
        self.assertIn(f"release: waiting for the release in progress in {self.dist}", self.second[1])
        self.assertEqual(os.listdir(self.scratch), [])  # every run removed its build folder

    def test_working_tree_release(self):
        zip_path = zipfile.Path(f"{self.dist}/{WORKING}")
        dirty = ("a source with uncommitted changes to tracked files (CMakeLists.txt) and "
                 "untracked files (links/site_values.h)")
        self.assertRegex(self.second[1], rf"(?s)built from {re.escape(dirty)}.*KAVO_AUTHOR_NAME="
                         r"Other.*\(KAVO_ALLOW_PLACEHOLDERS=1\): KAVO_SITE_ONE_DOMAIN .* "
                         "KAVO_AUTHOR_HOME_PAGE name")
        self.assertIn(f"\nuncommitted={dirty}\n", (zip_path / "BUILD-INFO.txt").read_text())
        found = built_in(zip_path)
        self.assertEqual((sorted(set(found)), found.count("Other")),
                         (["Other", "https://other.example/", "shadow.invalid"], 2))
        self.assertTrue((zip_path / "README.txt").read_bytes().startswith(b"Kavo 17.9\r\n===="))
        # Fixed times (the commit's), modes and order: the same commit gives the same zip.
        at = int(run("git", "log", "-1", "--format=%ct", cwd=self.working))
        with zipfile.ZipFile(f"{self.dist}/{WORKING}") as archive:
            entries = [(e.filename, e.external_attr >> 16, e.date_time) for e in archive.infolist()]
        self.assertEqual(entries, [(name, 0o100644 | (name == "kavo.exe") * 0o111,
                                    time.gmtime(at - at % 2)[:6]) for name in (
            "kavo.exe", "README.txt", "LICENSE.txt", "THIRD-PARTY-NOTICES.txt", "BUILD-INFO.txt")])

    def test_commit_release(self):  # what BUILD-INFO.txt names, the check reads back
        zip_path, exe = zipfile.Path(f"{self.dist}/{COMMITTED}"), f"{self.tmp}/signed.exe"
        self.assertRegex(self.first[1], f"built from commit [0-9a-f]{{12}}, in place of the earlier"
                         f" {COMMITTED} \\(KAVO_REPLACE_RELEASE=1\\)")
        self.assertEqual(built_in(zip_path), ["http://kavo.example/"])  # no untracked header
        commit = run("git", "log", "-1", "--format=%H %ct", cwd=self.src).split()
        self.assertIn(f"\nSOURCE_DATE_EPOCH={commit[1]}\n", (zip_path / "BUILD-INFO.txt").read_text(
            encoding="utf-8"))
        self.assertRegex((zip_path / "THIRD-PARTY-NOTICES.txt").read_text(encoding="utf-8"),
                         "(?s)\nwinpthreads((?!\n-----).)*The above copyright notice and this perm")
        Path(exe).write_bytes((zip_path / "kavo.exe").read_bytes())
        self.assertIn("Signature verification: ok", run(
            "osslsigncode", "verify", "-CAfile", f"{self.keys}/codeSigning.crt", "-in", exe))
        self.assertIn(f"check: identical to a rebuild of commit {commit[0]} ", self.check[1])
        self.assertNotIn("another toolchain", self.check[1])

    def test_manifests(self):
        url, sha256 = URL + COMMITTED, release.sha256(f"{self.dist}/{COMMITTED}")
        folder = f"{self.dist}/manifests/17.8.0.9"  # the earlier one replaced, as its zip
        winget = [yaml.safe_load(Path(f"{folder}/winget/{PACKAGE}{part}.yaml").read_bytes())
                  for part in ("", ".installer", ".locale.bg-BG")]
        scoop = json.loads(Path(folder, "scoop/kavo.json").read_bytes())
        installer = winget[1]["Installers"][0]
        self.assertEqual({(m["PackageIdentifier"], m["PackageVersion"]) for m in winget}
                         | {(installer["InstallerUrl"], installer["InstallerSha256"].lower())},
                         {(PACKAGE, "17.8.0.9"), (url, sha256)})
        self.assertEqual((scoop["version"], scoop["architecture"]["64bit"]),
                         ("17.8.0.9", {"url": url, "hash": sha256}))
        self.assertEqual(sorted(os.listdir(f"{self.dist}/manifests")), ["1.0.0.0", "17.8.0.9"])
        self.assertEqual(Path(self.dist, "manifests/1.0.0.0/scoop/kavo.json").read_text(), "kept\n")

    def signed(pkcs12, password, **env):
        return {"KAVO_SIGN_PKCS12": f"keys/{pkcs12}", "KAVO_SIGN_PASSWORD_FILE": f"keys/{password}",
                **env}

    # Each row: what the output says, the environment, the arguments, a command run first in the
    # case's folder (new/dist: made, and gone again).
    PLACEHOLDERS = {"KAVO_ALLOW_PLACEHOLDERS": "1"}
    REFUSALS = [
        ("/release.py check kavo-VERSION-win64.zip", {}, ["check"]),  # the usage
        ("/release.py check kavo-VERSION-win64.zip", {}, ["check", "x.zip", "-DKAVO_A=b"]),
        *((f"takes no variable named {name}:", {}, [f"-D{name}=a.org"])
          for name in ("CMAKE_BUILD_TYPE", "KAVO_SITE_ONE_DOMIAN")),
        (f"{COMMITTED} is there already, with other bytes", PLACEHOLDERS, []),
        ("KAVO_SIGN_PKCS12: no such file", signed("missing.p12", "right"), []),
        ("KAVO_SIGN_PASSWORD_FILE: no such file", signed("codeSigning.p12", "missing"), []),
        ("cannot be opened with the password", signed("codeSigning.p12", "wrong"), []),
        ("not for code signing", signed("serverAuth.p12", "right"), []),
        ("sign only with KAVO_SIGN_PKCS12", {"KAVO_SIGN_PASSWORD_FILE": "keys/right"}, []),
        ("signing kavo.exe failed", signed("codeSigning.p12", "right", **PLACEHOLDERS,
                                           KAVO_SIGN_TIMESTAMP_URL="http://127.0.0.1:9/",
                                           KAVO_REPLACE_RELEASE="1"), []),
        *(("SOURCE_DATE_EPOCH must be seconds since 1970", {"SOURCE_DATE_EPOCH": epoch}, [])
          for epoch in ("1e9", "315532799")),
        *(("release: KAVO_SITE_ONE_DOMAIN must be a DNS name, not", {}, shlex.split(example))
          for example in EXAMPLES),
        *((f'{name} must be a DNS name, not "{value}"\n(a DNS name: two or more', {},
           [f"-D{name}={value}"]) for name, value in (
            ("KAVO_SITE_ONE_DOMAIN", "a..b"), ("KAVO_SITE_TWO_MEDIA_HOST", "-a.b"),
            ("KAVO_SITE_TWO_DOMAIN", "x" * 64 + ".b"), ("KAVO_SITE_ONE_MEDIA_HOST", "localhost"),
            ("KAVO_SITE_ONE_DOMAIN", "a." * 126 + "bc"))),
        ('KAVO_AUTHOR_HOME_PAGE must be an http(s) address whose host is a DNS name, not '
         '"https://..."', {}, ["-DKAVO_AUTHOR_HOME_PAGE=https://..."]),
        ("release: KAVO_SITE_ONE_DOMAIN KAVO_SITE_ONE_MEDIA_HOST KAVO_SITE_TWO_MEDIA_HOST still",
         {"KAVO_DIST": "new/dist"},
         ["-DKAVO_SITE_TWO_DOMAIN=b.org", "-DKAVO_AUTHOR_HOME_PAGE=http://me@b.org:8/"]),
        ("KAVO_RELEASE_URL must", {"KAVO_RELEASE_URL": "http://a/", "KAVO_PACKAGE_ID": "A.B"}, []),
        ("KAVO_PACKAGE_ID must be", {"KAVO_RELEASE_URL": URL, "KAVO_PACKAGE_ID": "Kavo"}, []),
        ("uncommitted changes to tracked files (CMakeLists.txt)", {}, [], "ln -sfn ../working src"),
        ("SHA256SUMS lists kavo-1.0.0.0-win64.zip", {}, [], "echo >dist/kavo-1.0.0.0-win64.zip"),
        ("was built from a source with, which no commit holds", {}, ["check", "dist/dirty.zip"]),
        ("check: the release was built with another toolchain, a likely reason for any difference:"
         " g++-mingw-w64-x86-64-posix 0.1 there, ", {}, ["check", "dist/elsewhere.zip"]),
        (f"does not have commit {'f' * 40}, which", {}, ["check", "dist/elsewhere.zip"]),
        ('DNS name, not "a.example/x"', {}, ["check", "dist/crafted.zip"]),
        ("exit status 129", {"KAVO_DIST": "new/dist", **PLACEHOLDERS}, [], "hang up"),  # HUP
    ]

    def test_refusals(self):
        for (message, *row), (status, said, left) in zip(self.REFUSALS, self.refusals):
            with self.subTest(message, row=row):
                self.assertNotEqual(status, 0)
                self.assertIn(message, said)
                self.assertEqual(left, [])  # no process, nor a path changed (a build folder left)


class Parts(unittest.TestCase):
    def test_a_failure_at_any_of_the_last_renames_leaves_the_folder_as_it_was(self):
        folder = self.enterContext(tempfile.TemporaryDirectory())
        run("sh", "-c", "mkdir -p stage/m/v dist/old && for f in stage/zip stage/sums stage/m/v/x "
            "dist/zip dist/old/x dist/sums; do echo $f >$f; done", cwd=folder)
        moves = [(new and f"{folder}/stage/{new}", f"{folder}/dist/{target}") for new, target
                 in (("zip", "zip"), ("m/v", "m/v"), (None, "old"), ("sums", "sums"))]
        before = snapshot(f"{folder}/dist")
        for fail in range(7):  # each of the 7 renames and folders made, one mock call count
            steps = iter([mock.DEFAULT] * fail + [PermissionError(13, "Permission denied", "x")]
                         + [mock.DEFAULT] * 9)
            with self.subTest(fail=fail), mock.patch("os.mkdir", wraps=os.mkdir, side_effect=steps), \
                    mock.patch("os.rename", wraps=os.rename, side_effect=steps):
                with self.assertRaisesRegex(release.Refusal, "Permission denied: .*as it was$"):
                    release.move_into_place(f"{folder}/stage", moves)
                self.assertEqual(snapshot(f"{folder}/dist"), before)
        release.move_into_place(f"{folder}/stage", moves)
        self.assertEqual(sorted(os.listdir(f"{folder}/dist")), ["m", "sums", "zip"])

    def test_a_rebuild_may_differ_by_the_checksum_and_seven_zero_bytes_that_signing_makes(self):
        # A PE file's headers (CheckSum at 152) and one section, .text, 64 bytes from 256.
        rebuilt = bytearray(320)
        rebuilt[60:64], rebuilt[64:68], rebuilt[70], rebuilt[84] = b"\x40\0\0\0", b"PE\0\0", 1, 112
        rebuilt[200:208], rebuilt[216:224] = b".text\0\0\0", b"\x40\0\0\0\0\1\0\0"
        signed = rebuilt[:152] + b"SUMS" + rebuilt[156:]
        unsigned = "the released kavo.exe is not the rebuilt one plus a signature"

        def differs(at, where):  # the signed one with byte at changed, and what is said of it
            return (signed[:at] + b"?" + signed[at + 1:],
                    f"byte {at + 1} of the released kavo.exe differs from the rebuild's, {where}")
        for released, verdict in ((rebuilt, ""), (signed + bytes(7), ""),
                                  (signed + bytes(8), unsigned), (signed + b"\1", unsigned),
                                  differs(300, "in section .text"),
                                  differs(100, "in the headers or between sections")):
            self.assertEqual(release.rebuild_difference(bytes(rebuilt), bytes(released)), verdict)

    def test_an_unknown_archive_stops_the_notices(self):  # an import library's stubs need none
        with tempfile.TemporaryDirectory() as folder:
            Path(folder, "map").write_text("Linker script and memory map\n .text 0x1 0x8 /libnew.a("
                                           "n.o)\n .text 0x1 0x8 /libdll.a(s.o)\n .idata$5 0x1 0x8 "
                                           "/libdll.a(s.o)\n")
            notices = subprocess.run([f"{ROOT}/scripts/third_party_notices.py", f"{folder}/map",
                                      f"{folder}/out"], stderr=subprocess.PIPE, text=True)
        self.assertRegex(notices.stderr, "^third_party_notices: libnew.a put code into kavo.exe")


if __name__ == "__main__":
    unittest.main(verbosity=2)
