#!/usr/bin/python3
"""Usage: check_package.py [--release] [--json] [--report FILE] [--roots FILE]
                        [--catalog-cafile FILE] PACKAGE

Checks a driver package before it goes on a medium: PACKAGE/Driver must hold the four folders the
setup program enters, each with what its installer needs there, and every file below them must
have a name the medium can hold. INF files are read as the setup library reads them and followed
to the files they install, for the processor and the Windows versions the folder serves. Prints
one line per check, what passed as well as what did not, each naming its file, and a verdict.
Each INF, with its catalog and the embedded signatures and PE headers of its kernel files, gets
a verdict for every Windows its folder serves (windows_policy.py): one that fails on all of them
is an error, one that fails on some, asks or warns, or installs where its catalog's OSAttr does
not name the Windows, is a warning that says so, and one that installs everywhere is an ok line.
Exits 1 when there is an error; warnings alone let the package through. With --release the
package goes on a signed medium, and the sample's stand-in installers are errors, not warnings.
--json prints the report as one JSON object instead; --report writes that object to FILE as
well, also when the package is refused. Catalogs are judged against Microsoft's roots, or those
of a PEM file of the same form (--roots, CATALOG_ROOTS in the environment; for tests), and the
roots Windows trusts for code signing, with more from a PEM file (--catalog-cafile,
CATALOG_CAFILE)."""
import argparse
import json
import os
import struct
import sys
import xml.etree.ElementTree as ElementTree
from fnmatch import fnmatch

from cabinet import cabinet_names
from catalog import Catalog
from inf_file import ANSI, UTF16, UTF8_MARKED, Inf, decode_inf, field
from inf_installs import cabinet_of, entries_for, follow, service_binaries, source_folder
from kernel_image import read_image
from medium_names import name_problems, path_problem, shown
from package_tree import FOLDERS, driver_folders, find_file, find_path, medium_entries
from signatures import embedded_signatures, trust_from
from windows_policy import FAILS, RULES, WINDOWS, verdicts
from windows_policy import SERVES as WINDOWS_SERVED

OK, WARNING, ERROR = "ok", "warning", "error"
# The processor each folder's system has, as decorated section names spell it, and the oldest
# and newest Windows (major, minor) it serves: 2000 to Server 2003, XP x64, Vista to 11.
SERVES = {
    "Win2000_WinXP": ("x86", (5, 0), (5, 2)),
    "WinXP_64": ("amd64", (5, 2), (5, 2)),
    "Vista_32": ("x86", (6, 0), (10, 0)),
    "Vista_64": ("amd64", (6, 0), (10, 0)),
}
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
# The folders whose installer needs a catalog to install without a warning.
CATALOG_FOLDERS = ("Vista_32", "Vista_64")
SAYS_WHAT_IS_SEEN = ("publisher", "invalid", "logo")
# Files a driver package may take from Windows' own installation source.
SYSTEM_LAYOUT = "layout.inf"
# The FileDescription in the version block of our stand-in (tools/dpinst_standin), which a copy
# of the sample package carries too.
STANDIN_MARKER = "QB7_LX450 test stand-in for the driver package installer".encode("utf-16-le")
# What the builder writes at the medium's root itself; the sample medium holds them too.
BUILDER_FILES = ("QB7_LX450.exe", "autorun.inf")


class Report:
    def __init__(self, package, trust):
        self.package, self.trust = package, trust
        self.lines = []
        self.drivers = []

    def relative(self, path):
        return shown(path if path == self.package else os.path.relpath(path, self.package))

    def add(self, severity, path, text):
        self.lines.append((severity, self.relative(path), text))

    def count(self, severity):
        return sum(1 for line in self.lines if line[0] == severity)

    def machine_readable(self):
        errors = self.count(ERROR)
        return {"package": shown(self.package), "verdict": "refused" if errors else "accepted",
                "errors": errors, "warnings": self.count(WARNING),
                "lines": [{"level": level, "file": file, "text": text}
                          for level, file, text in self.lines],
                "drivers": self.drivers}


