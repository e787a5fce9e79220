#!/usr/bin/python3
"""Writes the notices of the libraries linked into kavo.exe, found from its link map.

    scripts/third_party_notices.py BUILD/app/kavo.map THIRD-PARTY-NOTICES.txt

Every archive member or object file that put bytes into kavo.exe is looked up in LIBRARIES below;
one that is not there stops the script with its name, so a new library cannot ship without its
notice. Import-library members (the stubs that call Windows' own DLLs) are recognised by their
.idata sections and need no notice. The notice texts come from the Debian packages' machine-readable
copyright files on this machine, not from text kept here. The output is CRLF text and depends only
on the map and those files, so the release zip stays reproducible.
"""
import collections
import os
import re
import subprocess
import sys
import textwrap

from debian import copyright as dep5

Library = collections.namedtuple("Library", "name package sources excluded licence")

GCC_EXCEPTION = "GCC RUNTIME LIBRARY EXCEPTION"
LIBRARIES = {
    # Under the runtime library exception these need no notice; they are named as a courtesy.
    "gcc": Library("GCC runtime libraries (libstdc++, libgcc)", "gcc-mingw-w64-x86-64-posix",
                   None, (), "GPL-3.0-or-later WITH GCC-exception-3.1"),
    # sources/excluded: the paths of the upstream tree the archives are built from, as the
    # package's copyright file names them; every paragraph for those paths is reproduced.
    "winpthreads": Library("winpthreads (mingw-w64)", "mingw-w64-x86-64-dev",
                           ("mingw-w64-libraries/winpthreads/src/",
                            "mingw-w64-libraries/winpthreads/include/"), (), None),
    "mingw-w64-crt": Library("mingw-w64 runtime", "mingw-w64-x86-64-dev", ("mingw-w64-crt/",),
                             ("mingw-w64-crt/profile/",), None),
    "kavo": None,  # Kavo's own code: its licence is LICENSE.txt
}
ARCHIVES = {
    "libstdc++.a": "gcc", "libsupc++.a": "gcc", "libgcc.a": "gcc", "libgcc_eh.a": "gcc",
    "crtbegin.o": "gcc", "crtend.o": "gcc",
    "libpthread.a": "winpthreads", "libwinpthread.a": "winpthreads",
    "crt2.o": "mingw-w64-crt", "crt2u.o": "mingw-w64-crt", "libmingw32.a": "mingw-w64-crt",
    "libmingwex.a": "mingw-w64-crt", "libmoldname.a": "mingw-w64-crt",
    "libmsvcrt.a": "mingw-w64-crt", "libuuid.a": "mingw-w64-crt",
    "objects.a": "kavo", "libkavo_links.a": "kavo", "libkavo_commands.a": "kavo",
}

# An input section in the map's memory map: " .text  0xADDRESS  0xSIZE  file", where a long section
# name stands alone on the line before.
SECTION_ONLY = re.compile(r"^ (\S+)$")
SECTION = re.compile(r"^ (\S+)?\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*\.(?:a|o|obj))(?:\((.+)\))?$")


def contributing_archives(map_text):
    """Archive (or object file) base names whose members, other than import stubs, put bytes in."""
    sections = collections.defaultdict(set)  # (file, member) -> names of non-empty sections
    memory_map = map_text.split("\nLinker script and memory map\n", 1)[-1]
    pending = None
    for line in memory_map.splitlines():
        match = SECTION.match(line)
        if match and int(match.group(2), 16) > 0:
            sections[(match.group(3), match.group(4))].add(match.group(1) or pending)
        only = SECTION_ONLY.match(line)
        pending = only.group(1) if only else None
    return sorted({os.path.basename(path) for (path, _), names in sections.items()
                   if not any(name.startswith(".idata$") for name in names)})


def package_version(package):
    return subprocess.run(["dpkg-query", "-W", "-f=${Version}", package], check=True,
                          capture_output=True, text=True).stdout


def indented(text):
    return "\n".join("    " + line if line else "" for line in text.splitlines())


def dep5_notice(library):
    """The copyright paragraphs for the library's sources, then the licences they name."""
    with open(f"/usr/share/doc/{library.package}/copyright", encoding="utf-8") as f:
        copyright_file = dep5.Copyright(f, strict=False)

    def wanted(path):
        return path.startswith(library.sources) and not path.startswith(library.excluded)

    # A source folder's general paragraph is the one whose patterns match anything inside it.
    paragraphs = [copyright_file.find_files_paragraph(folder + "*") for folder in library.sources]
    paragraphs += [p for p in copyright_file.all_files_paragraphs()
                   if any(wanted(path) for path in p.files)]
    standalone = {p.license.synopsis: p.license.text
                  for p in copyright_file.all_license_paragraphs()}
    blocks, licences, seen = [], [], set()
    for paragraph in paragraphs:
        if id(paragraph) in seen:
            continue
        seen.add(id(paragraph))
        synopsis = paragraph.license.synopsis
        holders = "\n           ".join(line.strip() for line in paragraph.copyright.splitlines())
        block = f"Copyright: {holders}\nLicence: {synopsis}"
        if paragraph.license.text:
            block += "\n\n" + indented(paragraph.license.text)
        blocks.append(block)
        for name in re.split(r"\s+(?:and|or)\s+|,\s*", synopsis):
            if name in standalone and name not in licences:
                licences.append(name)
    blocks += [f"Licence {name}:\n\n{indented(standalone[name])}" for name in licences
               if standalone[name]]
    names = sorted({p.license.synopsis for p in paragraphs})
    return ", ".join(names), "\n\n".join(blocks)


def gcc_notice(library):
    with open(f"/usr/share/doc/{library.package}/copyright", encoding="utf-8") as f:
        if GCC_EXCEPTION not in f.read():
            sys.exit(f"third_party_notices: {library.package}'s copyright file does not grant "
                     "the GCC Runtime Library Exception")
    return library.licence, ("These libraries are under the GCC Runtime Library Exception, version\n"
                             "3.1, which asks for no notice in programs compiled with GCC; they are\n"
                             "named here as a courtesy.")


def main(map_path, output_path):
    with open(map_path, encoding="utf-8", errors="replace") as f:
        archives = contributing_archives(f.read())
    unknown = [a for a in archives if a not in ARCHIVES]
    if unknown:
        sys.exit(f"third_party_notices: {', '.join(unknown)} put code into kavo.exe but "
                 "no library, licence and package is known for it: add it to ARCHIVES")
    sections = []
    for key, library in LIBRARIES.items():
        used = [a for a in archives if ARCHIVES[a] == key]
        if library is None or not used:
            continue
        licence, notice = (gcc_notice if library.sources is None else dep5_notice)(library)
        sections.append(f"{library.name}\n"
                        f"Linked from: {', '.join(used)}\n"
                        f"{textwrap.fill('Licence: ' + licence, 78, subsequent_indent='    ')}\n"
                        f"Debian package: {library.package} {package_version(library.package)}\n"
                        f"\n{notice}")
    rule = "\n\n" + "-" * 78 + "\n\n"
    text = ("Kavo: third-party notices\n"
            "=========================\n\n"
            "kavo.exe is one self-contained program: the libraries below are linked into it.\n"
            "For each, the copyright and licence notices that Debian's copyright file gives\n"
            "for its sources follow. Kavo's own licence is in LICENSE.txt."
            + rule + rule.join(sections) + "\n")
    with open(output_path, "w", encoding="utf-8", newline="\r\n") as f:
        f.write(text)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: third_party_notices.py KAVO_MAP OUTPUT")
    main(sys.argv[1], sys.argv[2])
