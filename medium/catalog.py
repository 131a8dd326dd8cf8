"""Reading a driver catalog: does it list the INF and the files the INF installs, each with the
hash Windows computes, and does its signature verify?

A catalog is PKCS#7 SignedData around a certificate trust list (1.3.6.1.4.1.311.10.1) with one
entry per member file: a tag, the member's name, and an SpcIndirectDataContent that holds its
hash, SHA1 or SHA256 as that content's digest algorithm says. Windows hashes a PE file (a
driver, a DLL, a program) the way Authenticode does, which leaves out the checksum, the
certificate table and its directory entry, and any other file over all its bytes; it tells the
two apart by the file's content, so a `.sys` that is no PE file is hashed whole.

The list is read here with python3-asn1crypto, not with osslsigncode's `verify -catalog`: that
cannot hash an INF or any other file that is not a PE file, and it always verifies the
catalog's signature too, against the system's authorities when given none. A release signed by
Microsoft chains to a root that Debian does not carry, so it would fail every member of a good
catalog; and it words a stale hash and an unlisted file alike, differently from one version to
the next. The signature alone is left to osslsigncode (`verify -in X.cat`), which checks its
chain to the authority given as it checks the program's own signature, in every version from
Debian 12's 2.5 on."""
import hashlib
import os
import re
import struct
import subprocess

from asn1crypto import algos, cms, core, x509

CERTIFICATE_TRUST_LIST = "1.3.6.1.4.1.311.10.1"
MEMBER_NAME = "1.3.6.1.4.1.311.12.2.1"
INDIRECT_DATA = "1.3.6.1.4.1.311.2.1.4"
DIGEST_ALGORITHMS = {"1.3.14.3.2.26": "sha1", "2.16.840.1.101.3.4.2.1": "sha256"}


class Attribute(core.Sequence):
    _fields = [("type", core.ObjectIdentifier), ("values", core.SetOf, {"spec": core.Any})]


class Attributes(core.SetOf):
    _child_spec = Attribute


class Member(core.Sequence):
    _fields = [("tag", core.OctetString), ("attributes", Attributes, {"optional": True})]


class Members(core.SequenceOf):
    _child_spec = Member


class TrustList(core.Sequence):
    _fields = [
        ("version", core.Integer, {"optional": True}),
        ("usage", core.SequenceOf, {"spec": core.ObjectIdentifier}),
        ("identifier", core.OctetString, {"optional": True}),
        ("sequence_number", core.Integer, {"optional": True}),
        ("this_update", x509.Time),
        ("next_update", x509.Time, {"optional": True}),
        ("algorithm", algos.AnyAlgorithmIdentifier),
        ("members", Members, {"optional": True}),
        ("extensions", core.Any, {"explicit": 0, "optional": True}),
    ]


class NameValue(core.Sequence):
    _fields = [("name", core.BMPString), ("flags", core.Integer), ("value", core.OctetString)]


class DigestInfo(core.Sequence):
    _fields = [("algorithm", algos.DigestAlgorithm), ("digest", core.OctetString)]


class IndirectData(core.Sequence):
    _fields = [("data", core.Any), ("digest", DigestInfo)]


class NotACatalog(Exception):
    pass


def first_line(error):
    return str(error).splitlines()[0]


def trust_list(data):
    """The certificate trust list inside a catalog's bytes."""
    try:
        signed = cms.ContentInfo.load(data)
        if signed["content_type"].native != "signed_data":
            raise NotACatalog("not PKCS#7 SignedData")
        content = signed["content"]["encap_content_info"]
        content_type = content["content_type"].dotted
    except (ValueError, TypeError, KeyError) as error:
        raise NotACatalog("not PKCS#7 SignedData") from error
    if content_type != CERTIFICATE_TRUST_LIST:
        raise NotACatalog(f"its content is {content_type}, not a certificate trust list "
                          f"({CERTIFICATE_TRUST_LIST})")
    # CMS wraps the list in an octet string; PKCS#7, as Windows' own tools write it, does not.
    inner = content["content"]
    body = inner.parsed.untag().dump() if isinstance(inner, core.Any) else inner.native
    return TrustList.load(body)


