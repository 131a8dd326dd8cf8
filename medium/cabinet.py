"""The names of the files a Microsoft cabinet (.cab) holds, read from its header (CFHEADER) and
file entries (CFFILE) as the cabinet format documents them; the data is not unpacked."""
import struct

HEADER = struct.Struct("<4sIIIIIBBHHHHH")
FILE_ENTRY = struct.Struct("<IIHHHH")
NAME_IS_UTF8 = 0x80


def cabinet_names(path):
    """The names the cabinet lists, with '\\' between folder and name as it stores them.
    Raises ValueError when the file is not a cabinet or its directory is cut short."""
    with open(path, "rb") as file:
        data = file.read()
    if len(data) < HEADER.size or data[:4] != b"MSCF":
        raise ValueError("not a cabinet (no MSCF header)")
    fields = HEADER.unpack_from(data)
    files_offset, file_count = fields[4], fields[9]
    names, offset = [], files_offset
    for _ in range(file_count):
        if offset + FILE_ENTRY.size > len(data):
            raise ValueError("its file list is cut short")
        attributes = FILE_ENTRY.unpack_from(data, offset)[5]
        end = data.find(b"\0", offset + FILE_ENTRY.size)
        if end < 0:
            raise ValueError("its file list is cut short")
        raw = data[offset + FILE_ENTRY.size:end]
        names.append(raw.decode("utf-8" if attributes & NAME_IS_UTF8 else "cp1252",
                                errors="replace"))
        offset = end + 1
    return names
