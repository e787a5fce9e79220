#!/usr/bin/python3
"""Builds Kavo's release, or checks a release against a rebuild.

    scripts/release.py [-DKAVO_VARIABLE=VALUE ...]
    scripts/release.py check kavo-VERSION-win64.zip

The release writes kavo-VERSION-win64.zip (kavo.exe, the read-me, the licence, the notices of the
libraries linked in, BUILD-INFO.txt: the commit, values and toolchain that built it) and SHA256SUMS,
which lists every release zip there, into dist/ or the folder KAVO_DIST names; with
KAVO_RELEASE_URL and KAVO_PACKAGE_ID, winget's and Scoop's manifests too, in manifests/VERSION/.
The -D values go to CMake: the real site and author values. It builds exactly the commit checked
out (`git archive` of it) in a new folder of its own; KAVO_ALLOW_DIRTY=1 builds the working tree's
files instead, those git ignores aside, and lists what is not committed. One release at a time
writes into an output folder, and only at the end, in renames, SHA256SUMS last: whatever stops a
run leaves the folder as it was.

"check" rebuilds kavo.exe from the commit and values the zip's BUILD-INFO.txt names, wherever the
checkout stands, and compares it with the zip's less its signature. docs/releasing.md says more.
"""
import contextlib
import fcntl
import filecmp
import fnmatch
import hashlib
import os
import pathlib
import re
import shutil
import signal
import stat
import struct
import subprocess
import sys
import tarfile
import tempfile
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.realpath(__file__)))
USAGE = """usage: {0} [-DKAVO_VARIABLE=VALUE ...]
       {0} check kavo-VERSION-win64.zip
Only the site and author values are taken (KAVO_SITE_ONE_DOMAIN, KAVO_SITE_TWO_DOMAIN,
KAVO_SITE_ONE_MEDIA_HOST, KAVO_SITE_TWO_MEDIA_HOST, KAVO_AUTHOR_NAME, KAVO_AUTHOR_HOME_PAGE): how
a release is built is the release's own. "check" reads them, and the commit, from the zip."""

VALUES = ("KAVO_SITE_ONE_DOMAIN", "KAVO_SITE_TWO_DOMAIN", "KAVO_SITE_ONE_MEDIA_HOST",
          "KAVO_SITE_TWO_MEDIA_HOST", "KAVO_AUTHOR_NAME", "KAVO_AUTHOR_HOME_PAGE")
# The host of an address, and the reserved name the defaults use.
HOME_PAGE = re.compile(r"https?://(?:[^/?#\s]*@)?([^/?#:\s]*)(?::[0-9]*)?(?:[/?#]\S*)?")
LABEL = re.compile(r"(?!-)[A-Za-z0-9-]{1,63}(?<!-)")
PLACEHOLDER = re.compile(r"(^|\.)example\.?$")
# The zip's files in the zip's order, with the modes it stores (not the umask's).
ZIP_FILES = {"kavo.exe": 0o755, "README.txt": 0o644, "LICENSE.txt": 0o644,
             "THIRD-PARTY-NOTICES.txt": 0o644, "BUILD-INFO.txt": 0o644}
ZIP_NAMES = "kavo-*-win64.zip"
# What builds kavo.exe and what is linked into it: Debian's packages, and CMake.
TOOLCHAIN = ("g++-mingw-w64-x86-64-posix", "gcc-mingw-w64-x86-64-posix",
             "binutils-mingw-w64-x86-64", "mingw-w64-x86-64-dev", "cmake")
EARLIEST, LATEST = 315532800, 4354819199  # the times a zip entry can hold: 1980 to 2107
NO_COMMIT_EPOCH = 1767225600


class Refusal(Exception):
    """What stops a run, said to the user."""


