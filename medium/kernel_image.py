"""What a kernel driver's PE headers show of where it can run: the processor it is built for, and
what of its layout memory integrity refuses. Read with pefile, headers only."""
import pefile

# The PE machine field, named as INF decorations name processors.
PROCESSORS = {0x14C: "x86", 0x8664: "amd64", 0x200: "ia64", 0x1C4: "arm", 0xAA64: "arm64"}
WRITABLE, EXECUTABLE = 0x80000000, 0x20000000
PAGE_SIZE = 0x1000


class KernelImage:
    def __init__(self, machine, sections, section_alignment):
        self.machine, self.sections = machine, sections
        self.section_alignment = section_alignment

    @property
    def processor(self):
        return PROCESSORS.get(self.machine, f"machine {self.machine:#x}")

    def memory_integrity_faults(self):
        """What memory integrity refuses, one sentence each: a section both writable and
        executable, and a section alignment that is not whole pages."""
        faults = [f"its section {name} is both writable and executable"
                  for name, flags in self.sections if flags & WRITABLE and flags & EXECUTABLE]
        if self.section_alignment % PAGE_SIZE:
            faults.append(f"its section alignment {self.section_alignment:#x} is not a multiple "
                          f"of {PAGE_SIZE:#x}")
        return faults


def read_image(path):
    """The kernel file's image, or None when it is not a PE file."""
    try:
        image = pefile.PE(path, fast_load=True)
    except (pefile.PEFormatError, OSError):
        return None
    if image.OPTIONAL_HEADER is None:
        return None
    sections = [(section.Name.rstrip(b"\0").decode("latin-1"), section.Characteristics)
                for section in image.sections]
    return KernelImage(image.FILE_HEADER.Machine, sections,
                       image.OPTIONAL_HEADER.SectionAlignment)
