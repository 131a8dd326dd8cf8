"""Reading a driver catalog: does it list the INF and the files the INF installs, each with the
hash Windows computes, which Windows do its entries name (OSAttr), and who signed it?

A catalog is PKCS#7 SignedData around a certificate trust list (1.3.6.1.4.1.311.10.1) with one
entry per member file: a tag, the member's name and OSAttr, and an SpcIndirectDataContent that
holds its hash, SHA1 or SHA256 as that content's digest algorithm says. Windows hashes a PE file
(a driver, a DLL, a program) the way Authenticode does, which leaves out the checksum, the
certificate table and its directory entry, and any other file over all its bytes; it tells the
two apart by the file's content, so a `.sys` that is no PE file is hashed whole.

The list is read here with python3-asn1crypto, not with osslsigncode's `verify -catalog`: that
cannot hash an INF or any other file that is not a PE file, and it always verifies the
catalog's signature too, against the system's authorities, which do not hold Microsoft's roots.
The signatures are read by signatures.py, against the roots Windows trusts."""
import os
import re

from asn1crypto import algos, cms, core, x509

from signatures import IndirectData, file_hash, read_signatures

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


class NotACatalog(Exception):
    pass


def first_line(error):
    return str(error).splitlines()[0]


def trust_list(data):
    """(SignedData, the certificate trust list inside it) of a catalog's bytes."""
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
    return signed["content"], TrustList.load(body)


def listed_hashes(members):
    """(algorithm, digest) of every entry, from its SpcIndirectDataContent, which is what
    Windows compares (the tag only finds the entry), the file names the entries give, in
    lower case, and the Windows versions their OSAttr names ("2:6.1")."""
    hashes, names, versions = set(), set(), set()
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
                    text = pair["value"].native.decode("utf-16-le", "replace").rstrip("\0")
                    if pair["name"].native.lower() == "file":
                        names.add(text.lower())
                    elif pair["name"].native.lower() == "osattr":
                        versions.update(part.strip() for part in text.split(",") if part.strip())
    return hashes, names, versions


def membership_problems(catalog_name, listed, member_paths):
    hashes, names, _ = listed
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


class Catalog:
    """What a catalog holds: its entries, the Windows versions they name, its signatures, or
    why it is no catalog (`problem`)."""

    def __init__(self, path, trust):
        self.name = os.path.basename(path)
        self.problem, self.signatures, self.listed = None, [], (set(), set(), set())
        try:
            with open(path, "rb") as file:
                signed, trust_list_read = trust_list(file.read())
            self.listed = listed_hashes(trust_list_read["members"] or [])
            self.signatures = read_signatures(signed, trust) if trust else []
        except OSError as error:
            self.problem = f"cannot be read: {error.strerror}"
        except NotACatalog as error:
            self.problem = f"not a signed catalog: {error}"
        except (ValueError, TypeError, KeyError) as error:
            self.problem = ("not a signed catalog: its certificate trust list cannot be read "
                            f"({first_line(error)})")

    @property
    def kind(self):
        if self.problem:
            return "not-a-catalog"
        return self.signatures[0].kind if self.signatures else "unsigned"

    @property
    def file_hashes(self):
        return sorted({algorithm for algorithm, _ in self.listed[0]})

    @property
    def os_attributes(self):
        def version(text):
            return [int(part) if part.isdigit() else 0 for part in re.split(r"[:.]", text)]
        return sorted(self.listed[2], key=version)

    def problems(self, member_paths):
        """One sentence per way the catalog fails to cover `member_paths`."""
        if self.problem:
            return [f"{self.name}: {self.problem}"]
        return membership_problems(self.name, self.listed, member_paths)


def catalog_problems(catalog_path, member_paths, trust=None):
    """One sentence per way the catalog fails to cover `member_paths` (the INF and every file it
    installs for the folder's processor), each naming its file; empty when it covers them all."""
    return Catalog(catalog_path, trust).problems(member_paths)