def run(args, input=None, check=True, **options):
    """Runs a program in a process group of its own; stopped meanwhile, ends that group. A stop
    while it starts is held until the group is known (the program itself takes none held)."""
    stdin = subprocess.DEVNULL if input is None else subprocess.PIPE
    stops = {signal.SIGINT, signal.SIGTERM, signal.SIGHUP}
    signal.pthread_sigmask(signal.SIG_BLOCK, stops)
    try:
        process = subprocess.Popen(args, stdin=stdin, process_group=0, text=True, **options,
                                   preexec_fn=lambda: signal.pthread_sigmask(signal.SIG_UNBLOCK, stops))
    except BaseException:
        signal.pthread_sigmask(signal.SIG_UNBLOCK, stops)
        raise
    with process:
        try:
            signal.pthread_sigmask(signal.SIG_UNBLOCK, stops)  # one held acts here, the group known
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
    Returns (the source folder, the commit or None, what else went in, or "")."""
    allowed = os.environ.get("KAVO_ALLOW_DIRTY") == "1"
    commit = checked_out_commit()
    if commit is None:
        if not allowed:
            raise Refusal("the source is not a git checkout, so it names no commit: build from "
                          "one, or set KAVO_ALLOW_DIRTY=1 to build it anyway")
        return ROOT, None, "a source that is not a git checkout"
    changed = git_files("diff", "--name-only", "HEAD", "--")
    untracked = git_files("ls-files", "--others", "--exclude-standard")
    if changed and not allowed:
        raise Refusal(f"the source has uncommitted changes to tracked files ({' '.join(changed)}): "
                      "commit first, or set KAVO_ALLOW_DIRTY=1 to build it anyway")
    if allowed and (changed or untracked):
        copy_working_tree(folder)
        parts = [f"uncommitted changes to tracked files ({' '.join(changed)})"] if changed else []
        parts += [f"untracked files ({' '.join(untracked)})"] if untracked else []
        return folder, commit, f"a source with {' and '.join(parts)}"
    extract_commit(commit, folder)
    return folder, commit, ""


def described(commit, dirty):
    return f"{dirty} (KAVO_ALLOW_DIRTY=1)" if dirty else f"commit {commit[:12]}"


def extract_commit(commit, folder):
    if run(["git", "-C", ROOT, "cat-file", "-e", f"{commit}^{{commit}}"], check=False,
           stderr=subprocess.DEVNULL).returncode:
        raise Refusal(f"the repository in {ROOT} does not have commit {commit}, which the release "
                      "was built from: fetch it (git fetch), or check in a clone that has it")
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
        # Before the build: the staging folder and the renames need it writable.
        if not os.access(dist, os.W_OK | os.X_OK):
            raise Refusal(f"the output folder {dist}: not writable by this user")
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
                         check=False, stdout=out, stderr=subprocess.STDOUT, env=in_folder(build))
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


def host(name, value):
    """The host a value names, or None when it is not a DNS name (or an address with one)."""
    if name == "KAVO_AUTHOR_HOME_PAGE":
        value = match.group(1) if (match := HOME_PAGE.fullmatch(value)) else ""
    labels = value.split(".")
    return value if len(value) <= 253 and len(labels) > 1 and all(
        LABEL.fullmatch(label) for label in labels) else None


def bad_values(defines):
    """What is wrong with the -D values given, said one to a line, or nothing."""
    given = dict(re.match(r"-D(\w+)(?::\w+)?=(.*)", define, re.DOTALL).groups()
                 for define in defines)
    bad = [f"{name} must be {'an http(s) address whose host is a' if 'PAGE' in name else 'a'} DNS "
           f'name, not "{value}"' for name, value in given.items()
           if name != "KAVO_AUTHOR_NAME" and not host(name, value)]
    return bad and bad + ["(a DNS name: two or more dot-separated labels of 1 to 63 letters, "
                          "digits and hyphens, none starting or ending with one, 253 characters "
                          "at most)"]


def placeholders(values):
    """The values that still name a .example host, as the defaults do: no one can reach them."""
    return [name for name, value in values.items() if name != "KAVO_AUTHOR_NAME"
            and PLACEHOLDER.search((host(name, value) or "").lower())]


def in_folder(build):
    """The environment for CMake and the compiler: their temporary files (the configure step's
    compiler checks too) in the build folder, which goes however the run ends."""
    return dict(os.environ, TMPDIR=build)


def build_kavo(build, quiet=False):
    built = run(["cmake", "--build", build, "--target", "kavo", "-j", "2"], check=False,
                stdout=subprocess.DEVNULL if quiet else None, env=in_folder(build))
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


def toolchain():
    """The version of each part of the toolchain here, by name."""
    versions = dict.fromkeys(TOOLCHAIN, "not installed")
    with contextlib.suppress(OSError):
        listed = run(["dpkg-query", "-W", "-f=${Package}=${Version}\n", *TOOLCHAIN[:-1]],
                     check=False, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
        versions.update(line.split("=", 1) for line in listed.splitlines() if line[-1:] != "=")
    versions["cmake"] = output_of("cmake", "--version").split("\n")[0].split()[-1]
    return versions


def build_info(version, commit, dirty, epoch, values):
    """BUILD-INFO.txt: what built kavo.exe, read back by check."""
    return "".join(f"{line}\n" for line in (
        f"Kavo {version}, built by scripts/release.py from the commit below with these values and",
        "tools. To check kavo.exe against a rebuild: scripts/release.py check THIS-ZIP", "",
        f"commit={commit or 'none'}", *([f"uncommitted={dirty}"] if dirty else []),
        f"SOURCE_DATE_EPOCH={epoch}", *(f"{name}={value}" for name, value in values.items()),
        *(f"{name}={value}" for name, value in toolchain().items())))


def make_zip(stage, name, source, build, version, signing, epoch, info):
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
    write_crlf(os.path.join(files, "BUILD-INFO.txt"), info)
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


def earlier_zip(zip_path, earlier, info):
    """Whether a zip of the same name is there with other bytes; stops unless it is to be replaced.
    The same bytes (the same commit and values) are the same release. Before the build (no
    zip_path), one whose BUILD-INFO.txt is not this one's, or that has none, has other bytes."""
    if not os.path.lexists(earlier):
        return False
    with contextlib.suppress(OSError, KeyError, zipfile.BadZipFile):
        if zip_path:
            if filecmp.cmp(zip_path, earlier, shallow=False):
                return False
        else:
            with zipfile.ZipFile(earlier) as archive:
                if archive.read("BUILD-INFO.txt") == info.replace("\n", "\r\n").encode():
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


