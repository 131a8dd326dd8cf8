"""An INF file read the way the setup library reads it: its encoding, sections, entries and
%strkey% tokens."""
import re

ANSI, UTF16, UTF8, UTF8_MARKED = "ANSI", "UTF-16LE", "UTF-8", "UTF-8 with a byte order mark"
UTF8_MARK = b"\xef\xbb\xbf"


def decode_inf(data):
    """(text, encoding): UTF-16LE after its byte order mark, UTF-8 with or without one, else the
    ANSI code page. Plain ASCII counts as ANSI, which it is too."""
    if data.startswith(b"\xff\xfe"):
        return data[2:].decode("utf-16-le", errors="replace"), UTF16
    if data.startswith(UTF8_MARK):
        return data[3:].decode("utf-8", errors="replace"), UTF8_MARKED
    if data.isascii():
        return data.decode("ascii"), ANSI
    try:
        return data.decode("utf-8"), UTF8
    except UnicodeDecodeError:
        return data.decode("cp1252", errors="replace"), ANSI


def split_outside_quotes(text, separator, limit=-1):
    """Splits at `separator` where it is not between double quotes, at most `limit` times."""
    parts, start, quoted = [], 0, False
    for index, char in enumerate(text):
        if char == '"':
            quoted = not quoted
        elif char == separator and not quoted and limit != len(parts):
            parts.append(text[start:index])
            start = index + 1
    return parts + [text[start:]]


def logical_lines(text):
    """Lines without comments, a line ending in a backslash joined with the next one."""
    pending = ""
    for raw in text.splitlines():
        line = split_outside_quotes(raw, ";", 1)[0].strip()
        if line.endswith("\\"):
            pending += line[:-1]
            continue
        yield pending + line
        pending = ""
    if pending:
        yield pending


def unquote(text, substitute=lambda segment: segment):
    """Drops the quotes around quoted parts, where two quotes stand for one, and applies
    `substitute` to each part after that, so what it puts in is taken as it is."""
    parts = re.split(r'("(?:[^"]|"")*")', text.strip())
    return "".join(substitute(part[1:-1].replace('""', '"')) if part.startswith('"')
                   else substitute(part) for part in parts).strip()


def field(fields, index):
    return fields[index] if index < len(fields) else ""


def is_strings_section(name):
    return name == "strings" or name.startswith("strings.")


class Inf:
    """Sections by lower-case name, a section that appears twice being one; each entry a key
    (None for a line without '=') and its comma-separated fields, %strkey% tokens resolved and
    quotes removed. Tokens that no strings section defines are collected in `undefined`."""

    def __init__(self, text):
        self.names = {}
        self.raw = {}
        self.undefined = set()
        current = None
        for line in logical_lines(text):
            if line.startswith("[") and "]" in line:
                name = line[1:line.index("]")].strip()
                current = name.lower()
                self.names.setdefault(current, name)
                self.raw.setdefault(current, [])
            elif line and current is not None:
                self.raw[current].append(split_outside_quotes(line, "=", 1))
        self.strings = self.read_strings()

    def read_strings(self):
        """Key (lower case, as the setup library ignores case) to value. The setup library takes
        [Strings.<language id>] for the user's language and [Strings] otherwise; the medium
        serves every language, so a key any of them defines counts, [Strings] first."""
        strings = {}
        for name in sorted(filter(is_strings_section, self.raw),
                           key=lambda name: name != "strings"):
            for parts in self.raw[name]:
                if len(parts) == 2:
                    strings.setdefault(parts[0].strip().lower(), unquote(parts[1]))
        return strings

    def resolve(self, text):
        def token(match):
            key = match.group(1)
            if not key:
                return "%"
            # A number is a folder id that the setup library fills in when it installs.
            if key.isdigit():
                return match.group(0)
            if key.lower() not in self.strings:
                self.undefined.add(key)
                return match.group(0)
            return self.strings[key.lower()]
        return unquote(text, lambda segment: re.sub(r"%([^%]*)%", token, segment))

    def section(self, name):
        """The section's name as the INF spells it, or None when it has none of that name."""
        return self.names.get(name.lower())

    def entries(self, name):
        for parts in self.raw.get(name.lower(), []):
            key = self.resolve(parts[0]) if len(parts) == 2 else None
            fields = [self.resolve(part) for part in split_outside_quotes(parts[-1], ",")]
            yield key, fields

    def values(self, section, key):
        return [",".join(fields) for entry_key, fields in self.entries(section)
                if entry_key is not None and entry_key.lower() == key.lower()]

    def first_section(self, names):
        """The first of `names` the INF has, as it spells it, or None."""
        return next((self.section(name) for name in names if self.section(name) is not None),
                    None)
