"""The Authenticode signatures of a catalog or of a PE file (a driver's embedded one) as Windows
reads them: the primary signature and those nested in it (unsigned attribute
1.3.6.1.4.1.311.2.4.1), each with its signer, digest algorithm, leaf certificate's issue date,
time stamp and kind, and whether it verifies.

A signature counts only when it verifies: the digest of the signed content (primary signatures
hash the content's contents octets, as PKCS#7 does; some nested ones hash its whole encoding),
the signer's RSA signature over its signed attributes, and each certificate of the chain signed
by the next. The chain ends at one of the roots given (the product passes Microsoft's, the tests
their own), at a self-signed certificate, at an authority whose certificate is at hand (Debian's
store, or one the vendor adds for catalogs), or at an issuer nothing here knows. Microsoft's roots
are not in Debian's store: they are carried as data, subject and key identifier, so the last link
to one of them is matched by name and key identifier, not verified."""
import datetime
import hashlib
import json
import os
import struct

from asn1crypto import algos, cms, core, pem, tsp, x509

WHQL, ATTESTATION, CROSS_SIGNED, VENDOR, SELF_SIGNED = (
    "whql", "attestation", "cross-signed", "vendor", "self-signed")
# What a root stands for: Microsoft's own signing (WHQL and attestation chain to these), or the
# root that cross-certificates of commercial authorities chain to.
MICROSOFT_SIGNING, CROSS_SIGNING = "signing", "cross-signing"
MICROSOFT_ROOTS = [
    {"subject": "Microsoft Root Certificate Authority 2010",
     "key_identifier": "d5f656cb8fe8a25c6268d13d94905bd7ce9a18c4", "role": MICROSOFT_SIGNING,
     "source": "authority key identifier of Microsoft Windows Third Party Component CA 2012 in "
               "wintun.cat, mullvad/mullvadvpn-app-binaries @ 71385b05ad7d"},
    {"subject": "Microsoft Root Certificate Authority",
     "key_identifier": "0eac826040562797e52513fc2ae10a539559e4a4", "role": MICROSOFT_SIGNING,
     "source": "authority key identifier of Microsoft Windows Hardware Compatibility PCA in "
               "ubloxusb.cat, ArduPilot/MissionPlanner @ a2fcd74d6451"},
    {"subject": "Microsoft Code Verification Root",
     "key_identifier": "62fb0a215b7f436e11da0954506bf5d29671f19e", "role": CROSS_SIGNING,
     "source": "authority key identifier of the cross-certificate of DigiCert High Assurance "
               "EV Root CA in mullvad-split-tunnel.cat, mullvad/mullvadvpn-app-binaries @ "
               "2f5365a58249"},
]
HARDWARE_PUBLISHER = "Microsoft Windows Hardware Compatibility Publisher"
WHQL_USAGE = "1.3.6.1.4.1.311.10.3.5"
ATTESTATION_USAGE = "1.3.6.1.4.1.311.10.3.5.1"
NESTED_SIGNATURE = "1.3.6.1.4.1.311.2.4.1"
RFC3161_TIME_STAMP = "1.3.6.1.4.1.311.3.3.1"
COUNTER_SIGNATURE = "1.2.840.113549.1.9.6"
SIGNING_TIME = "1.2.840.113549.1.9.5"
MESSAGE_DIGEST = "1.2.840.113549.1.9.4"
SYSTEM_AUTHORITIES = "/etc/ssl/certs/ca-certificates.crt"


class DigestInfo(core.Sequence):
    _fields = [("algorithm", algos.DigestAlgorithm), ("digest", core.OctetString)]


class IndirectData(core.Sequence):
    _fields = [("data", core.Any), ("digest", DigestInfo)]