class InfCheck:
    """One INF being checked: where it is, what it is, and which folder of the medium it serves."""

    def __init__(self, report, package, folder_name, path):
        self.report, self.path, self.inf = report, path, None
        self.folder_name = folder_name
        self.processor, self.oldest, self.newest = SERVES[folder_name]
        self.folder = os.path.dirname(path)
        # Disk paths may go up with '..', but not out of the package's Driver folder.
        self.boundary = find_file(package, "Driver")
        self.name = os.path.basename(path)
        self.services, self.kernel_names, self.from_windows = {}, set(), set()
        # The Windows its models sections serve; None when it has no [Manufacturer] section.
        self.served = None

    def add(self, severity, text, path=None):
        self.report.add(severity, path or self.path, text)

    def read(self, xp):
        """Whether the file is an INF the setup library reads, after reporting what it is."""
        text = self.decoded(xp)
        if text is None:
            return False
        self.inf = Inf(text)
        return self.has_signature()

    def decoded(self, xp):
        """The INF's text, or None when it cannot be read or (`xp`) 2000/XP would misread it."""
        try:
            with open(self.path, "rb") as file:
                text, encoding = decode_inf(file.read())
        except OSError as error:
            self.add(ERROR, f"cannot be read: {error.strerror}")
            return None
        if encoding == UTF8_MARKED and xp:
            self.add(ERROR, "UTF-8 with a byte order mark: the setup library of 2000 and XP "
                     "reads the mark as part of the first line and misses its section")
            return None
        if encoding not in (ANSI, UTF16):
            self.add(WARNING, f"{encoding}: the setup library documents only ANSI and UTF-16LE "
                     "with a byte order mark")
        return text

    def has_signature(self):
        if self.inf.section("Version") is None:
            self.add(ERROR, "not an INF file: it has no [Version] section")
            return False
        signatures = self.inf.values("Version", "Signature")
        if not signatures:
            self.add(ERROR, "not an INF file: its [Version] section has no Signature")
            return False
        if signatures[0].lower() not in SIGNATURES:
            self.add(ERROR, f'not an INF file: Signature is "{signatures[0]}", '
                     'expected "$Windows NT$" or "$Chicago$"')
            return False
        self.add(OK, f"INF file, Signature {signatures[0]}")
        return True

    def check_install_section(self):
        names = (f"{INSTALL_SECTION}.NT{self.processor}", f"{INSTALL_SECTION}.NT",
                 INSTALL_SECTION)
        found = self.inf.first_section(names)
        if found is None:
            looked_for = ", ".join(f"[{name}]" for name in names[:-1]) + f" or [{names[-1]}]"
            self.add(ERROR, f"has no install section {looked_for}")
        else:
            self.add(OK, f"install section [{found}]")

    def check_files(self):
        """Checks the sources of what the INF installs; returns the paths of those present as
        files (not inside a cabinet)."""
        sources = entries_for(self.inf, "SourceDisksFiles", self.processor)
        sections = f"[SourceDisksFiles.{self.processor}] and [SourceDisksFiles]"
        if self.inf.section("Manufacturer") is None:
            self.add(OK, "has no [Manufacturer] section, so no models to follow: every file "
                     f"named in {sections} is needed")
            wanted = {key: (entry[1], None) for key, entry in sources.items()}
        else:
            wanted = self.followed_files()
        present, faults = self.find_sources(wanted, sources)
        self.kernel_names = ({key for key in wanted if key.endswith(".sys")} | (
            self.services.keys() & set(wanted))) - self.from_windows
        if not wanted:
            self.add(OK, f"copies no files on {self.processor}")
        elif faults == 0:
            self.add(OK, f"all {len(wanted)} files it copies on {self.processor} are present")
        unused = len(set(sources) - set(wanted))
        if unused:
            self.add(OK, f"{unused} more named in {sections} are not copied on "
                     f"{self.processor} and not needed here")
        return present

    def find_sources(self, wanted, sources):
        """(paths of the wanted files found outside cabinets, how many are not there)."""
        present, faults = [], 0
        for key in sorted(wanted):
            name, copying = wanted[key]
            if key not in sources and self.from_layout(name):
                continue
            if key not in sources:
                faults += 1
                self.add(ERROR, f"[{copying}] copies {name}, which neither "
                         f"[SourceDisksFiles.{self.processor}] nor [SourceDisksFiles] names: it "
                         f"has no source on {self.processor}")
                continue
            found, path = self.locate(sources[key])
            faults += not found
            if path:
                present.append(path)
        return present, faults

    def from_layout(self, name):
        """Whether the file comes from Windows' own installation source, after saying so."""
        layouts = [value.strip().lower() for value in self.inf.values("Version", "LayoutFile")]
        if SYSTEM_LAYOUT not in layouts:
            return False
        self.add(OK, f"{name} comes from Windows' own installation source, which "
                 f"LayoutFile={SYSTEM_LAYOUT} names")
        self.from_windows.add(name.lower())
        return True

    def followed_files(self):
        installs = follow(self.inf, self.processor, self.oldest, self.newest)
        for problem in installs.problems:
            self.add(ERROR, problem)
        self.report_missing_sections(installs)
        for listed, included, copying in installs.from_system:
            self.add(OK, f"[{copying}] copies [{listed}] from the system's "
                     f"{' or '.join(included)}, which Include= names")
        self.services = service_binaries(self.inf, installs)
        self.served = {name for name in WINDOWS_SERVED[self.folder_name] for version in
                       [WINDOWS[name].version] if follow(self.inf, self.processor, version,
                                                         version).sections}
        return installs.files

    def report_missing_sections(self, installs):
        """One line per install section the models lines name and the INF lacks: only the
        devices those lines name fail, and the verdicts refuse the package where no line
        installs."""
        for name, models, lines in installs.missing.values():
            named = f" and {counted(lines - 1, 'more line')}" if lines > 1 else ""
            verb = "names" if lines == 1 else "name"
            self.add(WARNING, f"[{models}]{named} {verb} install section {name}, but there is no "
                     f"[{name}.NT{self.processor}], [{name}.NT] or [{name}]: the devices "
                     f"{'it names' if lines == 1 else 'they name'} do not install")

    def locate(self, source):
        """(whether one source file is there, its path unless a cabinet holds it), after
        reporting it when it is not there."""
        section, name, fields = source
        disks = entries_for(self.inf, "SourceDisksNames", self.processor)
        disk = disks.get(field(fields, 0).lower())
        if disk is None:
            self.add(ERROR, f"[{section}] puts {name} on disk \"{field(fields, 0)}\", which "
                     f"neither [SourceDisksNames.{self.processor}] nor [SourceDisksNames] lists")
            return False, None
        folder = source_folder(disk[2], fields)
        relative = "/".join(part for part in (folder, name) if part)
        try:
            path = find_path(self.folder, relative, self.boundary)
            path = path if path and os.path.isfile(path) else None
            cabinet = cabinet_of(disk[2])
            if path is None and cabinet and self.in_cabinet(
                    section, name, source_folder(disk[2], []), cabinet, folder):
                return True, None
        except ValueError:
            self.add(ERROR, f"[{section}] puts {name} in {relative}, outside the package")
            return False, None
        if path is None:
            self.add(ERROR, f"missing, named in [{section}] of {self.name}",
                     os.path.join(self.folder, relative))
        return path is not None, path

    def in_cabinet(self, section, name, disk_folder, cabinet, folder):
        """Whether the disk's cabinet lists the file, below the file's own subfolder or without
        it."""
        path = find_path(self.folder, "/".join(p for p in (disk_folder, cabinet) if p),
                         self.boundary)
        if path is None:
            return False
        try:
            listed = {entry.replace("\\", "/").lower() for entry in cabinet_names(path)}
        except (OSError, ValueError) as error:
            self.add(ERROR, f"cannot be read as a cabinet: {error}", path)
            return False
        inside = folder[len(disk_folder):].strip("/")
        if {"/".join(p for p in (inside, name) if p).lower(), name.lower()} & listed:
            self.add(OK, f"{name} is in the cabinet, named in [{section}] of {self.name}", path)
            return True
        return False

    def check_strings(self):
        # The setup library documents that every token must be defined, not that an undefined
        # one stops it; that the token's own text stands is not confirmed there.
        for token in sorted(self.inf.undefined, key=str.lower):
            self.add(WARNING, f"%{token}% is defined in no [Strings] section: Windows shows "
                     f"\"%{token}%\" where its text belongs")


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


