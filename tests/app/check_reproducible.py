#!/usr/bin/env python3
"""Builds SetUp.exe a second time, in a fresh folder, and compares the bytes with the tested one.

    check_reproducible.py EXE SOURCE_DIR BUILD_DIR [CMAKE_ARGUMENT...]

The arguments after BUILD_DIR configure the fresh build as the tested one was (generator,
toolchain, build type). Neither exe may hold the source folder or a build folder: those differ
from one machine to the next. Exit status 1 on a difference, with where it lies.
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_exe import Fatal, PeImage  # noqa: E402


def where(data, offset):
    """The part of the PE file an offset lies in, for the report."""
    try:
        pe = PeImage(data)
    except Fatal:
        return "not a PE file"
    if offset < pe.opt:
        return f"headers before the optional header (COFF TimeDateStamp at {pe.pe_offset + 8})"
    for name, _, _, raw_ptr, raw_size in pe.sections:
        if raw_ptr <= offset < raw_ptr + raw_size:
            return f"section {name} (+0x{offset - raw_ptr:X})"
    return "optional header or section table"


def compare(first, second):
    """A list of lines describing how two files differ; empty when they are the same."""
    if first == second:
        return []
    lines = [f"sizes {len(first)} and {len(second)} bytes"]
    differing = [i for i, (a, b) in enumerate(zip(first, second)) if a != b]
    lines.append(f"{len(differing)} differing bytes in the common length")
    for offset in differing[:5]:
        lines.append(f"  offset 0x{offset:X}: {where(first, offset)}")
    return lines


def leaked_paths(data, folders):
    found = []
    for folder in folders:
        for encoding in ("utf-8", "utf-16-le"):
            if folder.encode(encoding) in data:
                found.append(f"{folder} ({encoding})")
    return found


def main(argv):
    if len(argv) < 3:
        print(__doc__)
        return 2
    exe, source, build, configure = argv[0], argv[1], argv[2], argv[3:]
    with open(exe, "rb") as f:
        tested = f.read()
    # A folder name of another length than the tested build's, so that a path or a length
    # derived from it shows.
    fresh = tempfile.mkdtemp(prefix="setup-reproduce-second-build-")
    try:
        folder = os.path.join(fresh, "b")
        for command in (["cmake", "-S", source, "-B", folder, "-DBUILD_TESTING=OFF", *configure],
                        ["cmake", "--build", folder, "-j2", "--target", "SetUp"]):
            run = subprocess.run(command, capture_output=True, text=True)
            if run.returncode != 0:
                print(f"FAIL {' '.join(command)}:\n{run.stdout}{run.stderr}")
                return 1
        with open(os.path.join(folder, os.path.basename(exe)), "rb") as f:
            second = f.read()
        failures = [f"the second build differs: {line}" for line in compare(tested, second)]
        folders = [os.path.realpath(p) for p in (source, build, folder)]
        for name, data in (("tested", tested), ("second", second)):
            for leak in leaked_paths(data, folders):
                failures.append(f"the {name} exe holds the build machine's folder {leak}")
    finally:
        shutil.rmtree(fresh, ignore_errors=True)
    for failure in failures:
        print(f"FAIL {failure}")
    print(f"reproducible: {len(tested)} bytes, {'different' if failures else 'identical'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
