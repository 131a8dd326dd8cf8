#!/usr/bin/python3
"""Usage: medium_test.py SOURCE_DIR PRODUCT_BUILD PRODUCT_MACHINE TEST_BUILD [TEST_NAME...]

The release medium as tools/make_dist.sh writes it: what the zip and the CD image hold, the
checksums, the program signed with a throw-away certificate authority, and the typical road
walked under Wine from the extracted CD image as a drive root. Exits 77 when every test it ran
was skipped, after saying why."""
import calendar
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

SOURCE = PRODUCT_BUILD = PRODUCT_MACHINE = TEST_BUILD = ""
PROGRAM = "QB7_LX450.exe"
ZIP = "QB7_LX450-1.0.0.1.zip"
ISO = "QB7_LX450-1.0.0.1.iso"
AUTORUN = b"[AutoRun]\r\nopen=QB7_LX450.exe\r\nicon=QB7_LX450.exe,0\r\nlabel=QB7_LX450\r\n"
MEDIUM_FILES = sorted([
    "QB7_LX450.exe", "autorun.inf",
    "Driver/Win2000_WinXP/Ax88772.inf", "Driver/Win2000_WinXP/Ax88772.cat",
    "Driver/WinXP_64/Ax88772.inf", "Driver/WinXP_64/Ax88772.cat",
    "Driver/Vista_32/Ax88772.inf", "Driver/Vista_32/Ax88772.cat", "Driver/Vista_32/DPInst32.exe",
    "Driver/Vista_64/Ax88772.inf", "Driver/Vista_64/Ax88772.cat", "Driver/Vista_64/DPInst64.exe",
])
TOOLS = {"xorriso": "xorriso", "osslsigncode": "osslsigncode", "openssl": "openssl",
         "zip": "zip"}
UNSET = ("SIGN_CERT", "SIGN_KEY", "SIGN_PKCS12", "SIGN_PASS", "SIGN_URL", "TIMESTAMP_URL")


def missing_tools():
    return [f"{tool} (Debian package {package})" for tool, package in TOOLS.items()
            if shutil.which(tool) is None]


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


def make_dist(build, out, **signing):
    env = {key: value for key, value in os.environ.items() if key not in UNSET}
    env.update(signing)
    made = run([os.path.join(SOURCE, "tools", "make_dist.sh"), build, out], env=env)
    if made.returncode != 0:
        raise AssertionError(f"make_dist.sh failed:\n{made.stdout}{made.stderr}")
    return made.stdout


def extract_iso(iso, folder):
    extracted = run(["xorriso", "-no_rc", "-report_about", "WARNING", "-osirrox", "on",
                     "-indev", iso, "-extract", "/", folder])
    if extracted.returncode != 0:
        raise AssertionError(f"xorriso could not extract {iso}:\n{extracted.stderr}")
    # Files come out read-only, as on the disc; the test must be able to remove them.
    for root, folders, files in os.walk(folder):
        for name in folders + files:
            os.chmod(os.path.join(root, name), 0o755)
    return folder


def tree_files(folder):
    return sorted(os.path.relpath(os.path.join(root, name), folder)
                  for root, _, files in os.walk(folder) for name in files)


def read(path):
    with open(path, "rb") as file:
        return file.read()


def commit_time():
    return int(run(["git", "-C", SOURCE, "log", "-1", "--format=%ct"]).stdout)


class Signer:
    """A throw-away certificate authority and a code-signing certificate it issued."""
    PASSWORD = "medium test"

    def __init__(self, folder):
        self.folder = folder
        self.ca = self.path("ca.pem")
        self.cert = self.path("vendor.pem")
        self.key = self.path("vendor.key")
        self.pkcs12 = self.path("vendor.p12")
        extensions = self.path("code_signing.cnf")
        with open(extensions, "w") as file:
            file.write("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                       "extendedKeyUsage=codeSigning\n")
        self.openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                     "-keyout", self.path("ca.key"), "-out", self.ca, "-subj", "/CN=QB7 Test CA",
                     "-addext", "basicConstraints=critical,CA:TRUE",
                     "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        self.openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", self.key,
                     "-out", self.path("vendor.csr"), "-subj", "/CN=QB7 Test Vendor")
        self.openssl("x509", "-req", "-in", self.path("vendor.csr"), "-CA", self.ca,
                     "-CAkey", self.path("ca.key"), "-CAcreateserial", "-days", "2",
                     "-extfile", extensions, "-out", self.cert)
        self.openssl("pkcs12", "-export", "-in", self.cert, "-inkey", self.key,
                     "-out", self.pkcs12, "-passout", f"pass:{self.PASSWORD}")

    def path(self, name):
        return os.path.join(self.folder, name)

    @staticmethod
    def openssl(*arguments):
        made = run(["openssl", *arguments])
        if made.returncode != 0:
            raise AssertionError(f"openssl {arguments[0]} failed:\n{made.stderr}")

    def verify(self, program):
        return run(["osslsigncode", "verify", "-CAfile", self.ca, "-in", program])


