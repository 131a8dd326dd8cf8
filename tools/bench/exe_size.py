#!/usr/bin/python3
"""Usage: exe_size.py EXE — prints the program's size split into code, data and resources (bytes
in the file), and the DLLs it imports, as rows of the benchmark table."""
import os
import sys

import pefile

pe = pefile.PE(sys.argv[1])
parts = {"code": 0, "data": 0, "resources": 0, "headers and other": 0}
for section in pe.sections:
    name = section.Name.rstrip(b"\0").decode()
    if section.Characteristics & 0x20:  # IMAGE_SCN_CNT_CODE
        parts["code"] += section.SizeOfRawData
    elif name == ".rsrc":
        parts["resources"] += section.SizeOfRawData
    else:
        parts["data"] += section.SizeOfRawData
total = os.path.getsize(sys.argv[1])
parts["headers and other"] = total - sum(parts.values())
print(f"| exe size | {total} bytes |")
for part, size in parts.items():
    print(f"| - {part} | {size} bytes |")
imports = sorted(entry.dll.decode() for entry in pe.DIRECTORY_ENTRY_IMPORT)
print(f"| imported DLLs | {', '.join(imports)} |")
