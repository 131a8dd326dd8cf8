"""Driver catalogs for the tests, written with openssl (`asn1parse -genconf`, `cms -sign`) and
pefile, never with the code that checks them (medium/catalog.py).

Usage:
  from catalog_maker import write_catalog
  write_catalog("pkg/Driver/Vista_64/x.cat", [inf, sys_file, ...], cert_pem, key_pem)
  write_catalog(..., algorithm="sha256")   # a list of SHA256 hashes, as newer catalogs have
  write_catalog(..., form="cms")   # the list in an octet string (CMS) instead of PKCS#7's form
  write_package(package, installers, signer=(cert_pem, key_pem))   # driver_package.py: each
      # folder's catalog a real one over its INF and its processor's files (package_files
      # still gives the placeholders: read a real catalog's bytes from the package)
The check reads catalogs with medium/catalog.py's catalog_problems(catalog, members,
cafile=None).

The catalog is shaped like those of signed releases: PKCS#7 SignedData around a certificate
trust list (1.3.6.1.4.1.311.10.1), one entry per member whose tag is its hash as upper-case hex
in UTF-16LE, with the member's file name and an SpcIndirectDataContent holding the hash. A PE
file (a program or driver) is hashed as Authenticode hashes it, anything else over the whole
file. osslsigncode `verify -catalog` reads the PE members of such a catalog."""
import hashlib
import os
import subprocess
import tempfile
import time

import pefile

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


def member_sections(index, path, algorithm):
    """The openssl -genconf sections of one list entry."""
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
[{name}_file]
type = OID:{MEMBER_NAME}
value = SET:{name}_file_value
[{name}_file_value]
value = SEQUENCE:{name}_file_name
[{name}_file_name]
tag = BMPSTRING:File
flags = INTEGER:0x10010001
name = FORMAT:HEX,OCTETSTRING:{utf16_hex(os.path.basename(path) + chr(0))}
[{name}_indirect]
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


def list_config(member_paths, algorithm):
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
{members}""" + "".join(member_sections(index, path, algorithm)
                       for index, path in enumerate(member_paths)))


def openssl(*arguments):
    made = subprocess.run(["openssl", *arguments], capture_output=True, text=True)
    if made.returncode != 0:
        raise AssertionError(f"openssl {arguments[0]} failed:\n{made.stderr}")


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


def write_catalog(path, member_paths, signer_cert, signer_key, algorithm="sha1", form="pkcs7"):
    """Writes a catalog listing `member_paths` to `path`, signed with the PEM certificate and
    key. `form` "cms" leaves the list in an octet string, as CMS has it."""
    with tempfile.TemporaryDirectory(prefix="qb7-catalog-") as scratch:
        config = os.path.join(scratch, "list.cnf")
        trust_list = os.path.join(scratch, "list.der")
        signed_part = os.path.join(scratch, "signed.der")
        with open(config, "w") as file:
            file.write(list_config(member_paths, algorithm))
        openssl("asn1parse", "-genconf", config, "-noout", "-out", trust_list)
        with open(trust_list, "rb") as file:
            trust_list_der = file.read()
        _, start, _ = der_element(trust_list_der, 0)
        with open(signed_part, "wb") as file:
            file.write(trust_list_der if form == "cms" else trust_list_der[start:])
        openssl("cms", "-sign", "-binary", "-nodetach", "-nosmimecap", "-in", signed_part,
                "-econtent_type", CERTIFICATE_TRUST_LIST, "-md", algorithm,
                "-signer", signer_cert, "-inkey", signer_key, "-outform", "DER", "-out", path)
        if form == "cms":
            return
        with open(path, "rb") as file:
            signed = file.read()
        with open(path, "wb") as file:
            file.write(as_pkcs7(signed, trust_list_der))
