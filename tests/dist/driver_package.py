"""A driver package of our own shaped like a vendor's multi-processor release, for the dist
tests. Every folder has the same INF for x86 and amd64 (models and install sections decorated
per processor, per-processor disk folders, a co-installer for amd64, x86 files in a cabinet, a
catalog per processor) beside only its own processor's files, and the four INFs come in the
encodings the setup library reads: ANSI, UTF-16 with a byte order mark, with and without a final
newline. Vista_64 also has manuals with names outside ASCII and a second driver in a subfolder
that its dpinst.xml names."""
import os
import struct

from catalog_maker import write_catalog

INF_LINES = r"""; QB7_LX450 test driver package of our own, shaped like a vendor's release; it drives
; no device. (c) QB7 Test Vendor
[Version]
Signature   = "$Windows NT$"
Class       = Net
ClassGUID   = {4d36e972-e325-11ce-bfc1-08002be10318}
Provider    = %Vendor%
CatalogFile.NTx86   = ax88772_x86.cat
CatalogFile.NTamd64 = ax88772_amd64.cat
DriverVer   = 06/01/2024,1.0.0.1

[Manufacturer]
%Vendor% = QB7, NTx86, NTamd64

; Windows 2000 reads no decoration.
[QB7]
%AX88772.DeviceDesc% = AX88772.Ndi, USB\VID_0B95&PID_7720

[QB7.NTx86]
%AX88772.DeviceDesc% = AX88772.Ndi, USB\VID_0B95&PID_7720

[QB7.NTamd64]
%AX88772.DeviceDesc% = AX88772.Ndi, USB\VID_0B95&PID_7720

[AX88772.Ndi.NTx86]
Characteristics = 0x84
CopyFiles       = AX88772.CopyFiles
AddReg          = AX88772.Reg, \
                  AX88772.Params.Reg

[AX88772.Ndi.NTamd64]
Characteristics = 0x84
CopyFiles       = AX88772.CopyFiles
AddReg          = AX88772.Reg, AX88772.Params.Reg

[AX88772.Ndi.NTx86.CoInstallers]
CopyFiles       = @ax88772.cpl

[AX88772.Ndi.NTamd64.CoInstallers]
CopyFiles       = AX88772.CoInstaller.CopyFiles

[AX88772.CopyFiles]
ax88772.sys

[AX88772.CoInstaller.CopyFiles]
%CoInstaller%

[AX88772.Reg]
HKR, Ndi, Service, 0, "AX88772"

[AX88772.Params.Reg]
HKR, Ndi\params\NetworkAddress, ParamDesc, 0, "%NetworkAddress%"

[DestinationDirs]
DefaultDestDir = 12

[SourceDisksNames.x86]
1 = %DiskName%,,,\x86
2 = %DiskName%,panel.cab,,\x86

[SourceDisksNames.amd64]
1 = %DiskName%,, \
    ,\amd64

[SourceDisksFiles]
ax88772.sys = 1

[SourceDisksFiles.x86]
ax88772.cpl = 2

[SourceDisksFiles.amd64]
%CoInstaller% = 1,wdf    ; the framework's co-installer, 64-bit only

[Strings]
Vendor             = "QB7 Test Vendor"
AX88772.DeviceDesc = "QB7_LX450 USB 2.0 to Fast Ethernet Adapter (test package)"
DiskName           = "QB7_LX450 Driver Disk; ""test"" copy"
CoInstaller        = "WdfCoInstaller01011.dll"
NetworkAddress     = "Network Address"
""".splitlines()

# How each folder's INF is written: a codec, its byte order mark, and whether it ends in a newline.
INF_FORMS = {
    "Win2000_WinXP": ("cp1252", b"", True),
    "WinXP_64": ("utf-16-le", b"\xff\xfe", True),
    "Vista_32": ("utf-16-le", b"\xff\xfe", False),
    "Vista_64": ("utf-8", b"", False),
}
PROCESSORS = {"Win2000_WinXP": "x86", "WinXP_64": "amd64", "Vista_32": "x86", "Vista_64": "amd64"}
INSTALLERS = {"Vista_32": "DPInst32.exe", "Vista_64": "DPInst64.exe"}
CO_INSTALLER = "WdfCoInstaller01011.dll"
MANUALS = ("Gerät-Handbuch.txt", "説明書.txt")
SUBFOLDER = "Extra Driver"
DPINST_XML = f"""<?xml version="1.0" encoding="utf-8"?>
<dpinst>
  <search>
    <subDirectory>{SUBFOLDER}</subDirectory>
  </search>
</dpinst>
""".encode()


