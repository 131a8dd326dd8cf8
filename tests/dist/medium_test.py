#!/usr/bin/python3
"""Usage: medium_test.py SOURCE_DIR PRODUCT_BUILD PRODUCT_MACHINE TEST_BUILD [TEST_NAME...]

The release medium as medium/make_dist.sh writes it: what the zip and the CD image hold, a
vendor-shaped driver package passed through byte for byte, the checksums, the program signed
with a throw-away certificate authority, what it refuses without leaving a medium, and the
typical road walked under Wine from the extracted CD image as a drive root. Exits 77 when every
test it ran was skipped, after saying why."""
import calendar
import hashlib
import itertools
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

from driver_package import edit_inf, package_files, write_package

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
MEDIUM_OUTPUT = sorted([PROGRAM, ZIP, ISO, "SHA256SUMS"])
TOOLS = {"xorriso": "xorriso", "osslsigncode": "osslsigncode", "openssl": "openssl",
         "i686-w64-mingw32-gcc": "gcc-mingw-w64-i686",
         "x86_64-w64-mingw32-gcc": "gcc-mingw-w64-x86-64", "softhsm2-util": "softhsm2",
         "pkcs11-tool": "opensc", "p11tool": "gnutls-bin"}
UNSET = ("SIGN_CERT", "SIGN_KEY", "SIGN_PKCS12", "SIGN_PKCS11_MODULE", "SIGN_PASS", "SIGN_URL",
         "TIMESTAMP_URL", "SIGN_CAFILE", "DRIVER_PACKAGE")
SOFTHSM = "/usr/lib/softhsm/libsofthsm2.so"
TOKEN_KEY = "pkcs11:token=QB7%20test;object=vendor;type=private"
TOKEN_CERT = TOKEN_KEY.replace("private", "cert")
# A package folder name a shell would split or act on.
PACKAGE_NAME = "vendor's package (v1.0) & $HOME; copy"
# The tests' own installers for the vendor-shaped package: they record their start where the
# walk reads the stand-in's record, and install nothing.
INSTALLER_SOURCE = r"""
#include <windows.h>
#include <stdio.h>

int main(void) {
  char log[MAX_PATH], folder[MAX_PATH];
  DWORD id = GetCurrentProcessId();
  FILE *file;
  if (!GetEnvironmentVariableA("QB7_STANDIN_LOG", log, sizeof log) ||
      !GetCurrentDirectoryA(sizeof folder, folder) || !(file = fopen(log, "ab"))) {
    return 0;
  }
  fprintf(file, "pid=%lu\tcwd=%s\tcmdline=%s\r\nend pid=%lu\r\n", id, folder,
          GetCommandLineA(), id);
  fclose(file);
  return 0;
}
"""
COMPILERS = {"x86": "i686-w64-mingw32-gcc", "amd64": "x86_64-w64-mingw32-gcc"}


def missing_tools():
    return [f"{tool} (Debian package {package})" for tool, package in TOOLS.items()
            if shutil.which(tool) is None]


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


def run_make_dist(build, out, package=None, **environment):
    env = {key: value for key, value in os.environ.items() if key not in UNSET}
    env.update(environment)
    return run([os.path.join(SOURCE, "medium", "make_dist.sh"), build, out] +
               ([package] if package else []), env=env)


def make_dist(build, out, package=None, **environment):
    made = run_make_dist(build, out, package, **environment)
    if made.returncode != 0:
        raise AssertionError(f"make_dist.sh failed:\n{made.stdout}{made.stderr}")
    return made.stdout


def own_installers(folder):
    """The tests' own installer built for x86 and for amd64: machine to the program's bytes."""
    source = os.path.join(folder, "installer.c")
    with open(source, "w") as file:
        file.write(INSTALLER_SOURCE)
    installers = {}
    for machine, compiler in COMPILERS.items():
        program = os.path.join(folder, f"installer-{machine}.exe")
        built = run([compiler, "-Os", "-s", "-mwindows", "-o", program, source])
        if built.returncode != 0:
            raise AssertionError(f"{compiler} failed:\n{built.stderr}")
        installers[machine] = read(program)
    return installers


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


def medium_in_zip(zip_path):
    with zipfile.ZipFile(zip_path) as archive:
        return {info.filename: archive.read(info) for info in archive.infolist()
                if not info.is_dir()}


def medium_in_tree(tree):
    return {name: read(os.path.join(tree, name)) for name in tree_files(tree)}


