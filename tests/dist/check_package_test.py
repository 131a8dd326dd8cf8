#!/usr/bin/python3
"""Usage: check_package_test.py SAMPLE_MEDIUM

The driver package check on a package of our own shaped like a vendor's multi-processor release
(tests/dist/driver_package.py), on the sample package, and on copies that each carry one change:
a fault the check must name, or a form of a good package it must let through."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

from driver_package import CO_INSTALLER, edit_inf, write_package

HERE = os.path.dirname(os.path.abspath(__file__))
CHECKER = os.path.join(HERE, "..", "..", "tools", "dist", "check_package.py")
SAMPLE = ""


def pe_program(machine, signed=True):
    """The headers of a PE program for `machine`, all the check reads, with an Authenticode
    signature entry when `signed`."""
    plus = machine != 0x14C
    optional_size = 240 if plus else 224
    header = bytearray(0x58 + optional_size)
    header[:2] = b"MZ"
    struct.pack_into("<I", header, 0x3C, 0x40)
    header[0x40:0x44] = b"PE\0\0"
    struct.pack_into("<H", header, 0x44, machine)
    struct.pack_into("<H", header, 0x54, optional_size)
    struct.pack_into("<H", header, 0x58, 0x20B if plus else 0x10B)
    directories = 0x58 + (112 if plus else 96)
    struct.pack_into("<I", header, directories - 4, 16)
    certificate = b"\x10\0\0\0\0\x02\x02\0" + bytes(8)
    if signed:
        struct.pack_into("<II", header, directories + 4 * 8, len(header), len(certificate))
    return bytes(header) + certificate


INSTALLERS = {"x86": pe_program(0x14C), "amd64": pe_program(0x8664)}


def driver(package, relative):
    return os.path.join(package, "Driver", relative)


def remove(relative):
    def change(package):
        path = driver(package, relative)
        shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)
    return change


def edit(relative, old, new):
    return lambda package: edit_inf(driver(package, relative), old, new)


def copy(source, target):
    def change(package):
        shutil.copyfile(driver(package, source), driver(package, target))
    return change


def move(source, target):
    def change(package):
        os.rename(driver(package, source), driver(package, target))
    return change


def write(relative, data=b""):
    def change(package):
        path = os.path.join(package, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as file:
            file.write(data)
    return change


def set_machine(relative, machine):
    def change(package):
        with open(driver(package, relative), "r+b") as file:
            file.seek(0x3C)
            offset = struct.unpack("<I", file.read(4))[0]
            file.seek(offset + 4)
            file.write(struct.pack("<H", machine))
    return change


def from_sample(relative=""):
    """The sample's Driver folder, or one file of it, in place of the package's."""
    def change(package):
        if relative:
            shutil.copyfile(os.path.join(SAMPLE, "Driver", relative), driver(package, relative))
            return
        shutil.rmtree(driver(package, ""))
        shutil.copytree(os.path.join(SAMPLE, "Driver"), driver(package, ""))
    return change


def chain(*changes):
    def change(package):
        for step in changes:
            step(package)
    return change


def released(change):
    """The change, checked for a signed medium (--release)."""
    def with_release(package):
        change(package)
        return ["--release"]
    return with_release


def remove_package(package):
    shutil.rmtree(package)


X86_DISKS = "[SourceDisksNames.x86]\r\n1 = %DiskName%,,,\\x86\r\n"
PLAIN_DISKS = "[SourceDisksNames]\r\n1 = %DiskName%,,,\\common\r\n"
X64_INSTALL = "[AX88772.Ndi.NTamd64]"
CATALOGS = "CatalogFile.NTx86   = ax88772_x86.cat\r\nCatalogFile.NTamd64 = ax88772_amd64.cat\r\n"
STANDIN_LINE = "warning Driver/Vista_64/DPInst64.exe: the sample's stand-in: it installs nothing"
LONG_NAME = "x" * 61 + ".txt"

# name, change, exit status, the lines the check must print about it: the only warning or error
# lines, or one ok line for a good package that must pass with none. {package} stands for the
# package's folder.
ROWS = [
    ("MultiProcessorPackage", lambda package: None, 0,
     "ok      Driver/WinXP_64/Ax88772.inf: all 2 files named in [SourceDisksFiles.amd64] and "
     "[SourceDisksFiles] are present"),
    ("SamplePackage", from_sample(), 0, [
        "warning Driver/Vista_32/DPInst32.exe: the sample's stand-in: it installs nothing",
        "warning Driver/Vista_32/Ax88772.cat: empty, named by CatalogFile in Ax88772.inf: it "
        "signs nothing",
        STANDIN_LINE,
        "warning Driver/Vista_64/Ax88772.cat: empty, named by CatalogFile in Ax88772.inf: it "
        "signs nothing"]),
    ("PackageMissing", remove_package, 1, "error   {package}: no such folder"),
    ("FolderMissing", remove("WinXP_64"), 1, "error   Driver/WinXP_64: folder missing"),
    ("XpInfMissing", remove("Win2000_WinXP/Ax88772.inf"), 1,
     "error   Driver/Win2000_WinXP/Ax88772.inf: missing"),
    ("XpInfWithoutVersion", edit("WinXP_64/Ax88772.inf", "[Version]", "[Versions]"), 1,
     "error   Driver/WinXP_64/Ax88772.inf: not an INF file: it has no [Version] section"),
    ("XpInfWithOtherSignature",
     edit("Win2000_WinXP/Ax88772.inf", "$Windows NT$", "$Windows 95$"), 1,
     "error   Driver/Win2000_WinXP/Ax88772.inf: not an INF file: Signature is \"$Windows 95$\", "
     "expected \"$Windows NT$\" or \"$Chicago$\""),
    ("XpInfChicagoSignature",
     edit("Win2000_WinXP/Ax88772.inf", "$Windows NT$", "$CHICAGO$"), 0,
     "ok      Driver/Win2000_WinXP/Ax88772.inf: INF file, Signature $CHICAGO$"),
    ("XpInstallSectionForNt", edit("WinXP_64/Ax88772.inf", X64_INSTALL, "[ax88772.ndi.nt]"), 0,
     "ok      Driver/WinXP_64/Ax88772.inf: install section [ax88772.ndi.nt]"),
    ("XpInstallSectionPlain", edit("WinXP_64/Ax88772.inf", X64_INSTALL, "[AX88772.Ndi]"), 0,
     "ok      Driver/WinXP_64/Ax88772.inf: install section [AX88772.Ndi]"),
    ("XpInstallSectionForOtherProcessor",
     edit("WinXP_64/Ax88772.inf", X64_INSTALL, "[AX88772.Ndi.NTia64]"), 1,
     "error   Driver/WinXP_64/Ax88772.inf: has no install section [AX88772.Ndi.NTamd64], "
     "[AX88772.Ndi.NT] or [AX88772.Ndi]"),
    ("XpSourceFileMissing", remove(f"WinXP_64/amd64/wdf/{CO_INSTALLER}"), 1,
     f"error   Driver/WinXP_64/amd64/wdf/{CO_INSTALLER}: missing, named in "
     "[SourceDisksFiles.amd64] of Ax88772.inf"),
    ("XpSourceFileOutsideDiskFolder",
     move("Win2000_WinXP/x86/ax88772.sys", "Win2000_WinXP/ax88772.sys"), 1,
     "error   Driver/Win2000_WinXP/x86/ax88772.sys: missing, named in [SourceDisksFiles] of "
     "Ax88772.inf"),
    ("XpDiskForProcessorBeforePlain",
     edit("Win2000_WinXP/Ax88772.inf", X86_DISKS, X86_DISKS + PLAIN_DISKS), 0,
     "ok      Driver/Win2000_WinXP/Ax88772.inf: all 1 files named in [SourceDisksFiles.x86] and "
     "[SourceDisksFiles] are present"),
    ("XpDiskForOtherProcessorOnly", edit("Win2000_WinXP/Ax88772.inf", X86_DISKS, ""), 1,
     "error   Driver/Win2000_WinXP/Ax88772.inf: [SourceDisksFiles] puts ax88772.sys on disk "
     "\"1\", which neither [SourceDisksNames.x86] nor [SourceDisksNames] lists"),
    ("VistaSourceFileNamedByString",
     edit("Vista_64/Ax88772.inf", '"WdfCoInstaller01011.dll"', '"WdfCoInstaller01009.dll"'), 1,
     "error   Driver/Vista_64/amd64/wdf/WdfCoInstaller01009.dll: missing, named in "
     "[SourceDisksFiles.amd64] of Ax88772.inf"),
    ("Installer32ForX64", set_machine("Vista_32/DPInst32.exe", 0x8664), 1,
     "error   Driver/Vista_32/DPInst32.exe: x64 program (PE machine 0x8664), Vista_32 needs an "
     "x86 one (0x14c)"),
    ("Installer64ForX86", copy("Vista_32/DPInst32.exe", "Vista_64/DPInst64.exe"), 1,
     "error   Driver/Vista_64/DPInst64.exe: x86 program (PE machine 0x14c), Vista_64 needs an "
     "x64 one (0x8664)"),
    ("InstallerNotAProgram", copy("Vista_64/Ax88772.inf", "Vista_64/DPInst64.exe"), 1,
     "error   Driver/Vista_64/DPInst64.exe: not a Windows program (no PE header)"),
    ("InstallerMissing", remove("Vista_32/DPInst32.exe"), 1,
     "error   Driver/Vista_32/DPInst32.exe: missing"),
    ("InstallerUnsigned", write("Driver/Vista_32/DPInst32.exe", pe_program(0x14C, False)), 0,
     "warning Driver/Vista_32/DPInst32.exe: carries no Authenticode signature (the vendor's "
     "installer is signed by its maker)"),
    ("InstallerStandIn", from_sample("Vista_64/DPInst64.exe"), 0, STANDIN_LINE),
    ("InstallerStandInReleased", released(from_sample("Vista_64/DPInst64.exe")), 1,
     "error   Driver/Vista_64/DPInst64.exe: the sample's stand-in, which installs nothing: a "
     "signed medium is a release and needs the vendor's installer"),
    ("VistaInfMissing", remove("Vista_64/Ax88772.inf"), 1,
     "error   Driver/Vista_64: holds no INF file"),
    ("Catalog64Missing", remove("Vista_64/ax88772_amd64.cat"), 1,
     "error   Driver/Vista_64/ax88772_amd64.cat: missing, named by CatalogFile.NTamd64 in "
     "Ax88772.inf: the driver package is not signed"),
    ("Catalog32Missing", remove("Vista_32/ax88772_x86.cat"), 0,
     "warning Driver/Vista_32/ax88772_x86.cat: missing, named by CatalogFile.NTx86 in "
     "Ax88772.inf: the driver package is not signed"),
    ("Catalog64NotNamed", edit("Vista_64/Ax88772.inf", CATALOGS, ""), 1,
     "error   Driver/Vista_64/Ax88772.inf: names no catalog file (CatalogFile.NTamd64, "
     "CatalogFile.NT or CatalogFile in [Version]): the driver package is not signed"),
    ("CatalogForNtBeforePlain",
     edit("Vista_64/Ax88772.inf", CATALOGS,
          "CatalogFile = ax88772_amd64.cat\r\nCatalogFile.NT = ax88772_x86.cat\r\n"), 1,
     "error   Driver/Vista_64/ax88772_x86.cat: missing, named by CatalogFile.NT in Ax88772.inf: "
     "the driver package is not signed"),
    ("CatalogNameQuotedWithSemicolon",
     chain(move("Vista_32/ax88772_x86.cat", "Vista_32/ax88772;x86.cat"),
           edit("Vista_32/Ax88772.inf", "= ax88772_x86.cat", '= "ax88772;x86.cat"')), 0,
     "ok      Driver/Vista_32/ax88772;x86.cat: catalog file named by CatalogFile.NTx86 in "
     "Ax88772.inf"),
    ("CatalogEmpty", write("Driver/Vista_64/ax88772_amd64.cat"), 0,
     "warning Driver/Vista_64/ax88772_amd64.cat: empty, named by CatalogFile.NTamd64 in "
     "Ax88772.inf: it signs nothing"),
    ("NameTooLongForCdImage", write(f"Driver/Vista_32/x86/{LONG_NAME}"), 1,
     f"error   Driver/Vista_32/x86/{LONG_NAME}: name of 65 characters: the CD image keeps 64 "
     "(Joliet) and would cut it"),
    ("FolderOutsideTheFour", write("Driver/Win10_ARM64/Ax88772.inf"), 0,
     "warning Driver/Win10_ARM64: outside the four driver folders: not on the medium"),
    ("FileOutsideDriver", write("release notes.txt"), 0,
     "warning release notes.txt: outside the four driver folders: not on the medium"),
]


class PackageCheck(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="qb7-check-")
        cls.base = os.path.join(cls.scratch, "base")
        write_package(cls.base, INSTALLERS)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch)

    def check(self, change):
        package = os.path.join(tempfile.mkdtemp(dir=self.scratch), "vendor's package (1)")
        shutil.copytree(self.base, package)
        arguments = change(package) or []
        run = subprocess.run([CHECKER, *arguments, package], capture_output=True, text=True)
        lines = [line.strip().replace(package, "{package}") for line in run.stdout.splitlines()]
        return run.returncode, lines, run.stdout + run.stderr

    def test_rows(self):
        for name, change, status, expected in ROWS:
            with self.subTest(name):
                returncode, lines, output = self.check(change)
                expected = [expected] if isinstance(expected, str) else expected
                self.assertEqual(returncode, status, output)
                for line in expected:
                    self.assertIn(line, lines, output)
                problems = [line for line in lines if line.startswith(("error", "warning"))]
                self.assertEqual(problems, [] if expected[0].startswith("ok") else expected,
                                 output)
                verdict = "accepted" if status == 0 else "refused"
                self.assertTrue(lines[-1].startswith(f"Driver package {verdict}:"), output)


if __name__ == "__main__":
    SAMPLE = sys.argv.pop(1)
    unittest.main(verbosity=2)
