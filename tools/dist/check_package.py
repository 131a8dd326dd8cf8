#!/usr/bin/python3
"""Usage: check_package.py [--release] PACKAGE

Checks a driver package before it goes on a medium: PACKAGE/Driver must hold the four folders the
setup program enters, each with what its installer needs there. INF files are read as the
setup library reads them, for the processor the folder serves. Prints one line per check, what
passed as well as what did not, each naming its file, and a verdict. Exits 1 when there is an
error; warnings alone let the package through. With --release the package goes on a signed
medium, and the sample's stand-in installers are errors, not warnings."""
import argparse
import os
import re
import struct
import sys

OK, WARNING, ERROR = "ok", "warning", "error"
# The processor each folder's system has, as decorated section names spell it.
FOLDERS = {"Win2000_WinXP": "x86", "WinXP_64": "amd64", "Vista_32": "x86", "Vista_64": "amd64"}
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
# The FileDescription in the version block of our stand-in (tools/dpinst_standin), which a copy
# of the sample package carries too.
STANDIN_MARKER = "QB7_LX450 test stand-in for the driver package installer".encode("utf-16-le")
# What the builder writes at the medium's root itself; the sample medium holds them too.
BUILDER_FILES = ("QB7_LX450.exe", "autorun.inf")
# Joliet names on the CD image; xorriso would shorten a longer one without a word.
JOLIET_NAME_LIMIT = 64


class Report:
    def __init__(self, package):
        self.package = package
        self.lines = []

    def add(self, severity, path, text):
        shown = path if path == self.package else os.path.relpath(path, self.package)
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
    """UTF-16LE after its byte order mark, UTF-8 with or without one, else the ANSI code page."""
    if data.startswith(b"\xff\xfe"):
        return data[2:].decode("utf-16-le", errors="replace")
    if data.startswith(b"\xef\xbb\xbf"):
        return data[3:].decode("utf-8", errors="replace")
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        return data.decode("cp1252", errors="replace")


def split_outside_quotes(text, separator, limit=-1):
    """Splits at `separator` where it is not between double quotes, at most `limit` times."""
    parts, start, quoted = [], 0, False
    for index, char in enumerate(text):
        if char == '"':
            quoted = not quoted
        elif char == separator and not quoted and limit != len(parts):
            parts.append(text[start:index])
            start = index + 1
    return parts + [text[start:]]


def logical_lines(text):
    """Lines without comments, a line ending in a backslash joined with the next one."""
    pending = ""
    for raw in text.splitlines():
        line = split_outside_quotes(raw, ";", 1)[0].strip()
        if line.endswith("\\"):
            pending += line[:-1]
            continue
        yield pending + line
        pending = ""
    if pending:
        yield pending


def unquote(text, substitute=lambda segment: segment):
    """Drops the quotes around quoted parts, where two quotes stand for one, and applies
    `substitute` to each part after that, so what it puts in is taken as it is."""
    parts = re.split(r'("(?:[^"]|"")*")', text.strip())
    return "".join(substitute(part[1:-1].replace('""', '"')) if part.startswith('"')
                   else substitute(part) for part in parts).strip()


class Inf:
    """Sections by lower-case name, a section that appears twice being one; each entry a key
    (None for a line without '=') and its comma-separated fields, %strkey% tokens resolved from
    [Strings] and quotes removed."""

    def __init__(self, text):
        self.names = {}
        self.raw = {}
        current = None
        for line in logical_lines(text):
            if line.startswith("[") and "]" in line:
                name = line[1:line.index("]")].strip()
                current = name.lower()
                self.names.setdefault(current, name)
                self.raw.setdefault(current, [])
            elif line and current is not None:
                self.raw[current].append(split_outside_quotes(line, "=", 1))
        self.strings = {parts[0].strip().lower(): unquote(parts[1])
                        for parts in self.raw.get("strings", []) if len(parts) == 2}

    def resolve(self, text):
        def token(match):
            key = match.group(1)
            return self.strings.get(key.lower(), match.group(0)) if key else "%"
        return unquote(text, lambda segment: re.sub(r"%([^%]*)%", token, segment))

    def section(self, name):
        """The section's name as the INF spells it, or None when it has none of that name."""
        return self.names.get(name.lower())

    def entries(self, name):
        for parts in self.raw.get(name.lower(), []):
            key = self.resolve(parts[0]) if len(parts) == 2 else None
            fields = [self.resolve(part) for part in split_outside_quotes(parts[-1], ",")]
            yield key, fields

    def values(self, section, key):
        return [",".join(fields) for entry_key, fields in self.entries(section)
                if entry_key is not None and entry_key.lower() == key.lower()]


def field(fields, index):
    return fields[index] if index < len(fields) else ""