class DistTest(unittest.TestCase):
    def setUp(self):
        missing = missing_tools()
        if missing:
            self.skipTest("missing " + ", ".join(missing))
        self.scratch = tempfile.mkdtemp(prefix="qb7-dist-")
        self.addCleanup(shutil.rmtree, self.scratch, True)

    def folder(self, name):
        path = os.path.join(self.scratch, name)
        os.makedirs(path, exist_ok=True)
        return path


class MediumLayout(DistTest):
    def setUp(self):
        super().setUp()
        self.out = self.folder("out")
        make_dist(PRODUCT_BUILD, self.out)

    def test_zip_holds_the_medium_with_fixed_dates(self):
        with zipfile.ZipFile(os.path.join(self.out, ZIP)) as archive:
            files = sorted(info.filename for info in archive.infolist() if not info.is_dir())
            self.assertEqual(files, MEDIUM_FILES)
            self.assertEqual(archive.read("autorun.inf"), AUTORUN)
            self.assertEqual(archive.read(PROGRAM), read(os.path.join(self.out, PROGRAM)))
            dates = {info.date_time for info in archive.infolist()}
        # One date for every entry: the last commit's, in UTC, to the two seconds zip keeps.
        self.assertEqual(len(dates), 1, dates)
        self.assertLessEqual(abs(calendar.timegm(dates.pop() + (0, 0, 0)) - commit_time()), 1)

    def test_iso_keeps_names_and_label_and_the_zip_bytes(self):
        tree = extract_iso(os.path.join(self.out, ISO), self.folder("tree"))
        self.assertEqual(tree_files(tree), MEDIUM_FILES)
        with zipfile.ZipFile(os.path.join(self.out, ZIP)) as archive:
            for name in MEDIUM_FILES:
                self.assertEqual(read(os.path.join(tree, name)), archive.read(name), name)
        info = run(["xorriso", "-no_rc", "-indev", os.path.join(self.out, ISO), "-pvd_info"])
        self.assertIn("Volume Id    : QB7_LX450\n", info.stdout)

    def test_checksums_list_every_file_written(self):
        sums = {}
        for line in read(os.path.join(self.out, "SHA256SUMS")).decode().splitlines():
            digest, name = line.split("  ", 1)
            sums[name] = digest
        self.assertEqual(sorted(sums), sorted([PROGRAM, ZIP, ISO]))
        self.assertEqual(sorted(os.listdir(self.out)), sorted([PROGRAM, ZIP, ISO, "SHA256SUMS"]))
        for name, digest in sums.items():
            self.assertEqual(hashlib.sha256(read(os.path.join(self.out, name))).hexdigest(),
                             digest, name)