class Signer:
    """A throw-away certificate authority and a code-signing certificate it issued; more
    certificates, good or bad, on request."""
    PASSWORD = "medium test"
    CODE_SIGNING = "keyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n"

    def __init__(self, folder):
        self.folder = folder
        self.ca = self.path("ca.pem")
        self.ca_key = self.path("ca.key")
        self.key = self.path("vendor.key")
        self.pkcs12 = self.path("vendor.p12")
        self.openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                     "-keyout", self.ca_key, "-out", self.ca, "-subj", "/CN=QB7 Test CA",
                     "-addext", "basicConstraints=critical,CA:TRUE",
                     "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        self.openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", self.key,
                     "-out", self.path("vendor.csr"), "-subj", "/CN=QB7 Test Vendor")
        with open(self.path("ca.cnf"), "w") as file:
            file.write("[ca]\ndefault_ca = test\n[test]\ndatabase = index.txt\n"
                       "new_certs_dir = .\nserial = serial\ndefault_md = sha256\n"
                       "policy = any\nunique_subject = no\n[any]\ncommonName = supplied\n")
        open(self.path("index.txt"), "w").close()
        with open(self.path("serial"), "w") as file:
            file.write("01\n")
        self.cert = self.issue("vendor.pem")
        self.openssl("pkcs12", "-export", "-in", self.cert, "-inkey", self.key,
                     "-out", self.pkcs12, "-passout", f"pass:{self.PASSWORD}")

    def path(self, name):
        return os.path.join(self.folder, name)

    def issue(self, name, usage=CODE_SIGNING, dates=("-days", "2"), request="vendor.csr"):
        """A certificate for the vendor's key with `usage` and the validity `dates` give."""
        extensions = self.path(name + ".cnf")
        with open(extensions, "w") as file:
            file.write("basicConstraints=CA:FALSE\n" + usage)
        self.openssl("ca", "-batch", "-notext", "-config", "ca.cnf", "-cert", self.ca,
                     "-keyfile", self.ca_key, "-in", request, "-extfile", extensions,
                     "-out", self.path(name), *dates)
        return self.path(name)

    def openssl(self, *arguments, **environment):
        self.program("openssl", *arguments, **environment)

    def program(self, tool, *arguments, **environment):
        made = run([tool, *arguments], cwd=self.folder, env=dict(os.environ, **environment))
        if made.returncode != 0:
            raise AssertionError(f"{tool} {arguments[0]} failed:\n{made.stderr}")

    def on_token(self):
        """The environment that signs with a key made on a SoftHSM token in this folder as
        never extractable, and the certificate this authority issued for it, also on the
        token (TOKEN_CERT)."""
        os.environ["SOFTHSM2_CONF"] = self.path("softhsm2.conf")
        os.makedirs(self.path("tokens"))
        with open(self.path("softhsm2.conf"), "w") as file:
            file.write(f"directories.tokendir = {self.path('tokens')}\n")
        token = ["--module", SOFTHSM, "--token-label", "QB7 test", "--login", "--pin",
                 self.PASSWORD, "--id", "01", "--label", "vendor"]
        self.program("softhsm2-util", "--init-token", "--free", "--label", "QB7 test",
                     "--so-pin", "12345678", "--pin", self.PASSWORD)
        self.program("pkcs11-tool", *token, "--keypairgen", "--key-type", "rsa:2048", "--sensitive")
        self.openssl("req", "-new", "-engine", "pkcs11", "-keyform", "engine", "-key", TOKEN_KEY,
                     "-passin", "env:SIGN_PASS", "-subj", "/CN=QB7 Token", "-out", "token.csr",
                     PKCS11_MODULE_PATH=SOFTHSM, SIGN_PASS=self.PASSWORD)
        self.openssl("x509", "-in", self.issue("token.pem", request="token.csr"),
                     "-outform", "DER", "-out", "token.der")
        self.program("pkcs11-tool", *token, "--write-object", "token.der", "--type", "cert")
        return {"SIGN_PKCS11_MODULE": SOFTHSM, "SIGN_KEY": TOKEN_KEY, "SIGN_PASS": self.PASSWORD,
                "SIGN_CERT": self.path("token.pem")}

    def pem(self, cert=None):
        """The environment that signs with a PEM certificate and key, verified against this
        authority."""
        return {"SIGN_CERT": cert or self.cert, "SIGN_KEY": self.key, "SIGN_CAFILE": self.ca}

    def verify(self, program):
        """The installed osslsigncode's verdict, offline as sign.sh asks for it."""
        help_text = run(["osslsigncode", "-h"])
        offered = (help_text.stdout + help_text.stderr).split()
        offline = [option for option in ("-ignore-cdp", "-ignore-crl") if option in offered]
        return run(["osslsigncode", "verify", *offline, "-CAfile", self.ca, "-in", program])


