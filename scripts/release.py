#!/usr/bin/python3
"""Builds Kavo's release, or checks a release against a rebuild.

    scripts/release.py [-DKAVO_VARIABLE=VALUE ...]
    scripts/release.py check RELEASE [-DKAVO_VARIABLE=VALUE ...]

The release writes kavo-VERSION-win64.zip (kavo.exe, the read-me, the licence, the notices of the
libraries linked in) and SHA256SUMS, which lists every release zip there, into dist/ or the folder
KAVO_DIST names; with KAVO_RELEASE_URL and KAVO_PACKAGE_ID, winget's and Scoop's manifests too, in
manifests/, with the .kavo-release record of what it wrote there. The -D values go to CMake: the
real site and author values. It builds exactly the commit checked out (`git archive` of it) in a
new folder of its own; KAVO_ALLOW_DIRTY=1 builds the working tree's files instead, those git ignores
aside, and lists what is not committed. One release at a time writes into an output folder, and
only at the end, in renames, SHA256SUMS last: whatever stops a run leaves the folder as it was.

"check" rebuilds kavo.exe from the same sources, with the -D values the release was built with, and
compares it with RELEASE (the zip or its kavo.exe) less its signature. README.md says more.
"""
import contextlib
import fcntl
import filecmp
import fnmatch
import hashlib
import os
import re
import shutil
import signal
import stat
import subprocess
import sys
import tarfile
import tempfile
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.realpath(__file__)))
USAGE = """usage: {0} [-DKAVO_VARIABLE=VALUE ...]
       {0} check RELEASE [-DKAVO_VARIABLE=VALUE ...]
RELEASE: the release zip or its kavo.exe; then the -D values the release was built with.
Only the site and author values are taken (KAVO_SITE_ONE_DOMAIN, KAVO_SITE_TWO_DOMAIN,
KAVO_SITE_ONE_MEDIA_HOST, KAVO_SITE_TWO_MEDIA_HOST, KAVO_AUTHOR_NAME, KAVO_AUTHOR_HOME_PAGE): how
a release is built is the release's own."""

VALUES = ("KAVO_SITE_ONE_DOMAIN", "KAVO_SITE_TWO_DOMAIN", "KAVO_SITE_ONE_MEDIA_HOST",
          "KAVO_SITE_TWO_MEDIA_HOST", "KAVO_AUTHOR_NAME", "KAVO_AUTHOR_HOME_PAGE")
# The host of an address (or the value itself), and the reserved name the defaults use.
HOST = re.compile(r"https?://(?:[^/?#]*@)?([^/?#:]*)")
PLACEHOLDER = re.compile(r"(^|\.)example\.?$")
# The zip's files in the zip's order, with the modes it stores (not the umask's).
ZIP_FILES = {"kavo.exe": 0o755, "README.txt": 0o644, "LICENSE.txt": 0o644,
             "THIRD-PARTY-NOTICES.txt": 0o644}
ZIP_NAMES = "kavo-*-win64.zip"
RECORD = ".kavo-release"
EARLIEST, LATEST = 315532800, 4354819199  # the times a zip entry can hold: 1980 to 2107
NO_COMMIT_EPOCH = 1767225600


class Refusal(Exception):
    """What stops a run, said to the user."""


def run(args, input=None, check=True, **options):
    """Runs a program in a process group of its own; stopped meanwhile, ends that group."""
    stdin = subprocess.DEVNULL if input is None else subprocess.PIPE
    with subprocess.Popen(args, stdin=stdin, process_group=0, text=True, **options) as process:
        try:
            out, _ = process.communicate(input)
        except BaseException:
            with contextlib.suppress(ProcessLookupError):
                os.killpg(process.pid, signal.SIGKILL)
            raise
    if check and process.returncode:
        raise Refusal(f"{' '.join(args[:2])} failed (exit {process.returncode})")
    return subprocess.CompletedProcess(args, process.returncode, out)


def output_of(*args):
    return run(args, stdout=subprocess.PIPE).stdout


