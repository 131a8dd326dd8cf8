#!/usr/bin/python3
"""Usage: check_package_test.py SAMPLE_MEDIUM

The driver package check on a package of our own shaped like a vendor's multi-processor release
(tests/dist/driver_package.py), on the sample package, and on copies that each carry one change:
a fault the check must name, or a form of a good package it must let through."""
import ast
import codecs
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

from catalog_maker import Authorities
from driver_package import (CO_INSTALLER, INF_LINES, SUBFOLDER, cabinet, edit_inf,
                            write_folder_catalog, write_package)

HERE = os.path.dirname(os.path.abspath(__file__))
CHECKER = os.path.join(HERE, "..", "..", "medium", "check_package.py")
# The models section cases the device check's tests read too.
MODELS_CASES = os.path.join(HERE, "..", "models_sections.def")
# What the program follows of dpinst.xml, which the check follows too.
DESCRIPTOR_CASES = os.path.join(HERE, "..", "dpinst_descriptors.def")
SAMPLE = ""
# Signs the package's catalogs (WHQL, from a root of our own passed as Microsoft's), and again
# after a row edits an INF, as Microsoft would for a vendor.
SIGNER = ROOTS = ATTESTATION = None


def pe_program(machine, signed=True, sections=(), alignment=0x1000):
    """The headers of a PE program for `machine`, all the check reads, with an Authenticode
    signature entry when `signed` and a table of `sections` ((name, flags))."""
    plus = machine != 0x14C
    optional_size = 240 if plus else 224
    header = bytearray(0x58 + optional_size)
    header[:2] = b"MZ"
    struct.pack_into("<I", header, 0x3C, 0x40)
    header[0x40:0x44] = b"PE\0\0"
    struct.pack_into("<HH", header, 0x44, machine, len(sections))
    struct.pack_into("<H", header, 0x54, optional_size)
    struct.pack_into("<H", header, 0x58, 0x20B if plus else 0x10B)
    struct.pack_into("<II", header, 0x58 + 32, alignment, 0x200)
    header += b"".join(struct.pack("<8s6I2HI", name, 0x100, 0x1000 * (index + 1), 0, 0, 0, 0,
                                   0, 0, flags) for index, (name, flags) in enumerate(sections))
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


def resign(folder, *subfolders, signer=None, **options):
    def change(package):
        for below in ("",) + subfolders:
            write_folder_catalog(driver(package, os.path.join(folder, below)), folder,
                                 signer or SIGNER, **options)
    return change


def unsigned_edit(relative, old, new):
    return lambda package: edit_inf(driver(package, relative), old, new)


def edit(relative, old, new):
    def change(package):
        edit_inf(driver(package, relative), old, new)
        resign(relative.split("/")[0])(package)
    return change


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


def link(relative, target):
    return lambda package: os.symlink(target, driver(package, relative))


def rename_folders(package):
    """Driver\VISTA_64 and the like, as a zip made on Windows may spell them."""
    for name in ("Win2000_WinXP", "WinXP_64", "Vista_32", "Vista_64"):
        os.rename(driver(package, name), driver(package, name.upper()))
    os.rename(driver(package, ""), os.path.join(package, "DRIVER"))


def remove_package(package):
    shutil.rmtree(package)