def write_manifests(folder, zip_path, version, publishing, values):
    import package_manifests
    url, package = publishing
    package_manifests.write(zip_path, version, url, package, values["KAVO_AUTHOR_NAME"],
                            values["KAVO_AUTHOR_HOME_PAGE"], folder)


def tree(folder):
    """Every path under folder: a file's bytes, a link's target, None for anything else."""
    return {os.path.relpath(path, folder): (
        ("link", os.readlink(path)) if os.path.islink(path) else
        pathlib.Path(path).read_bytes() if os.path.isfile(path) else None)
        for parent, folders, files in os.walk(folder) for entry in folders + files
        if (path := os.path.join(parent, entry))}


def manifests_move(new, earlier, replacing):
    """The move of this version's manifests, if any: the earlier ones stay while they are the new
    ones or, none written, while the zip they name stays; otherwise they go as the zip would."""
    if not os.path.lexists(earlier):
        return [(new, earlier)] if new else []
    if not replacing and (not new or tree(new) == tree(earlier)):
        return []
    if not replacing and os.environ.get("KAVO_REPLACE_RELEASE") != "1":
        raise Refusal(f"{earlier} is there already, with other files: move it away, or set "
                      "KAVO_REPLACE_RELEASE=1 to replace it")
    return [(new, earlier)]


class NotPutBack(Refusal):
    """A failed move not undone: the stage holds what was moved aside, and stays."""


@contextlib.contextmanager
def staging_folder(dist):
    stage = tempfile.mkdtemp(dir=dist, prefix=".kavo-release.")
    try:
        yield stage
    except NotPutBack:
        raise
    except BaseException:
        shutil.rmtree(stage)
        raise
    shutil.rmtree(stage)


@contextlib.contextmanager
def signals_ignored():
    held = {number: signal.signal(number, signal.SIG_IGN)
            for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)}
    try:
        yield
    finally:
        for number, handler in held.items():
            signal.signal(number, handler)


def move_into_place(stage, moves):
    """Renames each (new, target) into place, an earlier target first moved aside into the stage
    (a new None: the earlier one just goes), SHA256SUMS last. HUP, INT and TERM are ignored
    meanwhile (the run completes): stopped between two renames, it would leave the new zip beside
    the old checksums. If any
    step fails, those done are undone in reverse, and the folder is as it was."""
    done = []  # (what was moved, or None for a folder made; where it goes back)
    with signals_ignored():
        try:
            for new, target in moves:
                if os.path.lexists(target):
                    os.rename(target, aside := os.path.join(stage, f"earlier-{len(done)}"))
                    done.append((aside, target))
                if new and not os.path.isdir(parent := os.path.dirname(target)):
                    os.mkdir(parent)
                    done.append((None, parent))
                if new:
                    os.rename(new, target)
                    done.append((target, new))
        except OSError as error:
            try:
                for moved, back in reversed(done):
                    os.rename(moved, back) if moved else os.rmdir(back)
            except OSError as undoing:
                raise NotPutBack(f"the release could not be moved into place ({error}), nor what "
                                 f"was there put back ({undoing}): it is in {stage}") from None
            raise Refusal(f"the release could not be moved into place ({error}); what was there "
                          "is as it was") from None