class SignedMedium(DistTest):
    def setUp(self):
        super().setUp()
        self.signer = Signer(self.folder("keys"))

    def signed_medium(self, **signing):
        out = self.folder("out")
        make_dist(PRODUCT_BUILD, out, **signing)
        with zipfile.ZipFile(os.path.join(out, ZIP)) as archive:
            in_zip = os.path.join(self.folder("zip"), PROGRAM)
            with open(in_zip, "wb") as file:
                file.write(archive.read(PROGRAM))
        in_iso = os.path.join(extract_iso(os.path.join(out, ISO), self.folder("iso")), PROGRAM)
        return [os.path.join(out, PROGRAM), in_zip, in_iso]

    def test_signature_verifies_in_zip_and_iso(self):
        rows = [
            ("Pem", {"SIGN_CERT": self.signer.cert, "SIGN_KEY": self.signer.key,
                     "SIGN_URL": "https://vendor.example/qb7"}),
            ("Pkcs12", {"SIGN_PKCS12": self.signer.pkcs12, "SIGN_PASS": Signer.PASSWORD}),
        ]
        for name, signing in rows:
            with self.subTest(name):
                for program in self.signed_medium(**signing):
                    verified = self.signer.verify(program)
                    self.assertEqual(verified.returncode, 0, program + verified.stdout)
                    self.assertIn("Message digest algorithm  : SHA256", verified.stdout)
                    self.assertIn("Text description: QB7_LX450 Setup", verified.stdout)
                    if "SIGN_URL" in signing:
                        self.assertIn("URL description: https://vendor.example/qb7",
                                      verified.stdout)
                    checked = run(["/usr/bin/python3", os.path.join(SOURCE, "tests", "product",
                                   "check_pe.py"), program, PRODUCT_MACHINE])
                    self.assertEqual(checked.returncode, 0, checked.stdout)

    def test_unsigned_program_does_not_verify(self):
        unsigned = os.path.join(PRODUCT_BUILD, "ui", PROGRAM)
        self.assertNotEqual(self.signer.verify(unsigned).returncode, 0)


class MediumUnderWine(DistTest):
    """The signed program of this build, started from the extracted CD image as drive R: or the
    next free letter, walks the typical road: dialog, Install, the Vista-family installer of
    the drive's driver folder, notice, OK."""

    def setUp(self):
        super().setUp()
        if not os.environ.get("DISPLAY"):
            self.skipTest("no DISPLAY: run under xvfb-run, as make test does")
        self.prefix = os.path.join(TEST_BUILD, "wine", "prefix64")
        self.wine = [os.path.join(SOURCE, "tests", "support", "wine_run.sh"), self.prefix]

    def map_drive(self, folder):
        dosdevices = os.path.join(self.prefix, "dosdevices")
        for letter in "rstuvwxy":
            link = os.path.join(dosdevices, letter + ":")
            if not os.path.lexists(link):
                os.symlink(folder, link)
                self.addCleanup(os.remove, link)
                return letter.upper() + ":"
        self.fail(f"no free drive letter in {dosdevices}")

    def test_typical_road_from_drive_root(self):
        signer = Signer(self.folder("keys"))
        out = self.folder("out")
        make_dist(TEST_BUILD, out, SIGN_CERT=signer.cert, SIGN_KEY=signer.key)
        tree = extract_iso(os.path.join(out, ISO), self.folder("tree"))
        self.assertEqual(signer.verify(os.path.join(tree, PROGRAM)).returncode, 0)
        # The prefix exists once Wine ran there; the version is what the program is told.
        run(self.wine + ["reg", "add", r"HKCU\Software\Wine\AppDefaults\QB7_LX450.exe",
                         "/v", "Version", "/d", "win7", "/f"], check=True)
        drive = self.map_drive(tree)
        walk = run(self.wine + [os.path.join(TEST_BUILD, "tools", "gui_driver", "walk_sample.exe"),
                                drive + "\\" + PROGRAM, self.folder("shots"),
                                os.path.join(self.scratch, "installer.log")], timeout=300)
        self.assertEqual(walk.returncode, 0, walk.stdout + walk.stderr)
        self.assertIn(f"  folder entered  : {drive}\\Driver\\Vista_64\n", walk.stdout)
        self.assertIn(f'installer run   : "{drive}\\Driver\\Vista_64\\DPInst64.exe"  /lm /sw /sa'
                      " (ended)", walk.stdout)
        self.assertIn("  notice          : Install OK\n", walk.stdout)


def main():
    global SOURCE, PRODUCT_BUILD, PRODUCT_MACHINE, TEST_BUILD
    if len(sys.argv) < 5:
        print(__doc__, file=sys.stderr)
        return 2
    SOURCE, PRODUCT_BUILD, PRODUCT_MACHINE, TEST_BUILD = sys.argv[1:5]
    tests = unittest.defaultTestLoader
    names = sys.argv[5:]
    suite = (tests.loadTestsFromNames(names, sys.modules[__name__]) if names else
             tests.loadTestsFromModule(sys.modules[__name__]))
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    if not result.wasSuccessful():
        return 1
    return 77 if result.testsRun and len(result.skipped) == result.testsRun else 0


if __name__ == "__main__":
    sys.exit(main())