def listed_hashes(members):
    """(algorithm, digest) of every entry, from its SpcIndirectDataContent, which is what
    Windows compares (the tag only finds the entry), and the file names the entries give, in
    lower case."""
    hashes, names = set(), set()
    for member in members:
        for attribute in member["attributes"] or []:
            for value in attribute["values"]:
                if attribute["type"].dotted == INDIRECT_DATA:
                    digest = IndirectData.load(value.dump())["digest"]
                    oid = digest["algorithm"]["algorithm"].dotted
                    if oid in DIGEST_ALGORITHMS:
                        hashes.add((DIGEST_ALGORITHMS[oid], digest["digest"].native))
                elif attribute["type"].dotted == MEMBER_NAME:
                    pair = NameValue.load(value.dump())
                    if pair["name"].native.lower() == "file":
                        name = pair["value"].native.decode("utf-16-le", "replace")
                        names.add(name.rstrip("\0").lower())
    return hashes, names


def authenticode_image(data):
    """The parts of a PE file that its Authenticode hash covers, or None when it is no PE file."""
    if len(data) < 0x40 or data[:2] != b"MZ":
        return None
    header = struct.unpack_from("<I", data, 0x3C)[0]
    optional = header + 24
    if data[header:header + 4] != b"PE\0\0" or len(data) < optional + 2:
        return None
    magic = struct.unpack_from("<H", data, optional)[0]
    if magic not in (0x10B, 0x20B):
        return None
    directories = optional + (96 if magic == 0x10B else 112)
    checksum = optional + 64
    security = directories + 4 * 8
    if len(data) < security + 8 or struct.unpack_from("<I", data, directories - 4)[0] < 5:
        return None
    table, size = struct.unpack_from("<II", data, security)
    table = table or len(data)
    return [data[:checksum], data[checksum + 4:security], data[security + 8:table],
            data[table + size:]]


def file_hash(data, algorithm):
    digest = hashlib.new(algorithm)
    for part in authenticode_image(data) or [data]:
        digest.update(part)
    return digest.digest()


def membership_problems(catalog_name, listed, member_paths):
    hashes, names = listed
    algorithms = {algorithm for algorithm, _ in hashes}
    problems = []
    for path in member_paths:
        name = os.path.basename(path)
        try:
            with open(path, "rb") as file:
                data = file.read()
        except OSError as error:
            problems.append(f"{name}: cannot be read to compare with {catalog_name}: "
                            f"{error.strerror}")
            continue
        if any((algorithm, file_hash(data, algorithm)) in hashes for algorithm in algorithms):
            continue
        if name.lower() in names:
            problems.append(f"{name}: listed in {catalog_name} with another hash: the catalog "
                            "is stale or made for other files")
        else:
            problems.append(f"{name}: not listed in {catalog_name}")
    return problems


def signature_problems(catalog_path, cafile):
    """What osslsigncode says when the catalog's signature does not verify against `cafile`."""
    # Offline, as sign.sh verifies: the options that skip revocation lists exist only
    # in versions after Debian 12's 2.5, which checks none.
    help_text = subprocess.run(["osslsigncode", "-h"], capture_output=True, text=True)
    offered = (help_text.stdout + help_text.stderr).split()
    offline = [option for option in ("-ignore-cdp", "-ignore-crl") if option in offered]
    verified = subprocess.run(["osslsigncode", "verify", *offline, "-CAfile", cafile,
                               "-in", catalog_path], capture_output=True, text=True)
    if verified.returncode == 0:
        return []
    lines = (verified.stdout + verified.stderr).splitlines()
    # OpenSSL's reasons, as "Verify error: ..." or "Error: ...", each once.
    reasons = dict.fromkeys(found.group(1).strip() for found in
                            map(re.compile(r"[Ee]rror: (.+)").search, lines) if found)
    return [f"{os.path.basename(catalog_path)}: its signature does not verify against "
            f"{os.path.basename(cafile)}: " + "; ".join(list(reasons)[:3] or lines[-1:])]


def catalog_problems(catalog_path, member_paths, cafile=None):
    """One sentence per way the catalog fails to cover `member_paths` (the INF and every file it
    installs for the folder's processor), each naming its file; empty when it covers them all.
    With `cafile`, the catalog's signature must also verify against that authority."""
    name = os.path.basename(catalog_path)
    try:
        with open(catalog_path, "rb") as file:
            listed = listed_hashes(trust_list(file.read())["members"] or [])
    except OSError as error:
        return [f"{name}: cannot be read: {error.strerror}"]
    except NotACatalog as error:
        return [f"{name}: not a signed catalog: {error}"]
    except (ValueError, TypeError, KeyError) as error:
        return [f"{name}: not a signed catalog: its certificate trust list cannot be read "
                f"({first_line(error)})"]
    problems = membership_problems(name, listed, member_paths)
    if cafile:
        problems += signature_problems(catalog_path, cafile)
    return problems
