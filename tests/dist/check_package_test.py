#!/usr/bin/python3
"""Usage: check_package_test.py SAMPLE_MEDIUM

The driver package check on the sample package, and on copies of it that each carry one change:
a fault the check must name, or a form of a good package it must let through."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
CHECKER = os.path.join(HERE, "..", "..", "tools", "dist", "check_package.py")
SAMPLE = ""


def driver(package, relative):
    return os.path.join(package, "Driver", relative)


def remove(relative):
    def change(package):
        path = driver(package, relative)
        shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)
    return change


def replace(relative, old, new):
    def change(package):
        path = driver(package, relative)
        with open(path, "rb") as file:
            data = file.read()
        assert old in data, f"{old!r} not in {path}"
        with open(path, "wb") as file:
            file.write(data.replace(old, new))
    return change


def append(relative, text):
    return replace(relative, b"[Version]", text + b"\r\n[Version]")


def copy(source, target):
    return lambda package: shutil.copyfile(driver(package, source), driver(package, target))


def set_machine(relative, machine):
    def change(package):
        with open(driver(package, relative), "r+b") as file:
            file.seek(0x3C)
            offset = struct.unpack("<I", file.read(4))[0]
            file.seek(offset + 4)
            file.write(struct.pack("<H", machine))
    return change


def to_utf16(relative):
    def change(package):
        path = driver(package, relative)
        with open(path, "rb") as file:
            text = file.read().decode("cp1252")
        with open(path, "wb") as file:
            file.write(text.encode("utf-16"))
    return change


def add_file(relative):
    def change(package):
        os.makedirs(os.path.dirname(driver(package, relative)), exist_ok=True)
        open(driver(package, relative), "wb").close()
    return change


def chain(*changes):
    def change(package):
        for step in changes:
            step(package)
    return change


SOURCE_FILE = b"[SourceDisksFiles]\r\nax88772.sys=1\r\n"
DISK_IN_SUBFOLDER = b"[SourceDisksNames]\r\n1=\"Disk\",,,\\amd64\r\n"

# name, change, exit status, the one line the check must print about it (the only warning or
# error line; None for a good package that must pass with none).
ROWS = [
    ("SamplePackage", lambda package: None, 0,
     "ok      Driver/Vista_64/DPInst64.exe: x64 program (PE machine 0x8664)"),
    ("FolderMissing", remove("WinXP_64"), 1, "error   Driver/WinXP_64: folder missing"),
    ("XpInfMissing", remove("Win2000_WinXP/Ax88772.inf"), 1,
     "error   Driver/Win2000_WinXP/Ax88772.inf: missing"),
    ("XpInfWithoutVersion", replace("WinXP_64/Ax88772.inf", b"[Version]", b"[Versions]"), 1,
     "error   Driver/WinXP_64/Ax88772.inf: not an INF file: it has no [Version] section"),
    ("XpInfWithOtherSignature",
     replace("Win2000_WinXP/Ax88772.inf", b"$Windows NT$", b"$Windows 95$"), 1,
     "error   Driver/Win2000_WinXP/Ax88772.inf: not an INF file: Signature is \"$Windows 95$\", "
     "expected \"$Windows NT$\" or \"$Chicago$\""),
    ("XpInfChicagoSignature",
     replace("Win2000_WinXP/Ax88772.inf", b"$Windows NT$", b"$CHICAGO$"), 0,
     "ok      Driver/Win2000_WinXP/Ax88772.inf: INF file, Signature $CHICAGO$"),
    ("XpInstallSectionMissing",
     replace("Win2000_WinXP/Ax88772.inf", b"[AX88772.Ndi]", b"[AX88772.Install]"), 1,
     "error   Driver/Win2000_WinXP/Ax88772.inf: has no install section [AX88772.Ndi]"),
    ("XpSourceFileMissing", append("WinXP_64/Ax88772.inf", SOURCE_FILE), 1,
     "error   Driver/WinXP_64/ax88772.sys: missing, named in [SourceDisksFiles] of Ax88772.inf"),
    ("XpSourceFileInDiskFolder",
     chain(append("WinXP_64/Ax88772.inf", DISK_IN_SUBFOLDER + SOURCE_FILE),
           add_file("WinXP_64/AMD64/AX88772.SYS")), 0,
     "ok      Driver/WinXP_64/Ax88772.inf: all 1 files named in [SourceDisksFiles*] are present"),
    ("XpSourceFileOutsideDiskFolder",
     chain(append("WinXP_64/Ax88772.inf", DISK_IN_SUBFOLDER + SOURCE_FILE),
           add_file("WinXP_64/ax88772.sys")), 1,
     "error   Driver/WinXP_64/amd64/ax88772.sys: missing, named in [SourceDisksFiles] of "
     "Ax88772.inf"),
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
    ("VistaInfMissing", remove("Vista_64/Ax88772.inf"), 1,
     "error   Driver/Vista_64: holds no INF file"),
    ("VistaInfInUtf16", to_utf16("Vista_64/Ax88772.inf"), 0,
     "ok      Driver/Vista_64/Ax88772.cat: catalog file named by Ax88772.inf"),
    ("Catalog64Missing", remove("Vista_64/Ax88772.cat"), 1,
     "error   Driver/Vista_64/Ax88772.cat: missing, named by CatalogFile in Ax88772.inf: the "
     "driver package is not signed"),
    ("Catalog32Missing", remove("Vista_32/Ax88772.cat"), 0,
     "warning Driver/Vista_32/Ax88772.cat: missing, named by CatalogFile in Ax88772.inf: the "
     "driver package is not signed"),
    ("Catalog64NotNamed",
     replace("Vista_64/Ax88772.inf", b"CatalogFile=Ax88772.cat\r\n", b""), 1,
     "error   Driver/Vista_64/Ax88772.inf: names no catalog file (CatalogFile in [Version]): "
     "the driver package is not signed"),
]


class PackageCheck(unittest.TestCase):
    def check(self, change):
        with tempfile.TemporaryDirectory() as package:
            shutil.copytree(os.path.join(SAMPLE, "Driver"), os.path.join(package, "Driver"))
            change(package)
            run = subprocess.run([CHECKER, package], capture_output=True, text=True)
        lines = [line.strip() for line in run.stdout.splitlines()]
        return run.returncode, lines, run.stdout + run.stderr

    def test_rows(self):
        for name, change, status, expected in ROWS:
            with self.subTest(name):
                returncode, lines, output = self.check(change)
                self.assertEqual(returncode, status, output)
                self.assertIn(expected, lines, output)
                problems = [line for line in lines if line.startswith(("error", "warning"))]
                self.assertEqual(problems, [] if expected.startswith("ok") else [expected])
                verdict = "accepted" if status == 0 else "refused"
                self.assertTrue(lines[-1].startswith(f"Driver package {verdict}:"), output)


if __name__ == "__main__":
    SAMPLE = sys.argv.pop(1)
    unittest.main(verbosity=2)
