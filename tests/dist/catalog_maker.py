"""Driver catalogs for the tests, written with openssl (`asn1parse -genconf`, `cms -sign`) and
pefile, never with the code that checks them (medium/catalog.py).

Usage:
  from catalog_maker import write_catalog
  write_catalog("pkg/Driver/Vista_64/x.cat", [inf, sys_file, ...], cert_pem, key_pem)
  write_catalog(..., algorithm="sha256")   # a list of SHA256 hashes, as newer catalogs have
  write_catalog(..., form="cms")   # the list in an octet string (CMS) instead of PKCS#7's form
  write_catalog(..., chain=pem_file)   # more certificates in it (a cross-certificate)
  write_catalog(..., unsigned=True)   # SignedData without a signer
  write_catalog(..., nested=(cert_pem, key_pem))   # a second signature nested in the first
  write_package(package, installers, signer=(cert_pem, key_pem))   # driver_package.py: each
      # folder's catalog a real one over its INF and its processor's files (package_files
      # still gives the placeholders: read a real catalog's bytes from the package)
  authorities = Authorities(folder)   # roots of our own that stand for Microsoft's, and a
  authorities.signer("whql")          # (cert, key, chain) of each kind of signature
  authorities.roots                   # the PEM file of them, for the check's --roots
The check reads catalogs with medium/catalog.py's Catalog(path, trust).

The catalog is shaped like those of signed releases: PKCS#7 SignedData around a certificate
trust list (1.3.6.1.4.1.311.10.1), one entry per member whose tag is its hash as upper-case hex
in UTF-16LE, with the member's file name and an SpcIndirectDataContent holding the hash. A PE
file (a program or driver) is hashed as Authenticode hashes it, anything else over the whole
file. osslsigncode `verify -catalog` reads the PE members of such a catalog."""
import hashlib
import os
import pathlib
import subprocess
import tempfile
import time

import pefile
from asn1crypto import pem, x509

LIST_OF_CATALOG_MEMBERS = "1.3.6.1.4.1.311.12.1.1"
CATALOG_VERSIONS = {"sha1": "1.3.6.1.4.1.311.12.1.2", "sha256": "1.3.6.1.4.1.311.12.1.3"}
DIGEST_ALGORITHMS = {"sha1": "1.3.14.3.2.26", "sha256": "2.16.840.1.101.3.4.2.1"}
MEMBER_NAME = "1.3.6.1.4.1.311.12.2.1"
INDIRECT_DATA = "1.3.6.1.4.1.311.2.1.4"
PE_IMAGE_DATA = "1.3.6.1.4.1.311.2.1.15"
FLAT_FILE_DATA = "1.3.6.1.4.1.311.2.1.25"
CERTIFICATE_TRUST_LIST = "1.3.6.1.4.1.311.10.1"
# The link Authenticode writes where it names no file.
OBSOLETE_LINK = "EXP:2,IMP:0,BMPSTRING:<<<Obsolete>>>"


def authenticode_digest(data, algorithm):
    """The PE image hash, read through pefile: everything but the checksum, the certificate
    table's directory entry and the certificate table; None when `data` is no PE file."""
    try:
        image = pefile.PE(data=data, fast_load=True)
    except pefile.PEFormatError:
        return None
    checksum = image.OPTIONAL_HEADER.get_field_absolute_offset("CheckSum")
    security = image.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY[
        "IMAGE_DIRECTORY_ENTRY_SECURITY"]]
    entry = security.get_file_offset()
    table_start = security.VirtualAddress or len(data)
    digest = hashlib.new(algorithm)
    for start, end in ((0, checksum), (checksum + 4, entry), (entry + 8, table_start),
                       (table_start + security.Size, len(data))):
        digest.update(data[start:end])
    return digest.digest()


def member_digest(path, algorithm):
    """(kind of data, digest) of one member file."""
    with open(path, "rb") as file:
        data = file.read()
    pe_digest = authenticode_digest(data, algorithm)
    if pe_digest is not None:
        return PE_IMAGE_DATA, pe_digest
    return FLAT_FILE_DATA, hashlib.new(algorithm, data).digest()