X86_DISKS = "[SourceDisksNames.x86]\r\n1 = %DiskName%,,,\\x86\r\n"
PLAIN_DISKS = "[SourceDisksNames]\r\n1 = %DiskName%,,,\\common\r\n"
X64_INSTALL = "[AX88772.Ndi.NTamd64]"
CATALOGS = "CatalogFile.NTx86   = ax88772_x86.cat\r\nCatalogFile.NTamd64 = ax88772_amd64.cat\r\n"
STANDIN_LINE = "warning Driver/Vista_64/DPInst64.exe: the sample's stand-in: it installs nothing"
LONG_NAME = "x" * 61 + ".txt"
LONG_FOLDER = "f" * 60
X86_FILES = "[SourceDisksFiles]\r\nax88772.sys = 1\r\n"
UTF8_INF = b"\xef\xbb\xbf" + "\r\n".join(INF_LINES).replace("(c)", "\u00a9").encode()
STALE = "with another hash: the catalog is stale or made for other files"
NAME_LINE = "which Windows or the CD image cannot hold in a name"
ALL_X64_FILES = "ok      Driver/Vista_64/Ax88772.inf: all 2 files it copies on amd64 are present"
KERNEL_64 = ("fails on every Windows Vista_64 serves (Vista, 7, 8, 8.1, 10, 11): its kernel driver "
             "ax88772.sys does not load, code 52: 64-bit Vista and later load a kernel driver "
             "only with a WHQL signature or a cross-signed (SPC) one, in its catalog or embedded")
UNSIGNED = ("(Vista and later warn of a package that is unsigned, altered or signed by a "
            "certificate no trusted authority issued; an administrator can go on)")
KERNEL_32 = (f"warns on Vista, 7 {UNSIGNED}; fails on 8, 8.1, 10 (its kernel driver ax88772.sys "
             "does not load, code 52: 8, 8.1 and 10 with Secure Boot on need the kernel signature "
             "on 32-bit too, from a root Code Integrity trusts (which ones before 1607 is not "
             "confirmed: a commercial signature counts here))")
XP_UNSIGNED = ("(2000, XP, Server 2003 and XP x64 count only WHQL signatures and warn of anything "
               "else, which an administrator can pass: not confirmed, the pages we read cover "
               "Vista and later)")
X64_FAILS = f"error   Driver/Vista_64/Ax88772.inf: {KERNEL_64}"
X64_INSTALL_COPIES = "CopyFiles       = AX88772.CopyFiles\r\nAddReg          = AX88772.Reg, "
ATTESTATION_RULE = ("an attestation signature works only on Windows 10 and later; 7, 8 and 8.1 "
                    "do not accept it")
NOTHING_INSTALLS = ("nothing installs: no models section serves it with an install section the "
                    "INF has: the setup library installs a device only through the models "
                    "section whose decoration applies to the running Windows")
ATTESTED = (f"fails on Vista, 7, 8, 8.1 (its kernel driver ax88772.sys does not load, code 52: "
            f"{ATTESTATION_RULE}); installs on 10, 11")

