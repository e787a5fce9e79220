#!/usr/bin/python3
"""Releases from a committed copy of this tree, two at once into one folder: the commit's, signed,
with manifests, then, waiting for it, the working tree's (other values, an untracked header that
shadows a generated one); the commit's zip checked alone from another checkout meanwhile. Beside
them, each input that stops a release or a check, and a closed terminal mid-build."""
import concurrent.futures
import glob
import hashlib
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


def write(path, text):
    Path(path).parent.mkdir(parents=True, exist_ok=True)
    Path(path).write_text(text, encoding="utf-8")


def set_version(src, version):
    run("sed", "-i", rf"s/^\(project(Kavo VERSION \)[0-9.]*/\1{version}/", f"{src}/CMakeLists.txt")


def zipped(zip_path, name="kavo.exe"):
    with zipfile.ZipFile(zip_path) as archive:
        return archive.read(name)


def built_in(zip_path):
    """The author (About box, version resource), home page and untracked header's host built in."""
    found = (text.decode("utf-16-le") for text in
             re.findall(rb"(?:[\x20-\x7e]\x00){4,}", zipped(zip_path)))
    return sorted(text for text in found if text in (
        "Other", "https://other.example/", "http://kavo.example/", "shadow.invalid"))


def snapshot(folder):
    """Every path under folder, with the SHA-256 of a file's bytes."""
    return {path: hashlib.sha256(path.read_bytes()).hexdigest() if name in files else "folder"
            for parent, folders, files in os.walk(folder) for name in folders + files
            if (path := Path(parent, name))}


def session(pid):  # the names of the processes in pid's session
    return subprocess.run(["ps", "-o", "comm=", "-s", str(pid)], stdout=subprocess.PIPE,
                          text=True).stdout.split()


def examples():
    """The release commands README.md and docs/releasing.md show, as pasted."""
    text = "".join(Path(ROOT, name).read_text(encoding="utf-8").replace("\\\n", " ")
                   for name in ("README.md", "docs/releasing.md"))
    return [shlex.split(example) for example in
            re.findall(r"^scripts/release\.py (-D.*)$", text, re.MULTILINE)]


class ReleaseTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        tmp = tempfile.mkdtemp(prefix="kavo-release-test.")
        cls.addClassCleanup(shutil.rmtree, tmp)
        cls.tmp, cls.src, cls.working, cls.keys, cls.dist, cls.scratch = (
            os.path.join(tmp, name) for name in ("", "src", "working", "keys", "dist", "scratch"))
        os.mkdir(cls.scratch)  # where the releases build
        # The caller's signing, publishing and other release variables play no part.
        cls.env = {name: value for name, value in os.environ.items()
                   if not name.startswith("KAVO_") and name != "SOURCE_DATE_EPOCH"}
        cls.env.update(TMPDIR=cls.scratch, KAVO_DIST=cls.dist)
        # src: the commit, 17.8.0.9; working: a clone, 17.9.0.0 not committed; elsewhere: a clone
        # at a commit on, 17.8.1.0. Each with an untracked links/site_values.h of another host.
        shutil.copytree(ROOT, cls.src, symlinks=True, ignore=lambda folder, names: (
            {"build", "dist", ".git"} & set(names) if folder == ROOT else ()))
        set_version(cls.src, "17.8.0.9")
        header = re.sub("@KAVO_SITE_[A-Z_]+@", "shadow.invalid",
                        Path(ROOT, "links", "site_values.h.in").read_text(encoding="utf-8"))
        git = ("git", "-c", "user.name=Kavo", "-c", "user.email=kavo@example.invalid")
        for args in ("init",), ("add", "-A"), ("commit", "-m", "c"), ("clone", ".", cls.working):
            run(*git, *args, cwd=cls.src, stderr=subprocess.DEVNULL)
        run("git", "clone", "-q", ".", "../elsewhere", cwd=cls.src)
        set_version(cls.tmp + "elsewhere", "17.8.1.0")
        run(*git, "commit", "-qam", "d", cwd=cls.tmp + "elsewhere")
        write(cls.tmp + "elsewhere/links/site_values.h", header)
        set_version(cls.working, "17.9.0.0")
        for src in cls.src, cls.working:
            write(os.path.join(src, "links", "site_values.h"), header)
        for password in "right", "wrong":
            write(os.path.join(cls.keys, password), password + "\n")
        for usage in "codeSigning", "serverAuth":
            key = os.path.join(cls.keys, usage)
            run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                f"/CN=Kavo test {usage}", "-addext", f"extendedKeyUsage={usage}",
                "-keyout", key + ".key", "-out", key + ".crt", stderr=subprocess.DEVNULL)
            run("openssl", "pkcs12", "-export", "-in", key + ".crt", "-inkey", key + ".key",
                "-passout", "pass:right", "-out", key + ".p12")
        # What the cases start from: an earlier version's zip, listed, and one this one replaces.
        cls.before, old = os.path.join(tmp, "before"), hashlib.sha256(b"old\n").hexdigest()
        for name, text in (("kavo-1.0.0.0-win64.zip", "old\n"), (COMMITTED, "earlier\n"),
                           ("SHA256SUMS", f"{old}  kavo-1.0.0.0-win64.zip\n")):
            write(os.path.join(cls.before, name), text)
        info = {"commit": "f" * 40, **release.toolchain(), "g++-mingw-w64-x86-64-posix": "0.1"}
        for name, more in ("elsewhere", ""), ("dirty", "uncommitted=a source with\n"):
            with zipfile.ZipFile(os.path.join(cls.before, f"{name}.zip"), "w") as archive:
                archive.writestr("kavo.exe", b"MZ")
                archive.writestr("BUILD-INFO.txt", "".join(f"{k}={v}\n" for k, v in info.items())
                                 + more + "".join(f"{k}=a.example\n" for k in release.VALUES))
        with concurrent.futures.ThreadPoolExecutor(4) as pool:  # the cases beside the releases
            cases = [pool.submit(cls.case, *row) for row in cls.REFUSALS]
            hung_up = pool.submit(cls.hang_up)
            cls.release_two_at_once()
            cls.refusals, cls.hung_up = [case.result() for case in cases], hung_up.result()

    @classmethod
    def release_two_at_once(cls):
        shutil.copytree(cls.before, cls.dist)
        write(os.path.join(cls.dist, "manifests", "1.0.0.0", "scoop", "kavo.json"), "kept\n")
        write(os.path.join(cls.dist, "manifests", "17.8.0.9", "scoop", "kavo.json"), "earlier\n")
        first = cls.release(cls.src, cwd=cls.keys, wait=False, KAVO_DIST="../dist",  # relative
                            KAVO_REPLACE_RELEASE="1", KAVO_ALLOW_PLACEHOLDERS="1",
                            KAVO_SIGN_PKCS12="codeSigning.p12", KAVO_SIGN_PASSWORD_FILE="right",
                            KAVO_RELEASE_URL=URL, KAVO_PACKAGE_ID=PACKAGE)
        cls.wait_for(lambda: subprocess.run(["flock", "-n", cls.dist, "true"]).returncode == 1,
                     first, "the first release holding its output folder")
        second = cls.release(cls.working, "-DKAVO_AUTHOR_NAME=Other",
                             "-DKAVO_AUTHOR_HOME_PAGE=https://other.example/", wait=False,
                             KAVO_ALLOW_DIRTY="1", KAVO_ALLOW_PLACEHOLDERS="1")
        cls.wait_for(lambda: "waiting" in Path(second.out).read_text(), second, "the 2nd waiting")
        first.wait()
        # Checked alone from a clone at another commit, while the second builds.
        cls.check = cls.release(cls.tmp + "elsewhere", "check", f"dist/{COMMITTED}", cwd=cls.tmp)
        second.wait()
        cls.first, cls.second = ((p.returncode, Path(p.out).read_text()) for p in (first, second))

    @classmethod
    def release(cls, src, *args, cwd=None, wait=True, **env):
        """src's scripts/release.py: its exit status and output, or the process not waited for."""
        out = tempfile.NamedTemporaryFile(dir=cls.tmp, delete=False)
        process = subprocess.Popen([os.path.join(src, "scripts", "release.py"), *args], cwd=cwd,
                                   env={**cls.env, **env}, stdout=out, stderr=subprocess.STDOUT,
                                   start_new_session=True)
        process.out = out.name
        return (process.wait(), Path(out.name).read_text()) if wait else process

    @staticmethod
    def wait_for(condition, process, what):
        deadline = time.monotonic() + 60
        while not condition():
            if process.poll() is not None or time.monotonic() > deadline:
                raise AssertionError(f"no sign of {what}:\n{Path(process.out).read_text()}")
            time.sleep(0.05)

    @classmethod
    def case(cls, message, env, args, change=":"):
        """A release in a folder of its own (dist: a copy of the one the releases start from, src,
        keys, tmp for its build); its exit status and output, and the folder before and after."""
        case = tempfile.mkdtemp(dir=cls.tmp)
        shutil.copytree(cls.before, os.path.join(case, "dist"))
        os.mkdir(os.path.join(case, "tmp"))
        os.symlink(cls.keys, os.path.join(case, "keys"))
        src = os.path.join(case, "src")
        if change.startswith("echo >>src"):  # a change to the sources: in a clone of its own
            run("git", "clone", "-q", cls.src, src)
        else:
            os.symlink(cls.src, src)
        run("sh", "-ec", change, cwd=case)
        before = snapshot(case)
        status, said = cls.release(src, *args, cwd=case, TMPDIR=f"{case}/tmp",
                                   **{"KAVO_DIST": "dist", **env})
        return status, said, before, snapshot(case)

    @classmethod
    def hang_up(cls):
        """A release whose terminal closes while it builds: its processes, and what it made, go."""
        case = tempfile.mkdtemp(dir=cls.tmp)
        process = cls.release(cls.src, cwd=case, wait=False, TMPDIR=case, KAVO_DIST="new/dist",
                              KAVO_ALLOW_PLACEHOLDERS="1")
        cls.wait_for(lambda: glob.glob(f"{case}/kavo-release.*/build/Makefile") and "cc1plus" in
                     session(process.pid), process, "a compiler at work")
        process.send_signal(signal.SIGHUP)
        process.wait()
        for _ in range(100):  # what it killed may take a moment to go
            if not (left := session(process.pid)):
                return left, os.listdir(case)
            time.sleep(0.1)
        return left, os.listdir(case)

    def test_two_releases_at_once(self):
        self.assertEqual((self.first[0], self.second[0]), (0, 0), self.first[1] + self.second[1])
        self.assertEqual(run("sha256sum", "-c", "SHA256SUMS", cwd=self.dist),
                         f"kavo-1.0.0.0-win64.zip: OK\n{COMMITTED}: OK\n{WORKING}: OK\n")
        self.assertIn(f"release: waiting for the release in progress in {self.dist}", self.second[1])
        self.assertEqual(os.listdir(self.scratch), [])  # every run removed its build folder

    def build_info(self, zip_path):
        return zipped(zip_path, "BUILD-INFO.txt").decode("utf-8").replace("\r\n", "\n")

    def test_working_tree_release(self):
        self.assertRegex(self.second[1], r"(?s)built from a source with uncommitted changes to "
                         r"tracked files \(CMakeLists.txt\) and untracked files \(links/site_value"
                         r"s.h\).*KAVO_AUTHOR_NAME=Other.*\(KAVO_ALLOW_PLACEHOLDERS=1\): "
                         "KAVO_SITE_ONE_DOMAIN .* KAVO_AUTHOR_HOME_PAGE name")
        zip_path = os.path.join(self.dist, WORKING)
        self.assertIn("shadow.invalid", built_in(zip_path))
        self.assertEqual([text for text in built_in(zip_path) if text != "shadow.invalid"],
                         ["Other", "Other", "https://other.example/"])
        self.assertTrue(zipped(zip_path, "README.txt").startswith(b"Kavo 17.9\r\n=========\r\n"))
        self.assertIn("\nuncommitted=a source with uncommitted changes to tracked files "
                      "(CMakeLists.txt) and untracked files (links/site_values.h)\n",
                      self.build_info(zip_path))
        # Fixed times (the commit's), modes and order: the same commit gives the same zip.
        at = int(run("git", "log", "-1", "--format=%ct", cwd=self.working))
        with zipfile.ZipFile(zip_path) as archive:
            entries = [(e.filename, e.external_attr >> 16, e.date_time) for e in archive.infolist()]
        self.assertEqual(entries, [(name, 0o100644 | (name == "kavo.exe") * 0o111,
                                    time.gmtime(at - at % 2)[:6]) for name in (
            "kavo.exe", "README.txt", "LICENSE.txt", "THIRD-PARTY-NOTICES.txt", "BUILD-INFO.txt")])

    def test_commit_release(self):
        self.assertIn("built from commit ", self.first[1])
        self.assertIn(f"in place of the earlier {COMMITTED} (KAVO_REPLACE_RELEASE=1)",
                      self.first[1])
        zip_path = os.path.join(self.dist, COMMITTED)
        self.assertEqual(built_in(zip_path), ["http://kavo.example/"])  # no untracked header
        commit = run("git", "log", "-1", "--format=%H %ct", cwd=self.src).split()
        info = self.build_info(zip_path)
        for line in (f"commit={commit[0]}", f"SOURCE_DATE_EPOCH={commit[1]}",
                     "KAVO_AUTHOR_HOME_PAGE=http://kavo.example/",
                     *(f"{name}={value}" for name, value in release.toolchain().items())):
            self.assertIn(f"\n{line}\n", info)
        self.assertNotIn("uncommitted", info)
        notices = zipped(zip_path, "THIRD-PARTY-NOTICES.txt").decode("utf-8").replace("\r", "")
        winpthreads = notices[notices.index("\nwinpthreads"):]
        self.assertIn("The above copyright notice and this permission notice shall be",
                      winpthreads[:winpthreads.index("\n-----")])
        with tempfile.NamedTemporaryFile(suffix=".exe") as exe:
            Path(exe.name).write_bytes(zipped(zip_path))
            verified = run("osslsigncode", "verify", "-CAfile", f"{self.keys}/codeSigning.crt",
                           "-in", exe.name)
        self.assertIn("Signature verification: ok", verified)
        self.assertEqual(self.check[0], 0, self.check[1])
        self.assertIn(f"check: identical to a rebuild of commit {commit[0]} ", self.check[1])
        self.assertNotIn("another toolchain", self.check[1])

    def test_manifests(self):
        url, sha256 = URL + COMMITTED, snapshot(self.dist)[Path(self.dist, COMMITTED)]
        folder = Path(self.dist, "manifests", "17.8.0.9")  # the earlier one replaced, as its zip
        winget = [yaml.safe_load(Path(folder, "winget", f"{PACKAGE}{part}.yaml").read_bytes())
                  for part in ("", ".installer", ".locale.bg-BG")]
        scoop = json.loads(Path(folder, "scoop", "kavo.json").read_bytes())
        installer = winget[1]["Installers"][0]
        self.assertEqual({(m["PackageIdentifier"], m["PackageVersion"]) for m in winget}
                         | {(installer["InstallerUrl"], installer["InstallerSha256"].lower())},
                         {(PACKAGE, "17.8.0.9"), (url, sha256)})
        self.assertEqual((scoop["version"], scoop["architecture"]["64bit"]),
                         ("17.8.0.9", {"url": url, "hash": sha256}))
        self.assertEqual(sorted(os.listdir(Path(self.dist, "manifests"))), ["1.0.0.0", "17.8.0.9"])
        self.assertEqual(Path(self.dist, "manifests/1.0.0.0/scoop/kavo.json").read_text(), "kept\n")

    def signed(pkcs12, password, **env):
        return {"KAVO_SIGN_PKCS12": f"keys/{pkcs12}", "KAVO_SIGN_PASSWORD_FILE": f"keys/{password}",
                **env}

    # What the output says, the environment, the arguments, and a command run first in the case's
    # folder: dist (a copy of the one the releases start from; new/dist is made, and goes), src,
    # keys. A change to src is made in a clone of its own.
    PLACEHOLDERS = {"KAVO_ALLOW_PLACEHOLDERS": "1"}
    REFUSALS = [
        ("/release.py check kavo-VERSION-win64.zip", {}, ["check"]),  # the usage
        ("/release.py check kavo-VERSION-win64.zip", {}, ["check", "x.zip", "-DKAVO_A=b"]),
        ("takes no variable named CMAKE_BUILD_TYPE:", {}, ["-DCMAKE_BUILD_TYPE=Debug"]),
        (f"{COMMITTED} is there already, with other bytes", PLACEHOLDERS, []),
        ("KAVO_SIGN_PKCS12: no such file", signed("missing.p12", "right"), []),
        ("KAVO_SIGN_PASSWORD_FILE: no such file", signed("codeSigning.p12", "missing"), []),
        ("cannot be opened with the password", signed("codeSigning.p12", "wrong"), []),
        ("not for code signing", signed("serverAuth.p12", "right"), []),
        ("sign only with KAVO_SIGN_PKCS12", {"KAVO_SIGN_PASSWORD_FILE": "keys/right"}, []),
        ("signing kavo.exe failed", signed("codeSigning.p12", "right", **PLACEHOLDERS,
                                           KAVO_SIGN_TIMESTAMP_URL="http://127.0.0.1:9/",
                                           KAVO_REPLACE_RELEASE="1"), []),
        ("SOURCE_DATE_EPOCH must be seconds since 1970", {"SOURCE_DATE_EPOCH": "1e9"}, []),
        *(("release: KAVO_SITE_ONE_DOMAIN must be a DNS name, not", {}, example)
          for example in examples()),  # pasted as written
        ('KAVO_SITE_ONE_DOMAIN must be a DNS name, not "a..b"\n(a DNS name: two or more dot-'
         "separated labels of 1 to 63 letters, digits and hyphens, none starting or ending with "
         "one, 253 characters at most)", {}, ["-DKAVO_SITE_ONE_DOMAIN=a..b"]),
        ('KAVO_SITE_TWO_MEDIA_HOST must be a DNS name, not "-a.b"', {},
         ["-DKAVO_SITE_TWO_MEDIA_HOST=-a.b"]),
        (f'not "{"x" * 64}.b"', {}, [f"-DKAVO_SITE_TWO_DOMAIN={'x' * 64}.b"]),
        ('KAVO_AUTHOR_HOME_PAGE must be an http(s) address whose host is a DNS name, not '
         '"https://..."', {}, ["-DKAVO_AUTHOR_HOME_PAGE=https://..."]),
        ("takes no variable named KAVO_SITE_ONE_DOMIAN:", {}, ["-DKAVO_SITE_ONE_DOMIAN=a.org"]),
        ("release: KAVO_SITE_ONE_DOMAIN KAVO_SITE_ONE_MEDIA_HOST KAVO_SITE_TWO_MEDIA_HOST still",
         {"KAVO_DIST": "new/dist"},
         ["-DKAVO_SITE_TWO_DOMAIN=b.org", "-DKAVO_AUTHOR_HOME_PAGE=http://me@b.org:8/"]),
        ("KAVO_RELEASE_URL must", {"KAVO_RELEASE_URL": "http://a/", "KAVO_PACKAGE_ID": "A.B"}, []),
        ("KAVO_PACKAGE_ID must be", {"KAVO_RELEASE_URL": URL, "KAVO_PACKAGE_ID": "Kavo"}, []),
        ("uncommitted changes to tracked files (LICENSE)", {}, [], "echo >>src/LICENSE"),
        ("SHA256SUMS lists kavo-1.0.0.0-win64.zip", {}, [], "echo >dist/kavo-1.0.0.0-win64.zip"),
        ("was built from a source with, which no commit holds", {}, ["check", "dist/dirty.zip"]),
        ("check: the release was built with another toolchain, a likely reason for any difference:"
         " g++-mingw-w64-x86-64-posix 0.1 there, ", {}, ["check", "dist/elsewhere.zip"]),
        (f"does not have commit {'f' * 40}, which", {}, ["check", "dist/elsewhere.zip"]),
    ]

    def test_refusals(self):
        for (message, *row), (status, said, before, after) in zip(self.REFUSALS, self.refusals):
            with self.subTest(message, row=row):
                self.assertNotEqual(status, 0)
                self.assertIn(message, said)
                self.assertEqual(after, before)  # nor is its build folder left

    def test_hang_up_mid_build(self):
        self.assertEqual(self.hung_up, ([], []))

    def test_unknown_archive_stops_the_notices(self):  # an import library's stubs need none
        with tempfile.TemporaryDirectory() as folder:
            write(f"{folder}/map", "Linker script and memory map\n .text 0x1 0x8 /libnew.a(n.o)\n"
                  " .text 0x1 0x8 /libdll.a(s.o)\n .idata$5 0x1 0x8 /libdll.a(s.o)\n")
            notices = subprocess.run([f"{ROOT}/scripts/third_party_notices.py", f"{folder}/map",
                                      f"{folder}/out"], stderr=subprocess.PIPE, text=True)
        self.assertRegex(notices.stderr, "^third_party_notices: libnew.a put code into kavo.exe")


