#!/usr/bin/env python3
"""Tests of the release bundle command (scripts/bundle.py), run on the build machine.

    bundle_test.py EXE TestCase...        unit cases against a stand-in or the real SetUp.exe
    bundle_test.py --unpack EXE PREFIX    bundles the test package and unpacks its zip into the
                                          Wine prefix for the installation test (bundle_tests)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
BUNDLE = os.path.join(HERE, "..", "..", "scripts", "bundle.py")
VERSION = "2026.08.05"
TOP = f"Zantrel-SetUp-{VERSION}"
LIBRARY = "Quorel扩展绘图库"
EXE = None

# The entries of the test package that the installer leaves out (the installation test checks
# the product folder holds exactly the others).
LEFT_OUT = ["LIESMICH", "SETUP.exe", "旧版扩展绘图库.txt", "附件", f"{LIBRARY}/嵌套"]


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def make_test_package(folder):
    for name in ["Quorel2021.ZRX", "Quorel2025.ZRX", "Quorel_EN.shx", "Quorel_HZ.shx", "帮助.chm",
                 "€价格表.txt", "LIESMICH", "SETUP.exe", "旧版扩展绘图库.txt", "附件/说明.txt",
                 f"{LIBRARY}/图块1.dwg", f"{LIBRARY}/图块2.dwg", f"{LIBRARY}/嵌套/内.dwg"]:
        write(os.path.join(folder, name), f"test {name}\n")


def run_bundle(package, out, *extra):
    return subprocess.run([sys.executable, BUNDLE, "--exe", EXE, "--out", out, *extra, package],
                          capture_output=True, encoding="utf-8")


def tree(folder):
    """Relative path -> bytes (None for a folder) of everything below `folder`."""
    found = {}
    for parent, dirs, files in os.walk(folder):
        for name in dirs:
            found[os.path.relpath(os.path.join(parent, name), folder)] = None
        for name in files:
            path = os.path.join(parent, name)
            with open(path, "rb") as f:
                found[os.path.relpath(path, folder)] = f.read()
    return found


class BundleCase(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.mkdtemp()
        self.package = os.path.join(self.scratch, "Data")
        self.out = os.path.join(self.scratch, "dist")
        make_test_package(self.package)

    def tearDown(self):
        shutil.rmtree(self.scratch)

    def assertRefused(self, result, *words):
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("nothing written", result.stderr)
        for word in words:
            self.assertIn(word, result.stderr)
        self.assertFalse(os.path.exists(self.out), "the bundle folder was written")
        self.assertEqual([n for n in os.listdir(self.scratch) if n != "Data"], [])


class MissingFiles(BundleCase):
    def test_each_required_file_is_named_and_nothing_is_written(self):
        for name in ["Quorel2021.ZRX", "Quorel2025.ZRX", "Quorel_EN.shx", "Quorel_HZ.shx"]:
            with self.subTest(name=name):
                path = os.path.join(self.package, name)
                os.rename(path, path + ".away")
                try:
                    result = run_bundle(self.package, self.out)
                    self.assertRefused(result, f"lacks {name}")
                    self.assertEqual(result.stderr.count("lacks"), 1)
                finally:
                    os.rename(path + ".away", path)

    def test_a_folder_of_a_required_name_does_not_count(self):
        os.remove(os.path.join(self.package, "Quorel2025.ZRX"))
        os.mkdir(os.path.join(self.package, "Quorel2025.ZRX"))
        self.assertRefused(run_bundle(self.package, self.out), "lacks Quorel2025.ZRX")

    def test_required_names_match_without_regard_to_case(self):
        os.rename(os.path.join(self.package, "Quorel_HZ.shx"),
                  os.path.join(self.package, "QUOREL_HZ.SHX"))
        self.assertEqual(run_bundle(self.package, self.out).returncode, 0)

    def test_an_earlier_bundle_stays_as_it_was(self):
        write(os.path.join(self.out, "SetUp.exe"), "earlier")
        os.remove(os.path.join(self.package, "Quorel_EN.shx"))
        result = run_bundle(self.package, self.out)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(tree(self.out), {"SetUp.exe": b"earlier"})

    def test_no_package_folder(self):
        result = run_bundle(os.path.join(self.scratch, "nowhere"), self.out)
        self.assertEqual(result.returncode, 1)
        self.assertIn("no package folder", result.stderr)
        self.assertFalse(os.path.exists(self.out))


class Names(BundleCase):
    def test_names_outside_code_page_936_are_refused_wherever_they_are(self):
        for name in ["ก.txt", f"{LIBRARY}/Ω-ﬁ.dwg", "附件/😀.txt"]:
            with self.subTest(name=name):
                path = os.path.join(self.package, name)
                write(path, "x")
                try:
                    self.assertRefused(run_bundle(self.package, self.out), "code page 936",
                                       name.replace("/", os.sep))
                finally:
                    os.remove(path)

    def test_bytes_that_are_no_text_are_refused(self):
        with open(os.path.join(os.fsencode(self.package), b"bad\xff.txt"), "w") as f:
            f.write("x")
        self.assertRefused(run_bundle(self.package, self.out), "code page 936", "bad\\xff.txt")

    def test_the_euro_sign_and_gbk_letters_pass(self):
        write(os.path.join(self.package, "café€·—.txt"), "x")
        self.assertEqual(run_bundle(self.package, self.out).returncode, 0)

    def test_names_that_windows_folds_together_are_refused(self):
        write(os.path.join(self.package, "帮助.CHM"), "x")
        self.assertRefused(run_bundle(self.package, self.out), "帮助.CHM", "帮助.chm")

    def test_names_windows_cannot_hold_are_refused(self):
        for name in ["a:b.txt", "trailing.txt ", "ends."]:
            with self.subTest(name=name):
                path = os.path.join(self.package, name)
                write(path, "x")
                try:
                    self.assertRefused(run_bundle(self.package, self.out), name)
                finally:
                    os.remove(path)


class SkippedNames(BundleCase):
    def warnings(self, result):
        return [line for line in result.stderr.splitlines() if "warning:" in line]

    def test_every_entry_the_installer_leaves_out_is_listed(self):
        result = run_bundle(self.package, self.out)
        self.assertEqual(result.returncode, 0, result.stderr)
        warnings = self.warnings(result)
        self.assertEqual(len(warnings), len(LEFT_OUT), result.stderr)
        for name in LEFT_OUT:
            self.assertTrue(any(f" {name} (" in w for w in warnings), f"{name}: {result.stderr}")
        notes = [line for line in result.stderr.splitlines() if "note:" in line]
        self.assertEqual(len(notes), 2)
        self.assertTrue(all("Fonts folder" in n for n in notes), notes)

    def test_the_demo_package_gives_no_warning(self):
        demo = os.path.join(self.scratch, "demo")
        subprocess.run([os.path.join(HERE, "..", "..", "scripts", "make-package.sh"), demo],
                       check=True)
        result = run_bundle(demo, self.out)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.warnings(result), [])

    def test_entries_past_the_listing_limits_are_warned(self):
        # 11 entries now; 99 fit beside "." and "..".
        for i in range(88):
            write(os.path.join(self.package, f"f{i:03}.dat"), "x")
        result = run_bundle(self.package, self.out)
        self.assertFalse(any("entries" in w for w in self.warnings(result)), result.stderr)
        write(os.path.join(self.package, "one-more.dat"), "x")
        for i in range(77):
            write(os.path.join(self.package, LIBRARY, f"b{i:03}.dwg"), "x")
        warnings = self.warnings(run_bundle(self.package, self.out))
        self.assertTrue(any("package holds 100 entries" in w and "so 1 would" in w
                            for w in warnings), warnings)
        self.assertTrue(any("library holds 80 entries" in w and "so 1 would" in w
                            for w in warnings), warnings)

    def test_a_package_without_drawing_library_is_warned(self):
        shutil.rmtree(os.path.join(self.package, LIBRARY))
        result = run_bundle(self.package, self.out)
        self.assertEqual(result.returncode, 0)
        self.assertTrue(any("no drawing library" in w for w in self.warnings(result)))


class Written(BundleCase):
    def test_dist_holds_the_installer_beside_the_package_and_one_zip_of_both(self):
        write(os.path.join(self.out, "stale.txt"), "from an earlier bundle")
        result = run_bundle(self.package, self.out)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(sorted(os.listdir(self.out)), ["Data", "SetUp.exe", f"{TOP}.zip"])
        with open(EXE, "rb") as f:
            exe = f.read()
        self.assertEqual(tree(os.path.join(self.out, "Data")), tree(self.package))
        unpacked = os.path.join(self.scratch, "unpacked")
        with zipfile.ZipFile(os.path.join(self.out, f"{TOP}.zip")) as z:
            self.assertTrue(all(n.startswith(f"{TOP}/") for n in z.namelist()))
            z.extractall(unpacked)
        inside = tree(os.path.join(unpacked, TOP))
        self.assertEqual(inside.pop("SetUp.exe"), exe)
        self.assertEqual({k[len("Data/"):]: v for k, v in inside.items() if k != "Data"},
                         tree(self.package))
        self.assertEqual([n for n in os.listdir(self.scratch) if n.startswith("dist.tmp")], [])

    def test_a_package_inside_the_bundle_folder_is_refused(self):
        run_bundle(self.package, self.out)
        result = run_bundle(os.path.join(self.out, "Data"), self.out)
        self.assertEqual(result.returncode, 1)
        self.assertIn("inside the bundle folder", result.stderr)
        self.assertTrue(os.path.isfile(os.path.join(self.out, "Data", "Quorel2021.ZRX")))


def unpack(prefix):
    """Bundles the test package and unpacks the zip to C:\\zbundle in the prefix."""
    scratch = tempfile.mkdtemp()
    try:
        package = os.path.join(scratch, "Data")
        out = os.path.join(scratch, "dist")
        make_test_package(package)
        result = run_bundle(package, out)
        sys.stderr.write(result.stderr)
        if result.returncode != 0:
            return 1
        target = os.path.join(prefix, "drive_c", "zbundle")
        shutil.rmtree(target, ignore_errors=True)
        with zipfile.ZipFile(os.path.join(out, f"{TOP}.zip")) as z:
            z.extractall(target)
        print(f"unpacked into {target}")
        return 0
    finally:
        shutil.rmtree(scratch)


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "--unpack":
        EXE = sys.argv[2]
        sys.exit(unpack(sys.argv[3]))
    EXE = sys.argv[1]
    unittest.main(argv=[sys.argv[0], "-v", *sys.argv[2:]])