def cabinet(files):
    """A cabinet holding `files` (name to bytes) uncompressed in one folder, laid out as the
    cabinet format documents it: header, folder entry, file entries, one data block."""
    # A name outside ASCII goes in as UTF-8 with the attribute that says so (0x80).
    entries = b"".join(struct.pack("<IIHHHH", len(data), offset, 0, 0x5821, 0,
                                   0x20 if name.isascii() else 0xA0) + name.encode() + b"\0"
                       for name, data, offset in zip(files, files.values(), offsets(files)))
    data = b"".join(files.values())
    start = 36 + 8 + len(entries)
    block = struct.pack("<IHH", 0, len(data), len(data)) + data
    header = struct.pack("<4sIIIIIBBHHHHH", b"MSCF", 0, start + len(block), 0, 44, 0, 3, 1, 1,
                         len(files), 0, 0, 0)
    return header + struct.pack("<IHH", start, 1, 0) + entries + block


def offsets(files):
    total = 0
    for data in files.values():
        yield total
        total += len(data)


def inf_bytes(folder):
    codec, mark, final_newline = INF_FORMS[folder]
    lines = list(INF_LINES)
    if codec == "cp1252":
        # A character outside ASCII, so the file is not UTF-8 too.
        lines[1] = lines[1].replace("(c)", "\u00a9")
    text = "\r\n".join(lines) + ("\r\n" if final_newline else "")
    return mark + text.encode(codec)


def folder_files(folder, installers):
    """Relative path to bytes: what a vendor would put in `folder`."""
    processor = PROCESSORS[folder]
    files = {
        "Ax88772.inf": inf_bytes(folder),
        f"ax88772_{processor}.cat": f"catalog of the {processor} test package\n".encode(),
        f"{processor}/ax88772.sys": f"driver of the {processor} test package\n".encode(),
    }
    if processor == "amd64":
        files[f"amd64/wdf/{CO_INSTALLER}"] = b"co-installer of the test package\n"
    else:
        files["x86/panel.cab"] = cabinet({"ax88772.cpl": b"control panel of the test package\n"})
    if folder in INSTALLERS:
        files[INSTALLERS[folder]] = installers[processor]
        files["readme.txt"] = b"Line ends as the vendor wrote them:\nLF only.\n"
    if folder == "Vista_64":
        files["dpinst.xml"] = DPINST_XML
        files.update((name, f"{name}: manual of the test package\n".encode()) for name in MANUALS)
        files.update((f"{SUBFOLDER}/{name}", data) for name, data in list(files.items())
                     if name.startswith(("Ax88772.inf", "ax88772_", "amd64/")))
    return files


def write_package(package, installers, signer=None):
    """Writes the package below `package`; `installers` maps x86 and amd64 to a program's bytes.
    With `signer`, a (PEM certificate, PEM key) pair, each folder's catalog is a real one made
    by catalog_maker, listing the INF and the processor's files; else it is a placeholder."""
    for folder in PROCESSORS:
        for relative, data in folder_files(folder, installers).items():
            path = os.path.join(package, "Driver", folder, relative)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as file:
                file.write(data)
        if signer:
            write_folder_catalog(os.path.join(package, "Driver", folder), folder, signer)
    if signer:
        write_folder_catalog(os.path.join(package, "Driver", "Vista_64", SUBFOLDER), "Vista_64",
                             signer)


def write_folder_catalog(path, folder, signer, **options):
    processor = PROCESSORS[folder]
    members = [os.path.join(path, "Ax88772.inf")] + sorted(
        os.path.join(root, name) for root, _, names in os.walk(os.path.join(path, processor))
        for name in names)
    write_catalog(os.path.join(path, f"ax88772_{processor}.cat"), members, *signer, **options)


def package_files(installers):
    """Path below the package to bytes, for every file of the package."""
    return {f"Driver/{folder}/{relative}": data for folder in PROCESSORS
            for relative, data in folder_files(folder, installers).items()}


def edit_inf(path, old, new):
    """Replaces text in an INF of this package, keeping its encoding and byte order mark."""
    codec, mark, _ = INF_FORMS[os.path.basename(os.path.dirname(path))]
    with open(path, "rb") as file:
        text = file.read()[len(mark):].decode(codec)
    assert old in text, f"{old!r} not in {path}"
    with open(path, "wb") as file:
        file.write(mark + text.replace(old, new).encode(codec))
