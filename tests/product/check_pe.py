#!/usr/bin/python3
"""Checks the shipped program's file without running it: a 32-bit GUI executable that needs only
system DLLs, carries no application manifest (which would change the Windows version that
Windows 8.1 and later report), and holds the resources the dialogs load by number."""
import sys

import pefile

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "msvcrt.dll",
               "advapi32.dll", "comctl32.dll"}
RT_ICON, RT_BITMAP, RT_DIALOG, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 2, 5, 6, 14, 16, 24


def resources(pe):
    found = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        found[kind.id] = {entry.id for entry in kind.directory.entries}
    return found


def check(path, machine):
    pe = pefile.PE(path)
    problems = []
    want_machine = {"i686": 0x14C, "x86_64": 0x8664}[machine]
    if pe.FILE_HEADER.Machine != want_machine:
        problems.append(f"machine {pe.FILE_HEADER.Machine:#x}, expected {want_machine:#x}")
    if pe.OPTIONAL_HEADER.Subsystem != pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"]:
        problems.append("not a GUI program")
    imports = {entry.dll.decode().lower() for entry in pe.DIRECTORY_ENTRY_IMPORT}
    if not imports <= SYSTEM_DLLS:
        problems.append(f"imports DLLs that are not part of Windows: {sorted(imports - SYSTEM_DLLS)}")
    found = resources(pe)
    if RT_MANIFEST in found:
        problems.append("carries an application manifest")
    expected = {RT_DIALOG: {100, 102}, RT_GROUP_ICON: {128}, RT_BITMAP: {131}, RT_VERSION: {1}}
    for kind, ids in expected.items():
        if not ids <= found.get(kind, set()):
            problems.append(f"resource type {kind} lacks {sorted(ids - found.get(kind, set()))}")
    if len(found.get(RT_ICON, set())) != 8:
        problems.append(f"icon group should hold 8 images, found {len(found.get(RT_ICON, set()))}")
    return problems


def main():
    path, machine = sys.argv[1], sys.argv[2]
    problems = check(path, machine)
    for problem in problems:
        print(f"{path}: {problem}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
