"""Names a file can have on the medium: ones Windows can hold when it copies the zip out, and ones
the CD image's Joliet tree, the one Windows reads, keeps whole.

The limits: Joliet (as Microsoft documents the format, 1995) allows identifiers of up to 64
UCS-2 characters and no control characters, '*', '/', ':', ';', '?' or '\\'. xorriso's manual
gives 240 as the longest Joliet path it writes ("joliet_long_paths"); libisofs counts that in
bytes of UCS-2, so a path on the medium holds 120 characters. A longer name or path xorriso cuts
or leaves out of the Joliet tree."""
import os

JOLIET_NAME_LIMIT = 64
JOLIET_PATH_LIMIT = 120
# Not allowed by Windows in a name, or (';') by Joliet.
FORBIDDEN = '<>:"/\\|?*;'
RESERVED = {"CON", "PRN", "AUX", "NUL", *(f"COM{n}" for n in range(1, 10)),
            *(f"LPT{n}" for n in range(1, 10))}


def shown(path):
    """The path as text; bytes that are not UTF-8 escaped as \\xNN."""
    return os.fsencode(path).decode("utf-8", errors="backslashreplace")


def utf16_length(text):
    return len(text.encode("utf-16-le", errors="surrogatepass")) // 2


def name_problems(name):
    """What keeps `name` (as os.listdir gives it) from the medium: a list of sentences."""
    try:
        os.fsencode(name).decode("utf-8")
    except UnicodeDecodeError:
        return ["its name is not UTF-8, so neither Windows nor the CD image can hold it"]
    problems = []
    bad = sorted({char for char in name if char in FORBIDDEN or ord(char) < 32})
    if bad:
        listed = " ".join(repr(char)[1:-1] if ord(char) < 32 else char for char in bad)
        problems.append(f"its name holds {listed}, which Windows or the CD image cannot hold "
                        "in a name")
    if name.endswith((".", " ")):
        problems.append("its name ends in a dot or space, which Windows drops")
    if name.split(".")[0].rstrip(" ").upper() in RESERVED:
        problems.append(f"{name.split('.')[0]} is a device name on Windows, not a file")
    if any(ord(char) > 0xFFFF for char in name):
        problems.append("its name holds a character beyond UCS-2, which Joliet cannot hold")
    length = utf16_length(name)
    if length > JOLIET_NAME_LIMIT:
        problems.append(f"name of {length} characters: the CD image keeps {JOLIET_NAME_LIMIT} "
                        "(Joliet) and would cut it")
    return problems


def path_problem(medium_path):
    """Why the path on the medium ('/' between parts) is too long for the image, or None."""
    length = utf16_length(medium_path)
    if length <= JOLIET_PATH_LIMIT:
        return None
    return (f"path of {length} characters on the medium: the CD image holds "
            f"{JOLIET_PATH_LIMIT} (Joliet) and would leave the file out")