def utf16_hex(text):
    return text.encode("utf-16-le").hex()


def name_value(section, tag, text):
    """The openssl -genconf sections of a catalog member's name-value attribute."""
    return f"""[{section}]
type = OID:{MEMBER_NAME}
value = SET:{section}_value
[{section}_value]
value = SEQUENCE:{section}_pair
[{section}_pair]
tag = BMPSTRING:{tag}
flags = INTEGER:0x10010001
value = FORMAT:HEX,OCTETSTRING:{utf16_hex(text + chr(0))}
"""


def member_sections(index, path, algorithm, os_attr=None):
    """The openssl -genconf sections of one list entry, with an OSAttr when given."""
    kind, digest = member_digest(path, algorithm)
    name = f"m{index}"
    if kind == PE_IMAGE_DATA:
        value = f"SEQUENCE:{name}_pe"
        data = f"[{name}_pe]\nflags = BITSTRING:\nfile = EXP:0,{OBSOLETE_LINK}\n"
    else:
        value, data = OBSOLETE_LINK, ""
    return f"""[{name}]
tag = FORMAT:HEX,OCTETSTRING:{utf16_hex(digest.hex().upper())}
attributes = SET:{name}_attributes
[{name}_attributes]
file = SEQUENCE:{name}_file
indirect = SEQUENCE:{name}_indirect
{f"os = SEQUENCE:{name}_os" if os_attr else ""}
""" + name_value(f"{name}_os", "OSAttr", os_attr or "") + name_value(
        f"{name}_file", "File", os.path.basename(path)) + f"""[{name}_indirect]
type = OID:{INDIRECT_DATA}
value = SET:{name}_indirect_value
[{name}_indirect_value]
value = SEQUENCE:{name}_content
[{name}_content]
data = SEQUENCE:{name}_data
digest = SEQUENCE:{name}_digest
[{name}_data]
type = OID:{kind}
value = {value}
{data}[{name}_digest]
algorithm = SEQUENCE:{algorithm}_algorithm
digest = FORMAT:HEX,OCTETSTRING:{digest.hex()}
"""


def list_config(member_paths, algorithm, os_attr=None):
    members = "".join(f"m{index} = SEQUENCE:m{index}\n" for index in range(len(member_paths)))
    identifier = hashlib.md5("".join(member_paths).encode()).hexdigest()
    return (f"""asn1 = SEQUENCE:list
[list]
usage = SEQUENCE:usage
identifier = FORMAT:HEX,OCTETSTRING:{identifier}
time = UTCTIME:{time.strftime("%y%m%d%H%M%SZ", time.gmtime())}
version = SEQUENCE:version
members = SEQUENCE:members
[usage]
type = OID:{LIST_OF_CATALOG_MEMBERS}
[version]
type = OID:{CATALOG_VERSIONS[algorithm]}
parameters = NULL
[{algorithm}_algorithm]
type = OID:{DIGEST_ALGORITHMS[algorithm]}
parameters = NULL
[members]
{members}""" + "".join(member_sections(index, path, algorithm, os_attr)
                       for index, path in enumerate(member_paths)))


def tool(name, *arguments):
    made = subprocess.run([name, *arguments], capture_output=True, text=True)
    if made.returncode != 0:
        raise AssertionError(f"{name} {arguments[0]} failed:\n{made.stdout}{made.stderr}")


def openssl(*arguments):
    tool("openssl", *arguments)


def der_element(data, offset):
    """(tag, offset of the contents, offset past the end) of the DER element at `offset`."""
    length, start = data[offset + 1], offset + 2
    if length & 0x80:
        count = length & 0x7F
        length, start = int.from_bytes(data[start:start + count], "big"), start + count
    return data[offset], start, start + length


def der(tag, contents):
    length = len(contents)
    if length < 0x80:
        return bytes([tag, length]) + contents
    size = (length.bit_length() + 7) // 8
    return bytes([tag, 0x80 | size]) + length.to_bytes(size, "big") + contents


def children(data, start, end):
    while start < end:
        _, _, after = der_element(data, start)
        yield data[start:after]
        start = after


