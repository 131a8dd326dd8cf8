#!/usr/bin/python3
"""Usage: medium_readback.py PACKAGE MEDIUM ZIP ISO

Reads the finished zip and CD image back the way Windows sees them, the zip's names as its
UTF-8 flag says and the image's Joliet tree, and compares each with what should be on the
medium: the files the builder wrote at MEDIUM's root and the four driver folders of PACKAGE.
Prints one line for each difference, naming the file, and exits 1 when there is one."""
import hashlib
import os
import struct
import sys
import zipfile

from medium_names import shown
from package_tree import medium_entries

SECTOR = 2048
UTF8_FLAG = 0x800
JOLIET_ESCAPES = (b"%/@", b"%/C", b"%/E")


def digest(data):
    return hashlib.sha256(data).hexdigest()


def file_digest(path):
    with open(path, "rb") as file:
        return digest(file.read())


def expected_files(package, medium):
    """Path on the medium ('/' between parts) to the SHA-256 of the bytes it must hold."""
    files = {name: file_digest(os.path.join(medium, name)) for name in os.listdir(medium)
             if os.path.isfile(os.path.join(medium, name))}
    entries, _ = medium_entries(package)
    files.update((entry.medium, file_digest(entry.path)) for entry in entries if not entry.folder)
    return files


def zip_files(path):
    """Name as Windows shows it to SHA-256: UTF-8 when the entry's flag says so, else the OEM
    code page 437; names without the flag that are not ASCII come back as Windows garbles them."""
    files = {}
    with zipfile.ZipFile(path) as archive:
        for info in archive.infolist():
            if not info.is_dir():
                files[info.filename] = digest(archive.read(info))
    return files


def directory_records(image, extent, length):
    """(name, extent, length, is a folder) of each record in a directory, '.' and '..' left out."""
    data = image[extent * SECTOR:extent * SECTOR + length]
    offset = 0
    while offset < len(data):
        size = data[offset]
        if size == 0:
            # Records never cross a sector; the rest of this one is padding.
            offset = (offset // SECTOR + 1) * SECTOR
            continue
        record = data[offset:offset + size]
        name_length = record[32]
        name = record[33:33 + name_length]
        if name not in (b"\0", b"\1"):
            yield (name.decode("utf-16-be", errors="replace"),
                   struct.unpack_from("<I", record, 2)[0], struct.unpack_from("<I", record, 10)[0],
                   bool(record[25] & 2))
        offset += size


def joliet_root(image):
    """(extent, length) of the Joliet tree's root folder, or None when the image has none."""
    sector = 16
    while (sector + 1) * SECTOR <= len(image):
        descriptor = image[sector * SECTOR:(sector + 1) * SECTOR]
        if descriptor[1:6] != b"CD001" or descriptor[0] == 255:
            return None
        if descriptor[0] == 2 and descriptor[88:91] in JOLIET_ESCAPES:
            return struct.unpack_from("<I", descriptor, 158)[0], struct.unpack_from(
                "<I", descriptor, 166)[0]
        sector += 1
    return None


def joliet_files(path):
    """Path in the Joliet tree (version ';1' dropped) to SHA-256, or None without a Joliet tree."""
    with open(path, "rb") as file:
        image = file.read()
    root = joliet_root(image)
    if root is None:
        return None
    files, folders = {}, [("", *root)]
    while folders:
        prefix, extent, length = folders.pop()
        for name, child, size, folder in directory_records(image, extent, length):
            if folder:
                folders.append((prefix + name + "/", child, size))
            else:
                name = name[:-2] if name.endswith(";1") else name
                files[prefix + name] = digest(image[child * SECTOR:child * SECTOR + size])
    return files


def differences(medium_name, expected, found):
    for path in sorted(set(expected) | set(found)):
        if path not in found:
            yield f"{shown(path)}: not in the {medium_name} under this name"
        elif path not in expected:
            yield f"{shown(path)}: in the {medium_name}, but not in the package"
        elif found[path] != expected[path]:
            yield f"{shown(path)}: the {medium_name} holds other bytes than the package"


def unflagged_names(path):
    with zipfile.ZipFile(path) as archive:
        return [info.filename for info in archive.infolist()
                if not info.filename.isascii() and not info.flag_bits & UTF8_FLAG]


def main():
    if len(sys.argv) != 5:
        print(__doc__, file=sys.stderr)
        return 2
    package, medium, zip_path, iso_path = sys.argv[1:]
    expected = expected_files(package, medium)
    problems = [f"{shown(name)}: the zip stores this name without its UTF-8 flag"
                for name in unflagged_names(zip_path)]
    problems += differences("zip", expected, zip_files(zip_path))
    image = joliet_files(iso_path)
    if image is None:
        problems.append(f"{os.path.basename(iso_path)}: the CD image has no Joliet tree")
    else:
        problems += differences("CD image", expected, image)
    for problem in problems:
        print(f"read back: {problem}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
