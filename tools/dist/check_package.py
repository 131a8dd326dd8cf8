#!/usr/bin/python3
"""Usage: check_package.py PACKAGE

Checks a driver package before it goes on a medium: PACKAGE/Driver must hold the four folders the
setup program enters, each with what its installer needs there. Prints one line per check, what
passed as well as what did not, each naming its file, and a verdict. Exits 1 when there is an
error; warnings alone let the package through."""
import os
import struct
import sys

OK, WARNING, ERROR = "ok", "warning", "error"
FOLDERS = ("Win2000_WinXP", "WinXP_64", "Vista_32", "Vista_64")
# The 2000/XP road hands this INF's install section to the setup library.
INF_NAME = "Ax88772.inf"
INSTALL_SECTION = "AX88772.Ndi"
SIGNATURES = ("$windows nt$", "$chicago$")
# Vista-family folders: the installer the program starts there and the machine it must be for.
INSTALLERS = {
    "Vista_32": ("DPInst32.exe", 0x14C, "x86"),
    "Vista_64": ("DPInst64.exe", 0x8664, "x64"),
}
MACHINE_NAMES = {0x14C: "x86", 0x8664: "x64", 0x200: "Itanium", 0xAA64: "ARM64", 0x1C4: "ARM"}
# A 64-bit Vista-family system loads only signed drivers; a 32-bit one asks and goes on.
UNSIGNED_SEVERITY = {"Vista_32": WARNING, "Vista_64": ERROR}


class Report:
    def __init__(self, package):
        self.package = package
        self.lines = []

    def add(self, severity, path, text):
        shown = os.path.relpath(path, self.package)
        self.lines.append((severity, f"{severity:<8}{shown}: {text}"))

    def count(self, severity):
        return sum(1 for line_severity, _ in self.lines if line_severity == severity)


def find_file(folder, name):
    """The entry of `folder` called `name` in any case, as Windows would find it; None if absent."""
    if not os.path.isdir(folder):
        return None
    for entry in sorted(os.listdir(folder)):
        if entry.lower() == name.lower():
            return os.path.join(folder, entry)
    return None


def find_path(folder, relative):
    """Follows a relative path below `folder`, each part in any case."""
    path = folder
    for part in relative.split("/"):
        if part in ("", "."):
            continue
        path = find_file(path, part)
        if path is None:
            return None
    return path


def decode_inf(data):
    """INF files are UTF-16 with a byte order mark, or 8-bit text (UTF-8 with a mark on newer
    systems)."""
    if data.startswith(b"\xff\xfe") or data.startswith(b"\xfe\xff"):
        return data.decode("utf-16", errors="replace")
    if data.startswith(b"\xef\xbb\xbf"):
        return data[3:].decode("utf-8", errors="replace")
    return data.decode("cp1252", errors="replace")


def strip_comment(line):
    """Drops a comment that starts with ';' outside double quotes."""
    quoted = False
    for index, char in enumerate(line):
        if char == '"':
            quoted = not quoted
        elif char == ";" and not quoted:
            return line[:index]
    return line


class Section:
    def __init__(self, name):
        self.name = name
        # (key or None, value); names in INF files are compared without regard to case.
        self.entries = []

    def values(self, key):
        return [value for entry_key, value in self.entries
                if entry_key is not None and entry_key.lower() == key.lower()]


def parse_inf(text):
    """Sections by lower-case name; a section that appears twice is one section."""
    sections = {}
    current = None
    for raw in text.splitlines():
        line = strip_comment(raw).strip()
        if line.startswith("[") and "]" in line:
            name = line[1:line.index("]")].strip()
            current = sections.setdefault(name.lower(), Section(name))
        elif line and current is not None:
            key, equals, value = line.partition("=")
            current.entries.append((key.strip().strip('"'), value.strip()) if equals else
                                   (None, line))
    return sections


def unquote(value):
    return value.strip().strip('"').strip()


def field(value, index):
    """The index-th comma-separated field of an entry's value, unquoted; empty when absent."""
    fields = value.split(",")
    return unquote(fields[index]) if index < len(fields) else ""


def read_inf(report, path):
    """The parsed INF, or None after reporting why the file is not one."""
    with open(path, "rb") as file:
        sections = parse_inf(decode_inf(file.read()))
    if "version" not in sections:
        report.add(ERROR, path, "not an INF file: it has no [Version] section")
        return None
    signatures = [unquote(value) for value in sections["version"].values("Signature")]
    if not signatures:
        report.add(ERROR, path, "not an INF file: its [Version] section has no Signature")
        return None
    if signatures[0].lower() not in SIGNATURES:
        report.add(ERROR, path, f'not an INF file: Signature is "{signatures[0]}", '
                   'expected "$Windows NT$" or "$Chicago$"')
        return None
    report.add(OK, path, f"INF file, Signature {signatures[0]}")
    return sections


def disk_paths(sections):
    """Source disk id to its path below the INF's folder, from [SourceDisksNames*]."""
    paths = {}
    for name, section in sections.items():
        if name.startswith("sourcedisksnames"):
            for key, value in section.entries:
                if key is not None:
                    paths.setdefault(key, field(value, 3))
    return paths