# name, change, exit status, the lines the check must print about it: its warning and error
# lines are the only ones, besides ok lines. {package} stands for the package's folder.
ROWS = [
    ("MultiProcessorPackage", lambda package: None, 0,
     "ok      Driver/WinXP_64/Ax88772.inf: all 2 files it copies on amd64 are present"),
    ("SamplePackage", from_sample(), 0, [
        f"warning Driver/Win2000_WinXP/Ax88772.inf: warns on 2000, XP, Server 2003 {XP_UNSIGNED}",
        f"warning Driver/WinXP_64/Ax88772.inf: warns on XP x64 {XP_UNSIGNED}",
        "warning Driver/Vista_32/DPInst32.exe: the sample's stand-in: it installs nothing",
        "warning Driver/Vista_32/Ax88772.cat: empty, named by CatalogFile in Ax88772.inf: it "
        "signs nothing",
        f"warning Driver/Vista_32/Ax88772.inf: warns on Vista, 7, 8, 8.1, 10 {UNSIGNED}",
        STANDIN_LINE,
        "warning Driver/Vista_64/Ax88772.cat: empty, named by CatalogFile in Ax88772.inf: it "
        "signs nothing",
        f"warning Driver/Vista_64/Ax88772.inf: warns on Vista, 7 {UNSIGNED}; fails on 8, 8.1, 10, "
        "11 (Windows does not install it: it takes the package as unsigned: 64-bit 8 and later "
        "refuse a package that is unsigned, altered or signed by a certificate no trusted "
        "authority issued, even one without a kernel file (\"Code Integrity is enforced\", "
        "setupapi.dev.log): not confirmed by Microsoft, whose page describes a warning)"]),
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
     edit("WinXP_64/Ax88772.inf", X64_INSTALL, "[AX88772.Ndi.NTia64]"), 1, [
         "error   Driver/WinXP_64/Ax88772.inf: has no install section [AX88772.Ndi.NTamd64], "
         "[AX88772.Ndi.NT] or [AX88772.Ndi]",
         "warning Driver/WinXP_64/Ax88772.inf: [QB7.NTamd64] names install section AX88772.Ndi, "
         "but there is no [AX88772.Ndi.NTamd64], [AX88772.Ndi.NT] or [AX88772.Ndi]: the "
         "devices it names do not install",
         "error   Driver/WinXP_64/Ax88772.inf: fails on every Windows WinXP_64 serves (XP x64): "
         f"{NOTHING_INSTALLS}"]),
    ("XpSourceFileMissing", remove(f"WinXP_64/amd64/wdf/{CO_INSTALLER}"), 1,
     f"error   Driver/WinXP_64/amd64/wdf/{CO_INSTALLER}: missing, named in "
     "[SourceDisksFiles.amd64] of Ax88772.inf"),
    ("XpSourceFileOutsideDiskFolder",
     move("Win2000_WinXP/x86/ax88772.sys", "Win2000_WinXP/ax88772.sys"), 1,
     "error   Driver/Win2000_WinXP/x86/ax88772.sys: missing, named in [SourceDisksFiles] of "
     "Ax88772.inf"),
    ("XpDiskForProcessorBeforePlain",
     edit("Win2000_WinXP/Ax88772.inf", X86_DISKS, X86_DISKS + PLAIN_DISKS), 0,
     "ok      Driver/Win2000_WinXP/Ax88772.inf: all 2 files it copies on x86 are present"),
    ("XpDiskForOtherProcessorOnly", edit("Win2000_WinXP/Ax88772.inf", X86_DISKS, ""), 1, [
        "error   Driver/Win2000_WinXP/Ax88772.inf: [SourceDisksFiles.x86] puts ax88772.cpl on "
        "disk \"2\", which neither [SourceDisksNames.x86] nor [SourceDisksNames] lists",
        "error   Driver/Win2000_WinXP/Ax88772.inf: [SourceDisksFiles] puts ax88772.sys on disk "
        "\"1\", which neither [SourceDisksNames.x86] nor [SourceDisksNames] lists"]),
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
    ("VistaInfMissing", remove("Vista_32/Ax88772.inf"), 1,
     "error   Driver/Vista_32: holds no INF file"),
    ("Catalog64Missing", remove("Vista_64/ax88772_amd64.cat"), 1, [
        "warning Driver/Vista_64/ax88772_amd64.cat: missing, named by CatalogFile.NTamd64 in "
        "Ax88772.inf: the driver package is not signed", X64_FAILS]),
    ("Catalog32Missing", remove("Vista_32/ax88772_x86.cat"), 0, [
        "warning Driver/Vista_32/ax88772_x86.cat: missing, named by CatalogFile.NTx86 in "
        "Ax88772.inf: the driver package is not signed",
        f"warning Driver/Vista_32/Ax88772.inf: {KERNEL_32}"]),
    ("Catalog64NotNamed", edit("Vista_64/Ax88772.inf", CATALOGS, ""), 1, [
        "warning Driver/Vista_64/Ax88772.inf: names no catalog file (CatalogFile.NTamd64, "
        "CatalogFile.NT or CatalogFile in [Version]): the driver package is not signed",
        X64_FAILS]),
    ("CatalogForNtBeforePlain",
     edit("Vista_64/Ax88772.inf", CATALOGS,
          "CatalogFile = ax88772_amd64.cat\r\nCatalogFile.NT = ax88772_x86.cat\r\n"), 1, [
         "warning Driver/Vista_64/ax88772_x86.cat: missing, named by CatalogFile.NT in "
         "Ax88772.inf: the driver package is not signed", X64_FAILS]),
    ("CatalogNameQuotedWithSemicolon",
     chain(edit("Vista_32/Ax88772.inf", "= ax88772_x86.cat", '= "ax88772;x86.cat"'),
           move("Vista_32/ax88772_x86.cat", "Vista_32/ax88772;x86.cat")), 1, [
         "ok      Driver/Vista_32/ax88772;x86.cat: catalog file named by CatalogFile.NTx86 in "
         "Ax88772.inf: lists it and the 1 file it copies from outside cabinets",
         "error   Driver/Vista_32/ax88772;x86.cat: its name holds ;, which Windows or the CD "
         "image cannot hold in a name"]),
    ("Catalog64Stale", unsigned_edit("Vista_64/Ax88772.inf", "1.0.0.1", "1.0.0.2"), 1, [
        f"warning Driver/Vista_64/ax88772_amd64.cat: Ax88772.inf: listed in ax88772_amd64.cat "
        f"{STALE}", X64_FAILS]),
    ("Catalog32Stale", unsigned_edit("Vista_32/Ax88772.inf", "1.0.0.1", "1.0.0.2"), 0, [
        f"warning Driver/Vista_32/ax88772_x86.cat: Ax88772.inf: listed in ax88772_x86.cat {STALE}",
        f"warning Driver/Vista_32/Ax88772.inf: {KERNEL_32}"]),
    ("Catalog64OfOtherFolder", copy("Vista_32/ax88772_x86.cat", "Vista_64/ax88772_amd64.cat"), 1,
     [f"warning Driver/Vista_64/ax88772_amd64.cat: {line}" for line in (
         f"Ax88772.inf: listed in ax88772_amd64.cat {STALE}",
         f"ax88772.sys: listed in ax88772_amd64.cat {STALE}",
         f"{CO_INSTALLER}: not listed in ax88772_amd64.cat")] + [X64_FAILS]),
    ("CatalogEmpty", write("Driver/Vista_64/ax88772_amd64.cat"), 1, [
        "warning Driver/Vista_64/ax88772_amd64.cat: empty, named by CatalogFile.NTamd64 in "
        "Ax88772.inf: it signs nothing", X64_FAILS]),
    ("NameTooLongForCdImage", write(f"Driver/Vista_32/x86/{LONG_NAME}"), 1,
     f"error   Driver/Vista_32/x86/{LONG_NAME}: name of 65 characters: the CD image keeps 64 "
     "(Joliet) and would cut it"),
    ("PathTooLongForCdImage", write(f"Driver/Vista_32/{LONG_FOLDER}/{'n' * 40}.txt"), 1,
     f"error   Driver/Vista_32/{LONG_FOLDER}/{'n' * 40}.txt: path of 121 characters on the "
     "medium: the CD image holds 120 (Joliet) and would leave the file out"),
    ("PathAtCdImageLimit", write(f"Driver/Vista_32/{LONG_FOLDER}/{'n' * 39}.txt"), 0,
     "ok      Driver/Vista_32/DPInst32.exe: x86 program (PE machine 0x14c)"),
    ("NamesWindowsCannotHold",
     chain(*(write(f"Driver/Vista_64/{name}") for name in
             ("what?.txt", "notes*.txt", 'a<b>"c|d:e', "dot.", "space ", "CON", "nul.txt"))), 1,
     [f"error   Driver/Vista_64/{line}" for line in (
         "CON: CON is a device name on Windows, not a file",
         f'a<b>"c|d:e: its name holds " : < > |, {NAME_LINE}',
         "dot.: its name ends in a dot or space, which Windows drops",
         f"notes*.txt: its name holds *, {NAME_LINE}",
         "nul.txt: nul is a device name on Windows, not a file",
         "space : its name ends in a dot or space, which Windows drops",
         f"what?.txt: its name holds ?, {NAME_LINE}")]),
    ("NameNotUtf8", write("Driver/Vista_32/" + os.fsdecode(b"caf\xe9.txt")), 1,
     "error   Driver/Vista_32/caf\\xe9.txt: its name is not UTF-8, so neither Windows nor the "
     "CD image can hold it"),
    ("LinkOutsidePackage", link("Vista_64/private.txt", "/etc/hostname"), 1,
     "error   Driver/Vista_64/private.txt: a link to /etc/hostname, outside the package: what "
     "it points to would go on the medium"),
    ("LinkToNothing", link("Vista_64/gone.txt", "missing.txt"), 1,
     "error   Driver/Vista_64/gone.txt: a link to nothing"),
    ("LinkedFolderInsidePackage",
     chain(write(f"extras/{LONG_NAME}"), link("Vista_64/extras", "../../extras")), 1, [
         f"error   Driver/Vista_64/extras/{LONG_NAME}: name of 65 characters: the CD image "
         "keeps 64 (Joliet) and would cut it",
         "warning extras: outside the four driver folders: not on the medium"]),
    ("FoldersInOtherCase", rename_folders, 0,
     "ok      DRIVER/VISTA_64/Ax88772.inf: all 2 files it copies on amd64 are present"),
    ("DpinstSubfolderWithoutCatalog", remove(f"Vista_64/{SUBFOLDER}/ax88772_amd64.cat"), 1, [
        f"warning Driver/Vista_64/{SUBFOLDER}/ax88772_amd64.cat: missing, named by "
        "CatalogFile.NTamd64 in Ax88772.inf: the driver package is not signed",
        f"error   Driver/Vista_64/{SUBFOLDER}/Ax88772.inf: {KERNEL_64}"]),
    ("DpinstSubfolderSearchedBelow", write(f"Driver/Vista_64/{SUBFOLDER}/more/other.inf", b";"), 1,
     f"error   Driver/Vista_64/{SUBFOLDER}/more/other.inf: not an INF file: it has no [Version] "
     "section"),
    ("DpinstSubfolderMissing", remove(f"Vista_64/{SUBFOLDER}"), 1,
     f"error   Driver/Vista_64/dpinst.xml: names the subfolder {SUBFOLDER}, which is not below "
     "Vista_64"),
    ("AttestationSignedInVista64",
     lambda package: resign("Vista_64", SUBFOLDER, signer=ATTESTATION)(package), 0,
     [f"warning Driver/Vista_64/{inf}: {ATTESTED}" for inf in
      ("Ax88772.inf", f"{SUBFOLDER}/Ax88772.inf")]),
    ("AttestationSignedInVista32",
     lambda package: resign("Vista_32", signer=ATTESTATION)(package), 0,
     "warning Driver/Vista_32/Ax88772.inf: warns on Vista, 7 (Windows warns that the driver is "
     "unsigned, altered or its publisher cannot be verified, and an administrator can go on: "
     f"{ATTESTATION_RULE}); fails on 8, 8.1 (its kernel driver ax88772.sys does not load, code "
     f"52: {ATTESTATION_RULE}); installs on 10"),
    ("SectionFromIncludedSystemInf",
     edit("Vista_64/Ax88772.inf", X64_INSTALL_COPIES, "Include = mdmcpq.inf\r\nNeeds = "
          "FakeModemCopyFileSection\r\n" + X64_INSTALL_COPIES.replace(
              "CopyFiles", "CopyFiles = FakeModemCopyFileSection\r\nCopyFiles", 1)), 0,
     "ok      Driver/Vista_64/Ax88772.inf: [AX88772.Ndi.NTamd64] copies "
     "[FakeModemCopyFileSection] from the system's mdmcpq.inf, which Include= names"),
    ("FileFromWindowsLayout",
     chain(edit("Vista_64/Ax88772.inf", "[AX88772.CopyFiles]\r\n",
                "[AX88772.CopyFiles]\r\nusbser.sys\r\n"),
           edit("Vista_64/Ax88772.inf", "DriverVer", "LayoutFile  = layout.inf\r\nDriverVer")),
     0, "ok      Driver/Vista_64/Ax88772.inf: usbser.sys comes from Windows' own installation "
     "source, which LayoutFile=layout.inf names"),
    ("StringsOnlyLocalised", edit("Vista_64/Ax88772.inf", "[Strings]", "[Strings.0409]"), 0,
     ALL_X64_FILES),
    ("StringKeyInOtherCase", edit("Vista_64/Ax88772.inf", "CoInstaller        =",
                                  "COINSTALLER        ="), 0, ALL_X64_FILES),
    ("StringUndefined", edit("Vista_64/Ax88772.inf", "CoInstaller        =", "Installer ="), 1, [
        "error   Driver/Vista_64/amd64/wdf/%CoInstaller%: missing, named in "
        "[SourceDisksFiles.amd64] of Ax88772.inf",
        "warning Driver/Vista_64/Ax88772.inf: %CoInstaller% is defined in no [Strings] section: "
        "Windows shows \"%CoInstaller%\" where its text belongs"]),
    ("CabinetLacksFile",
     write("Driver/Vista_32/x86/panel.cab", cabinet({"other.cpl": b"another panel\n"})), 1,
     "error   Driver/Vista_32/x86/ax88772.cpl: missing, named in [SourceDisksFiles.x86] of "
     "Ax88772.inf"),
    ("CabinetNameInUtf8",
     chain(write("Driver/Vista_32/x86/panel.cab", cabinet({"Bedienfeld-\u00e4.cpl": b"panel\n"})),
           edit("Vista_32/Ax88772.inf", "ax88772.cpl", "Bedienfeld-\u00e4.cpl")), 0,
     "ok      Driver/Vista_32/x86/panel.cab: Bedienfeld-\u00e4.cpl is in the cabinet, named in "
     "[SourceDisksFiles.x86] of Ax88772.inf"),
    ("DiskPathUpAndBack", edit("Win2000_WinXP/Ax88772.inf", ",,,\\x86\r\n2",
                               ",,,..\\Win2000_WinXP\\x86\r\n2"), 0,
     "ok      Driver/Win2000_WinXP/Ax88772.inf: all 2 files it copies on x86 are present"),
    ("DiskPathOutsidePackage", edit("Win2000_WinXP/Ax88772.inf", ",,,\\x86\r\n2",
                                    ",,,..\\..\\..\\x86\r\n2"), 1,
     "error   Driver/Win2000_WinXP/Ax88772.inf: [SourceDisksFiles] puts ax88772.sys in "
     "../../../x86/ax88772.sys, outside the package"),
    ("SourceFileForArmOnly", edit("Vista_64/Ax88772.inf", X86_FILES,
                                  X86_FILES + "WdfCoInstaller01011_ARM.dll = 1,wdf\\arm\r\n"), 0,
     "ok      Driver/Vista_64/Ax88772.inf: 1 more named in [SourceDisksFiles.amd64] and "
     "[SourceDisksFiles] are not copied on amd64 and not needed here"),
    ("SourceFileForOtherProcessorOnly",
     edit("Vista_64/Ax88772.inf", X86_FILES, X86_FILES.replace("]", ".x86]")), 1,
     "error   Driver/Vista_64/Ax88772.inf: [AX88772.CopyFiles] copies ax88772.sys, which "
     "neither [SourceDisksFiles.amd64] nor [SourceDisksFiles] names: it has no source on amd64"),
    ("ModelsOnlyForWindows7",
     chain(edit("Vista_64/Ax88772.inf", "NTx86, NTamd64", "NTx86, NTamd64.6.1"),
           edit("Vista_64/Ax88772.inf", "[QB7.NTamd64]", "[QB7.NTamd64.6.1]")), 0,
     f"warning Driver/Vista_64/Ax88772.inf: fails on Vista ({NOTHING_INSTALLS}); installs on 7, "
     "8, 8.1, 10, 11"),
    ("InstallSectionMissingForSomeDevices",
     edit("Vista_64/Ax88772.inf", "[QB7.NTamd64]\r\n", "[QB7.NTamd64]\r\n" + "".join(
         f"%AX88772.DeviceDesc% = Gone.Ndi, USB\\VID_0B95&PID_772{n}\r\n" for n in (1, 2))), 0,
     "warning Driver/Vista_64/Ax88772.inf: [QB7.NTamd64] and 1 more line name install section "
     "Gone.Ndi, but there is no [Gone.Ndi.NTamd64], [Gone.Ndi.NT] or [Gone.Ndi]: the devices "
     "they name do not install"),
    ("DriverWritableAndExecutable",
     chain(write("Driver/Vista_64/amd64/ax88772.sys",
                 pe_program(0x8664, False, [(b"INIT", 0xE2000020)], 0x80)), resign("Vista_64")),
     0, "warning Driver/Vista_64/Ax88772.inf: installs on Vista, 7, 8, 8.1, 10; fails on 11 (its "
     "kernel driver ax88772.sys does not load, \"A driver can't load on this device\": its "
     "section INIT is both writable and executable and its section alignment 0x80 is not a "
     "multiple of 0x1000: memory integrity, on by default on clean installs of 11 on compatible "
     "hardware, refuses such a kernel driver)"),
    ("DriverForOtherProcessor",
     chain(write("Driver/Vista_64/amd64/ax88772.sys", pe_program(0xAA64, False)),
           resign("Vista_64")), 1,
     "error   Driver/Vista_64/Ax88772.inf: fails on every Windows Vista_64 serves (Vista, 7, 8, "
     "8.1, 10, 11): its kernel driver ax88772.sys is built for arm64 (PE machine 0xaa64), not "
     "amd64: it does not load: a kernel driver loads only on the processor its PE machine field "
     "names"),
    ("WhqlForWindows10Only", resign("Vista_64", os_attr="2:10.0"), 0,
     "warning Driver/Vista_64/Ax88772.inf: installs on Vista, 7, 8, 8.1 (its catalog's OSAttr "
     "2:10.0 lacks it: Windows reports a WHQL signature whose OSAttr lacks it as tested on "
     "another version (SPAPI_E_SIGNATURE_OSATTRIBUTE_MISMATCH), and Vista ranks it as an "
     "Authenticode one; whether the user is warned is not confirmed); installs on 10, 11"),
    ("Utf8InfWarned", chain(write("Driver/Vista_32/Ax88772.inf", UTF8_INF), resign("Vista_32")), 0,
     "warning Driver/Vista_32/Ax88772.inf: UTF-8 with a byte order mark: the setup library "
     "documents only ANSI and UTF-16LE with a byte order mark"),
    ("Utf8MarkInXpInf", write("Driver/Win2000_WinXP/Ax88772.inf", UTF8_INF), 1,
     "error   Driver/Win2000_WinXP/Ax88772.inf: UTF-8 with a byte order mark: the setup "
     "library of 2000 and XP reads the mark as part of the first line and misses its section"),
    ("CatalogForProcessorBeforeNt",
     edit("Vista_64/Ax88772.inf", CATALOGS, "CatalogFile.NT = other.cat\r\n" + CATALOGS), 0,
     "ok      Driver/Vista_64/ax88772_amd64.cat: catalog file named by CatalogFile.NTamd64 in "
     "Ax88772.inf: lists it and the 2 files it copies from outside cabinets"),
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
        global SIGNER, ROOTS
        os.makedirs(os.path.join(cls.scratch, "keys"))
        authorities = Authorities(os.path.join(cls.scratch, "keys"))
        SIGNER, ROOTS = authorities.signer("whql")[:2], authorities.roots
        global ATTESTATION
        ATTESTATION = authorities.signer("attestation")[:2]
        write_package(cls.base, INSTALLERS, SIGNER)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch)

    def check(self, change):
        package = os.path.join(tempfile.mkdtemp(dir=self.scratch), "vendor's package (1)")
        shutil.copytree(self.base, package)
        arguments = change(package) or []
        run = subprocess.run([CHECKER, "--roots", ROOTS, *arguments, package],
                             capture_output=True, text=True)
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
                self.assertEqual(problems, [line for line in expected if not line.startswith("ok")],
                                 output)
                verdict = "accepted" if status == 0 else "refused"
                self.assertTrue(lines[-1].startswith(f"Driver package {verdict}:"), output)

    def test_json_report(self):
        """--json prints what --report writes, also for a refused package."""
        report = os.path.join(self.scratch, "report.json")
        returncode, _, output = self.check(lambda package: (
            remove("Vista_64/ax88772_amd64.cat")(package) or ["--json", "--report", report]))
        with open(report) as file:
            self.assertEqual(json.load(file), json.loads(output))
        printed = json.loads(output)
        self.assertEqual((returncode, printed["verdict"], printed["errors"]), (1, "refused", 1))
        self.assertIn({"level": "error", "file": "Driver/Vista_64/Ax88772.inf",
                       "text": KERNEL_64}, printed["lines"])
        drivers = {driver["inf"]: driver for driver in printed["drivers"]}
        self.assertEqual({key: drivers["Driver/Vista_64/Ax88772.inf"][key]
                          for key in ("catalog", "kind", "windows")},
                         {"catalog": None, "kind": "missing", "windows": dict.fromkeys(
                             ("Vista", "7", "8", "8.1", "10", "11"), "fails")})
        xp = drivers["Driver/WinXP_64/Ax88772.inf"]
        self.assertEqual((xp["kind"], xp["file_hashes"], xp["kernel_files"], xp["windows"]), (
            "whql", ["sha1"], [{"file": "Driver/WinXP_64/amd64/ax88772.sys",
                                "embedded_kinds": []}], {"XP x64": "installs"}))
        self.assertEqual({key: xp["signatures"][0][key] for key in ("signer", "digest",
                                                                      "timestamp")},
                         {"signer": "Microsoft Windows Hardware Compatibility Publisher",
                          "digest": "sha1", "timestamp": None})