def with_signer_infos(signed, change):
    """The SignedData's encoding with its signer infos (a SET's contents) replaced by
    `change(contents)`; the certificates go when the signers go."""
    _, start, end = der_element(signed, 0)
    content_type, explicit = children(signed, start, end)
    _, start, end = der_element(explicit, 0)
    _, start, end = der_element(explicit, start)
    version, algorithms, encapsulated, *rest = children(explicit, start, end)
    _, inner, after = der_element(rest[-1], 0)
    infos = change(rest[-1][inner:after])
    body = version + algorithms + encapsulated + b"".join(rest[:-1] if infos else []) + \
        der(0x31, infos)
    return der(0x30, content_type + der(0xA0, der(0x30, body)))


def nest(outer, inner, attribute_type="060a2b060104018237020401"):
    """`outer` with `inner` nested in its signer info (unsigned attribute 1.3.6.1.4.1.311.2.4.1,
    as signtool /as appends a signature, or the attribute type given as DER hex)."""
    def append(infos):
        _, start, end = der_element(infos, 0)
        attribute = der(0x30, bytes.fromhex(attribute_type) + der(0x31, inner))
        return der(0x30, infos[start:end] + der(0xA1, attribute))
    return with_signer_infos(outer, append)


def counter_signed(signed, when):
    """`signed` with a legacy time stamp (counter-signature) that only says when (UTCTime)."""
    sha1 = der(0x30, bytes.fromhex("06052b0e03021a"))
    time = der(0x30, bytes.fromhex("06092a864886f70d010905") + der(0x31, der(0x17, when.encode())))
    info = der(0x30, der(0x02, b"\1") + der(0x30, der(0x30, b"") + der(0x02, b"\1")) + sha1 +
               der(0xA0, time) + sha1 + der(0x04, b"\0"))
    return nest(signed, info, "06092a864886f70d010906")


def without_message_digest(signed, key):
    """`signed` with its signer's attributes re-signed without the message digest attribute."""
    def change(infos):
        _, start, end = der_element(infos, 0)
        version, sid, digest, attributes, signature_algorithm, _ = children(infos, start, end)
        _, start, end = der_element(attributes, 0)
        kept = b"".join(attribute for attribute in children(attributes, start, end)
                        if bytes.fromhex("06092a864886f70d010904") not in attribute)
        signature = subprocess.run(["openssl", "dgst", "-sha1", "-sign", key],
                                   input=der(0x31, kept), capture_output=True, check=True).stdout
        return der(0x30, version + sid + digest + der(0xA0, kept) + signature_algorithm +
                   der(0x04, signature))
    return with_signer_infos(signed, change)


def as_pkcs7(signed, trust_list):
    """The CMS SignedData `signed`, made over the list's contents octets, rewritten the way
    Windows' catalog tools write it: version 1 and the list itself as the content, not an octet
    string around it. The signed digest stays right: PKCS#7 signs a SEQUENCE content's contents
    octets, which is what went into the octet string."""
    _, start, end = der_element(signed, 0)
    content_type, explicit = children(signed, start, end)
    _, start, end = der_element(explicit, 0)
    _, start, end = der_element(explicit, start)
    _, algorithms, encapsulated, *rest = children(explicit, start, end)
    _, start, end = der_element(encapsulated, 0)
    list_type, _ = children(encapsulated, start, end)
    encapsulated = der(0x30, list_type + der(0xA0, trust_list))
    body = der(0x02, b"\x01") + algorithms + encapsulated + b"".join(rest)
    return der(0x30, content_type + der(0xA0, der(0x30, body)))