# The two commands.

def release(defines):
    dist = caller_path("KAVO_DIST") or os.path.join(ROOT, "dist")
    signing, publishing = signing_inputs(), publishing_inputs()
    with tempfile.TemporaryDirectory(prefix="kavo-release.") as work:
        source, commit, dirty = take_sources(os.path.join(work, "src"))
        epoch, version = source_date_epoch(commit), project_version(source)
        name, build = f"kavo-{version}-win64.zip", os.path.join(work, "build")
        built_from = described(commit, dirty)
        with locked_output_folder(dist):
            sums = sums_of_other_zips(dist, name)
            values = configure(source, build, defines)
            found = placeholders(values)
            if found and os.environ.get("KAVO_ALLOW_PLACEHOLDERS") != "1":
                raise Refusal(f"{' '.join(found)} still name a .example host, a placeholder: give "
                              "real values for each (-DNAME=VALUE), or set "
                              "KAVO_ALLOW_PLACEHOLDERS=1 to build it anyway")
            info = build_info(version, commit, dirty, epoch, values)
            replacing = earlier_zip(None, os.path.join(dist, name), info)
            build_kavo(build)
            with staging_folder(dist) as stage:
                new_zip, manifests = os.path.join(stage, name), os.path.join(stage, "manifests")
                make_zip(stage, name, source, build, version, signing, epoch, info)
                replacing = replacing or earlier_zip(new_zip, os.path.join(dist, name), info)
                if replacing:
                    built_from += f", in place of the earlier {name} (KAVO_REPLACE_RELEASE=1)"
                checksums = write_checksums(stage, name, sums)
                if publishing:
                    write_manifests(os.path.join(manifests, version), new_zip, version,
                                    publishing, values)
                move_into_place(stage, [
                    (new_zip, os.path.join(dist, name)),
                    *manifests_move(publishing and os.path.join(manifests, version),
                                    os.path.join(dist, "manifests", version), replacing),
                    (os.path.join(stage, "SHA256SUMS"), os.path.join(dist, "SHA256SUMS"))])
    print(f"{dist}/{name}{' (signed)' if signing else ''}, built from {built_from}, with:")
    print("".join(f"  {variable}={value}\n" for variable, value in values.items()), end="")
    if found:
        print(f"placeholders built in (KAVO_ALLOW_PLACEHOLDERS=1): {' '.join(found)} name "
              ".example hosts")
    if publishing:
        print(f"manifests for {publishing[1]} at {publishing[0]}{name}: "
              f"{dist}/manifests/{version}/")
    print(checksums, end="")


def check(release_path):
    """Builds the commit the zip names with its values, and compares the kavo.exe built with the
    zip's, allowing the two differences signing alone makes: the 4-byte PE checksum field, and at
    most 7 zero bytes of padding at the end."""
    exe, info = release_contents(release_path)
    commit = info.get("commit", "")
    if "uncommitted" in info or not re.fullmatch(r"[0-9a-f]{40}", commit):
        raise Refusal(f"{release_path} was built from {info.get('uncommitted', 'no commit')}, "
                      "which no commit holds: it cannot be checked against a rebuild")
    if missing := [name for name in VALUES if name not in info]:
        raise Refusal(f"{release_path}: BUILD-INFO.txt names no {' '.join(missing)}")
    # The zip's values go into the build as a release's would: held to the same rules.
    if bad := bad_values([f"-D{name}={info[name]}" for name in VALUES]):
        raise Refusal(f"{release_path}: BUILD-INFO.txt: " + "\n".join(bad))
    here = toolchain()
    if changed := [f"{name} {info.get(name, '(not named)')} there, {here[name]} here"
                   for name in TOOLCHAIN if info.get(name) != here[name]]:
        print("check: the release was built with another toolchain, a likely reason for any "
              f"difference: {'; '.join(changed)}", file=sys.stderr, flush=True)
    with tempfile.TemporaryDirectory(prefix="kavo-check.") as work:
        released = unsigned(exe, work)
        source, build = os.path.join(work, "src"), os.path.join(work, "build")
        extract_commit(commit, source)
        configure(source, build, [f"-D{name}={info[name]}" for name in VALUES])
        with open(build_kavo(build, quiet=True), "rb") as f:
            rebuilt = f.read()
        if difference := rebuild_difference(rebuilt, released):
            if shutil.which("diffoscope"):
                run(["diffoscope", os.path.join(build, "app", "kavo.exe"),
                     os.path.join(work, "unsigned.exe")], check=False)
            raise Refusal(f"DIFFERENT: {difference}")
    print(f"check: identical to a rebuild of commit {commit} "
          f"({hashlib.sha256(rebuilt).hexdigest()[:16]}...), signature aside")