def check_installer(report, folder, folder_name, release):
    name, machine, machine_name = INSTALLERS[folder_name]
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
                   f"{folder_name} needs an {machine_name} one ({machine:#x})")
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


def read_catalog(check, members):
    """(the catalog, its path, whether it lists the INF and `members` as they are) for the
    catalog the INF names; (None, path or None, False) when there is none to read. A catalog
    that is missing, empty or does not cover the files is a warning: the verdicts say what
    Windows makes of it."""
    named = catalog_named(check.inf, check.processor)
    required = check.folder_name in CATALOG_FOLDERS
    if named is None:
        if required:
            check.add(WARNING, f"names no catalog file (CatalogFile.NT{check.processor}, "
                      "CatalogFile.NT or CatalogFile in [Version]): the driver package is not "
                      "signed")
        return None, None, False
    key, catalog_name = named
    path = find_file(check.folder, catalog_name)
    named_by = f"named by {key} in {check.name}"
    if path is None:
        if required:
            check.add(WARNING, f"missing, {named_by}: the driver package is not signed",
                      os.path.join(check.folder, catalog_name))
        return None, os.path.join(check.folder, catalog_name), False
    if os.path.getsize(path) == 0:
        if required:
            check.add(WARNING, f"empty, {named_by}: it signs nothing", path)
        return None, path, False
    catalog = Catalog(path, check.report.trust)
    problems = catalog.problems([check.path] + members)
    for problem in problems:
        check.add(WARNING, problem, path)
    if not problems:
        check.add(OK, f"catalog file {named_by}: lists it and the "
                  f"{counted(len(members), 'file')} it copies from outside cabinets", path)
    if catalog.problem is None:
        check.add(OK, catalog_summary(catalog), path)
    return catalog, path, not problems


