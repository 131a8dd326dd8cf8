#!/usr/bin/python3
"""Usage: medium_zip.py MEDIUM ZIP

Packs the folder MEDIUM into ZIP the same way every time: entries in byte order of their names,
every date SOURCE_DATE_EPOCH (UTC), folders 755 and files 644. Names go in as UTF-8 with the
zip's UTF-8 flag (bit 11) set where they are not ASCII, so Windows shows them as they are;
Info-ZIP's zip leaves that flag clear."""
import os
import sys
import time
import zipfile


def medium_paths(medium):
    """(path on the medium, is a folder), sorted by the bytes of the path."""
    paths = []
    for root, folders, files in os.walk(medium):
        for name in folders + files:
            relative = os.path.relpath(os.path.join(root, name), medium).replace(os.sep, "/")
            paths.append((relative, name in folders))
    return sorted(paths, key=lambda item: os.fsencode(item[0]))


def pack(medium, zip_path, epoch):
    date = time.gmtime(epoch)[:6]
    with zipfile.ZipFile(zip_path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for relative, folder in medium_paths(medium):
            info = zipfile.ZipInfo(relative + "/" if folder else relative, date)
            # The low byte holds the MS-DOS attributes Windows reads: 0x10 for a folder.
            info.external_attr = (0o40755 << 16 | 0x10) if folder else 0o100644 << 16
            if folder:
                archive.writestr(info, b"")
                continue
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(medium, relative), "rb") as file:
                archive.writestr(info, file.read())


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    pack(sys.argv[1], sys.argv[2], int(os.environ["SOURCE_DATE_EPOCH"]))
