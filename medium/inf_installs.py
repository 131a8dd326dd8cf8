"""What an INF installs on one processor and range of Windows versions, followed as the setup
library follows it: [Manufacturer], the models sections whose decorations apply, the install
sections the models name, and the files their CopyFiles copy; and where each file's source is
(SourceDisksFiles and SourceDisksNames)."""
import re

from inf_file import field

# NT[architecture][.major[.minor[.product type[.suite mask[.build]]]]]
DECORATION = re.compile(r"nt(x86|amd64|ia64|arm64|arm)?((?:\.[^.]*){0,5})$", re.I)
# The first Windows that reads decorations; Windows 2000 takes the undecorated section alone.
DECORATIONS_READ_FROM = (5, 1)


class Installs:
    """The files an INF copies: lower-case name to (name, the section that copies it), the
    models sections and install sections followed, the file lists taken from system INFs that
    Include= names ((list, system INFs, the install section)), what could not be followed, and
    the install sections models lines name that are not there (lower-case name to the name,
    the first models section naming it and how many lines do)."""

    def __init__(self):
        self.files = {}
        self.models = []
        self.sections = []
        self.from_system = []
        self.problems = []
        self.missing = {}


def parse_decoration(text):
    """(architecture or "", (major, minor), product type or None, suite mask, build) of a
    TargetOSVersion decoration, or None."""
    match = DECORATION.match(text.strip())
    if match is None:
        return None
    try:
        parts = [(int(part, 16) if part.lower().startswith("0x") else int(part)) if part else None
                 for part in match.group(2).split(".")[1:]]
    except ValueError:
        return None
    major, minor, product, suite, build = parts + [None] * (5 - len(parts))
    return (match.group(1) or "").lower(), (major or 0, minor or 0), product, suite or 0, build or 0


def applies(parsed, processor, version, product_type, suite):
    """Whether a parsed decoration serves `processor` on `version` ((major, minor), or with the
    build); a product type or suite of None accepts any. 64-bit Windows takes only a decoration
    that names its processor."""
    architecture, (major, minor), product, mask, build = parsed
    if architecture != processor and (architecture or processor != "x86"):
        return False
    if product is not None and product_type is not None and product != product_type:
        return False
    if suite is not None and mask & suite != mask:
        return False
    return (major, minor, build)[:len(version)] <= tuple(version)


def models_on(inf, processor, version, product_type=None, suite=None):
    """The models sections the setup library takes on Windows `version` for `processor`: for each
    manufacturer the decoration closest to the version, an architecture's own before plain NT,
    then one asking for the product type or suite. The undecorated section serves Windows 2000,
    which reads no decoration, and x86 where no decoration applies: 64-bit Windows requires
    one."""
    sections = []
    for _, fields in inf.entries("Manufacturer"):
        models, decorations = field(fields, 0).strip(), [text.strip() for text in fields[1:]]
        candidates = []
        for text in decorations if tuple(version[:2]) >= DECORATIONS_READ_FROM else []:
            parsed = parse_decoration(text)
            if parsed and applies(parsed, processor, version, product_type, suite):
                architecture, (major, minor), product, mask, build = parsed
                candidates.append(((major, minor, build), architecture != "", product is not None,
                                   mask != 0, text))
        if candidates:
            sections.append(f"{models}.{max(candidates, key=lambda key: key[:-1])[-1]}")
        elif processor == "x86" and inf.section(models) is not None:
            sections.append(models)
    return sections


def decoration_versions(inf, processor):
    """The versions at which the choice of models section may change."""
    return {DECORATIONS_READ_FROM} | {
        parsed[1] for _, fields in inf.entries("Manufacturer") for text in fields[1:]
        for parsed in [parse_decoration(text)] if parsed and parsed[0] in ("", processor)}


def install_section(inf, name, processor):
    """The install section the setup library takes for `name`: .NT<processor>, .NT, plain."""
    return inf.first_section((f"{name}.NT{processor}", f"{name}.NT", name))


def follow(inf, processor, oldest, newest):
    """Installs of the INF on every Windows from `oldest` to `newest` (major, minor)."""
    installs = Installs()
    versions = {oldest} | {version for version in decoration_versions(inf, processor)
                           if oldest < version <= newest}
    for version in sorted(versions):
        for models in models_on(inf, processor, version):
            if models.lower() not in (name.lower() for name in installs.models):
                installs.models.append(models)
    for models in installs.models:
        if inf.section(models) is None:
            installs.problems.append(f"[Manufacturer] names models section [{models}], which "
                                     "is not there")
        for _, fields in inf.entries(models):
            follow_install(inf, installs, field(fields, 0).strip(), processor, models)
    return installs


def follow_install(inf, installs, name, processor, models):
    if not name:
        return
    section = install_section(inf, name, processor)
    if section is None:
        known = installs.missing.get(name.lower(), (name, models, 0))
        installs.missing[name.lower()] = known[:2] + (known[2] + 1,)
        return
    if section not in installs.sections:
        installs.sections.append(section)
    # Sections the INF takes from system INFs (Include=, with Needs= naming them).
    included = [name.strip() for value in inf.values(section, "Include")
                for name in value.split(",") if name.strip()]
    for part in (section, f"{section}.CoInstallers", f"{section}.Services"):
        for value in inf.values(part, "CopyFiles"):
            for item in (text.strip() for text in value.split(",")):
                copy_files(inf, installs, item, inf.section(part), included)


def copy_files(inf, installs, item, copying, included=()):
    """One CopyFiles item: @file, or a file-list section whose entries name destination and,
    when it differs, source; a list the INF lacks may come from a system INF it includes."""
    if item.startswith("@"):
        installs.files.setdefault(item[1:].lower(), (item[1:], copying))
        return
    if not item:
        return
    if inf.section(item) is None and included:
        if (item, tuple(included), copying) not in installs.from_system:
            installs.from_system.append((item, tuple(included), copying))
        return
    if inf.section(item) is None:
        installs.problems.append(f"[{copying}] copies the file list [{item}], which is not "
                                 "there")
        return
    for key, fields in inf.entries(item):
        name = (field(fields, 1) or field(fields, 0)).strip() if key is None else key.strip()
        if name:
            installs.files.setdefault(name.lower(), (name, inf.section(item)))


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


def source_folder(disk_fields, file_fields):
    """The source's folder below the INF's, with '/' between parts: the disk's path, then the
    file's own subfolder. A leading backslash means the disk's root, which is the INF's folder."""
    parts = (field(disk_fields, 3), field(file_fields, 1))
    return "/".join(part.replace("\\", "/").strip().strip("/") for part in parts if part.strip())


def cabinet_of(disk_fields):
    """The cabinet the disk's tag-or-cab-file field names, or None for a tag file or none."""
    name = field(disk_fields, 1).strip()
    return name if name.lower().endswith(".cab") else None


def service_binaries(inf, installs):
    """The file names, in lower case, of the kernel drivers the followed install sections'
    .Services sections add (ServiceBinary of each AddService's service-install section), each
    with its StartType (0: boot start), None where it has none that is a number."""
    names = {}
    for section in installs.sections:
        for value in inf.values(f"{section}.Services", "AddService"):
            service = field(value.split(","), 2).strip()
            starts = [text.strip() for text in inf.values(service, "StartType")] if service else []
            number = starts and re.fullmatch(r"0x[0-9a-f]+|[0-9]+", starts[0], re.I)
            start = int(starts[0], 0) if number else None
            for binary in inf.values(service, "ServiceBinary") if service else []:
                names[binary.replace("/", "\\").rsplit("\\", 1)[-1].strip().lower()] = start
    return names