def signature_text(signature):
    stamp = f"time-stamped {signature.timestamp:%Y-%m-%d}" if signature.timestamp else \
        "no time stamp"
    text = (f"{'nested ' if signature.nested else ''}{signature.kind} signature by "
            f"{signature.signer or 'an unnamed signer'} ({signature.digest}, certificate issued "
            f"{signature.issued:%Y-%m-%d}, {stamp}" if signature.issued else
            f"{signature.kind} signature ({signature.digest}")
    if signature.problem:
        return text + f"; it does not count: {signature.problem})"
    kernel = signature.kernel_problem
    return text + (f"; the installer counts it, the kernel does not: {kernel})" if kernel else ")")


def catalog_summary(catalog):
    signatures = "; ".join(map(signature_text, catalog.signatures)) or "no signature: unsigned"
    return (f"{signatures}; file hashes {', '.join(catalog.file_hashes) or 'none'}; OSAttr "
            f"{', '.join(catalog.os_attributes) or 'none'}")


def kernel_files(check, present):
    """(name, path or None, whether it starts at boot) of each kernel file the INF installs from
    the package: the .sys files it copies and the service binaries among them. A file in a
    cabinet has no path."""
    paths = {os.path.basename(path).lower(): path for path in present}
    return [(name, paths.get(name), check.services.get(name) == 0)
            for name in sorted(check.kernel_names)]


