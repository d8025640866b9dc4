#!/usr/bin/env python3
"""Checks a package folder and writes the release bundle: SetUp.exe beside Data/, and a zip of both.

    bundle.py [--check] [--quiet] --exe SETUP_EXE --out DIST [--version V] PACKAGE

Every check runs before anything is written; an error leaves DIST as it was. Exit status: 0 when
the bundle was written (or, with --check, would be), 1 when the package is refused, 2 on bad usage.
"""
import argparse
import os
import re
import shutil
import sys
import zipfile

LIBRARY = "Quorel扩展绘图库"
LIBRARY_MARK = "扩展绘图库"
REQUIRED = ["Quorel2021.ZRX", "Quorel2025.ZRX", "Quorel_EN.shx", "Quorel_HZ.shx"]
FONTS = ["Quorel_EN.shx", "Quorel_HZ.shx"]
INSTALLER = "SetUp.EXE"
# The installer's listing loops stop after this many entries, "." and ".." included.
PACKAGE_ENTRIES = 101
LIBRARY_ENTRIES = 81
# Characters a Windows file name cannot hold.
FORBIDDEN = set('<>:"/\\|?*') | {chr(c) for c in range(32)}


def same_name(a, b):
    # Windows compares file names without regard to case.
    return a.casefold() == b.casefold()


def representable(name):
    # Python's cp936 lacks the one single byte that Windows' code page 936 adds: 0x80, the euro.
    try:
        name.replace("\u20ac", "").encode("cp936")
        return True
    except UnicodeEncodeError:
        return False


def shown(path):
    # Undecodable bytes (surrogate escapes) printed as \x.. rather than failing to print.
    return path.encode("utf-8", "surrogateescape").decode("utf-8", "backslashreplace")


class Report:
    def __init__(self):
        self.errors = []
        self.warnings = []
        self.notes = []


def check_names(package, report):
    """Every name in the package must reach the installer's narrow (code page 936) calls intact."""
    for folder, dirs, files in os.walk(package):
        dirs.sort()
        relative = os.path.relpath(folder, package)
        seen = {}
        for name in sorted(dirs + files):
            path = name if relative == "." else os.path.join(relative, name)
            if not representable(name):
                report.errors.append(
                    f"name not representable in code page 936 (the installer would see '?'): "
                    f"{shown(path)}")
                continue
            if FORBIDDEN & set(name) or name.endswith((" ", ".")):
                report.errors.append(f"name Windows cannot hold: {shown(path)}")
            key = name.casefold()
            if key in seen:
                report.errors.append(
                    f"names differ only in letter case (one file on Windows): "
                    f"{shown(seen[key])} and {shown(path)}")
            seen[key] = path


def check_required(package, report):
    names = os.listdir(package)
    for required in REQUIRED:
        match = [n for n in names if same_name(n, required)]
        if not match or not os.path.isfile(os.path.join(package, match[0])):
            report.errors.append(f"the package lacks {required}")


def skip_reason(name, is_dir):
    """Why the installer leaves a top-level package entry out of the product folder, or None."""
    if is_dir:
        return None if same_name(name, LIBRARY) else "a folder; only the drawing library is copied"
    if LIBRARY_MARK in name:
        return f'its name contains "{LIBRARY_MARK}"'
    if "." not in name:
        return 'no "." in its name'
    if same_name(name, INSTALLER):
        return "the installer's own name"
    return None


def check_skipped(package, report):
    entries = sorted(os.listdir(package))
    for name in entries:
        path = os.path.join(package, name)
        if not os.path.isdir(path) and any(same_name(name, font) for font in FONTS):
            report.notes.append(f"{name}: a font, copied into each chosen host's Fonts folder")
            continue
        reason = skip_reason(name, os.path.isdir(path))
        if reason:
            report.warnings.append(f"not installed: {shown(name)} ({reason})")
    # "." and ".." are the first two listing entries.
    if len(entries) + 2 > PACKAGE_ENTRIES:
        report.warnings.append(
            f"the package holds {len(entries)} entries; the installer looks at its first "
            f"{PACKAGE_ENTRIES - 2} only, so {len(entries) + 2 - PACKAGE_ENTRIES} would not be "
            f"installed")

    library = [n for n in entries if same_name(n, LIBRARY)]
    if not library or not os.path.isdir(os.path.join(package, library[0])):
        report.warnings.append(f"the package has no drawing library ({LIBRARY}/)")
        return
    folder = os.path.join(package, library[0])
    inside = sorted(os.listdir(folder))
    for name in inside:
        if os.path.isdir(os.path.join(folder, name)):
            report.warnings.append(
                f"not installed: {LIBRARY}/{shown(name)} (a folder inside the drawing library)")
    if len(inside) + 2 > LIBRARY_ENTRIES:
        report.warnings.append(
            f"the drawing library holds {len(inside)} entries; the installer looks at its first "
            f"{LIBRARY_ENTRIES - 2} only, so {len(inside) + 2 - LIBRARY_ENTRIES} would not be "
            f"installed")


