#!/usr/bin/env python3
"""Tests of the release bundle command (scripts/bundle.py), run on the build machine.

    bundle_test.py BUILD TestCase...        cases of the bundle command on a build folder
    bundle_test.py --unpack BUILD PREFIX    bundles the test package, signed with a throwaway
                                            certificate, and unpacks its zip into the Wine prefix
                                            for the installation test (bundle_tests)
Run by Debian's python3, whose pefile reads the exe's resources.
"""
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

import pefile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "..")
BUNDLE = os.path.join(ROOT, "scripts", "bundle.py")
with open(os.path.join(ROOT, "VERSION"), encoding="ascii") as version_file:
    PACKED = version_file.read().strip()
TOP = f"Zantrel-SetUp-{PACKED[:4]}.{PACKED[4:6]}.{PACKED[6:]}"
SIGN_VARIABLES = ["SETUP_SIGN_PKCS12", "SETUP_SIGN_PASSWORD", "SETUP_SIGN_TIMESTAMP_URL"]
LIBRARY = "Quorel扩展绘图库"
BUILD = None

# What a sealed installer of the test package installs, in the record's order (folder, then
# name bytes in code page 936: "€" is 0x80 there, "帮" B0EF), with the file behind each entry.
SEALED = [(0, "Quorel2021.ZRX"), (0, "Quorel2025.ZRX"), (0, "Quorel_EN.shx"),
          (0, "Quorel_HZ.shx"), (0, "€价格表.txt"), (0, "帮助.chm"),
          (1, "图块1.dwg"), (1, "图块2.dwg")]

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


def run_bundle(package, out, *extra, signing=None):
    """Runs the bundle command with exactly the signing variables given (none by default)."""
    env = {k: v for k, v in os.environ.items() if k not in SIGN_VARIABLES}
    env.update(signing or {})
    return subprocess.run([sys.executable, BUNDLE, "--build", BUILD, "--out", out, *extra, package],
                          capture_output=True, encoding="utf-8", env=env)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def record_in(exe):
    """The data of the exe's RCDATA resource 300 (the seal), or None."""
    pe = pefile.PE(exe)
    kinds = pe.DIRECTORY_ENTRY_RESOURCE.entries
    for kind in (k for k in kinds if k.id == pefile.RESOURCE_TYPE["RT_RCDATA"]):
        for entry in (e for e in kind.directory.entries if e.id == 300):
            at = entry.directory.entries[0].data.struct
            return pe.get_data(at.OffsetToData, at.Size)
    return None


def expected_record(package, entries=SEALED):
    """The record of `entries`, written out from the layout: magic, count, then per entry the
    folder byte, name length and name, size and SHA-256."""
    record = b"ZSEAL/1\0" + len(entries).to_bytes(4, "little")
    for folder, name in entries:
        path = os.path.join(package, LIBRARY if folder else "", name)
        # Windows' code page 936 has the euro as 0x80; Python's lacks it.
        listed = b"\x80".join(part.encode("gbk") for part in name.split("€"))
        record += bytes([folder]) + len(listed).to_bytes(2, "little") + listed
        record += os.path.getsize(path).to_bytes(8, "little") + hashlib.sha256(read(path)).digest()
    return record