def caller_path(variable):
    """A path from the environment, read from the caller's folder; '' when not set."""
    value = os.environ.get(variable, "")
    return (os.path.join(os.getcwd(), value).rstrip("/") or "/") if value else ""


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.file_digest(f, "sha256").hexdigest()


# The inputs, each checked before anything is built.

def signing_inputs():
    """The PKCS#12 file and its password file, or None not to sign."""
    pkcs12, password = caller_path("KAVO_SIGN_PKCS12"), caller_path("KAVO_SIGN_PASSWORD_FILE")
    if not pkcs12:
        if password or os.environ.get("KAVO_SIGN_TIMESTAMP_URL"):
            raise Refusal("KAVO_SIGN_PASSWORD_FILE and KAVO_SIGN_TIMESTAMP_URL sign only with "
                          "KAVO_SIGN_PKCS12: set it too, or unset them")
        return None
    if not os.path.isfile(pkcs12):
        raise Refusal(f"KAVO_SIGN_PKCS12: no such file: {pkcs12}")
    if not os.path.isfile(password):
        raise Refusal(f"KAVO_SIGN_PASSWORD_FILE: no such file: {password or '(not set)'}")
    usage = run(["openssl", "x509", "-noout", "-ext", "extendedKeyUsage"],
                certificate(pkcs12, password), check=False, stdout=subprocess.PIPE,
                stderr=subprocess.DEVNULL).stdout
    if "Code Signing" not in usage:
        raise Refusal("KAVO_SIGN_PKCS12: the certificate is not for code signing "
                      "(no Code Signing extended key usage)")
    return pkcs12, password


def certificate(pkcs12, password):
    for legacy in [], ["-legacy"]:  # older PKCS#12 files need OpenSSL 3's legacy algorithms
        opened = run(["openssl", "pkcs12", *legacy, "-in", pkcs12, "-passin", f"file:{password}",
                      "-nokeys", "-clcerts"], check=False, stdout=subprocess.PIPE,
                     stderr=subprocess.DEVNULL)
        if opened.returncode == 0:
            return opened.stdout
    raise Refusal("KAVO_SIGN_PKCS12: cannot be opened with the password in KAVO_SIGN_PASSWORD_FILE")


def publishing_inputs():
    """The folder address and the winget identifier the manifests are for, or None for none."""
    url, package = os.environ.get("KAVO_RELEASE_URL", ""), os.environ.get("KAVO_PACKAGE_ID", "")
    if not url and not package:
        return None
    if not url or not package:
        raise Refusal("KAVO_RELEASE_URL and KAVO_PACKAGE_ID go together: set both, or neither")
    import package_manifests  # python3-yaml: there once install-deps.sh has run
    if problems := package_manifests.problems(url, package):
        raise Refusal("\n".join(problems))
    return url, package


def source_date_epoch(commit):
    """The time of the zip's entries and of the signature: the commit's, unless given."""
    value = os.environ.get("SOURCE_DATE_EPOCH") or (
        output_of("git", "-C", ROOT, "log", "-1", "--format=%ct", commit).strip() if commit
        else str(NO_COMMIT_EPOCH))
    if not re.fullmatch(r"[0-9]{1,10}", value) or not EARLIEST <= int(value) <= LATEST:
        raise Refusal("SOURCE_DATE_EPOCH must be seconds since 1970, in 1980 to 2107, "
                      f'not "{value}"')
    return int(value)


# The sources: exactly the commit, or with KAVO_ALLOW_DIRTY=1 the working tree as it is.