def write_catalog(path, member_paths, signer_cert, signer_key, algorithm="sha1", form="pkcs7",
                  chain=None, unsigned=False, nested=None, os_attr=None, nested_detached=False):
    """Writes a catalog listing `member_paths` to `path`, signed with the PEM certificate and
    key. `form` "cms" leaves the list in an octet string, as CMS has it; `chain` adds a PEM
    file's certificates; `unsigned` leaves no signer; `nested`, a (certificate, key, chain),
    nests a second signature over the whole list in the first (`nested_detached`: without the
    list in it)."""
    with tempfile.TemporaryDirectory(prefix="qb7-catalog-") as scratch:
        config = os.path.join(scratch, "list.cnf")
        trust_list = os.path.join(scratch, "list.der")
        signed_part = os.path.join(scratch, "signed.der")
        with open(config, "w") as file:
            file.write(list_config(member_paths, algorithm, os_attr))
        openssl("asn1parse", "-genconf", config, "-noout", "-out", trust_list)
        with open(trust_list, "rb") as file:
            trust_list_der = file.read()
        _, start, _ = der_element(trust_list_der, 0)
        with open(signed_part, "wb") as file:
            file.write(trust_list_der if form == "cms" else trust_list_der[start:])
        sign(signed_part, path, signer_cert, signer_key, algorithm, chain)
        with open(path, "rb") as file:
            signed = file.read()
        if form != "cms":
            signed = as_pkcs7(signed, trust_list_der)
        if nested:
            second = os.path.join(scratch, "nested.der")
            # Over the list's whole encoding, as real nested signatures are.
            sign(trust_list, second, nested[0], nested[1], "sha256", nested[2],
                 detached=nested_detached)
            inner = pathlib.Path(second).read_bytes()
            signed = nest(signed, inner if nested_detached else as_pkcs7(inner, trust_list_der))
        if unsigned:
            signed = with_signer_infos(signed, lambda infos: b"")
        with open(path, "wb") as file:
            file.write(signed)


def sign(content, path, cert, key, algorithm, chain, detached=False):
    openssl("cms", "-sign", "-binary", *([] if detached else ["-nodetach"]), "-nosmimecap",
            "-in", content,
            "-econtent_type", CERTIFICATE_TRUST_LIST, "-md", algorithm, "-signer", cert,
            "-inkey", key, *(["-certfile", chain] if chain else []), "-outform", "DER",
            "-out", path)


WHQL_USAGES = "codeSigning,1.3.6.1.4.1.311.10.3.5"
EXPIRED_IN_2015 = ("-startdate", "20140101000000Z", "-enddate", "20150101000000Z")
PUBLISHER = "Microsoft Windows Hardware Compatibility Publisher"