class MoveIntoPlace(unittest.TestCase):  # the last step: all of it, or none
    def test_a_failure_at_any_step_leaves_the_folder_as_it_was(self):
        with tempfile.TemporaryDirectory() as folder:
            for name in "stage/zip", "stage/sums", "stage/m/v/x", "dist/zip", "dist/old/x", "dist/sums":
                write(f"{folder}/{name}", name)
            moves = [(new and f"{folder}/stage/{new}", f"{folder}/dist/{target}") for new, target
                     in (("zip", "zip"), ("m/v", "m/v"), (None, "old"), ("sums", "sums"))]
            before, steps = snapshot(f"{folder}/dist"), []

            def failing(real):
                def step(*args):
                    steps.append(args)
                    if len(steps) == fail:
                        raise PermissionError(13, "Permission denied", args[0])
                    return real(*args)
                return step
            for fail in range(1, 9):  # each of the 7 renames and folders made; then none
                steps.clear()
                with self.subTest(fail=fail), mock.patch("os.rename", failing(os.rename)), \
                        mock.patch("os.mkdir", failing(os.mkdir)):
                    if fail == 8:
                        release.move_into_place(f"{folder}/stage", moves)
                        continue
                    with self.assertRaisesRegex(release.Refusal, "Permission denied: .*as it was$"):
                        release.move_into_place(f"{folder}/stage", moves)
                    self.assertEqual(snapshot(f"{folder}/dist"), before)
            self.assertEqual(sorted(os.listdir(f"{folder}/dist")), ["m", "sums", "zip"])
            self.assertEqual(Path(folder, "dist/m/v/x").read_text(), "stage/m/v/x")