def check_source_files(report, folder, inf_path, sections):
    disks = disk_paths(sections)
    named = missing = 0
    for name, section in sorted(sections.items()):
        if not name.startswith("sourcedisksfiles"):
            continue
        for key, value in section.entries:
            file_name = key if key is not None else value
            parts = (disks.get(field(value, 0), ""), field(value, 1), file_name)
            relative = "/".join(part.replace("\\", "/").strip("/") for part in parts if part)
            named += 1
            if find_path(folder, relative) is None:
                missing += 1
                report.add(ERROR, os.path.join(folder, relative),
                           f"missing, named in [{section.name}] of {os.path.basename(inf_path)}")
    if named == 0:
        report.add(OK, inf_path, "names no files in [SourceDisksFiles*]")
    elif missing == 0:
        report.add(OK, inf_path, f"all {named} files named in [SourceDisksFiles*] are present")


def check_inf_folder(report, folder):
    inf_path = find_file(folder, INF_NAME)
    if inf_path is None:
        report.add(ERROR, os.path.join(folder, INF_NAME), "missing")
        return
    sections = read_inf(report, inf_path)
    if sections is None:
        return
    if INSTALL_SECTION.lower() in sections:
        report.add(OK, inf_path, f"install section [{INSTALL_SECTION}]")
    else:
        report.add(ERROR, inf_path, f"has no install section [{INSTALL_SECTION}]")
    check_source_files(report, folder, inf_path, sections)


def pe_machine(path):
    """The machine field of a PE file's header, or None when the file is not a PE program."""
    with open(path, "rb") as file:
        header = file.read(4096)
    if len(header) < 0x40 or header[:2] != b"MZ":
        return None
    offset = struct.unpack_from("<I", header, 0x3C)[0]
    if offset + 6 > len(header) or header[offset:offset + 4] != b"PE\0\0":
        return None
    return struct.unpack_from("<H", header, offset + 4)[0]


def check_installer(report, folder, name, machine, machine_name):
    path = find_file(folder, name)
    if path is None:
        report.add(ERROR, os.path.join(folder, name), "missing")
        return
    found = pe_machine(path)
    if found is None:
        report.add(ERROR, path, "not a Windows program (no PE header)")
    elif found != machine:
        found_name = MACHINE_NAMES.get(found, "unknown")
        report.add(ERROR, path, f"{found_name} program (PE machine {found:#x}), "
                   f"{os.path.basename(folder)} needs an {machine_name} one ({machine:#x})")
    else:
        report.add(OK, path, f"{machine_name} program (PE machine {machine:#x})")


def check_catalogs(report, folder, inf_path, sections):
    severity = UNSIGNED_SEVERITY[os.path.basename(folder)]
    catalogs = [(key, unquote(value)) for key, value in sections["version"].entries
                if key is not None and key.lower().startswith("catalogfile")]
    if not catalogs:
        report.add(severity, inf_path, "names no catalog file (CatalogFile in [Version]): "
                   "the driver package is not signed")
    for key, catalog in catalogs:
        path = find_file(folder, catalog)
        if path is None:
            report.add(severity, os.path.join(folder, catalog),
                       f"missing, named by {key} in {os.path.basename(inf_path)}: "
                       "the driver package is not signed")
        else:
            report.add(OK, path, f"catalog file named by {os.path.basename(inf_path)}")


def check_vista_folder(report, folder):
    check_installer(report, folder, *INSTALLERS[os.path.basename(folder)])
    infs = [os.path.join(folder, entry) for entry in sorted(os.listdir(folder))
            if entry.lower().endswith(".inf") and os.path.isfile(os.path.join(folder, entry))]
    if not infs:
        report.add(ERROR, folder, "holds no INF file")
    for inf_path in infs:
        sections = read_inf(report, inf_path)
        if sections is not None:
            check_catalogs(report, folder, inf_path, sections)


def check_package(package):
    report = Report(package)
    for name in FOLDERS:
        folder = os.path.join(package, "Driver", name)
        if not os.path.isdir(folder):
            report.add(ERROR, folder, "folder missing")
        elif name in INSTALLERS:
            check_vista_folder(report, folder)
        else:
            check_inf_folder(report, folder)
    return report


def counted(number, noun):
    return f"{number} {noun}" + ("" if number == 1 else "s")


def main():
    if len(sys.argv) != 2:
        print("usage: check_package.py PACKAGE", file=sys.stderr)
        return 2
    package = os.path.abspath(sys.argv[1])
    print(f"Checking the driver package in {package}")
    report = check_package(package)
    for _, line in report.lines:
        print(f"  {line}")
    errors, warnings, passed = report.count(ERROR), report.count(WARNING), report.count(OK)
    verdict = "refused" if errors else "accepted"
    print(f"Driver package {verdict}: {counted(errors, 'error')}, {counted(warnings, 'warning')}, "
          f"{counted(passed, 'check')} passed")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