class Signature:
    """One signature: who signed, how, when, its kind and, when it does not verify, why."""

    def __init__(self, signer, kind, digest, issued, timestamp, nested, problem, authority,
                 end=None):
        self.signer, self.kind, self.digest = signer, kind, digest
        self.issued, self.timestamp, self.nested = issued, timestamp, nested
        # How the chain ends: a root's role, "authority" (a certificate at hand), "self-signed",
        # "unknown" (an issuer nothing here knows) or "broken".
        self.problem, self.authority, self.end = problem, authority, end

    def report(self):
        return {"signer": self.signer, "kind": self.kind, "digest": self.digest,
                "certificate_issued": date_text(self.issued),
                "timestamp": date_text(self.timestamp), "verified": self.problem is None}


class Trust:
    """The roots that count as Microsoft's and the authorities whose certificates are at hand."""

    def __init__(self, roots=None, authority_files=()):
        self.roots = MICROSOFT_ROOTS if roots is None else roots
        self.authorities = {}
        for path in authority_files:
            for certificate in pem_certificates(path):
                self.authorities.setdefault(certificate.subject.hashable, certificate)

    def root_of(self, certificate):
        """The root that issued `certificate`, matched by name and key identifier, or None."""
        issuer = certificate.issuer.native.get("common_name")
        key = certificate.authority_key_identifier
        for root in self.roots:
            if root["subject"] == issuer and (key is None or key.hex() == root["key_identifier"]):
                return root
        return None


def trust_from(roots_file=None, extra_authorities=None):
    """The trust the check uses: Microsoft's roots (or a JSON list of roots of the same shape),
    Debian's certificate authorities, and a PEM file of more where given."""
    roots = None
    if roots_file:
        with open(roots_file) as file:
            roots = json.load(file)
    files = [path for path in (SYSTEM_AUTHORITIES, extra_authorities) if path and
             os.path.exists(path)]
    return Trust(roots, files)


def pem_certificates(path):
    with open(path, "rb") as file:
        data = file.read()
    if not pem.detect(data):
        return [x509.Certificate.load(data)]
    return [x509.Certificate.load(der) for kind, _, der in pem.unarmor(data, multiple=True)
            if kind == "CERTIFICATE"]


def date_text(moment):
    return moment.strftime("%Y-%m-%d") if moment else None


def der_header(data, offset=0):
    """(offset of the contents, offset past the end) of the DER element at `offset`."""
    length, start = data[offset + 1], offset + 2
    if length & 0x80:
        count = length & 0x7F
        length, start = int.from_bytes(data[start:start + count], "big"), start + count
    return start, start + length


def signed_content(signed_data):
    """The ways the encapsulated content may have been hashed: its contents octets, then its
    whole encoding; an octet string's contents alone."""
    encoded = signed_data["encap_content_info"].dump()
    start, _ = der_header(encoded)
    _, after_type = der_header(encoded, start)
    if after_type >= len(encoded):
        return []
    inner, _ = der_header(encoded, after_type)
    contents_start, end = der_header(encoded, inner)
    if encoded[inner] == 0x04:
        return [encoded[contents_start:end]]
    return [encoded[contents_start:end], encoded[inner:end]]


def rsa_verifies(public_key, signature, hash_name, message):
    """Whether `signature` is the RSA PKCS#1 v1.5 signature of `message` under `public_key`."""
    if public_key.algorithm != "rsa" or hash_name not in hashlib.algorithms_available:
        return False
    key = public_key["public_key"].parsed
    modulus, exponent = key["modulus"].native, key["public_exponent"].native
    size = (modulus.bit_length() + 7) // 8
    value = int.from_bytes(signature, "big")
    if value >= modulus:
        return False
    block = pow(value, exponent, modulus).to_bytes(size, "big")
    separator = block.find(b"\0", 2)
    if block[:2] != b"\0\1" or separator < 10 or set(block[2:separator]) != {0xFF}:
        return False
    try:
        info = algos.DigestInfo.load(block[separator + 1:])
        return (info["digest_algorithm"]["algorithm"].native == hash_name and
                info["digest"].native == hashlib.new(hash_name, message).digest())
    except ValueError:
        return False


def certificate_signed_by(certificate, issuer):
    algorithm = certificate["signature_algorithm"]
    try:
        hash_name = algorithm.hash_algo
    except ValueError:
        return False
    return rsa_verifies(issuer.public_key, certificate["signature_value"].native, hash_name,
                        certificate["tbs_certificate"].dump())


