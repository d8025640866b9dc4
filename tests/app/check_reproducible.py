#!/usr/bin/env python3
"""Builds SetUp.exe a second time, in a fresh folder, and compares the bytes with the tested one.

    check_reproducible.py EXE SOURCE_DIR BUILD_DIR [CMAKE_ARGUMENT...]

The arguments after BUILD_DIR configure the fresh build as the tested one was (generator,
toolchain, build type). Neither exe may hold the source folder or a build folder: those differ
from one machine to the next. Exit status 1 on a difference.
"""
import os
import shutil
import subprocess
import sys
import tempfile


def difference(first, second):
    """How two files differ, or None."""
    if first == second:
        return None
    offsets = [f"0x{i:X}" for i, (a, b) in enumerate(zip(first, second)) if a != b]
    return (f"sizes {len(first)} and {len(second)} bytes, {len(offsets)} differing bytes in the "
            f"common length, first at {', '.join(offsets[:5])}")


def main(argv):
    if len(argv) < 3:
        print(__doc__)
        return 2
    exe, source, build, configure = argv[0], argv[1], argv[2], argv[3:]
    with open(exe, "rb") as f:
        tested = f.read()
    # A folder name of another length than the tested build's, so that a path shows.
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
    finally:
        shutil.rmtree(fresh, ignore_errors=True)
    failures = []
    if difference(tested, second):
        failures.append(f"the second build differs: {difference(tested, second)}")
    for path in (os.path.realpath(p) for p in (source, build, folder)):
        for encoding in ("utf-8", "utf-16-le"):
            for name, data in (("tested", tested), ("second", second)):
                if path.encode(encoding) in data:
                    failures.append(f"the {name} exe holds the folder {path} ({encoding})")
    for failure in failures:
        print(f"FAIL {failure}")
    print(f"reproducible: {len(tested)} bytes, {'different' if failures else 'identical'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