def debian12_osslsigncode():
    """(folder of Debian 12's osslsigncode 2.5, why there is none): the installed one when it is
    2.5, else the one the test build unpacks (tests/dist/debian12_osslsigncode.sh)."""
    if run(["osslsigncode", "--version"]).stdout.startswith("osslsigncode 2.5,"):
        return os.path.dirname(shutil.which("osslsigncode")), ""
    unpacked = os.path.join(TEST_BUILD, "debian12-osslsigncode")
    if os.access(os.path.join(unpacked, "usr", "bin", "osslsigncode"), os.X_OK):
        return os.path.join(unpacked, "usr", "bin"), ""
    try:
        return None, read(os.path.join(unpacked, "unavailable")).decode().strip()
    except OSError:
        return None, f"not unpacked in {unpacked}: the test build's debian12_osslsigncode runs"


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

    def vendor_package(self, signer, name=PACKAGE_NAME):
        """The vendor-shaped package with the tests' own installers and catalogs that `signer`
        signs, below a folder name with spaces and shell characters; returns the package folder
        and the files it holds."""
        installers = own_installers(self.folder("installers"))
        # The tests' authorities stand for the root that cross-certificates chain to, so that
        # the check takes the package's catalogs for cross-signed ones.
        self.catalog_roots = getattr(self, "catalog_roots", "") + "# role: cross-signing\n" + \
            pathlib.Path(signer.ca).read_text()
        roots = os.path.join(self.scratch, "catalog roots.pem")
        with open(roots, "w") as file:
            file.write(self.catalog_roots)
        os.environ["CATALOG_ROOTS"] = roots
        self.addCleanup(os.environ.pop, "CATALOG_ROOTS", None)
        package = os.path.join(self.folder("packages"), name)
        write_package(package, installers, (signer.cert, signer.key))
        files = package_files(installers)
        files.update((path, read(os.path.join(package, path))) for path in files
                     if path.endswith(".cat"))
        return package, files


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
            # Windows takes an entry for a folder by its MS-DOS directory attribute.
            folders = [info for info in archive.infolist() if info.is_dir()]
            self.assertTrue(folders and all(info.external_attr & 0x10 for info in folders))
        # One date for every entry: the last commit's, in UTC, to the two seconds zip keeps.
        self.assertEqual(len(dates), 1, dates)
        self.assertLessEqual(abs(calendar.timegm(dates.pop() + (0, 0, 0)) - commit_time()), 1)

    def test_iso_keeps_names_label_dates_and_the_zip_bytes(self):
        tree = extract_iso(os.path.join(self.out, ISO), self.folder("tree"))
        self.assertEqual(tree_files(tree), MEDIUM_FILES)
        self.assertEqual(medium_in_tree(tree), medium_in_zip(os.path.join(self.out, ZIP)))
        info = run(["xorriso", "-no_rc", "-indev", os.path.join(self.out, ISO), "-pvd_info"])
        self.assertIn("Volume Id    : QB7_LX450\n", info.stdout)
        # The volume's dates and every file's and folder's (extraction keeps the image's).
        stamp = time.strftime("%Y%m%d%H%M%S00", time.gmtime(commit_time()))
        for label in ("Creation Time", "Modif. Time"):
            self.assertIn(f"{label}: {stamp}\n", info.stdout.replace("  :", ":"))
        dates = {os.stat(os.path.join(root, name)).st_mtime
                 for root, folders, files in os.walk(tree) for name in folders + files}
        self.assertEqual(dates, {commit_time()})

    def test_checksums_list_every_file_written(self):
        sums = {}
        for line in read(os.path.join(self.out, "SHA256SUMS")).decode().splitlines():
            digest, name = line.split("  ", 1)
            sums[name] = digest
        self.assertEqual(sorted(sums), sorted([PROGRAM, ZIP, ISO]))
        self.assertEqual(sorted(os.listdir(self.out)), MEDIUM_OUTPUT)
        report = json.loads(read(os.path.join(os.path.dirname(self.out), "package-report.json")))
        self.assertEqual(report["verdict"], "accepted")
        for name, digest in sums.items():
            self.assertEqual(hashlib.sha256(read(os.path.join(self.out, name))).hexdigest(),
                             digest, name)