def signer_certificate(signer_info, certificates):
    sid = signer_info["sid"]
    for certificate in certificates:
        if sid.name == "issuer_and_serial_number":
            if (certificate.issuer == sid.chosen["issuer"] and
                    certificate.serial_number == sid.chosen["serial_number"].native):
                return certificate
        elif certificate.key_identifier == sid.chosen.native:
            return certificate
    return None


def chain_end(leaf, certificates, trust):
    """(kind of the chain's end, its name, problem or None): walks from the leaf to a root, a
    self-signed certificate or an authority, verifying each certificate by the next."""
    current, seen = leaf, set()
    while id(current) not in seen:
        seen.add(id(current))
        root = trust.root_of(current)
        if root is not None:
            return root["role"], root["subject"], None
        issuer_name = current.issuer.native.get("common_name", current.issuer.human_friendly)
        if current.issuer == current.subject:
            problem = None if certificate_signed_by(current, current) else (
                f"the self-signed certificate {issuer_name} does not verify")
            # A commercial root the signature carries along is still that authority.
            carried = trust.authorities.get(current.subject.hashable)
            if carried is not None and carried.public_key.dump() == current.public_key.dump():
                return "authority", issuer_name, problem
            return SELF_SIGNED, issuer_name, problem
        issuer = next((c for c in certificates if c.subject == current.issuer and
                       (current.authority_key_identifier is None or c.key_identifier is None or
                        c.key_identifier == current.authority_key_identifier)), None)
        known = trust.authorities.get(current.issuer.hashable)
        issuer = issuer or known
        if issuer is None:
            return "unknown", issuer_name, None
        if not certificate_signed_by(current, issuer):
            return "broken", issuer_name, (
                f"the certificate of {current.subject.native.get('common_name')} is not signed "
                f"by {issuer_name}")
        if issuer is known:
            return "authority", issuer_name, None
        current = issuer
    return "broken", "", "its certificates issue one another in a loop"


def kind_of(leaf, end):
    usages = {usage.dotted for usage in leaf.extended_key_usage_value or []}
    if end == MICROSOFT_SIGNING and leaf.subject.native.get("common_name") == HARDWARE_PUBLISHER \
            and WHQL_USAGE in usages:
        return ATTESTATION if ATTESTATION_USAGE in usages else WHQL
    if end == CROSS_SIGNING:
        return CROSS_SIGNED
    if end == SELF_SIGNED:
        return SELF_SIGNED
    return VENDOR


def time_stamp(signer_info):
    """When the signature was time-stamped (legacy counter-signature or RFC 3161), or None."""
    for attribute in signer_info["unsigned_attrs"] or []:
        kind = attribute["type"].dotted
        for value in attribute["values"]:
            try:
                if kind == COUNTER_SIGNATURE:
                    counter = cms.SignerInfo.load(value.dump())
                    for signed in counter["signed_attrs"] or []:
                        if signed["type"].dotted == SIGNING_TIME:
                            return signed["values"][0].native
                elif kind == RFC3161_TIME_STAMP:
                    token = cms.ContentInfo.load(value.dump())["content"]
                    content = token["encap_content_info"]["content"]
                    return tsp.TSTInfo.load(content.native if isinstance(
                        content, core.OctetString) else content.parsed.dump())["gen_time"].native
            except (ValueError, TypeError, KeyError):
                continue
    return None


def verification_problem(signed_data, signer_info, certificate):
    """Why the signature does not verify over its content and attributes, or None."""
    hash_name = signer_info["digest_algorithm"]["algorithm"].native
    contents = signed_content(signed_data)
    if hash_name not in hashlib.algorithms_available:
        return f"its digest algorithm {hash_name} is not one this check knows"
    attributes = signer_info["signed_attrs"]
    signature = signer_info["signature"].native
    if attributes:
        digests = [a["values"][0].native for a in attributes if a["type"].dotted == MESSAGE_DIGEST]
        if not digests or all(hashlib.new(hash_name, content).digest() != digests[0]
                              for content in contents):
            return "the signed content does not match its digest: it was altered after signing"
        signed = b"\x31" + attributes.dump()[1:]
        if not rsa_verifies(certificate.public_key, signature, hash_name, signed):
            return (f"the signature of {common_name(certificate)} over its attributes does not "
                    "verify")
        return None
    if not any(rsa_verifies(certificate.public_key, signature, hash_name, content)
               for content in contents):
        return f"the signature of {common_name(certificate)} does not verify"
    return None