def release_contents(path):
    """The zip's kavo.exe, and what its BUILD-INFO.txt names, by name."""
    try:
        with zipfile.ZipFile(path) as archive:
            exe, info = archive.read("kavo.exe"), archive.read("BUILD-INFO.txt")
    except KeyError as error:  # a release from before BUILD-INFO.txt, or not a release
        raise Refusal(f"{path}: {error.args[0]}: it names no commit and values to build") from None
    except (OSError, zipfile.BadZipFile) as error:
        raise Refusal(f"{path}: {error}") from None
    lines = info.decode("utf-8", "replace").splitlines()
    return exe, dict(line.split("=", 1) for line in lines if re.match(r"[\w+.-]+=", line))


def unsigned(exe, work):
    """The exe less its signature, also written to work/unsigned.exe."""
    released, stripped = os.path.join(work, "released.exe"), os.path.join(work, "unsigned.exe")
    with open(released, "wb") as f:
        f.write(exe)
    removed = run(["osslsigncode", "remove-signature", "-in", released, "-out", stripped],
                  check=False, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if removed.returncode:
        os.replace(released, stripped)  # it was not signed
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
        return f"byte {at + 1} of the released kavo.exe differs from the rebuild's, {part(ours, at)}"
    return ""


def part(exe, offset):
    """Where in a PE file an offset is: the section whose bytes hold it, or the headers."""
    with contextlib.suppress(struct.error):
        header = int.from_bytes(exe[60:64], "little")
        count, optional = struct.unpack_from("<H12xH", exe, header + 6)
        table = header + 24 + optional
        for at in range(table, table + 40 * count, 40):
            name, size, start = struct.unpack_from("<8s8xII", exe, at)
            if start <= offset < start + size:
                return "in section " + name.rstrip(b"\0").decode("ascii", "replace")
    return "in the headers or between sections"


def arguments(argv):
    """(the zip to check or None for a release, the -D arguments), or None for what it cannot
    read."""
    if argv[:1] == ["check"]:
        if len(argv) != 2 or argv[1].startswith("-"):
            return None
        return os.path.join(os.getcwd(), argv[1]), []
    if any(not re.match(r"-D\w+(:\w+)?=", arg) for arg in argv):
        return None
    return None, argv


def stopped(number, _frame):
    raise SystemExit(128 + number)


def main(argv):
    if (parsed := arguments(argv[1:])) is None:
        print(USAGE.format(argv[0]), file=sys.stderr)
        return 2
    for number in signal.SIGTERM, signal.SIGHUP:  # a closed terminal too: the build goes with it
        signal.signal(number, stopped)
    release_path, defines = parsed
    try:
        names = (re.match(r"-D(\w+)", define).group(1) for define in defines)
        if unknown := [name for name in names if name not in VALUES]:
            raise Refusal(f"it takes no variable named {' '.join(unknown)}: a misspelt name, or "
                          "not one of the site and author values, the only ones a release sets")
        if bad := bad_values(defines):
            raise Refusal("\n".join(bad))
        # In the caller's process group, where sudo can ask for a password.
        if subprocess.run([os.path.join(ROOT, "scripts", "install-deps.sh")]).returncode:
            raise Refusal("scripts/install-deps.sh did not install what the build needs")
        if release_path is None:
            release(defines)
        else:
            check(release_path)
    except Refusal as refusal:
        print(f"{'release' if release_path is None else 'check'}: {refusal}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        return 130
    except OSError as error:  # what no step foresaw (a full disk, say): one line, not a traceback
        print(f"{'release' if release_path is None else 'check'}: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