class RebuildDifference(unittest.TestCase):  # signing may change the checksum and pad the end
    def test_only_the_checksum_and_up_to_seven_zero_bytes_may_differ(self):
        # A PE file's headers (CheckSum at 152) and one section, .text, 64 bytes from 256.
        rebuilt = bytearray(320)
        rebuilt[60:64], rebuilt[64:68], rebuilt[70], rebuilt[84] = b"\x40\0\0\0", b"PE\0\0", 1, 112
        rebuilt[200:208], rebuilt[216:224] = b".text\0\0\0", b"\x40\0\0\0\0\1\0\0"
        rebuilt = bytes(rebuilt)
        signed = rebuilt[:152] + b"SUMS" + rebuilt[156:]
        for released, verdict in ((rebuilt, ""), (signed + bytes(7), ""),
                                  (signed + bytes(8), "not the rebuilt one plus a signature"),
                                  (signed + b"\1", "not the rebuilt one plus a signature"),
                                  (signed[:300] + b"?" + signed[301:], "byte 301 of the released "
                                   "kavo.exe differs from the rebuild's, in section .text"),
                                  (signed[:100] + b"?" + signed[101:], "byte 101 of the released "
                                   "kavo.exe differs from the rebuild's, in the headers")):
            difference = release.rebuild_difference(rebuilt, released)
            self.assertEqual(bool(verdict), bool(difference))
            self.assertIn(verdict, difference)


if __name__ == "__main__":
    unittest.main(verbosity=2)