class ModelsSections(unittest.TestCase):
    def test_cases(self):
        sys.path.insert(0, os.path.dirname(CHECKER))
        from inf_file import Inf
        from inf_installs import models_on
        with open(MODELS_CASES) as table:
            rows = [ast.literal_eval(line[len("MODELS_CASE"):]) for line in table
                    if line.startswith("MODELS_CASE(")]
        for decorations, major, minor, build, product, suite, processor, chosen in rows:
            names = [""] + [text.strip() for text in decorations.split(",") if text.strip()]
            inf = Inf("[Manufacturer]\nMaker = Models" + "".join(f", {name}" for name in names[1:])
                      + "".join(f"\n[Models{'.' * bool(name)}{name}]" for name in names))
            with self.subTest(f"{decorations} on {processor} {major}.{minor}.{build}"):
                self.assertEqual(models_on(inf, processor, (major, minor, build), product, suite),
                                 [chosen] if chosen else [])

    def test_descriptor_cases(self):
        sys.path.insert(0, os.path.dirname(CHECKER))
        from check_package import descriptor_entries
        marks = {"utf-8": b"", "utf-8-sig": codecs.BOM_UTF8, "utf-16-le": codecs.BOM_UTF16_LE,
                 "utf-16-be": codecs.BOM_UTF16_BE}
        with open(DESCRIPTOR_CASES) as table:
            rows = [ast.literal_eval(line[len("DESCRIPTOR_CASE"):]) for line in table
                    if line.startswith("DESCRIPTOR_CASE(")]
        for encoding, descriptor, entries in rows:
            data = marks[encoding] + descriptor.encode(encoding if "16" in encoding else "latin-1")
            with self.subTest(f"{encoding} {descriptor}"):
                try:
                    found, followed = descriptor_entries(data)
                except ElementTree.ParseError:
                    found, followed = [], False
                read = "|".join(f"{kind[0].upper()}:{path}" for kind, path, _ in found)
                self.assertEqual(read if followed else "?", entries)


if __name__ == "__main__":
    SAMPLE = sys.argv.pop(1)
    unittest.main(verbosity=2)
