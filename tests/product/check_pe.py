#!/usr/bin/python3
"""Checks the shipped program's file without running it: a 32-bit GUI executable that needs only
system DLLs, carries no application manifest (which would change the Windows version that
Windows 8.1 and later report), and holds the resources the dialogs load by number."""
import re
import sys

import pefile

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "msvcrt.dll",
               "advapi32.dll", "comctl32.dll"}
# The shipped program must stay small: growing past this is a decision to take, not a drift.
# 144 KiB: ten languages, each with every notice line, what code 56 means and the way out after
# Windows 10 and 11 refuse a driver (6 KiB); reading dpinst.xml as the driver package installer
# reads it, with its encodings, CDATA, entities and paths out of its folder (2.5 KiB).
MAX_SHIPPED_BYTES = 147456
RT_ICON, RT_BITMAP, RT_DIALOG, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 2, 5, 6, 14, 16, 24
ENGLISH_US = 0x0409
# What the notice fills in: the subject, the detail, a number.
PLACEHOLDER = re.compile(r"%[su]")


# Every function the program imports from KERNEL32 must be there on the oldest systems it starts
# on, Windows 95 and NT 4.0, or the loader refuses it before any window shows. These are.
KERNEL32_ON_95_AND_NT4 = {
    "CloseHandle", "CreateFileA", "CreateProcessA", "DeleteCriticalSection",
    "EnterCriticalSection", "FindClose", "FindFirstFileA", "FindNextFileA", "FindResourceExA",
    "FreeLibrary", "GetACP", "GetCurrentDirectoryA", "GetCurrentProcess", "GetExitCodeProcess",
    "GetFileAttributesA", "GetLastError", "GetModuleFileNameA", "GetModuleHandleA",
    "GetProcAddress", "GetProcessHeap", "GetStartupInfoA", "GetSystemDirectoryA",
    "GetUserDefaultLangID", "GetWindowsDirectoryA", "HeapAlloc", "HeapFree",
    "InitializeCriticalSection", "IsDBCSLeadByte", "LeaveCriticalSection", "LoadLibraryA",
    "LoadLibraryExA", "LoadResource", "LockResource", "lstrcpynA", "lstrlenA", "ReadFile",
    "SetCurrentDirectoryA", "SetUnhandledExceptionFilter", "SizeofResource", "Sleep",
    "TlsGetValue", "VirtualProtect", "VirtualQuery", "WaitForSingleObject", "WideCharToMultiByte",
}
# Functions the program uses that came later: it must look them up at run time instead.
KERNEL32_LATE = {
    "CreateToolhelp32Snapshot": "Windows 95 and 2000 (not NT 4.0)",
    "Process32First": "Windows 95 and 2000 (not NT 4.0)",
    "Process32Next": "Windows 95 and 2000 (not NT 4.0)",
    "GetNativeSystemInfo": "Windows XP",
    "SetDllDirectoryA": "Windows XP SP1",
    "Wow64DisableWow64FsRedirection": "Windows XP x64 and Server 2003 SP1",
    "Wow64RevertWow64FsRedirection": "Windows XP x64 and Server 2003 SP1",
    "SetDefaultDllDirectories": "Windows 8 (7 with an update)",
    "InitializeCriticalSectionAndSpinCount": "Windows 98 and NT 4.0 SP3",
    "GetTickCount64": "Windows Vista",
    "IsWow64Process2": "Windows 10 version 1511",
    "GetUserDefaultUILanguage": "Windows 2000 (and ME)",
    "GetSystemWindowsDirectoryA": "Windows 2000 (of NT 4.0, the Terminal Server edition only)",
}


def kernel32_problems(pe):
    problems = []
    for entry in pe.DIRECTORY_ENTRY_IMPORT:
        if entry.dll.decode().lower() != "kernel32.dll":
            continue
        for function in (i.name.decode() if i.name else f"#{i.ordinal}" for i in entry.imports):
            if function in KERNEL32_LATE:
                problems.append(f"imports {function}, which first came with "
                                f"{KERNEL32_LATE[function]}: look it up at run time")
            elif function not in KERNEL32_ON_95_AND_NT4:
                problems.append(f"imports {function} from KERNEL32, new to this check: make sure "
                                "Windows 95 and NT 4.0 have it, then add it to the list")
    return problems


def resources(pe):
    found = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        found[kind.id] = {entry.id for entry in kind.directory.entries}
    return found


def string_tables(pe):
    """{language: {string id: text}}: a block holds 16 strings, each its length, then its text."""
    tables = {}
    for kind in (kind for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries if kind.id == RT_STRING):
        for block in kind.directory.entries:
            for language in block.directory.entries:
                entry = language.data.struct
                text, at = pe.get_data(entry.OffsetToData, entry.Size).decode("utf-16-le"), 0
                for number in range((block.id - 1) * 16, block.id * 16):
                    tables.setdefault(language.id, {})[number] = text[at + 1:at + 1 + ord(text[at])]
                    at += 1 + ord(text[at])
    return tables


def translation_problems(pe):
    """Every language has every English string, its placeholders in the same order and lines: the
    notice fills them in by position, and a string left out would show in English."""
    tables = string_tables(pe)
    shape = lambda text: [PLACEHOLDER.findall(line) for line in text.split("\n")]
    return [f"language {language:#06x}, string {number}: {shape(strings.get(number, ''))} for "
            f"{shape(text)}" for language, strings in sorted(tables.items())
            for number, text in tables[ENGLISH_US].items()
            if text and (not strings.get(number) or shape(strings[number]) != shape(text))]


def program_bytes(pe):
    """The file without its Authenticode signature, appended at the end: how long the vendor's
    certificate chain is is no part of the program's size."""
    directories = pe.OPTIONAL_HEADER.DATA_DIRECTORY
    security = directories[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
    return len(pe.__data__) - security.Size


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
    if machine == "i686":
        problems += kernel32_problems(pe)
        size = program_bytes(pe)
        if size > MAX_SHIPPED_BYTES:
            problems.append(f"{size} bytes, more than the {MAX_SHIPPED_BYTES} allowed")
    found = resources(pe)
    if RT_MANIFEST in found:
        problems.append("carries an application manifest")
    expected = {RT_DIALOG: {100, 102}, RT_GROUP_ICON: {128}, RT_BITMAP: {131}, RT_VERSION: {1}}
    for kind, ids in expected.items():
        if not ids <= found.get(kind, set()):
            problems.append(f"resource type {kind} lacks {sorted(ids - found.get(kind, set()))}")
    if len(found.get(RT_ICON, set())) != 8:
        problems.append(f"icon group should hold 8 images, found {len(found.get(RT_ICON, set()))}")
    return problems + translation_problems(pe)


def main():
    path, machine = sys.argv[1], sys.argv[2]
    problems = check(path, machine)
    for problem in problems:
        print(f"{path}: {problem}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