class VendorPackage(DistTest):
    def test_every_file_reaches_zip_and_iso_unchanged(self):
        package, files = self.vendor_package(Signer(self.folder("keys")))
        # A link inside the package goes on the medium as the file it points to.
        os.symlink("readme.txt", os.path.join(package, "Driver", "Vista_32", "liesmich.txt"))
        files["Driver/Vista_32/liesmich.txt"] = files["Driver/Vista_32/readme.txt"]
        out = self.folder("out")
        made = make_dist(PRODUCT_BUILD, out, package)
        self.assertIn("Driver package accepted: 0 errors", made)
        expected = dict(files, **{PROGRAM: read(os.path.join(out, PROGRAM)), "autorun.inf": AUTORUN})
        tree = extract_iso(os.path.join(out, ISO), self.folder("tree"))
        for medium, found in (("zip", medium_in_zip(os.path.join(out, ZIP))),
                              ("iso", medium_in_tree(tree))):
            with self.subTest(medium):
                self.assertEqual(sorted(found), sorted(expected))
                for name, data in expected.items():
                    self.assertEqual(found[name], data, name)


def refused_rows(test, signer):
    """name, make_dist's package and environment, what its output must say. {package} stands
    for the package's folder."""
    package, _ = test.vendor_package(signer)
    sample_copy = os.path.join(test.folder("sample"), PACKAGE_NAME)
    shutil.copytree(os.path.join(PRODUCT_BUILD, "medium"), sample_copy)

    def variant(name, relative, target=None):
        """A copy of the package with one more file in Vista_64, or a link to `target`."""
        copy = package.replace(PACKAGE_NAME, name)
        shutil.copytree(package, copy)
        path = os.path.join(copy, "Driver", "Vista_64", relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        os.symlink(target, path) if target else open(path, "w").close()
        return copy
    long_path = os.path.join("f" * 60, "n" * 46)
    stale = package.replace(PACKAGE_NAME, "stale catalog")
    shutil.copytree(package, stale)
    edit_inf(os.path.join(stale, "Driver", "Vista_64", "Ax88772.inf"), "1.0.0.1", "1.0.0.2")

    def xorriso(name, script):
        """The environment that puts a shell script in xorriso's place; $medium is the folder
        the builder maps into the image, $xorriso the real one."""
        folder = test.folder(name)
        with open(os.path.join(folder, "xorriso"), "w") as file:
            file.write('#!/bin/sh\nfor arg; do [ "$map" = -map ] && medium=$arg; map=$arg; done\n'
                       f"xorriso={shutil.which('xorriso')}\n{script}\n")
        os.chmod(os.path.join(folder, "xorriso"), 0o755)
        return {"PATH": folder + os.pathsep + os.environ["PATH"]}
    other = Signer(test.folder("other authority"))
    others_package, _ = test.vendor_package(other, "other's package")
    token = signer.on_token()
    return [
        ("PackageMissing", package + " (gone)", {},
         f"error   {package} (gone): no such folder"),
        ("NameTooLongForCdImage", variant("long name", "x" * 65), {},
         f"error   Driver/Vista_64/{'x' * 65}: name of 65 characters"),
        ("PathTooLongForCdImage", variant("long path", long_path), {},
         f"error   Driver/Vista_64/{long_path}: path of 123 characters on the medium"),
        ("NameWindowsCannotHold", variant("bad name", "what?.txt"), {},
         "error   Driver/Vista_64/what?.txt: its name holds ?"),
        ("NameNotUtf8", variant("not UTF-8", os.fsdecode(b"\xff.txt")), {},
         "error   Driver/Vista_64/\\xff.txt: its name is not UTF-8"),
        ("LinkOutsidePackage", variant("link out", "notes.txt", test.folder("private")), {},
         f"error   Driver/Vista_64/notes.txt: a link to {test.folder('private')}, outside the "
         "package"),
        ("CatalogStaleInVista64", stale, {},
         "error   Driver/Vista_64/Ax88772.inf: fails on every Windows Vista_64 serves"),
        # Judged against Microsoft's roots, the tests' authority signs nothing Windows loads.
        ("CatalogNotSignedForWindows", package, {"CATALOG_ROOTS": ""},
         "error   Driver/Vista_64/Ax88772.inf: fails on every Windows Vista_64 serves"),
        ("ImageDiffersFromPackage", package, xorriso(
            "changing xorriso", 'echo >>"$medium/Driver/Vista_64/readme.txt"; exec $xorriso "$@"'),
         "read back: Driver/Vista_64/readme.txt: the CD image holds other bytes than the package"),
        # A name outside UCS-2, which Joliet cannot hold, put in after the check.
        ("ImageWarns", package, xorriso("warning xorriso", 'touch "$medium/Driver/\U0001F600.txt"; '
                                        'exec $xorriso "$@"'),
         "WARNING : Filename not suitable for Joliet character set UCS-2"),
        ("SampleSigned", None, signer.pem(), "error   Driver/Vista_32/DPInst32.exe: the sample's "
         "stand-in, which installs nothing: a signed medium is a release"),
        ("SampleCopySigned", sample_copy, signer.pem(), "error   Driver/Vista_64/DPInst64.exe: "
         "the sample's stand-in, which installs nothing: a signed medium is a release"),
        ("CertificateWithoutCodeSigning", package,
         signer.pem(signer.issue("any.pem", usage="extendedKeyUsage=serverAuth\n")),
         "signing refused: {keys}/any.pem: the certificate lacks the code-signing extended key "
         "usage"),
        ("CertificateForIndividualCodeSigning", package,
         signer.pem(signer.issue("individual.pem", usage="extendedKeyUsage=msCodeInd\n")),
         "signing refused: {keys}/individual.pem: the certificate lacks the code-signing "
         "extended key usage"),
        ("KeyUsageWithoutDigitalSignature", package,
         signer.pem(signer.issue("encipher.pem", usage="keyUsage=critical,keyEncipherment\n"
                                 "extendedKeyUsage=codeSigning\n")),
         "signing refused: {keys}/encipher.pem: the certificate's key usage lacks "
         "digitalSignature"),
        ("CertificateExpired", package,
         signer.pem(signer.issue("old.pem", dates=("-startdate", "20200101000000Z",
                                                   "-enddate", "20210101000000Z"))),
         "signing refused: {keys}/old.pem: the certificate expired on Jan  1 00:00:00 2021 GMT"),
        ("CertificateNotValidYet", package,
         signer.pem(signer.issue("new.pem", dates=("-startdate", "20990101000000Z",
                                                   "-enddate", "21000101000000Z"))),
         "signing refused: {keys}/new.pem: the certificate is not valid yet"),
        ("KeyOfAnotherCertificate", package, dict(signer.pem(), SIGN_KEY=signer.ca_key),
         "signing refused: {keys}/ca.key: the key does not belong to the certificate in "
         "{keys}/vendor.pem"),
        ("SignatureNotVerified", others_package, dict(signer.pem(), SIGN_CAFILE=other.ca),
         "signing refused: the signature made with {keys}/vendor.pem does not verify"),
        ("TokenModuleNotLoading", package, dict(token, SIGN_PKCS11_MODULE=signer.path("none.so")),
         "signing refused: {keys}/none.so: the PKCS#11 module does not load"),
        ("TokenNotFound", package, dict(token, SIGN_KEY=TOKEN_KEY.replace("QB7%20", "other")),
         "signing refused: pkcs11:token=othertest;object=vendor;type=private: no token of"),
        ("TokenWithoutTheKey", package, dict(token, SIGN_KEY=TOKEN_KEY.replace("=vendor", "=x")),
         "signing refused: pkcs11:token=QB7%20test;object=x;type=private: the token holds no"),
        ("TokenPinWrong", package, dict(token, SIGN_PASS="wrong PIN"),
         f"signing refused: {TOKEN_KEY}: the token refused the PIN in SIGN_PASS; not tried again"),
        ("TokenKeyOfAnotherCertificate", package, dict(token, SIGN_CERT=signer.cert),
         f"signing refused: {TOKEN_KEY}: the key does not belong to the certificate in "
         "{keys}/vendor.pem"),
        ("ImageFails", package,
         xorriso("failing xorriso", "echo 'cannot write the image' >&2; exit 1"),
         "the CD image could not be made: no medium written"),
    ]


class RefusedMedium(DistTest):
    """Every refusal and failure names its cause and leaves no medium, not even an earlier one."""

    def test_rows(self):
        signer = Signer(self.folder("keys"))
        for name, package, environment, expected in refused_rows(self, signer):
            with self.subTest(name):
                out = self.folder(f"out-{name}")
                for stale in MEDIUM_OUTPUT:
                    open(os.path.join(out, stale), "w").close()
                made = run_make_dist(PRODUCT_BUILD, out, package, **environment)
                output = made.stdout + made.stderr
                self.assertNotEqual(made.returncode, 0, output)
                self.assertIn(expected.format(keys=signer.folder), output)
                self.assertEqual(os.listdir(out), [], output)


class SignedMedium(DistTest):
    def setUp(self):
        super().setUp()
        self.signer = Signer(self.folder("keys"))
        self.package_signer = Signer(self.folder("package keys"))

    def signed_medium(self, **signing):
        out = self.folder("out")
        # SIGN_CAFILE names the program's authority only, not that of the package's catalogs.
        # One package for every row: making it costs more than a medium.
        self.package = getattr(self, "package", None) or self.vendor_package(self.package_signer)[0]
        make_dist(PRODUCT_BUILD, out, self.package, SIGN_CAFILE=self.signer.ca, **signing)
        with zipfile.ZipFile(os.path.join(out, ZIP)) as archive:
            in_zip = os.path.join(self.folder("zip"), PROGRAM)
            with open(in_zip, "wb") as file:
                file.write(archive.read(PROGRAM))
        in_iso = os.path.join(extract_iso(os.path.join(out, ISO), self.folder("iso")), PROGRAM)
        return [os.path.join(out, PROGRAM), in_zip, in_iso]

    def test_signature_verifies_in_zip_and_iso(self):
        debian12, unavailable = debian12_osslsigncode()
        token = self.signer.on_token()
        tools = [("Installed", {}),
                 ("Debian12", {"PATH": f"{debian12}{os.pathsep}{os.environ['PATH']}"})]
        rows = [
            ("Pem", {"SIGN_CERT": self.signer.cert, "SIGN_KEY": self.signer.key,
                     "SIGN_URL": "https://vendor.example/qb7"}),
            ("Pkcs12", {"SIGN_PKCS12": self.signer.pkcs12, "SIGN_PASS": Signer.PASSWORD}),
            # As a vendor's certificate does: verified offline all the same.
            ("PemNamingRevocationList", {"SIGN_KEY": self.signer.key,
                                         "SIGN_CERT": self.signer.issue("revocable.pem", usage=(
                                             Signer.CODE_SIGNING + "crlDistributionPoints="
                                             "URI:http://127.0.0.1:9/qb7.crl\n"))}),
            ("Token", token),
            ("TokenCertificateOnToken", dict(token, SIGN_CERT=TOKEN_CERT)),
        ]
        # One key and one certificate, no time stamp: the same bytes from each make dist.
        from_token = {}
        for (name, signing), (tool, path) in itertools.product(rows, tools):
            with self.subTest(f"{name}{tool}"):
                if path and not debian12:
                    self.skipTest(f"Debian 12's osslsigncode 2.5: {unavailable}")
                programs = self.signed_medium(**signing, **path)
                if "SIGN_PKCS11_MODULE" in signing:
                    shipped = from_token.setdefault(tool, read(programs[0]))
                    self.assertTrue(read(programs[0]) == shipped, "signed again, other bytes")
                # The published signature on the unsigned program gives the shipped one.
                signature, rebuilt = programs[0] + ".sig", os.path.join(self.scratch, name + tool)
                run(["osslsigncode", "attach-signature", "-sigin", signature, "-in",
                     os.path.join(PRODUCT_BUILD, "ui", PROGRAM), "-out", rebuilt],
                    env=dict(os.environ, **path))
                self.assertTrue(read(rebuilt) == read(programs[0]), "rebuilt, other bytes")
                self.assertIn(f"{hashlib.sha256(read(signature)).hexdigest()}  {PROGRAM}.sig",
                              read(os.path.join(os.path.dirname(signature), "SHA256SUMS")).decode())
                for program in programs:
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
    """The signed program of this build, started from the extracted CD image of the
    vendor-shaped package as drive R: or the next free letter, walks the typical road: dialog,
    Install, the Vista-family installer of the drive's driver folder (the tests' own), notice,
    OK."""

    def setUp(self):
        super().setUp()
        if not os.environ.get("DISPLAY"):
            self.skipTest("no DISPLAY: run under xvfb-run, as make test does")
        support = os.path.join(SOURCE, "tests", "support")
        prefix = os.path.join(TEST_BUILD, "wine", "prefix64")
        # The prefix of the slot this case was given, whose drive letters it may change.
        self.prefix = run([os.path.join(support, "wine_slot.sh"), prefix],
                          check=True).stdout.strip()
        self.wine = [os.path.join(support, "wine_run.sh"), prefix]

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
        package, _ = self.vendor_package(signer)
        make_dist(TEST_BUILD, out, package, **signer.pem())
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