def judge_driver(check, present):
    """The INF's verdict on every Windows its folder serves, from its catalog and its kernel
    files' embedded signatures: a line for people and an entry of the machine report."""
    catalog, catalog_path, covered = read_catalog(check, present)
    trust = check.report.trust
    kernel, images = [], {}
    for name, path, boot in kernel_files(check, present):
        embedded = embedded_signatures(path, trust) if path else []
        kernel.append((name, path, embedded, boot))
        images[name] = read_image(path) if path else None
        if path:
            check.add(OK, "kernel driver; embedded signature: " + (
                "; ".join(map(signature_text, embedded)) or "none"), path)
    signatures = catalog.signatures if catalog else []
    windows = verdicts(check.folder_name, signatures, covered,
                       [(name, covered, embedded, boot) for name, _, embedded, boot in kernel],
                       images, catalog.os_attributes if catalog and not catalog.problem else (),
                       check.served)
    add_verdict_line(check, windows)
    present_catalog = catalog_path if catalog_path and os.path.exists(catalog_path) else None
    check.report.drivers.append({
        "folder": check.folder_name, "inf": check.report.relative(check.path),
        "catalog": check.report.relative(present_catalog) if present_catalog else None,
        # An empty file is no catalog either.
        "kind": catalog.kind if catalog else "not-a-catalog" if present_catalog else "missing",
        "signatures": [signature.report() for signature in signatures],
        "file_hashes": catalog.file_hashes if catalog else [],
        "os_attributes": catalog.os_attributes if catalog else [],
        "kernel_files": [{"file": check.report.relative(path) if path else name,
                          "embedded_kinds": [s.kind for s in embedded]}
                         for name, path, embedded, _ in kernel],
        "windows": {name: verdict for name, (verdict, _, _) in windows.items()}})


def add_verdict_line(check, windows):
    """One line: ok when it installs everywhere, an error when it fails everywhere, else a
    warning; each group of Windows with the same outcome named, with what the user meets and
    the rule."""
    groups = {}
    for name, outcome in windows.items():
        groups.setdefault(outcome, []).append(name)
    found = {verdict for verdict, _, _ in windows.values()}
    if {rule for _, _, rule in windows.values()} == {"microsoft"}:
        check.add(OK, f"installs on {', '.join(windows)}")
        return
    parts = []
    for (verdict, seen, rule), names in groups.items():
        # The rules of the installer's own questions say what the user meets.
        said = RULES[rule][0] if rule in SAYS_WHAT_IS_SEEN else f"{seen}: {RULES[rule][0]}"
        why = "" if rule == "microsoft" else f" ({said})"
        parts.append(f"{verdict} on {', '.join(names)}{why}")
    if found == {FAILS}:
        everywhere = f"fails on every Windows {check.folder_name} serves"
        if len(groups) == 1:
            (_, seen, rule), names = next(iter(groups.items()))
            parts = [f"{everywhere} ({', '.join(names)}): {seen}: {RULES[rule][0]}"]
        else:
            parts.insert(0, everywhere)
        check.add(ERROR, ": ".join(parts[:1]) + "".join(f"; {part}" for part in parts[1:]))
    else:
        check.add(WARNING, "; ".join(parts))


def infs_in(folder):
    return [os.path.join(folder, entry) for entry in sorted(os.listdir(folder))
            if entry.lower().endswith(".inf") and os.path.isfile(os.path.join(folder, entry))]


# What the setup program follows of dpinst.xml to count the packages the installer finds
# (install/dpinst_descriptor.h, install/driver_packages.h): paths shorter than this in plain
# ASCII, descriptors no longer, and INFs up to this many.
DESCRIPTOR_PATH_SIZE = 128
MAX_DESCRIPTOR_BYTES = 64 * 1024
MAX_PACKAGES = 64


def descriptor_path(raw):
    """A path from dpinst.xml as the installer takes it from its working folder, the driver
    folder: parts separated by '\\', "." parts left out, ".." taking back the part before, so
    that one leading ".." at most leads into Driver. None for a path from a root or a drive, or
    one leading higher."""
    if raw.startswith(("\\", "/")) or ":" in raw:
        return None
    parts = []
    for part in raw.replace("/", "\\").split("\\"):
        if part == ".." and parts and parts[-1] != "..":
            parts.pop()
        elif part == "..":
            if parts:
                return None
            parts.append(part)
        elif part not in ("", "."):
            parts.append(part)
    return "\\".join(parts)


