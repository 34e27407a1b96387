#!/usr/bin/python3
"""Checks that Windows programs are what Windows and vendors expect.

    check_pe.py --version 1.0.0 --machine i686|x86_64 EXE...      a build's programs
    check_pe.py --version 1.0.0 --release ZIP                       the release archive

Every program: GUI, the machine, the manifest, the version resource, an icon, and no DLL that only closing
the dialog needs among the imports loaded at start. The release: stripped programs of at most 1.5 MB for
both machines, the language files, the README and SHA-256 sums that match.
"""
import argparse
import hashlib
import os
import sys
import xml.etree.ElementTree as ET
import zipfile

import pefile

MACHINES = {"i686": pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"],
            "x86_64": pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]}
SUPPORTED_OS = {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}  # Vista, 7, 8, 8.1, 10 and 11
# Loaded when the dialog closes or an interface call fails, not before its window shows.
LOADED_ON_DEMAND = {"ws2_32.dll", "wsock32.dll", "shell32.dll", "version.dll", "ole32.dll", "oleaut32.dll"}
MAX_RELEASE_SIZE = 1_500_000

problems = []


def check(condition, what):
    if not condition:
        problems.append(what)


def resources(pe, type_name):
    """Data of every resource of the type, in directory order."""
    directory = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    return [pe.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
            for kind in (directory.entries if directory else []) if kind.id == pefile.RESOURCE_TYPE[type_name]
            for name in kind.directory.entries for language in name.directory.entries]


def check_manifest(label, pe):
    manifests = resources(pe, "RT_MANIFEST")
    check(len(manifests) == 1, f"{label}: {len(manifests)} manifests instead of one")
    if not manifests:
        return
    elements = list(ET.fromstring(manifests[0]).iter())
    tagged = lambda tag: [e for e in elements if e.tag.rsplit("}", 1)[-1] == tag]  # noqa: E731
    levels = [e.get("level") for e in tagged("requestedExecutionLevel")]
    check(levels == ["asInvoker"], f"{label}: execution level {levels}")
    controls = [e.get("version") for e in tagged("assemblyIdentity") if e.get("name") == "Microsoft.Windows.Common-Controls"]
    check(controls == ["6.0.0.0"], f"{label}: common controls {controls}")
    awareness = [e.text for e in tagged("dpiAwareness")]
    check(awareness and awareness[0].replace(" ", "").split(",")[0] == "PerMonitorV2", f"{label}: dpiAwareness {awareness}")
    check([e.text for e in tagged("dpiAware")] == ["true/pm"], f"{label}: no dpiAware true/pm fallback")
    check({e.get("Id") for e in tagged("supportedOS")} == SUPPORTED_OS, f"{label}: supportedOS entries")
    check(not tagged("activeCodePage"), f"{label}: the process code page is switched")


def check_version(label, pe, version, file_name):
    strings = {k.decode(): v.decode() for info in getattr(pe, "FileInfo", []) for entry in info
               for table in getattr(entry, "StringTable", []) for k, v in table.entries.items()}
    expected = {"CompanyName": "Quarnel", "ProductName": "Velmora", "FileVersion": version,
                "ProductVersion": version, "OriginalFilename": file_name}
    for key, value in expected.items():
        check(strings.get(key) == value, f"{label}: {key} is {strings.get(key)!r}, expected {value!r}")
    check(bool(strings.get("FileDescription")), f"{label}: no FileDescription")
    major, minor, patch = (int(p) for p in version.split("."))
    fixed = pe.VS_FIXEDFILEINFO[0] if hasattr(pe, "VS_FIXEDFILEINFO") else None
    check(fixed is not None and (fixed.FileVersionMS, fixed.FileVersionLS, fixed.ProductVersionMS) ==
          (major << 16 | minor, patch << 16, major << 16 | minor), f"{label}: fixed version numbers")


def check_program(label, data, version, machine, release):
    pe = pefile.PE(data=data)
    check(pe.FILE_HEADER.Machine == MACHINES[machine], f"{label}: not a {machine} program")
    check(pe.OPTIONAL_HEADER.Subsystem == pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"],
          f"{label}: subsystem {pe.OPTIONAL_HEADER.Subsystem}, not GUI")
    check_manifest(label, pe)
    check_version(label, pe, version, os.path.basename(label))
    check(resources(pe, "RT_GROUP_ICON"), f"{label}: no icon")
    imports = {entry.dll.decode().lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}
    check(not imports & LOADED_ON_DEMAND, f"{label}: loads {sorted(imports & LOADED_ON_DEMAND)} at start")
    if release:
        # Long section names ("/4") live in the symbols' string table, which only debug sections need.
        debug = [n for n in (s.Name.rstrip(b"\0").decode("latin-1") for s in pe.sections) if n.startswith((".debug", "/"))]
        check(not debug, f"{label}: debug sections {debug}")
        check(pe.FILE_HEADER.NumberOfSymbols == 0, f"{label}: symbol table left in")
        check(len(data) <= MAX_RELEASE_SIZE, f"{label}: {len(data)} bytes, more than 1.5 MB")


def check_release(path, version):
    top = f"UninstallFeedback-{version}/"
    check(os.path.basename(path) == f"UninstallFeedback-{version}.zip", f"{path}: name without version")
    with zipfile.ZipFile(path) as archive:
        names = archive.namelist()
        check(all(n.startswith(top) for n in names), f"{path}: entries outside {top}")
        for machine, folder in (("i686", "x86"), ("x86_64", "x64")):
            name = f"{top}{folder}/UninstallFeedback.exe"
            check(name in names, f"{path}: no {name}")
            if name in names:
                check_program(name, archive.read(name), version, machine, release=True)
        check(f"{top}README.md" in names, f"{path}: no README.md")
        check(any(n.startswith(f"{top}lang/") and n.endswith("/Uninstall.xml") for n in names), f"{path}: no language files")
        sums = archive.read(f"{top}SHA256SUMS").decode() if f"{top}SHA256SUMS" in names else ""
        listed = {name: digest for digest, _, name in (line.partition("  ") for line in sums.splitlines())}
        files = [n for n in names if not n.endswith("/") and n != f"{top}SHA256SUMS"]
        check(sorted(listed) == sorted(n[len(top):] for n in files), f"{path}: SHA256SUMS lists other files")
        for name in files:
            check(listed.get(name[len(top):]) == hashlib.sha256(archive.read(name)).hexdigest(), f"{path}: checksum of {name}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--version", required=True)
    parser.add_argument("--machine", choices=sorted(MACHINES))
    parser.add_argument("--release", action="store_true")
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()
    for path in args.files:
        if args.release:
            check_release(path, args.version)
        else:
            with open(path, "rb") as program:
                check_program(path, program.read(), args.version, args.machine, release=False)
    for problem in problems:
        print("FAILED:", problem)
    print(f"{len(args.files)} checked, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