def check_package(package):
    report = Report()
    if not os.path.isdir(package):
        report.errors.append(f"no package folder: {shown(package)}")
        return report
    check_names(package, report)
    check_required(package, report)
    check_skipped(package, report)
    return report


def project_version(root):
    text = open(os.path.join(root, "CMakeLists.txt"), encoding="utf-8").read()
    match = re.search(r"project\(\s*\S+\s+VERSION\s+([0-9.]+)", text)
    if not match:
        raise SystemExit("bundle: no project VERSION in CMakeLists.txt")
    return match.group(1)


def write_bundle(exe, package, out, version):
    """Builds the bundle in a sibling folder, then puts it in place of `out`."""
    stage = f"{out}.tmp-{os.getpid()}"
    shutil.rmtree(stage, ignore_errors=True)
    os.makedirs(stage)
    try:
        shutil.copy2(exe, os.path.join(stage, "SetUp.exe"))
        shutil.copytree(package, os.path.join(stage, "Data"))
        top = f"Zantrel-SetUp-{version}"
        archive = os.path.join(stage, f"{top}.zip")
        with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED, strict_timestamps=False) as z:
            z.write(os.path.join(stage, "SetUp.exe"), f"{top}/SetUp.exe")
            for folder, dirs, files in os.walk(os.path.join(stage, "Data")):
                dirs.sort()
                relative = os.path.relpath(folder, stage).replace(os.sep, "/")
                z.write(folder, f"{top}/{relative}/")
                for name in sorted(files):
                    z.write(os.path.join(folder, name), f"{top}/{relative}/{name}")
        if os.path.lexists(out):
            shutil.rmtree(out)
        os.rename(stage, out)
    finally:
        shutil.rmtree(stage, ignore_errors=True)
    return os.path.join(out, f"{top}.zip")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("package")
    parser.add_argument("--exe", help="the built SetUp.exe (not needed with --check)")
    parser.add_argument("--out", help="the bundle folder (replaced whole)")
    parser.add_argument("--version")
    parser.add_argument("--check", action="store_true", help="check the package, write nothing")
    parser.add_argument("--quiet", action="store_true", help="no notes or warnings (seen before)")
    args = parser.parse_args(argv)
    if not args.check and not (args.exe and args.out):
        parser.error("--exe and --out are needed to write a bundle")

    package = os.path.abspath(args.package)
    report = check_package(package)
    if args.exe and not args.check:
        with open(args.exe, "rb") as f:
            if f.read(2) != b"MZ":
                report.errors.append(f"not a Windows executable: {args.exe}")
    if args.out and not args.check:
        out = os.path.abspath(args.out)
        if os.path.commonpath([out, package]) == out:
            report.errors.append(f"the package lies inside the bundle folder {out}")

    if not args.quiet:
        for note in report.notes:
            print(f"bundle: note: {note}", file=sys.stderr)
        for warning in report.warnings:
            print(f"bundle: warning: {warning}", file=sys.stderr)
    for error in report.errors:
        print(f"bundle: error: {error}", file=sys.stderr)
    if report.errors:
        print("bundle: nothing written", file=sys.stderr)
        return 1
    if args.check:
        return 0

    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    version = args.version or project_version(root)
    archive = write_bundle(args.exe, package, os.path.abspath(args.out), version)
    print(f"bundle: {os.path.abspath(args.out)} (SetUp.exe, Data/) and {archive}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