def descriptor_entries(data):
    """What dpinst.xml (its bytes) has the installer search ("subDirectory") and install
    ("package") besides its folder's own INFs, as (kind, path as descriptor_path gives it, path
    as written), and whether the setup program follows them all: where it cannot, it cannot
    count the packages the installer finds. Raises ElementTree.ParseError for no XML."""
    entries, followed = [], len(data) <= MAX_DESCRIPTOR_BYTES
    for element in ElementTree.fromstring(data).iter():
        kind = element.tag.rsplit("}", 1)[-1]
        raw = {"subDirectory": element.text, "package": element.get("path")}.get(kind)
        raw = (raw or "").strip()
        if raw:
            path = descriptor_path(raw)
            followed &= path is not None and raw.isascii() and len(raw) < DESCRIPTOR_PATH_SIZE
            entries.append((kind, path, raw))
    return entries, followed


def on_medium(path, driver):
    """Whether `path`, in the package's Driver folder `driver`, lies in one of the four folders."""
    first = os.path.relpath(path, driver).split(os.sep)[0]
    return first.lower() in (name.lower() for name in FOLDERS)


def descriptor_targets(folder, kind, path):
    """The folders on the medium a subDirectory path from the driver folder `folder` matches, or
    the INF a package path names there."""
    if path is None:
        return []
    driver = os.path.dirname(folder)
    parts = path.split("\\")
    start, parts = (driver, parts[1:]) if parts[0] == ".." else (folder, parts)
    if kind == "package":
        found = [find_path(start, "/".join(parts), driver)]
        found = [inf for inf in found if inf and os.path.isfile(inf)]
    else:
        found = matching_folders(start, parts)
    return [target for target in found if on_medium(target, driver)]


def search_folders(report, folder):
    """The folder and the subfolders its dpinst.xml has the installer search
    (<search><subDirectory>, '*' matching any name), each with the folders below it, as the
    installer searches them all; and the INFs it names (<group><package path>)."""
    folders, packages = [folder], []
    descriptor = find_file(folder, "dpinst.xml")
    if descriptor is None:
        return folders, packages
    try:
        with open(descriptor, "rb") as file:
            entries, followed = descriptor_entries(file.read())
    except (ElementTree.ParseError, OSError) as error:
        report.add(ERROR, descriptor, f"cannot be read as XML: {error}")
        return folders, packages
    if not followed:
        report.add(WARNING, descriptor, "the setup program cannot follow all it names (more than "
                   f"{MAX_DESCRIPTOR_BYTES // 1024} KiB, or a path of {DESCRIPTOR_PATH_SIZE} "
                   "characters or more, beyond ASCII or out of Driver): it takes the installer's "
                   "exit code without checking its counts")
    for kind, path, raw in entries:
        found = descriptor_targets(folder, kind, path)
        if kind == "package":
            packages += [inf for inf in found if inf not in packages]
        else:
            below = sorted(os.path.join(root, name) for target in found
                           for root, names, _ in os.walk(target) for name in names)
            folders += [target for target in found + below if target not in folders]
        if not found:
            downwards = path is not None and path.split("\\")[0] != ".."
            where = f"below {os.path.basename(folder)}" if downwards else "on the medium"
            noun = "package" if kind == "package" else "subfolder"
            report.add(ERROR, descriptor, f"names the {noun} {raw}, which is not {where}")
    return folders, packages


def matching_folders(folder, parts):
    if not parts:
        return [folder]
    if parts[0] in ("", "."):
        return matching_folders(folder, parts[1:])
    found = []
    for entry in sorted(os.listdir(folder)) if os.access(folder, os.R_OK) else []:
        path = os.path.join(folder, entry)
        if fnmatch(entry.lower(), parts[0].lower()) and os.path.isdir(path):
            found += matching_folders(path, parts[1:])
    return found


def check_vista_folder(report, package, folder, folder_name, release):
    check_installer(report, folder, folder_name, release)
    folders, packages = search_folders(report, folder)
    infs = [path for searched in folders for path in infs_in(searched)]
    infs += [path for path in packages if path not in infs]
    if len(infs) > MAX_PACKAGES:
        report.add(WARNING, folder, f"holds {len(infs)} INF files: the setup program counts "
                   f"{MAX_PACKAGES} at most, and takes the installer's exit code without checking "
                   "its counts")
    if not infs:
        report.add(ERROR, folder, "holds no INF file")
    for inf_path in infs:
        check = InfCheck(report, package, folder_name, inf_path)
        if check.read(xp=False):
            judge_driver(check, check.check_files())
            check.check_strings()


