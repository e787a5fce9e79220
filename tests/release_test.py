#!/usr/bin/python3
"""Releases from a committed copy of this tree, two at once into one folder: the working tree's
(other values, an untracked header that shadows a generated one) and, waiting for it, the commit's,
signed, with manifests, then checked against a rebuild. Each input that stops a release."""
import hashlib
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile
from pathlib import Path

import yaml

ROOT = os.path.dirname(os.path.dirname(os.path.realpath(__file__)))

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


class ReleaseTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        tmp = tempfile.mkdtemp(prefix="kavo-release-test.")
        cls.addClassCleanup(shutil.rmtree, tmp)
        cls.src, cls.working, cls.keys, cls.dist, cls.scratch = (
            os.path.join(tmp, name) for name in ("src", "working", "keys", "dist", "scratch"))
        os.mkdir(cls.scratch)  # where the releases build
        # The caller's signing, publishing and other release variables play no part.
        cls.env = {name: value for name, value in os.environ.items()
                   if not name.startswith("KAVO_") and name != "SOURCE_DATE_EPOCH"}
        cls.env.update(TMPDIR=cls.scratch, KAVO_DIST=cls.dist)
        # src: the commit, 17.8.0.9; working: a clone, 17.9.0.0 not committed. Both with an
        # untracked links/site_values.h of another host.
        shutil.copytree(ROOT, cls.src, symlinks=True, ignore=lambda folder, names: (
            {"build", "dist", ".git"} & set(names) if folder == ROOT else ()))
        set_version(cls.src, "17.8.0.9")
        for args in ("init",), ("add", "-A"), ("commit", "-m", "c"), ("clone", ".", cls.working):
            run("git", "-c", "user.name=Kavo", "-c", "user.email=kavo@example.invalid", *args,
                cwd=cls.src, stderr=subprocess.DEVNULL)
        set_version(cls.working, "17.9.0.0")
        header = re.sub("@KAVO_SITE_[A-Z_]+@", "shadow.invalid",
                        Path(ROOT, "links", "site_values.h.in").read_text(encoding="utf-8"))
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
        cls.release_two_at_once()
        cls.check = cls.release(cls.src, "check", os.path.join(cls.dist, COMMITTED),
                                KAVO_SIGN_PASSWORD_FILE=os.path.join(cls.keys, "right"))

    @classmethod
    def release_two_at_once(cls):
        write(os.path.join(cls.dist, "manifests", "scoop", "kavo.json"), "")  # an earlier zip's
        write(os.path.join(cls.dist, "manifests", ".kavo-release"),
              hashlib.sha256(b"").hexdigest() + "  scoop/kavo.json\n")
        write(os.path.join(cls.dist, "kavo-1.0.0.0-win64.zip"), "old\n")  # an earlier version's
        write(os.path.join(cls.dist, COMMITTED), "earlier\n")  # replaced
        first = cls.release(cls.working, "-DKAVO_AUTHOR_NAME=Other",
                            "-DKAVO_AUTHOR_HOME_PAGE=https://other.example/", wait=False,
                            KAVO_ALLOW_DIRTY="1", KAVO_ALLOW_PLACEHOLDERS="1")
        cls.wait_for(lambda: subprocess.run(["flock", "-n", cls.dist, "true"]).returncode == 1,
                     first, "the first release holding its output folder")
        second = cls.release(cls.src, cwd=cls.keys, wait=False, KAVO_DIST="../dist",  # relative
                             KAVO_REPLACE_RELEASE="1", KAVO_ALLOW_PLACEHOLDERS="1",
                             KAVO_SIGN_PKCS12="codeSigning.p12", KAVO_SIGN_PASSWORD_FILE="right",
                             KAVO_RELEASE_URL=URL, KAVO_PACKAGE_ID=PACKAGE)
        cls.wait_for(lambda: "waiting" in Path(second.out).read_text(), second, "the 2nd waiting")
        os.kill(second.pid, signal.SIGSTOP)  # until the first has ended and the folder been seen
        try:
            first.wait()
            cls.manifests_after_first = os.path.lexists(os.path.join(cls.dist, "manifests"))
        finally:
            os.kill(second.pid, signal.SIGCONT)
            second.wait()
        cls.first, cls.second = ((p.returncode, Path(p.out).read_text()) for p in (first, second))

    @classmethod
    def release(cls, src, *args, cwd=None, wait=True, **env):
        """src's scripts/release.py: its exit status and output, or the process not waited for."""
        out = tempfile.NamedTemporaryFile(dir=os.path.dirname(cls.dist), delete=False)
        process = subprocess.Popen([os.path.join(src, "scripts", "release.py"), *args], cwd=cwd,
                                   env={**cls.env, **env}, stdout=out, stderr=subprocess.STDOUT)
        process.out = out.name
        return (process.wait(), Path(out.name).read_text()) if wait else process

    @staticmethod
    def wait_for(condition, process, what):
        deadline = time.monotonic() + 60
        while not condition():
            if process.poll() is not None or time.monotonic() > deadline:
                raise AssertionError(f"no sign of {what}:\n{Path(process.out).read_text()}")
            time.sleep(0.05)

    def test_two_releases_at_once(self):
        self.assertEqual((self.first[0], self.second[0]), (0, 0), self.first[1] + self.second[1])
        self.assertEqual(run("sha256sum", "-c", "SHA256SUMS", cwd=self.dist),
                         f"kavo-1.0.0.0-win64.zip: OK\n{COMMITTED}: OK\n{WORKING}: OK\n")
        self.assertIn(f"release: waiting for the release in progress in {self.keys}/../dist",
                      self.second[1])
        self.assertEqual(os.listdir(self.scratch), [])  # every run removed its build folder

    def test_working_tree_release(self):
        self.assertRegex(self.first[1], r"(?s)built from a source with uncommitted changes to "
                         r"tracked files \(CMakeLists.txt\) and untracked files \(links/site_value"
                         r"s.h\).*KAVO_AUTHOR_NAME=Other.*\(KAVO_ALLOW_PLACEHOLDERS=1\): "
                         "KAVO_SITE_ONE_DOMAIN .* KAVO_AUTHOR_HOME_PAGE name")
        zip_path = os.path.join(self.dist, WORKING)
        self.assertIn("shadow.invalid", built_in(zip_path))
        self.assertEqual([text for text in built_in(zip_path) if text != "shadow.invalid"],
                         ["Other", "Other", "https://other.example/"])
        self.assertTrue(zipped(zip_path, "README.txt").startswith(b"Kavo 17.9\r\n=========\r\n"))
        # Fixed times (the commit's), modes and order: the same commit gives the same zip.
        at = int(run("git", "log", "-1", "--format=%ct", cwd=self.working))
        with zipfile.ZipFile(zip_path) as archive:
            entries = [(e.filename, e.external_attr >> 16, e.date_time) for e in archive.infolist()]
        self.assertEqual(entries, [(name, 0o100644 | (name == "kavo.exe") * 0o111,
                                    time.gmtime(at - at % 2)[:6]) for name in (
            "kavo.exe", "README.txt", "LICENSE.txt", "THIRD-PARTY-NOTICES.txt")])
        self.assertFalse(self.manifests_after_first)  # none asked: the earlier ones went

    def test_commit_release(self):
        self.assertIn(f"built from commit ", self.second[1])
        self.assertIn(f"in place of the earlier {COMMITTED} (KAVO_REPLACE_RELEASE=1)",
                      self.second[1])
        zip_path = os.path.join(self.dist, COMMITTED)
        self.assertEqual(built_in(zip_path), ["http://kavo.example/"])  # no untracked header
        notices = zipped(zip_path, "THIRD-PARTY-NOTICES.txt").decode("utf-8").replace("\r", "")
        winpthreads = notices[notices.index("\nwinpthreads"):]
        self.assertIn("The above copyright notice and this permission notice shall be",
                      winpthreads[:winpthreads.index("\n-----")])
        with tempfile.NamedTemporaryFile(suffix=".exe") as exe:
            Path(exe.name).write_bytes(zipped(zip_path))
            verified = run("osslsigncode", "verify", "-CAfile", f"{self.keys}/codeSigning.crt",
                           "-in", exe.name)
        self.assertIn("Signature verification: ok", verified)
        self.assertEqual(self.check[0], 0, self.check[1])  # the caller's signing variable aside
        self.assertIn("check: identical to a rebuild of commit ", self.check[1])

    def test_manifests(self):
        url, sha256 = URL + COMMITTED, snapshot(self.dist)[Path(self.dist, COMMITTED)]
        folder = Path(self.dist, "manifests")
        winget = [yaml.safe_load(Path(folder, "winget", f"{PACKAGE}{part}.yaml").read_bytes())
                  for part in ("", ".installer", ".locale.bg-BG")]
        scoop = json.loads(Path(folder, "scoop", "kavo.json").read_bytes())
        installer = winget[1]["Installers"][0]
        self.assertEqual({(m["PackageIdentifier"], m["PackageVersion"]) for m in winget}
                         | {(installer["InstallerUrl"], installer["InstallerSha256"].lower())},
                         {(PACKAGE, "17.8.0.9"), (url, sha256)})
        self.assertEqual((scoop["version"], scoop["architecture"]["64bit"]),
                         ("17.8.0.9", {"url": url, "hash": sha256}))

    def signed(pkcs12, password, **env):
        return {"KAVO_SIGN_PKCS12": f"keys/{pkcs12}", "KAVO_SIGN_PASSWORD_FILE": f"keys/{password}",
                **env}

    # What the output says, the environment, the -D arguments, and a command run first in the
    # case's folder: dist (a copy of the one released; new/dist is made, and goes), src, keys.
    PLACEHOLDERS, MANIFESTS = {"KAVO_ALLOW_PLACEHOLDERS": "1"}, "manifests holds files no release"
    REFUSALS = [
        ("/release.py check RELEASE [-DKAVO_VARIABLE=VALUE ...]", {}, ["check"]),  # the usage
        ("takes no variable named CMAKE_BUILD_TYPE:", {}, ["-DCMAKE_BUILD_TYPE=Debug"]),
        (f"{COMMITTED} is there already, with other bytes", PLACEHOLDERS, []),
        ("KAVO_SIGN_PKCS12: no such file", signed("missing.p12", "right"), []),
        ("KAVO_SIGN_PASSWORD_FILE: no such file", signed("codeSigning.p12", "missing"), []),
        ("cannot be opened with the password", signed("codeSigning.p12", "wrong"), []),
        ("not for code signing", signed("serverAuth.p12", "right"), []),
        ("sign only with KAVO_SIGN_PKCS12", {"KAVO_SIGN_PASSWORD_FILE": "keys/right"}, []),
        ("signing kavo.exe failed", signed("codeSigning.p12", "right", **PLACEHOLDERS,
                                           KAVO_SIGN_TIMESTAMP_URL="http://127.0.0.1:9/"), []),
        ("SOURCE_DATE_EPOCH must be seconds since 1970", {"SOURCE_DATE_EPOCH": "1e9"}, []),
        ("KAVO_SITE_ONE_DOMAIN must be a plain host name", {}, ["-DKAVO_SITE_ONE_DOMAIN=no/such"]),
        ("takes no variable named KAVO_SITE_ONE_DOMIAN:", {}, ["-DKAVO_SITE_ONE_DOMIAN=a.org"]),
        ("release: KAVO_SITE_ONE_DOMAIN KAVO_SITE_ONE_MEDIA_HOST KAVO_SITE_TWO_MEDIA_HOST still",
         {"KAVO_DIST": "new/dist"},
         ["-DKAVO_SITE_TWO_DOMAIN=b.org", "-DKAVO_AUTHOR_HOME_PAGE=http://me@b.org:8/"]),
        ("KAVO_RELEASE_URL must", {"KAVO_RELEASE_URL": "http://a/", "KAVO_PACKAGE_ID": "A.B"}, []),
        ("KAVO_PACKAGE_ID must be", {"KAVO_RELEASE_URL": URL, "KAVO_PACKAGE_ID": "Kavo"}, []),
        ("uncommitted changes to tracked files (LICENSE)", {}, [], "echo >>src/LICENSE"),
        (MANIFESTS, {}, [], "mkdir dist/manifests/k"),  # someone's own files beside a release's
        (MANIFESTS, {}, [], ">dist/manifests/winget/list.yaml"),
        (MANIFESTS, {}, [], "echo >>dist/manifests/scoop/kavo.json"),  # or these changed
        ("SHA256SUMS lists kavo-1.0.0.0-win64.zip", {}, [], "echo >dist/kavo-1.0.0.0-win64.zip"),
    ]

    def test_refusals(self):
        for message, env, args, *change in self.REFUSALS:
            with self.subTest(message, change=change), tempfile.TemporaryDirectory() as case:
                shutil.copytree(self.dist, os.path.join(case, "dist"), symlinks=True)
                os.symlink(self.src, os.path.join(case, "src"))
                os.symlink(self.keys, os.path.join(case, "keys"))
                try:
                    run("sh", "-ec", change[0] if change else ":", cwd=case)
                    before = snapshot(case)
                    status, said = self.release(self.src, *args, cwd=case,
                                                **{"KAVO_DIST": "dist", **env})
                finally:
                    run("git", "checkout", "-q", "--", ".", cwd=self.src)
                self.assertNotEqual(status, 0)
                self.assertIn(message, said)
                self.assertEqual(snapshot(case), before)
                self.assertEqual(os.listdir(self.scratch), [])  # nor is its build folder left

    def test_unknown_archive_stops_the_notices(self):  # an import library's stubs need none
        with tempfile.TemporaryDirectory() as folder:
            write(f"{folder}/map", "Linker script and memory map\n .text 0x1 0x8 /libnew.a(n.o)\n"
                  " .text 0x1 0x8 /libdll.a(s.o)\n .idata$5 0x1 0x8 /libdll.a(s.o)\n")
            notices = subprocess.run([f"{ROOT}/scripts/third_party_notices.py", f"{folder}/map",
                                      f"{folder}/out"], stderr=subprocess.PIPE, text=True)
        self.assertRegex(notices.stderr, "^third_party_notices: libnew.a put code into kavo.exe")


class RebuildDifference(unittest.TestCase):  # signing may change the checksum and pad the end
    def test_only_the_checksum_and_up_to_seven_zero_bytes_may_differ(self):
        sys.path.insert(0, f"{ROOT}/scripts")
        import release  # pylint: disable=import-outside-toplevel
        rebuilt = bytes(60) + (64).to_bytes(4, "little") + bytes(range(256))  # CheckSum at 152
        signed = rebuilt[:152] + b"SUMS" + rebuilt[156:]
        for released, verdict in ((rebuilt, ""), (signed + bytes(7), ""),
                                  (signed + bytes(8), "not the rebuilt one plus a signature"),
                                  (signed + b"\1", "not the rebuilt one plus a signature"),
                                  (signed[:200] + b"?" + signed[201:], "byte 201 of the released")):
            difference = release.rebuild_difference(rebuilt, released)
            self.assertEqual(bool(verdict), bool(difference))
            self.assertIn(verdict, difference)


if __name__ == "__main__":
    unittest.main(verbosity=2)