def read_inf(report, path):
    """The INF, or None after reporting why the file is not one."""
    try:
        with open(path, "rb") as file:
            inf = Inf(decode_inf(file.read()))
    except OSError as error:
        report.add(ERROR, path, f"cannot be read: {error.strerror}")
        return None
    if inf.section("Version") is None:
        report.add(ERROR, path, "not an INF file: it has no [Version] section")
        return None
    signatures = inf.values("Version", "Signature")
    if not signatures:
        report.add(ERROR, path, "not an INF file: its [Version] section has no Signature")
        return None
    if signatures[0].lower() not in SIGNATURES:
        report.add(ERROR, path, f'not an INF file: Signature is "{signatures[0]}", '
                   'expected "$Windows NT$" or "$Chicago$"')
        return None
    report.add(OK, path, f"INF file, Signature {signatures[0]}")
    return inf


def entries_for(inf, section, processor):
    """Key (lower case) to (section as spelled, key, fields): [section.processor] first, then
    [section], entry by entry, as the setup library looks them up; other processors' sections
    are not read."""
    merged = {}
    for name in (f"{section}.{processor}", section):
        for key, fields in inf.entries(name):
            if key is not None:
                merged.setdefault(key.lower(), (inf.section(name), key, fields))
    return merged


def check_source_files(report, folder, processor, inf_path, inf):
    disks = entries_for(inf, "SourceDisksNames", processor)
    files = entries_for(inf, "SourceDisksFiles", processor)
    inf_name = os.path.basename(inf_path)
    faults = 0
    for section, file_name, fields in (files[key] for key in sorted(files)):
        disk = disks.get(field(fields, 0).lower())
        if disk is None:
            faults += 1
            report.add(ERROR, inf_path, f"[{section}] puts {file_name} on disk "
                       f'"{field(fields, 0)}", which neither [SourceDisksNames.{processor}] nor '
                       "[SourceDisksNames] lists")
            continue
        parts = (field(disk[2], 3), field(fields, 1), file_name)
        relative = "/".join(part.replace("\\", "/").strip("/") for part in parts if part)
        if find_path(folder, relative) is None:
            faults += 1
            report.add(ERROR, os.path.join(folder, relative),
                       f"missing, named in [{section}] of {inf_name}")
    sections = f"[SourceDisksFiles.{processor}] and [SourceDisksFiles]"
    if not files:
        report.add(OK, inf_path, f"names no files in {sections}")
    elif faults == 0:
        report.add(OK, inf_path, f"all {len(files)} files named in {sections} are present")


def check_install_section(report, processor, inf_path, inf):
    names = (f"{INSTALL_SECTION}.NT{processor}", f"{INSTALL_SECTION}.NT", INSTALL_SECTION)
    found = next((inf.section(name) for name in names if inf.section(name) is not None), None)
    if found is None:
        looked_for = ", ".join(f"[{name}]" for name in names[:-1]) + f" or [{names[-1]}]"
        report.add(ERROR, inf_path, f"has no install section {looked_for}")
    else:
        report.add(OK, inf_path, f"install section [{found}]")


def check_inf_folder(report, folder, processor):
    inf_path = find_file(folder, INF_NAME)
    if inf_path is None:
        report.add(ERROR, os.path.join(folder, INF_NAME), "missing")
        return
    inf = read_inf(report, inf_path)
    if inf is not None:
        check_install_section(report, processor, inf_path, inf)
        check_source_files(report, folder, processor, inf_path, inf)


def pe_header(path):
    """(machine, whether it carries an Authenticode signature) from a PE file's headers, or None
    when the file is not a PE program."""
    with open(path, "rb") as file:
        header = file.read(4096)
    if len(header) < 0x40 or header[:2] != b"MZ":
        return None
    offset = struct.unpack_from("<I", header, 0x3C)[0]
    if offset + 6 > len(header) or header[offset:offset + 4] != b"PE\0\0":
        return None
    machine = struct.unpack_from("<H", header, offset + 4)[0]
    optional = offset + 24
    if optional + 2 > len(header):
        return machine, False
    # The data directories follow the optional header's fixed part: 96 bytes in PE32, 112 in
    # PE32+; the fifth (security) holds the Authenticode signature.
    directories = optional + (112 if struct.unpack_from("<H", header, optional)[0] == 0x20B
                              else 96)
    security = directories + 4 * 8
    if security + 8 > len(header) or struct.unpack_from("<I", header, directories - 4)[0] < 5:
        return machine, False
    return machine, struct.unpack_from("<I", header, security + 4)[0] > 0


def is_standin(path):
    with open(path, "rb") as file:
        return STANDIN_MARKER in file.read()


def check_installer(report, folder, release):
    name, machine, machine_name = INSTALLERS[os.path.basename(folder)]
    path = find_file(folder, name)
    if path is None:
        report.add(ERROR, os.path.join(folder, name), "missing")
        return
    header = pe_header(path)
    if header is None:
        report.add(ERROR, path, "not a Windows program (no PE header)")
        return
    found, signed = header
    if found != machine:
        found_name = MACHINE_NAMES.get(found, "unknown")
        report.add(ERROR, path, f"{found_name} program (PE machine {found:#x}), "
                   f"{os.path.basename(folder)} needs an {machine_name} one ({machine:#x})")
        return
    report.add(OK, path, f"{machine_name} program (PE machine {machine:#x})")
    if is_standin(path):
        if release:
            report.add(ERROR, path, "the sample's stand-in, which installs nothing: a signed "
                       "medium is a release and needs the vendor's installer")
        else:
            report.add(WARNING, path, "the sample's stand-in: it installs nothing")
    elif not signed:
        report.add(WARNING, path, "carries no Authenticode signature (the vendor's installer "
                   "is signed by its maker)")