class ThrowawayPki:
    """A certificate authority of its own and a code-signing certificate, made with openssl in a
    scratch folder for one test run (no key is ever kept)."""

    PASSWORD = "test pass phrase"

    def __init__(self, folder):
        self.folder = folder
        self.ca, self.pkcs12 = os.path.join(folder, "ca.pem"), os.path.join(folder, "signer.p12")
        self.openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key",
                     "-out", "ca.pem", "-days", "2", "-subj", "/CN=Zantrel Test CA",
                     "-addext", "basicConstraints=critical,CA:TRUE",
                     "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        write(os.path.join(folder, "signer.ext"), "basicConstraints=CA:FALSE\n"
              "keyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n")
        self.openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "signer.key",
                     "-out", "signer.csr", "-subj", "/CN=Zantrel Test Signer")
        self.openssl("x509", "-req", "-in", "signer.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                     "-CAcreateserial", "-days", "2", "-extfile", "signer.ext", "-out", "signer.pem")
        self.openssl("pkcs12", "-export", "-inkey", "signer.key", "-in", "signer.pem",
                     "-certfile", "ca.pem", "-out", "signer.p12",
                     "-passout", f"pass:{self.PASSWORD}")

    def openssl(self, *args):
        subprocess.run(["openssl", *args], cwd=self.folder, check=True, capture_output=True)

    def signing(self, **more):
        return {"SETUP_SIGN_PKCS12": self.pkcs12, "SETUP_SIGN_PASSWORD": self.PASSWORD, **more}

    def verify(self, exe):
        return subprocess.run(["osslsigncode", "verify", "-CAfile", self.ca, "-in", exe],
                              capture_output=True, text=True, errors="replace")


def check_sums(test, folder):
    """SHA256SUMS names the exe and the zip, with their digests, in sha256sum's format."""
    lines = read(os.path.join(folder, "SHA256SUMS")).decode("ascii").splitlines()
    sums = dict(reversed(line.split("  ", 1)) for line in lines)
    test.assertEqual(sorted(sums), ["SetUp.exe", f"{TOP}.zip"])
    for name, digest in sums.items():
        test.assertEqual(digest, hashlib.sha256(read(os.path.join(folder, name))).hexdigest(), name)


def tree(folder):
    """Relative path -> bytes (None for a folder) of everything below `folder`."""
    found = {}
    for parent, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(parent, name)
            found[os.path.relpath(path, folder)] = None if name in dirs else read(path)
    return found


class BundleCase(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.scratch)
        self.package = os.path.join(self.scratch, "Data")
        self.out = os.path.join(self.scratch, "dist")
        make_test_package(self.package)

    def assertRefused(self, result, *words):
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("nothing written", result.stderr)
        for word in words:
            self.assertIn(word, result.stderr)
        self.assertFalse(os.path.exists(self.out), "the bundle folder was written")
        self.assertEqual([n for n in os.listdir(self.scratch) if n != "Data"], [])


class MissingFiles(BundleCase):
    def test_each_required_file_missing_or_a_folder_is_named_and_nothing_is_written(self):
        for name in ["Quorel2021.ZRX", "Quorel2025.ZRX", "Quorel_EN.shx", "Quorel_HZ.shx"]:
            for folder in (False, True):
                with self.subTest(name=name, folder=folder):
                    path = os.path.join(self.package, name)
                    os.rename(path, path + ".away")
                    if folder:
                        os.mkdir(path)
                    try:
                        result = run_bundle(self.package, self.out)
                        self.assertRefused(result, f"lacks {name}")
                        self.assertEqual(result.stderr.count("lacks"), 1)
                    finally:
                        if folder:
                            os.rmdir(path)
                        os.rename(path + ".away", path)

    def test_an_earlier_bundle_stays_as_it_was(self):
        write(os.path.join(self.out, "SetUp.exe"), "earlier")
        os.remove(os.path.join(self.package, "Quorel_EN.shx"))
        result = run_bundle(self.package, self.out)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(tree(self.out), {"SetUp.exe": b"earlier"})

    def test_no_package_folder(self):
        self.assertRefused(run_bundle(os.path.join(self.scratch, "nowhere"), self.out),
                           "no package folder")


class Names(BundleCase):
    def test_names_that_code_page_936_or_windows_cannot_hold_are_refused_wherever_they_are(self):
        cases = [  # (name added, what the refusal says beside the name)
            ("ก.txt", "code page 936"), (f"{LIBRARY}/Ω-ﬁ.dwg", "code page 936"),
            ("附件/😀.txt", "code page 936"), (b"bad\xff.txt", "code page 936", "bad\\xff.txt"),
            ("帮助.CHM", "帮助.chm"),  # folds together with a package file
            ("a:b.txt",), ("trailing.txt ",), ("ends.",)]
        for name, *words in cases:
            with self.subTest(name=name):
                path = os.path.join(os.fsencode(self.package), os.fsencode(name))
                write(path, "x")
                try:
                    shown = [name.replace("/", os.sep)] if isinstance(name, str) else []
                    self.assertRefused(run_bundle(self.package, self.out), *words, *shown)
                finally:
                    os.remove(path)

    def test_gbk_letters_the_euro_sign_and_required_names_in_other_case_pass(self):
        write(os.path.join(self.package, "café€·—.txt"), "x")
        os.rename(os.path.join(self.package, "Quorel_HZ.shx"),
                  os.path.join(self.package, "QUOREL_HZ.SHX"))
        result = run_bundle(self.package, self.out)
        self.assertEqual(result.returncode, 0, result.stderr)


class SkippedNames(BundleCase):
    def warnings(self, result):
        """The warnings about the package (an unsigned exe is warned about on its own)."""
        return [line for line in result.stderr.splitlines()
                if "warning:" in line and "NOT signed" not in line]

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

    def test_a_package_without_drawing_library_is_warned(self):
        shutil.rmtree(os.path.join(self.package, LIBRARY))
        result = run_bundle(self.package, self.out)
        self.assertEqual(result.returncode, 0)
        self.assertTrue(any("no drawing library" in w for w in self.warnings(result)))


class Written(BundleCase):
    def test_dist_holds_the_installer_beside_the_package_and_one_zip_of_both(self):
        write(os.path.join(self.out, "stale.txt"), "from an earlier bundle")
        result = run_bundle(self.package, self.out, "--quiet")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("SetUp.exe is NOT signed", result.stderr)
        self.assertEqual(sorted(os.listdir(self.out)),
                         ["Data", "SHA256SUMS", "SetUp.exe", f"{TOP}.zip"])
        check_sums(self, self.out)
        self.assertEqual(tree(os.path.join(self.out, "Data")), tree(self.package))
        unpacked = os.path.join(self.scratch, "unpacked")
        with zipfile.ZipFile(os.path.join(self.out, f"{TOP}.zip")) as z:
            self.assertTrue(all(n.startswith(f"{TOP}/") for n in z.namelist()))
            z.extractall(unpacked)
        inside = tree(os.path.join(unpacked, TOP))
        self.assertEqual(inside.pop("SetUp.exe"), read(os.path.join(self.out, "SetUp.exe")))
        self.assertEqual({k[len("Data/"):]: v for k, v in inside.items() if k != "Data"},
                         tree(self.package))
        self.assertEqual([n for n in os.listdir(self.scratch) if n.startswith("dist.tmp")], [])

    def test_a_package_inside_the_bundle_folder_is_refused(self):
        run_bundle(self.package, self.out)
        result = run_bundle(os.path.join(self.out, "Data"), self.out)
        self.assertEqual(result.returncode, 1)
        self.assertIn("inside the bundle folder", result.stderr)
        self.assertTrue(os.path.isfile(os.path.join(self.out, "Data", "Quorel2021.ZRX")))


class Sealed(BundleCase):
    def bundle(self, out):
        result = run_bundle(self.package, out, "--quiet")
        self.assertEqual(result.returncode, 0, result.stderr)
        return read(os.path.join(out, "SetUp.exe"))

    def test_the_exe_holds_each_installed_file_with_its_size_and_digest(self):
        self.bundle(self.out)
        self.assertEqual(record_in(os.path.join(self.out, "SetUp.exe")),
                         expected_record(self.package))
        # The build's own SetUp.exe, which the other tests use with packages of their own.
        self.assertIsNone(record_in(os.path.join(BUILD, "SetUp.exe")))

    def test_the_same_package_gives_the_same_exe_and_another_package_another(self):
        first = self.bundle(os.path.join(self.scratch, "first"))
        chm = os.path.join(self.package, "帮助.chm")
        write(chm, "changed")
        other = self.bundle(os.path.join(self.scratch, "other"))
        make_test_package(self.package)
        again = self.bundle(os.path.join(self.scratch, "again"))
        self.assertEqual(again, first)
        self.assertNotEqual(other, first)

    def test_entries_past_the_listing_limits_are_refused(self):
        # 11 entries now; 99 fit beside "." and "..", and 79 in the library.
        for i in range(88):
            write(os.path.join(self.package, f"f{i:03}.dat"), "x")
        for i in range(76):
            write(os.path.join(self.package, LIBRARY, f"b{i:03}.dwg"), "x")
        self.bundle(self.out)
        for extra, words in [("one-more.dat", "package holds 100 entries"),
                             (f"{LIBRARY}/b999.dwg", "library holds 80 entries")]:
            with self.subTest(extra):
                write(os.path.join(self.package, extra), "x")
                shutil.rmtree(self.out, ignore_errors=True)
                try:
                    self.assertRefused(run_bundle(self.package, self.out), words, "so 1 would")
                finally:
                    os.remove(os.path.join(self.package, extra))


class Signed(BundleCase):
    @classmethod
    def setUpClass(cls):
        cls.pki = ThrowawayPki(tempfile.mkdtemp())
        cls.addClassCleanup(shutil.rmtree, cls.pki.folder)

    def test_the_signature_verifies_and_removing_it_gives_back_the_built_exe(self):
        result = run_bundle(self.package, self.out, "--quiet", signing=self.pki.signing())
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertNotIn("NOT signed", result.stderr)
        self.assertIn("SetUp.exe signed", result.stdout)
        signed = os.path.join(self.out, "SetUp.exe")
        verified = self.pki.verify(signed)
        self.assertEqual(verified.returncode, 0, verified.stdout + verified.stderr)
        self.assertIn("Message digest algorithm  : SHA256", verified.stdout)
        with zipfile.ZipFile(os.path.join(self.out, f"{TOP}.zip")) as z:
            self.assertEqual(z.read(f"{TOP}/SetUp.exe"), read(signed))
        check_sums(self, self.out)
        unsigned = os.path.join(self.scratch, "unsigned.exe")
        subprocess.run(["osslsigncode", "remove-signature", "-in", signed, "-out", unsigned],
                       check=True, capture_output=True)
        self.assertEqual(record_in(unsigned), expected_record(self.package))
        self.assertEqual(run_bundle(self.package, os.path.join(self.scratch, "plain")).returncode, 0)
        self.assertEqual(read(unsigned), read(os.path.join(self.scratch, "plain", "SetUp.exe")))

    def test_settings_that_cannot_sign_write_nothing(self):
        cases = [
            ("wrong password", self.pki.signing(SETUP_SIGN_PASSWORD="wrong"), "signing SetUp.exe failed"),
            ("no such file", self.pki.signing(SETUP_SIGN_PKCS12=os.path.join(self.scratch, "x.p12")),
             "no file"),
            ("no password", {"SETUP_SIGN_PKCS12": self.pki.pkcs12}, "without SETUP_SIGN_PASSWORD"),
            ("timestamp without certificate", {"SETUP_SIGN_TIMESTAMP_URL": "http://127.0.0.1:1/"},
             "without SETUP_SIGN_PKCS12"),
            # The server is used, and an unreachable one gives no bundle without the timestamp.
            ("timestamp server unreachable",
             self.pki.signing(SETUP_SIGN_TIMESTAMP_URL="http://127.0.0.1:1/"),
             "signing SetUp.exe failed"),
        ]
        for name, signing, words in cases:
            with self.subTest(name):
                self.assertRefused(run_bundle(self.package, self.out, signing=signing), words)


def unpack(prefix):
    """Bundles the test package, signed, and unpacks the zip to C:\\zbundle in the prefix."""
    with tempfile.TemporaryDirectory() as scratch:
        package, out = os.path.join(scratch, "Data"), os.path.join(scratch, "dist")
        make_test_package(package)
        pki = ThrowawayPki(scratch)
        result = run_bundle(package, out, signing=pki.signing())
        if result.returncode == 0:
            result = pki.verify(os.path.join(out, "SetUp.exe"))
        if result.returncode != 0:
            sys.stderr.write(result.stdout + result.stderr)
            return 1
        target = os.path.join(prefix, "drive_c", "zbundle")
        shutil.rmtree(target, ignore_errors=True)
        with zipfile.ZipFile(os.path.join(out, f"{TOP}.zip")) as z:
            z.extractall(target)
        print(f"unpacked into {target}")
        return 0


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "--unpack":
        BUILD = sys.argv[2]
        sys.exit(unpack(sys.argv[3]))
    BUILD = sys.argv[1]
    unittest.main(argv=[sys.argv[0], "-v", *sys.argv[2:]])