def common_name(certificate):
    return certificate.subject.native.get("common_name", certificate.subject.human_friendly)


def read_one(signed_data, signer_info, trust, nested, content_problem):
    certificates = [choice.chosen for choice in signed_data["certificates"] or []
                    if choice.name == "certificate"]
    hash_name = signer_info["digest_algorithm"]["algorithm"].native
    stamp = time_stamp(signer_info)
    leaf = signer_certificate(signer_info, certificates)
    if leaf is None:
        return Signature("", VENDOR, hash_name, None, stamp, nested,
                         "the signer's certificate is not in the signature", "")
    end, authority, problem = chain_end(leaf, certificates, trust)
    problem = problem or verification_problem(signed_data, signer_info, leaf) or content_problem
    moment = stamp or datetime.datetime.now(datetime.timezone.utc)
    validity = leaf["tbs_certificate"]["validity"]
    if problem is None and not (validity["not_before"].native <= moment <=
                                validity["not_after"].native):
        problem = ("its certificate was not valid at its time stamp" if stamp else
                   f"its certificate expired on {date_text(validity['not_after'].native)} and "
                   "it has no time stamp")
    return Signature(common_name(leaf), kind_of(leaf, end), hash_name,
                     leaf.not_valid_before, stamp, nested, problem, authority, end)


def read_signatures(signed_data, trust, content_check=None, nested=False):
    """Every signature of a SignedData, primary first, then those nested in it.
    `content_check(signed_data)` says why the signed content is not the file's, or None."""
    signatures = []
    content_problem = content_check(signed_data) if content_check else None
    for signer_info in signed_data["signer_infos"]:
        signatures.append(read_one(signed_data, signer_info, trust, nested, content_problem))
        for attribute in signer_info["unsigned_attrs"] or []:
            if attribute["type"].dotted != NESTED_SIGNATURE:
                continue
            for value in attribute["values"]:
                try:
                    inner = cms.ContentInfo.load(value.dump())["content"]
                    signatures += read_signatures(inner, trust, content_check, True)
                except (ValueError, TypeError, KeyError):
                    continue
    return signatures


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


def certificate_table(data):
    """The PKCS#7 blobs of a PE file's certificate table (WIN_CERTIFICATE entries of type 2)."""
    image = authenticode_image(data)
    if image is None:
        return []
    security = len(image[0]) + 4 + len(image[1])
    offset, size = struct.unpack_from("<II", data, security)
    blobs, end = [], min(offset + size, len(data)) if offset else 0
    while offset and offset + 8 <= end:
        length, _, kind = struct.unpack_from("<IHH", data, offset)
        if length < 8:
            break
        if kind == 2:
            blobs.append(data[offset + 8:offset + length])
        offset += (length + 7) // 8 * 8
    return blobs


def embedded_signatures(path, trust):
    """The signatures embedded in a PE file, each checked against the file's own hash."""
    with open(path, "rb") as file:
        data = file.read()

    def content_check(signed_data):
        try:
            digest = IndirectData.load(signed_content(signed_data)[-1])["digest"]
            algorithm = digest["algorithm"]["algorithm"].native
            if file_hash(data, algorithm) == digest["digest"].native:
                return None
        except (ValueError, TypeError, KeyError, IndexError):
            pass
        return "the file was changed after it was signed"
    signatures = []
    for blob in certificate_table(data):
        try:
            signed = cms.ContentInfo.load(blob, strict=False)["content"]
            signatures += read_signatures(signed, trust, content_check)
        except (ValueError, TypeError, KeyError):
            continue
    return signatures