class Authorities:
    """Certificate authorities of our own: a root that stands for Microsoft's signing roots, one
    for the Code Verification Root, a commercial root cross-certified by it (twice: once until
    2015), a forged root copying the first's name and key, and the signers of each kind."""

    def __init__(self, folder):
        self.folder = folder
        self.root = self.authority("signing root", "QB7 Test Microsoft Root")
        self.verification = self.authority("verification root", "QB7 Test Code Verification Root")
        self.commercial = self.authority("commercial root", "QB7 Test Commercial Root")
        self.cross = self.path("cross.pem")
        self.issue(self.verification, "cross", "QB7 Test Commercial Root", self.cross,
                   "basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign\n",
                   key=self.commercial[1])
        self.cross_expired = self.issue(
            self.verification, "cross-2015", "QB7 Test Commercial Root",
            self.path("cross-2015.pem"), "basicConstraints=critical,CA:TRUE\n",
            key=self.commercial[1], dates=EXPIRED_IN_2015)[0]
        self.forged = self.authority("forged root", "QB7 Test Microsoft Root",
                                     "subjectKeyIdentifier=" + key_identifier(self.root[0]))
        self.roots = self.path("roots.pem")
        with open(self.roots, "w") as file:
            for (cert, _), role in ((self.root, "signing"), (self.verification, "cross-signing")):
                file.write(f"# role: {role}\n" + pathlib.Path(cert).read_text())

    def path(self, name):
        return os.path.join(self.folder, name)

    def authority(self, name, subject, usage="basicConstraints=critical,CA:TRUE"):
        cert, key = self.path(name + ".pem"), self.path(name + ".key")
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "3650", "-keyout", key,
                "-out", cert, "-subj", f"/CN={subject}", "-addext", usage)
        return cert, key

    def issue(self, issuer, name, subject, out, extensions, key=None, dates=("-days", "30")):
        """A certificate for `subject`, issued by `issuer` (cert, key), for `key` or a new one,
        valid as `dates` say (openssl ca's options)."""
        key = key or self.path(name + ".key")
        if not os.path.exists(key):
            openssl("genrsa", "-out", key, "2048")
        request, extension_file = self.path(name + ".csr"), self.path(name + ".ext")
        openssl("req", "-new", "-key", key, "-subj", f"/CN={subject}", "-out", request)
        with open(extension_file, "w") as file:
            file.write(extensions + "subjectKeyIdentifier=hash\nauthorityKeyIdentifier=keyid\n")
        config = self.path("ca.cnf")
        if not os.path.exists(config):
            with open(config, "w") as file:
                file.write(f"[ca]\ndefault_ca = test\n[test]\ndatabase = {self.path('index.txt')}"
                           f"\nnew_certs_dir = {self.folder}\nserial = {self.path('serial')}\n"
                           "default_md = sha256\npolicy = any\nunique_subject = no\n"
                           "[any]\ncommonName = supplied\n")
            open(self.path("index.txt"), "w").close()
            with open(self.path("serial"), "w") as file:
                file.write("01\n")
        openssl("ca", "-batch", "-notext", "-config", config, "-cert", issuer[0], "-keyfile",
                issuer[1], "-in", request, "-extfile", extension_file, "-out", out, *dates)
        return out, key

    def signer(self, kind):
        """(certificate, key, chain or None) of a signer of `kind`: whql, whql-ecdsa, attestation,
        forged-whql, cross-signed-2015-07-28 (issued on the last day before 29 July 2015),
        cross-signed-2015-07-29 (on the first day after), cross-signed-expired (in
        2014), lifetime (so, with the lifetime signing usage), cross-expired, cross-signed, vendor,
        vendor-md5 (its certificate signed with MD5), self-signed."""
        usage = "keyUsage=critical,digitalSignature\nextendedKeyUsage="
        if kind == "whql-ecdsa":
            openssl("genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256",
                    "-out", self.path(kind + ".key"))
        if kind in ("whql", "attestation", "forged-whql", "whql-ecdsa"):
            usages = WHQL_USAGES + (",1.3.6.1.4.1.311.10.3.5.1" if kind == "attestation" else "")
            return self.issue(self.forged if kind == "forged-whql" else self.root, kind,
                              PUBLISHER, self.path(kind + ".pem"), usage + usages + "\n") + (None,)
        if kind == "self-signed":
            return self.authority(kind, "WDKTestCert qb7", "extendedKeyUsage=codeSigning") + (None,)
        dates = {"cross-signed-2015-07-28": ("-startdate", "20150728000000Z", "-enddate",
                                             "20991231000000Z"),
                 "cross-signed-2015-07-29": ("-startdate", "20150729000000Z", "-enddate",
                                             "20991231000000Z"),
                 "cross-signed-expired": EXPIRED_IN_2015, "lifetime": EXPIRED_IN_2015,
                 "vendor-md5": ("-days", "30", "-md", "md5")}
        cert, key = self.issue(self.commercial, kind, "QB7 Test Vendor", self.path(kind + ".pem"),
                               usage + "codeSigning" + (",1.3.6.1.4.1.311.10.3.13" if kind ==
                                                         "lifetime" else "") + "\n",
                               dates=dates.get(kind, ("-days", "30")))
        chain = {"vendor": None, "vendor-md5": None, "cross-expired": self.cross_expired}.get(
            kind, self.cross)
        return cert, key, chain



def sign_program(path, signer):
    """Embeds an Authenticode signature of `signer` (certificate, key, chain) in a PE file."""
    with tempfile.TemporaryDirectory(prefix="qb7-embedded-") as scratch:
        certificates, signed = os.path.join(scratch, "certs.pem"), os.path.join(scratch, "x")
        with open(certificates, "wb") as file:
            file.write(b"".join(pathlib.Path(part).read_bytes() for part in signer[::2] if part))
        tool("osslsigncode", "sign", "-h", "sha256", "-certs", certificates, "-key", signer[1],
             "-in", path, "-out", signed)
        os.replace(signed, path)


def key_identifier(cert_path):
    with open(cert_path, "rb") as file:
        _, _, der_bytes = pem.unarmor(file.read())
    return x509.Certificate.load(der_bytes).key_identifier.hex()