def check_inf_folder(report, package, folder, folder_name):
    inf_path = find_file(folder, INF_NAME)
    if inf_path is None:
        report.add(ERROR, os.path.join(folder, INF_NAME), "missing")
        return
    check = InfCheck(report, package, folder_name, inf_path)
    if check.read(xp=True):
        check.check_install_section()
        judge_driver(check, check.check_files())
        check.check_strings()


def check_names(report, package):
    """Every file below the four folders goes on the medium as it is: readable, not through a
    link out of the package, and with a name and path Windows and the CD image hold."""
    entries, problems = medium_entries(package)
    for path, problem in problems:
        report.add(ERROR, path, problem)
    for entry in entries:
        for problem in name_problems(os.path.basename(entry.path)):
            report.add(ERROR, entry.path, problem)
        too_long = path_problem(entry.medium)
        if too_long:
            report.add(ERROR, entry.path, too_long)
        if not os.access(entry.path, os.R_OK):
            report.add(ERROR, entry.path, "cannot be read")


def check_outside(report, package):
    """Only the four driver folders go on the medium; anything else is left behind."""
    driver = find_file(package, "Driver")
    for entry in sorted(os.listdir(package)):
        path = os.path.join(package, entry)
        if path == driver and os.path.isdir(path):
            for name in sorted(os.listdir(path)):
                if name.lower() not in (folder.lower() for folder in FOLDERS):
                    report.add(WARNING, os.path.join(path, name),
                               "outside the four driver folders: not on the medium")
        elif entry in BUILDER_FILES:
            report.add(OK, path, "the medium gets the builder's own in its place")
        else:
            report.add(WARNING, path, "outside the four driver folders: not on the medium")


def check_package(package, release, trust):
    report = Report(package, trust)
    if not os.path.isdir(package):
        report.add(ERROR, package, "no such folder")
        return report
    if not os.access(package, os.R_OK | os.X_OK):
        report.add(ERROR, package, "cannot be read")
        return report
    for name, folder in driver_folders(package).items():
        if folder is None or not os.path.isdir(folder):
            report.add(ERROR, os.path.join(package, "Driver", name), "folder missing")
        elif not os.access(folder, os.R_OK | os.X_OK):
            # The names check below says so.
            continue
        elif name in INSTALLERS:
            check_vista_folder(report, package, folder, name, release)
        else:
            check_inf_folder(report, package, folder, name)
    check_names(report, package)
    check_outside(report, package)
    return report


def counted(number, noun):
    return f"{number} {noun}" + ("" if number == 1 else "s")


def main():
    parser = argparse.ArgumentParser(usage=__doc__.splitlines()[0][7:])
    parser.add_argument("--release", action="store_true")
    parser.add_argument("--json", action="store_true")
    parser.add_argument("--report")
    parser.add_argument("--roots", default=os.environ.get("CATALOG_ROOTS") or None)
    parser.add_argument("--catalog-cafile", default=os.environ.get("CATALOG_CAFILE") or None)
    parser.add_argument("package")
    arguments = parser.parse_args()
    package = os.path.abspath(arguments.package)
    report = check_package(package, arguments.release,
                           trust_from(arguments.roots, arguments.catalog_cafile))
    machine = report.machine_readable()
    if arguments.report:
        with open(arguments.report, "w") as file:
            json.dump(machine, file, indent=1)
            file.write("\n")
    if arguments.json:
        print(json.dumps(machine, indent=1))
        return 1 if machine["errors"] else 0
    print(f"Checking the driver package in {shown(package)}")
    for severity, file, text in report.lines:
        print(f"  {severity:<8}{file}: {text}")
    errors, warnings, passed = report.count(ERROR), report.count(WARNING), report.count(OK)
    print(f"Driver package {machine['verdict']}: {counted(errors, 'error')}, "
          f"{counted(warnings, 'warning')}, {counted(passed, 'check')} passed")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
