#!/usr/bin/env python3
"""Checks a package folder and writes the release bundle: SetUp.exe beside Data/, and a zip of both.

    bundle.py [--check] [--quiet] --build BUILD_DIR --out DIST [--version V] PACKAGE

SetUp.exe is sealed: the record of every file it will install from the package (name, size,
SHA-256) is written to BUILD_DIR/seal/record.bin, and the target SetUpSealed links it into
BUILD_DIR/seal/SetUp.exe as a resource; a sealed installer installs those files only.

SetUp.exe is signed (Authenticode, SHA-256, with osslsigncode) when SETUP_SIGN_PKCS12 names the
vendor's PKCS#12 file and SETUP_SIGN_PASSWORD holds its password; SETUP_SIGN_TIMESTAMP_URL adds an
RFC 3161 timestamp from that server. DIST also gets SHA256SUMS for the exe and the zip.

Every check runs before anything is written; an error leaves DIST as it was. Exit status: 0 when
the bundle was written (or, with --check, would be), 1 when the package is refused or signing
fails, 2 on bad usage.
"""
import argparse
import fcntl
import hashlib
import os
import re
import shutil
import subprocess
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
# The record's resource in SetUp.exe (SETUP_SEAL_RESOURCE in deploy/SealRecord.h), and its layout.
SEAL_RESOURCE = 300
RT_RCDATA = 10
SEAL_MAGIC = b"ZSEAL/1\0"
PACKAGE_FOLDER, LIBRARY_FOLDER = 0, 1
# A listing entry's name field holds 259 bytes and the terminator.
LONGEST_NAME = 259
# The program name that the elevation prompt shows from the signature. ASCII: osslsigncode stores
# it as an ASCII string, which Windows would not read as Chinese.
SIGNED_NAME = "Zantrel SetUp"
SIGN_VARIABLES = ["SETUP_SIGN_PKCS12", "SETUP_SIGN_PASSWORD", "SETUP_SIGN_TIMESTAMP_URL"]
# Characters a Windows file name cannot hold.
FORBIDDEN = set('<>:"/\\|?*') | {chr(c) for c in range(32)}


def same_name(a, b):
    # Windows compares file names without regard to case.
    return a.casefold() == b.casefold()


def listed_bytes(name):
    """The name as the installer's listing returns it: code page 936 bytes. Python's cp936 lacks
    the one single byte that Windows' code page 936 adds: 0x80, the euro."""
    return b"\x80".join(part.encode("cp936") for part in name.split("\u20ac"))