def catalog_named(inf, processor):
    """(key, catalog) of the first of CatalogFile.NT<processor>, CatalogFile.NT, CatalogFile
    in [Version], or None."""
    for key in (f"CatalogFile.NT{processor}", "CatalogFile.NT", "CatalogFile"):
        values = inf.values("Version", key)
        if values:
            return key, values[0]
    return None


def check_catalog(report, folder, processor, inf_path, inf):
    severity = UNSIGNED_SEVERITY[os.path.basename(folder)]
    named = catalog_named(inf, processor)
    if named is None:
        report.add(severity, inf_path, f"names no catalog file (CatalogFile.NT{processor}, "
                   "CatalogFile.NT or CatalogFile in [Version]): the driver package is not signed")
        return
    key, catalog = named
    path = find_file(folder, catalog)
    named_by = f"named by {key} in {os.path.basename(inf_path)}"
    if path is None:
        report.add(severity, os.path.join(folder, catalog),
                   f"missing, {named_by}: the driver package is not signed")
    elif os.path.getsize(path) == 0:
        report.add(WARNING, path, f"empty, {named_by}: it signs nothing")
    else:
        report.add(OK, path, f"catalog file {named_by}")


def check_vista_folder(report, folder, processor, release):
    check_installer(report, folder, release)
    infs = [os.path.join(folder, entry) for entry in sorted(os.listdir(folder))
            if entry.lower().endswith(".inf") and os.path.isfile(os.path.join(folder, entry))]
    if not infs:
        report.add(ERROR, folder, "holds no INF file")
    for inf_path in infs:
        inf = read_inf(report, inf_path)
        if inf is not None:
            check_catalog(report, folder, processor, inf_path, inf)
            check_source_files(report, folder, processor, inf_path, inf)


def check_names(report, folder):
    """Every file below `folder` goes on the medium as it is: readable, and with a name the CD
    image keeps whole."""
    for root, folders, files in os.walk(folder):
        for name in sorted(folders + files):
            path = os.path.join(root, name)
            length = len(name.encode("utf-16-le")) // 2
            if length > JOLIET_NAME_LIMIT:
                report.add(ERROR, path, f"name of {length} characters: the CD image keeps "
                           f"{JOLIET_NAME_LIMIT} (Joliet) and would cut it")
            if not os.access(path, os.R_OK):
                report.add(ERROR, path, "cannot be read")


def check_outside(report, package):
    """Only the four driver folders go on the medium; anything else is left behind."""
    for entry in sorted(os.listdir(package)):
        path = os.path.join(package, entry)
        if entry == "Driver" and os.path.isdir(path):
            for name in sorted(os.listdir(path)):
                if name not in FOLDERS:
                    report.add(WARNING, os.path.join(path, name),
                               "outside the four driver folders: not on the medium")
        elif entry in BUILDER_FILES:
            report.add(OK, path, "the medium gets the builder's own in its place")
        else:
            report.add(WARNING, path, "outside the four driver folders: not on the medium")


def check_package(package, release):
    report = Report(package)
    if not os.path.isdir(package):
        report.add(ERROR, package, "no such folder")
        return report
    if not os.access(package, os.R_OK | os.X_OK):
        report.add(ERROR, package, "cannot be read")
        return report
    for name, processor in FOLDERS.items():
        folder = os.path.join(package, "Driver", name)
        if not os.path.isdir(folder):
            report.add(ERROR, folder, "folder missing")
            continue
        if name in INSTALLERS:
            check_vista_folder(report, folder, processor, release)
        else:
            check_inf_folder(report, folder, processor)
        check_names(report, folder)
    check_outside(report, package)
    return report


def counted(number, noun):
    return f"{number} {noun}" + ("" if number == 1 else "s")


def main():
    parser = argparse.ArgumentParser(usage=__doc__.splitlines()[0][7:])
    parser.add_argument("--release", action="store_true")
    parser.add_argument("package")
    arguments = parser.parse_args()
    package = os.path.abspath(arguments.package)
    print(f"Checking the driver package in {package}")
    report = check_package(package, arguments.release)
    for _, line in report.lines:
        print(f"  {line}")
    errors, warnings, passed = report.count(ERROR), report.count(WARNING), report.count(OK)
    verdict = "refused" if errors else "accepted"
    print(f"Driver package {verdict}: {counted(errors, 'error')}, {counted(warnings, 'warning')}, "
          f"{counted(passed, 'check')} passed")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