def checked_out_commit():
    """The commit checked out at ROOT, or None when ROOT is not the top of a git checkout."""
    top = run(["git", "-C", ROOT, "rev-parse", "--show-toplevel"], check=False,
              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    if top.returncode or top.stdout.strip() != ROOT:
        return None
    return output_of("git", "-C", ROOT, "rev-parse", "--verify", "HEAD^{commit}").strip()


def git_files(command, *args):
    return output_of("git", "-C", ROOT, command, "-z", *args).split("\0")[:-1]


def take_sources(folder):
    """Puts the sources to build into folder (or, outside a git checkout, names ROOT itself).
    Returns (the source folder, the commit or None, what the release is built from)."""
    allowed = os.environ.get("KAVO_ALLOW_DIRTY") == "1"
    commit = checked_out_commit()
    if commit is None:
        if not allowed:
            raise Refusal("the source is not a git checkout, so it names no commit: build from "
                          "one, or set KAVO_ALLOW_DIRTY=1 to build it anyway")
        return ROOT, None, "a source that is not a git checkout (KAVO_ALLOW_DIRTY=1)"
    changed = git_files("diff", "--name-only", "HEAD", "--")
    untracked = git_files("ls-files", "--others", "--exclude-standard")
    if changed and not allowed:
        raise Refusal(f"the source has uncommitted changes to tracked files ({' '.join(changed)}): "
                      "commit first, or set KAVO_ALLOW_DIRTY=1 to build it anyway")
    if allowed and (changed or untracked):
        copy_working_tree(folder)
        parts = [f"uncommitted changes to tracked files ({' '.join(changed)})"] if changed else []
        parts += [f"untracked files ({' '.join(untracked)})"] if untracked else []
        return folder, commit, f"a source with {' and '.join(parts)} (KAVO_ALLOW_DIRTY=1)"
    extract_commit(commit, folder)
    return folder, commit, f"commit {commit[:12]}"


def extract_commit(commit, folder):
    archive = folder + ".tar"
    run(["git", "-C", ROOT, "archive", "--format=tar", "-o", archive, commit])
    with tarfile.open(archive) as tar:
        tar.extractall(folder)
    os.remove(archive)


def copy_working_tree(folder):
    """Copies the tracked files as they are now and the untracked ones git does not ignore."""
    for path in git_files("ls-files", "--cached", "--others", "--exclude-standard",
                          "--deduplicate"):
        source, target = os.path.join(ROOT, path), os.path.join(folder, path)
        if not os.path.lexists(source):
            continue  # deleted, not committed yet
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if os.path.islink(source):
            os.symlink(os.readlink(source), target)
        else:
            shutil.copy2(source, target)


def project_version(source):
    with open(os.path.join(source, "CMakeLists.txt"), encoding="utf-8") as f:
        match = re.search(r"^project\(Kavo VERSION ([0-9.]+)", f.read(), re.MULTILINE)
    if not match:
        raise Refusal("CMakeLists.txt: no version in project(Kavo VERSION ...)")
    return match.group(1)


# The output folder: one release at a time, and left as it was by a run that stops.

@contextlib.contextmanager
def locked_output_folder(dist):
    """Holds the output folder, made if need be, for this run alone; the folders made for it go
    again if the run stops (not while it waits: the run it waits for holds them then)."""
    made, lock = lock_output_folder(dist)
    try:
        yield
    except BaseException:
        for folder in made:
            with contextlib.suppress(OSError):
                os.rmdir(folder)
        raise
    finally:
        os.close(lock)


def lock_output_folder(dist):
    """Returns the folders made (deepest first) and the descriptor that holds the lock."""
    while True:
        try:
            made = make_folders(dist)
            lock = os.open(dist, os.O_RDONLY | os.O_DIRECTORY)
        except OSError as error:
            raise Refusal(f"the output folder {dist}: {error.strerror}") from None
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            print(f"release: waiting for the release in progress in {dist} to finish",
                  file=sys.stderr, flush=True)
            fcntl.flock(lock, fcntl.LOCK_EX)
        # The run waited for may have stopped and removed the folder it had made: make it again.
        with contextlib.suppress(FileNotFoundError):
            if os.path.samestat(os.fstat(lock), os.stat(dist)):
                return made, lock
        os.close(lock)


def make_folders(dist):
    missing = []
    while not os.path.lexists(dist):
        missing.append(dist)
        dist = os.path.dirname(dist)
    made = []
    for folder in reversed(missing):
        with contextlib.suppress(FileExistsError):
            os.mkdir(folder)
            made.insert(0, folder)
    return made


def sums_of_other_zips(dist, name):
    """The SHA-256 of each other release zip in the output folder, by name. These keep their lines
    in SHA256SUMS, unless it lists one with other bytes than it has now: a line for it would vouch
    for what was not released."""
    sums = {entry: sha256(os.path.join(dist, entry)) for entry in sorted(os.listdir(dist))
            if fnmatch.fnmatchcase(entry, ZIP_NAMES) and entry != name
            and os.path.isfile(os.path.join(dist, entry))}
    changed = [zip_name for zip_name, listed in listed_sums(dist).items()
               if zip_name in sums and sums[zip_name] != listed]
    if changed:
        raise Refusal(f"{dist}/SHA256SUMS lists {' '.join(changed)} with other bytes than it has "
                      "now: restore it, or move it away")
    return sums


def listed_sums(dist):
    try:
        with open(os.path.join(dist, "SHA256SUMS"), encoding="utf-8", errors="replace") as f:
            lines = [line.split() for line in f]
    except FileNotFoundError:
        return {}
    return {fields[1]: fields[0] for fields in lines if len(fields) >= 2}


def check_manifests_folder(dist):
    """manifests/ is replaced whole, so it may hold only what a release wrote there, never a folder
    of that name someone keeps in the output folder."""
    folder = os.path.join(dist, "manifests")
    if os.path.lexists(folder) and (os.path.islink(folder) or not os.path.isdir(folder)
                                    or not written_by_a_release(folder)):
        raise Refusal(f"{folder} holds files no release wrote (or has no {RECORD} record, as "
                      "before releases kept one): move it away, or set KAVO_DIST to another folder")


def written_by_a_release(folder):
    """Whether folder holds exactly the files its record lists (and their folders), each with the
    bytes it was written with."""
    listed = {}
    try:
        with open(os.path.join(folder, RECORD), encoding="utf-8") as f:
            for line in f.read().splitlines():
                if not (match := re.fullmatch(r"([0-9a-f]{64})  (.+)", line)):
                    return False
                listed[match.group(2)] = match.group(1)
    except (OSError, UnicodeDecodeError):
        return False
    expected = {("f", RECORD)} | {("f", path) for path in listed}
    expected |= {("d", parent) for path in listed for parent in parents(path)}
    return entries(folder) == expected and all(
        sha256(os.path.join(folder, path)) == digest for path, digest in listed.items())


def parents(path):
    while path := os.path.dirname(path):
        yield path


def entries(folder):
    """(kind, path) of everything under folder: d a folder, f a file, l a symlink, ? the rest."""
    found = set()
    for parent, folders, files in os.walk(folder):
        for name in folders + files:
            path = os.path.join(parent, name)
            kind = ("l" if os.path.islink(path) else "d" if os.path.isdir(path)
                    else "f" if os.path.isfile(path) else "?")
            found.add((kind, os.path.relpath(path, folder)))
    return found


# The build, in a folder of its own: a value not given is the default, never one left from an
# earlier build (CMake does not see every file a changed value rewrites).

def configure(source, build, defines):
    """Configures the build; returns the site and author values it builds in."""
    log = os.path.join(build, "configure.log")
    os.makedirs(build)
    with open(log, "w", encoding="utf-8") as out:
        configured = run(["cmake", "-S", source, "-B", build, "-DCMAKE_BUILD_TYPE=MinSizeRel",
                          f"-DCMAKE_TOOLCHAIN_FILE={source}/cmake/mingw-w64-x86_64.cmake",
                          "-DBUILD_TESTING=OFF", *defines],
                         check=False, stdout=out, stderr=subprocess.STDOUT)
    if configured.returncode:
        with open(log, encoding="utf-8", errors="replace") as f:
            print("".join(line for line in f if not line.startswith("-- ")), file=sys.stderr)
        raise Refusal("the configure step failed")
    return cached_values(build)


def cached_values(build):
    values = {}
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as f:
        for line in f:
            name, _, typed = line.rstrip("\n").partition(":")
            if name in VALUES:
                values[name] = typed.partition("=")[2]
    return {name: values[name] for name in VALUES}


def placeholders(values):
    """The values that still name a .example host, as the defaults do: no one can reach them."""
    def host(value):
        return match.group(1) if (match := HOST.match(value)) else value
    return [name for name, value in values.items()
            if name != "KAVO_AUTHOR_NAME" and PLACEHOLDER.search(host(value).lower())]


def build_kavo(build, quiet=False):
    # The compiler's temporary files in the build folder too, which goes however the run ends.
    built = run(["cmake", "--build", build, "--target", "kavo", "-j", "2"], check=False,
                stdout=subprocess.DEVNULL if quiet else None, env=dict(os.environ, TMPDIR=build))
    if built.returncode:
        raise Refusal("the build failed")
    return os.path.join(build, "app", "kavo.exe")


# The release's files, made in the staging folder.

def sign(exe, signed, signing, epoch):
    """Authenticode (SHA-256), with the commit's time as the signing time."""
    pkcs12, password = signing
    timestamp = os.environ.get("KAVO_SIGN_TIMESTAMP_URL")
    signed_it = run(["osslsigncode", "sign", "-pkcs12", pkcs12, "-readpass", password,
                     "-h", "sha256", "-n", "Kavo", "-time", str(epoch),
                     *(["-ts", timestamp] if timestamp else []), "-in", exe, "-out", signed],
                    check=False, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if signed_it.returncode:
        said = [line for line in signed_it.stdout.splitlines()
                if line and not line.startswith("Succeeded")]
        raise Refusal("signing kavo.exe failed: " + "\n".join(said[:3]))


def write_crlf(path, text):
    with open(path, "w", encoding="utf-8", newline="\r\n") as f:
        f.write(text)


def readme(source, version):
    """The read-me, titled with the major and minor version, as the About box shows it."""
    short = ".".join(version.split(".")[:2])
    with open(os.path.join(source, "packaging", "README.txt"), encoding="utf-8") as f:
        lines = f.read().split("\n")
    lines[0] = lines[0].replace("@VERSION@", short, 1)
    if len(lines) > 1 and re.fullmatch("=*", lines[1]):
        lines[1] = "=" * len(f"Kavo {short}")
    return "\n".join(lines)


def make_zip(stage, name, source, build, version, signing, epoch):
    files = os.path.join(stage, "files")
    os.mkdir(files)
    exe = os.path.join(build, "app", "kavo.exe")
    if signing:
        sign(exe, os.path.join(files, "kavo.exe"), signing, epoch)
    else:
        shutil.copyfile(exe, os.path.join(files, "kavo.exe"))
    write_crlf(os.path.join(files, "README.txt"), readme(source, version))
    with open(os.path.join(source, "LICENSE"), encoding="utf-8") as f:
        write_crlf(os.path.join(files, "LICENSE.txt"), f.read())
    import third_party_notices  # python3-debian: there once install-deps.sh has run
    third_party_notices.main(os.path.join(build, "app", "kavo.map"),
                             os.path.join(files, "THIRD-PARTY-NOTICES.txt"))
    write_zip(files, os.path.join(stage, name), epoch)


def write_zip(folder, path, epoch):
    """The files in a fixed order, with fixed times and modes: the same files give the same zip."""
    when = time.gmtime(epoch)[:6]
    with zipfile.ZipFile(path, "w") as archive:
        for name, mode in ZIP_FILES.items():
            entry = zipfile.ZipInfo(name, when)
            entry.external_attr = (stat.S_IFREG | mode) << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(folder, name), "rb") as f:
                archive.writestr(entry, f.read(), compresslevel=9)


def earlier_zip(zip_path, earlier):
    """Whether a zip of the same name is there with other bytes; stops unless it is to be replaced.
    The same bytes (the same commit and values) are the same release."""
    if not os.path.lexists(earlier):
        return False
    with contextlib.suppress(OSError):
        if filecmp.cmp(zip_path, earlier, shallow=False):
            return False
    if os.environ.get("KAVO_REPLACE_RELEASE") != "1":
        raise Refusal(f"{earlier} is there already, with other bytes: move it away, or set "
                      "KAVO_REPLACE_RELEASE=1 to replace it")
    return True


def write_checksums(stage, name, sums):
    """SHA256SUMS: the other zips' lines and the new zip's, sorted by name."""
    sums = {**sums, name: sha256(os.path.join(stage, name))}
    checksums = "".join(f"{sums[zip_name]}  {zip_name}\n" for zip_name in sorted(sums))
    with open(os.path.join(stage, "SHA256SUMS"), "w", encoding="utf-8") as f:
        f.write(checksums)
    return checksums


def write_manifests(stage, name, version, publishing, values):
    """winget's and Scoop's manifests, and the record of what they are."""
    import package_manifests
    folder = os.path.join(stage, "manifests")
    url, package = publishing
    package_manifests.write(os.path.join(stage, name), version, url, package,
                            values["KAVO_AUTHOR_NAME"], values["KAVO_AUTHOR_HOME_PAGE"], folder)
    files = sorted(path for kind, path in entries(folder) if kind == "f")
    with open(os.path.join(folder, RECORD), "w", encoding="utf-8", newline="\n") as f:
        f.writelines(f"{sha256(os.path.join(folder, path))}  {path}\n" for path in files)


@contextlib.contextmanager
def signals_ignored():
    held = {number: signal.signal(number, signal.SIG_IGN)
            for number in (signal.SIGINT, signal.SIGTERM)}
    try:
        yield
    finally:
        for number, handler in held.items():
            signal.signal(number, handler)


def move_into_place(stage, dist, name):
    """Moves the zip, then manifests/ in place of the earlier one (or none), then SHA256SUMS, which
    lists the zip, each in one rename. INT and TERM wait meanwhile: stopped between two renames,
    the run would leave the new zip beside the old checksums."""
    manifests, new = os.path.join(dist, "manifests"), os.path.join(stage, "manifests")
    replaced = os.path.join(stage, "replaced-manifests")
    with signals_ignored():
        os.replace(os.path.join(stage, name), os.path.join(dist, name))
        if os.path.lexists(manifests):
            os.rename(manifests, replaced)
        if os.path.isdir(new):
            try:
                os.rename(new, manifests)
            except OSError:
                os.rename(replaced, manifests)  # the earlier ones go back
                raise
        os.replace(os.path.join(stage, "SHA256SUMS"), os.path.join(dist, "SHA256SUMS"))


# The two commands.

def release(defines):
    dist = caller_path("KAVO_DIST") or os.path.join(ROOT, "dist")
    signing, publishing = signing_inputs(), publishing_inputs()
    with tempfile.TemporaryDirectory(prefix="kavo-release.") as work:
        source, commit, built_from = take_sources(os.path.join(work, "src"))
        epoch, version = source_date_epoch(commit), project_version(source)
        name, build = f"kavo-{version}-win64.zip", os.path.join(work, "build")
        with locked_output_folder(dist):
            sums = sums_of_other_zips(dist, name)
            check_manifests_folder(dist)
            values = configure(source, build, defines)
            found = placeholders(values)
            if found and os.environ.get("KAVO_ALLOW_PLACEHOLDERS") != "1":
                raise Refusal(f"{' '.join(found)} still name a .example host, a placeholder: give "
                              "real values for each (-DNAME=VALUE), or set "
                              "KAVO_ALLOW_PLACEHOLDERS=1 to build it anyway")
            build_kavo(build)
            with tempfile.TemporaryDirectory(dir=dist, prefix=".kavo-release.") as stage:
                make_zip(stage, name, source, build, version, signing, epoch)
                if earlier_zip(os.path.join(stage, name), os.path.join(dist, name)):
                    built_from += f", in place of the earlier {name} (KAVO_REPLACE_RELEASE=1)"
                checksums = write_checksums(stage, name, sums)
                if publishing:
                    write_manifests(stage, name, version, publishing, values)
                move_into_place(stage, dist, name)
    print(f"{dist}/{name}{' (signed)' if signing else ''}, built from {built_from}, with:")
    print("".join(f"  {variable}={value}\n" for variable, value in values.items()), end="")
    if found:
        print(f"placeholders built in (KAVO_ALLOW_PLACEHOLDERS=1): {' '.join(found)} name "
              ".example hosts")
    if publishing:
        print(f"manifests for {publishing[1]} at {publishing[0]}{name}: {dist}/manifests/")
    print(checksums, end="")


def check(release_path, defines):
    """Compares the released kavo.exe with a rebuild, allowing the two differences signing alone
    makes: the 4-byte PE checksum field, and at most 7 zero bytes of padding at the end."""
    with tempfile.TemporaryDirectory(prefix="kavo-check.") as work:
        released = unsigned(released_exe(release_path), work)
        source, _, built_from = take_sources(os.path.join(work, "src"))
        configure(source, os.path.join(work, "build"), defines)
        with open(build_kavo(os.path.join(work, "build"), quiet=True), "rb") as f:
            rebuilt = f.read()
    if difference := rebuild_difference(rebuilt, released):
        raise Refusal(f"DIFFERENT: {difference}")
    print(f"check: identical to a rebuild of {built_from} "
          f"({hashlib.sha256(rebuilt).hexdigest()[:16]}...), signature aside")


def released_exe(path):
    try:
        if path.endswith(".zip"):
            with zipfile.ZipFile(path) as archive:
                return archive.read("kavo.exe")
        with open(path, "rb") as f:
            return f.read()
    except (OSError, KeyError, zipfile.BadZipFile) as error:
        raise Refusal(f"{path}: {error}") from None


def unsigned(exe, work):
    released, stripped = os.path.join(work, "released.exe"), os.path.join(work, "stripped.exe")
    with open(released, "wb") as f:
        f.write(exe)
    removed = run(["osslsigncode", "remove-signature", "-in", released, "-out", stripped],
                  check=False, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if removed.returncode:
        return exe  # it was not signed
    with open(stripped, "rb") as f:
        return f.read()


def rebuild_difference(rebuilt, released):
    size = len(rebuilt)
    if not 0 <= len(released) - size <= 7 or released[size:].strip(b"\0"):
        return "the released kavo.exe is not the rebuilt one plus a signature"
    checksum = int.from_bytes(rebuilt[60:64], "little") + 88  # e_lfanew + the CheckSum offset

    def blanked(exe):
        return exe[:checksum] + bytes(4) + exe[checksum + 4:size]
    ours, theirs = blanked(rebuilt), blanked(released)
    if ours != theirs:
        at = next(i for i, (a, b) in enumerate(zip(ours, theirs)) if a != b)
        return f"byte {at + 1} of the released kavo.exe differs from the rebuild's"
    return ""


def arguments(argv):
    """(RELEASE or None for a release, the -D arguments), or None for what it cannot read."""
    release_path = None
    if argv[:1] == ["check"]:
        if len(argv) < 2 or argv[1].startswith("-"):
            return None
        release_path, argv = os.path.join(os.getcwd(), argv[1]), argv[2:]
    if any(not re.match(r"-D\w+(:\w+)?=", arg) for arg in argv):
        return None
    return release_path, argv


def stopped(number, _frame):
    raise SystemExit(128 + number)


def main(argv):
    if (parsed := arguments(argv[1:])) is None:
        print(USAGE.format(argv[0]), file=sys.stderr)
        return 2
    signal.signal(signal.SIGTERM, stopped)
    release_path, defines = parsed
    try:
        names = (re.match(r"-D(\w+)", define).group(1) for define in defines)
        if unknown := [name for name in names if name not in VALUES]:
            raise Refusal(f"it takes no variable named {' '.join(unknown)}: a misspelt name, or "
                          "not one of the site and author values, the only ones a release sets")
        # In the caller's process group, where sudo can ask for a password.
        if subprocess.run([os.path.join(ROOT, "scripts", "install-deps.sh")]).returncode:
            raise Refusal("scripts/install-deps.sh did not install what the build needs")
        if release_path is None:
            release(defines)
        else:
            check(release_path, defines)
    except Refusal as refusal:
        print(f"{'release' if release_path is None else 'check'}: {refusal}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        return 130
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