def representable(name):
    try:
        listed_bytes(name)
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
            if len(listed_bytes(name)) > LONGEST_NAME:
                report.errors.append(
                    f"name longer than the installer's listing takes ({LONGEST_NAME} bytes in "
                    f"code page 936): {shown(path)}")
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
    # "." and ".." are the first two listing entries. Which entries come first is the file
    # system's order, so the record would not be what is copied.
    if len(entries) + 2 > PACKAGE_ENTRIES:
        report.errors.append(
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
        report.errors.append(
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
    """The packed YYYYMMDD of the file VERSION as "YYYY.MM.DD"."""
    with open(os.path.join(root, "VERSION"), encoding="ascii") as f:
        packed = f.read().strip()
    if not re.fullmatch(r"\d{8}", packed):
        raise SystemExit(f"bundle: VERSION holds {packed!r}, not YYYYMMDD")
    return f"{packed[:4]}.{packed[4:6]}.{packed[6:]}"


class Signing:
    """The vendor's certificate from the environment, or None (the exe ships unsigned)."""

    def __init__(self, pkcs12, password, timestamp_url):
        self.pkcs12, self.password, self.timestamp_url = pkcs12, password, timestamp_url

    @staticmethod
    def from_environment(report):
        given = {name: os.environ.get(name) for name in SIGN_VARIABLES}
        pkcs12, password, url = (given[name] for name in SIGN_VARIABLES)
        if not pkcs12:
            stray = [name for name in SIGN_VARIABLES[1:] if given[name]]
            if stray:
                report.errors.append(f"{', '.join(stray)} given without SETUP_SIGN_PKCS12")
            return None
        if not os.path.isfile(pkcs12):
            report.errors.append(f"SETUP_SIGN_PKCS12: no file {shown(pkcs12)}")
        if password is None:
            report.errors.append("SETUP_SIGN_PKCS12 given without SETUP_SIGN_PASSWORD")
        if not shutil.which("osslsigncode"):
            report.errors.append("osslsigncode is missing (scripts/deps.sh installs it)")
        return Signing(pkcs12, password or "", url or None)

    def sign(self, exe, signed):
        """Signs `exe` into `signed`; raises SigningFailed with osslsigncode's words."""
        # The password goes through a pipe, not the command line that other users can read.
        read, write = os.pipe()
        try:
            os.write(write, self.password.encode("utf-8"))
            os.close(write)
            write = None
            command = ["osslsigncode", "sign", "-pkcs12", self.pkcs12,
                       "-readpass", f"/dev/fd/{read}", "-h", "sha256", "-n", SIGNED_NAME]
            if self.timestamp_url:
                command += ["-ts", self.timestamp_url]
            run = subprocess.run(command + ["-in", exe, "-out", signed], pass_fds=(read,),
                                 capture_output=True, text=True, errors="replace")
        finally:
            os.close(read)
            if write is not None:
                os.close(write)
        if run.returncode != 0 or not os.path.isfile(signed):
            raise SigningFailed((run.stdout + run.stderr).strip())
        shutil.copymode(exe, signed)

    def describe(self):
        stamp = f", timestamped by {self.timestamp_url}" if self.timestamp_url else ""
        return f"signed (Authenticode, SHA-256{stamp})"


class SigningFailed(Exception):
    pass


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def installed_files(package):
    """(folder, name, path) of every file the installer will install from the package: the
    package files its name rules let through, the two fonts, and the drawing library's files."""
    found = []
    for name in os.listdir(package):
        path = os.path.join(package, name)
        if os.path.isfile(path) and (skip_reason(name, False) is None
                                     or any(same_name(name, font) for font in FONTS)):
            found.append((PACKAGE_FOLDER, name, path))
    library = [n for n in os.listdir(package) if same_name(n, LIBRARY)]
    if library and os.path.isdir(os.path.join(package, library[0])):
        folder = os.path.join(package, library[0])
        for name in os.listdir(folder):
            if os.path.isfile(os.path.join(folder, name)):
                found.append((LIBRARY_FOLDER, name, os.path.join(folder, name)))
    return found


def seal_record(package):
    """The record's bytes (layout in deploy/SealRecord.h), entries in the order of folder and
    name bytes, so that one package gives one record."""
    entries = sorted((folder, listed_bytes(name), path)
                     for folder, name, path in installed_files(package))
    record = bytearray(SEAL_MAGIC + len(entries).to_bytes(4, "little"))
    for folder, name, path in entries:
        record += bytes([folder]) + len(name).to_bytes(2, "little") + name
        record += os.path.getsize(path).to_bytes(8, "little") + bytes.fromhex(sha256(path))
    return bytes(record)


def pe_resource(image, type_id, resource_id):
    """The data of a resource (its first language) in a PE image, or None."""
    def number(offset, size):
        return int.from_bytes(image[offset:offset + size], "little")
    header = number(0x3C, 4)
    if image[:2] != b"MZ" or image[header:header + 4] != b"PE\0\0":
        return None
    sections, optional_size = number(header + 6, 2), number(header + 20, 2)
    optional = header + 24
    directories = optional + (112 if number(optional, 2) == 0x20B else 96)

    def file_offset(rva):
        for i in range(sections):
            section = optional + optional_size + 40 * i
            start, length = number(section + 12, 4), max(number(section + 8, 4),
                                                         number(section + 16, 4))
            if start <= rva < start + length:
                return number(section + 20, 4) + rva - start
        return None
    base = file_offset(number(directories + 2 * 8, 4))
    if base is None:
        return None
    entry = 0
    for wanted in (type_id, resource_id, None):
        directory = base + (entry & 0x7FFFFFFF)
        count = number(directory + 12, 2) + number(directory + 14, 2)
        targets = [number(directory + 16 + 8 * i + 4, 4) for i in range(count)
                   if wanted is None or number(directory + 16 + 8 * i, 4) == wanted]
        if not targets:
            return None
        entry = targets[0]
    data = file_offset(number(base + entry, 4))
    return None if data is None else image[data:data + number(base + entry + 4, 4)]


class SealingFailed(Exception):
    pass


def build_sealed(build, record, sealed):
    """Links `record` into the sealed installer in the build folder and copies it to `sealed`.
    Bundle commands on one build folder take turns (one record file, one build)."""
    folder = os.path.join(build, "seal")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, ".lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        path = os.path.join(folder, "record.bin")
        # Rewritten only when it differs: the same record is not linked again.
        if not os.path.isfile(path) or read_bytes(path) != record:
            with open(path + ".tmp", "wb") as f:
                f.write(record)
            os.replace(path + ".tmp", path)
        run = subprocess.run(["cmake", "--build", build, "--target", "SetUpSealed"],
                             capture_output=True, text=True, errors="replace")
        if run.returncode != 0:
            raise SealingFailed(f"building the sealed SetUp.exe failed:\n"
                                f"{(run.stdout + run.stderr).strip()}")
        shutil.copy2(os.path.join(folder, "SetUp.exe"), sealed)
    # Checked on the copy that is signed and shipped.
    if pe_resource(read_bytes(sealed), RT_RCDATA, SEAL_RESOURCE) != record:
        raise SealingFailed("the sealed SetUp.exe does not carry the package's record")


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def write_bundle(build, package, out, version, signing=None):
    """Builds the bundle in a sibling folder, then puts it in place of `out`."""
    stage = f"{out}.tmp-{os.getpid()}"
    shutil.rmtree(stage, ignore_errors=True)
    os.makedirs(stage)
    try:
        # Sealed with the copy that ships, so that the record holds what is in the zip.
        shutil.copytree(package, os.path.join(stage, "Data"))
        sealed = os.path.join(stage, "sealed.exe")
        build_sealed(build, seal_record(os.path.join(stage, "Data")), sealed)
        if signing:
            signing.sign(sealed, os.path.join(stage, "SetUp.exe"))
            os.remove(sealed)
        else:
            os.rename(sealed, os.path.join(stage, "SetUp.exe"))
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
        # The format of sha256sum, so that `sha256sum -c SHA256SUMS` in the folder checks both.
        with open(os.path.join(stage, "SHA256SUMS"), "w", encoding="ascii", newline="\n") as f:
            for name in ("SetUp.exe", f"{top}.zip"):
                f.write(f"{sha256(os.path.join(stage, name))}  {name}\n")
        if os.path.lexists(out):
            shutil.rmtree(out)
        os.rename(stage, out)
    finally:
        shutil.rmtree(stage, ignore_errors=True)
    return os.path.join(out, f"{top}.zip")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("package")
    parser.add_argument("--build", help="the CMake build folder (not needed with --check)")
    parser.add_argument("--out", help="the bundle folder (replaced whole)")
    parser.add_argument("--version")
    parser.add_argument("--check", action="store_true", help="check the package, write nothing")
    parser.add_argument("--quiet", action="store_true", help="no notes or warnings (seen before)")
    args = parser.parse_args(argv)
    if not args.check and not (args.build and args.out):
        parser.error("--build and --out are needed to write a bundle")

    package = os.path.abspath(args.package)
    report = check_package(package)
    if args.build and not args.check and not os.path.isfile(
            os.path.join(args.build, "CMakeCache.txt")):
        report.errors.append(f"not a configured build folder: {args.build}")
    if args.out and not args.check:
        out = os.path.abspath(args.out)
        if os.path.commonpath([out, package]) == out:
            report.errors.append(f"the package lies inside the bundle folder {out}")
    signing = None if args.check else Signing.from_environment(report)

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
    try:
        archive = write_bundle(os.path.abspath(args.build), package, os.path.abspath(args.out),
                               version, signing)
    except (SigningFailed, SealingFailed) as e:
        what = "signing SetUp.exe failed:\n" if isinstance(e, SigningFailed) else ""
        print(f"bundle: error: {what}{e}", file=sys.stderr)
        print("bundle: nothing written", file=sys.stderr)
        return 1
    print(f"bundle: {os.path.abspath(args.out)} (SetUp.exe, Data/, SHA256SUMS) and {archive}")
    print("bundle: SetUp.exe sealed (it installs the package's files as bundled, nothing else)")
    if signing:
        print(f"bundle: SetUp.exe {signing.describe()}")
    else:
        # Said even with --quiet: an unsigned installer meets warnings and an unknown publisher.
        print("bundle: warning: SetUp.exe is NOT signed (set SETUP_SIGN_PKCS12 and "
              "SETUP_SIGN_PASSWORD to sign it)", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
