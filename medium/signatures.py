"""The Authenticode signatures of a catalog or of a PE file (a driver's embedded one) as Windows
reads them: the primary signature and those nested in it (unsigned attribute
1.3.6.1.4.1.311.2.4.1), each with its signer, digest algorithm, leaf certificate's issue date,
time stamp and kind, and whether the installer and the kernel count it.

A signature counts only when it verifies: the digest of the signed content (primary signatures
hash the content's contents octets, as PKCS#7 does; some nested ones hash its whole encoding, or
the outer signature's), the signer's RSA or ECDSA signature over its signed attributes, and each
certificate of the chain signed by the next, all checked by python3-cryptography. The chain
ends at one of Microsoft's roots (roots/microsoft.pem; the tests give their own), verified under
the root's key: a chain that only names a Microsoft root is forged or damaged. Otherwise it ends
at a root Windows trusts for code signing (roots/windows-code-signing.pem, and a PEM file the
vendor adds), at a self-signed certificate, or at an issuer nothing here knows.

Dates are read as each part of Windows reads them (windows_policy.RULES "installer-dates",
"kernel-dates", "lifetime-signing", "cross-certificate-expired"): `problem` says why the
installer does not count a signature, `kernel_problem` why kernel code integrity does not."""
import datetime
import hashlib
import os
import struct

from asn1crypto import algos, cms, core, pem, tsp, x509
from cryptography.exceptions import InvalidSignature, UnsupportedAlgorithm
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec, padding, rsa

WHQL, ATTESTATION, CROSS_SIGNED, VENDOR, SELF_SIGNED = (
    "whql", "attestation", "cross-signed", "vendor", "self-signed")
# What a root stands for: Microsoft's own signing (WHQL and attestation chain to these), or the
# root that cross-certificates of commercial authorities chain to.
MICROSOFT_SIGNING, CROSS_SIGNING = "signing", "cross-signing"
ROOTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "roots")
MICROSOFT_ROOTS = os.path.join(ROOTS, "microsoft.pem")
WINDOWS_ROOTS = os.path.join(ROOTS, "windows-code-signing.pem")
HARDWARE_PUBLISHER = "Microsoft Windows Hardware Compatibility Publisher"
WHQL_USAGE = "1.3.6.1.4.1.311.10.3.5"
ATTESTATION_USAGE = "1.3.6.1.4.1.311.10.3.5.1"
LIFETIME_SIGNING_USAGE = "1.3.6.1.4.1.311.10.3.13"
NESTED_SIGNATURE = "1.3.6.1.4.1.311.2.4.1"
RFC3161_TIME_STAMP = "1.3.6.1.4.1.311.3.3.1"
COUNTER_SIGNATURE = "1.2.840.113549.1.9.6"
SIGNING_TIME = "1.2.840.113549.1.9.5"
MESSAGE_DIGEST = "1.2.840.113549.1.9.4"
HASHES = {"md5": hashes.MD5, "sha1": hashes.SHA1, "sha224": hashes.SHA224,
          "sha256": hashes.SHA256, "sha384": hashes.SHA384, "sha512": hashes.SHA512}
# Windows refuses MD5-signed certificates in code signing chains under the roots of its root
# program, but keeps binaries signed before March 2009 working: Microsoft Security Advisory
# 2862973 (https://learn.microsoft.com/en-us/security-updates/securityadvisories/2013/2862973)
# and Microsoft's AskDS blog of 14 August 2013 ("MD5 signature hash deprecation and your
# infrastructure"). MD2: no Microsoft page we read; python3-cryptography cannot check it, so such
# a chain does not verify.
MD5_UNTIL = datetime.datetime(2009, 3, 1, tzinfo=datetime.timezone.utc)


class DigestInfo(core.Sequence):
    _fields = [("algorithm", algos.DigestAlgorithm), ("digest", core.OctetString)]


class IndirectData(core.Sequence):
    _fields = [("data", core.Any), ("digest", DigestInfo)]


class Signature:
    """One signature: who signed, how, when, its kind and, when the installer or the kernel does
    not count it, why."""

    def __init__(self, signer, kind, digest, issued, timestamp, nested, problem, authority,
                 end=None, kernel_problem=None, date_rule=None):
        self.signer, self.kind, self.digest = signer, kind, digest
        self.issued, self.timestamp, self.nested = issued, timestamp, nested
        # How the chain ends: a root's role, "authority" (a root Windows trusts), "self-signed",
        # "unknown" (an issuer nothing here knows) or "broken".
        self.problem, self.authority, self.end = problem, authority, end
        self.kernel_problem = kernel_problem
        # The rule of windows_policy.RULES by which a date makes one of them not count it.
        self.date_rule = date_rule

    def report(self):
        return {"signer": self.signer, "kind": self.kind, "digest": self.digest,
                "certificate_issued": date_text(self.issued),
                "timestamp": date_text(self.timestamp), "verified": self.problem is None}


class Trust:
    """Microsoft's roots, each (certificate, role), and the roots Windows trusts for code
    signing, by the encoding of their subject: Windows finds an issuer by comparing the encoded
    names (CertCompareCertificateName), which is also far quicker than normalising 300 names."""

    def __init__(self, roots, authorities=()):
        self.roots = roots
        self.by_subject = {}
        for certificate in authorities:
            self.by_subject.setdefault(certificate.subject.dump(), []).append(certificate)

    def authorities_named(self, name):
        return self.by_subject.get(name.dump(), [])

    def roots_named(self, name):
        """Microsoft's roots whose common name `name` (an issuer) bears: a certificate so
        issued is Microsoft's only when it verifies under one of their keys."""
        common = name.native.get("common_name")
        return [(root, role) for root, role in self.roots
                if root.subject == name or
                common is not None and root.subject.native.get("common_name") == common]

    def root_role(self, certificate):
        """The role of the Microsoft root that `certificate` is (a signature may carry it)."""
        return next((role for root, role in self.roots if same_key(root, certificate) and
                     root.subject == certificate.subject), None)


def trust_from(roots_file=None, extra_authorities=None):
    """The trust the check uses: Microsoft's roots (or a PEM file of roots of the same form),
    the roots Windows trusts for code signing, and a PEM file of more where given."""
    authorities = pem_certificates(WINDOWS_ROOTS)
    if extra_authorities and os.path.exists(extra_authorities):
        authorities += pem_certificates(extra_authorities)
    return Trust(pem_roots(roots_file or MICROSOFT_ROOTS), authorities)


def pem_roots(path):
    """(certificate, role) of each certificate of a PEM file, its role "cross-signing" where
    the text before it has a line "# role: cross-signing", else "signing"."""
    with open(path, "rb") as file:
        blocks = file.read().split(b"-----END CERTIFICATE-----")[:-1]
    roots = []
    for block in blocks:
        role = CROSS_SIGNING if b"# role: cross-signing" in block else MICROSOFT_SIGNING
        _, _, der = pem.unarmor(block[block.index(b"-----BEGIN"):] +
                                b"-----END CERTIFICATE-----\n")
        roots.append((x509.Certificate.load(der), role))
    return roots


def pem_certificates(path):
    with open(path, "rb") as file:
        data = file.read()
    if not pem.detect(data):
        return [x509.Certificate.load(data)]
    return [x509.Certificate.load(der) for kind, _, der in pem.unarmor(data, multiple=True)
            if kind == "CERTIFICATE"]


def same_key(one, other):
    return one.public_key.dump() == other.public_key.dump()


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


def verifies(public_key, signature, hash_name, message):
    """Whether `signature` is the RSA (PKCS#1 v1.5) or ECDSA signature of `message` under
    `public_key` (asn1crypto's PublicKeyInfo), the two Windows accepts."""
    if hash_name not in HASHES:
        return False
    try:
        key = serialization.load_der_public_key(public_key.dump())
        if isinstance(key, rsa.RSAPublicKey):
            key.verify(signature, message, padding.PKCS1v15(), HASHES[hash_name]())
        elif isinstance(key, ec.EllipticCurvePublicKey):
            key.verify(signature, message, ec.ECDSA(HASHES[hash_name]()))
        else:
            return False
    except (InvalidSignature, UnsupportedAlgorithm, ValueError):
        return False
    return True


def signing_problem(certificate, issuer):
    """Why `certificate` is not signed by `issuer`'s key, or None."""
    try:
        hash_name = certificate["signature_algorithm"].hash_algo
    except ValueError:
        hash_name = None
    if not verifies(issuer.public_key, certificate["signature_value"].native, hash_name,
                    certificate["tbs_certificate"].dump()):
        return f"the certificate of {common_name(certificate)} is not signed by " \
            f"{common_name(issuer)}"
    return None


def md5_problem(chain, moment):
    """Why Windows refuses a chain of its root program for the MD5 signatures of its
    `chain` (each certificate below the root), for a signature time-stamped at `moment`."""
    weak = [c for c in chain if c["signature_algorithm"].hash_algo == "md5"]
    if weak and not (moment and moment < MD5_UNTIL):
        return (f"the certificate of {common_name(weak[0])} is signed with MD5, which Windows "
                "refuses in a code signing chain for signatures made after February 2009")
    return None


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


def chain_end(leaf, certificates, trust, moment):
    """(kind of the chain's end, its name, problem or None, the certificate that the end
    issued): walks from the leaf to a root, a self-signed certificate or an authority,
    verifying each certificate by the next."""
    current, chain = leaf, []
    while not any(c is current for c in chain):
        chain.append(current)
        role = trust.root_role(current)
        if role is not None:
            return role, common_name(current), None, current
        issuer_name = current.issuer.native.get("common_name", current.issuer.human_friendly)
        named = trust.roots_named(current.issuer)
        if named:
            # MD5 is not held against Microsoft's own chains: whether Windows refuses the MD5
            # certificates of its 1997 root's WHQL chains is not confirmed.
            role = next((role for root, role in named
                         if signing_problem(current, root) is None), None)
            return (role or "broken", issuer_name, None if role else (
                f"its chain names {issuer_name} but does not verify under that root's key: "
                "the signature is forged or damaged"), current)
        if current.issuer == current.subject:
            # A root Windows trusts that the signature carries along is still that authority.
            if any(same_key(known, current)
                   for known in trust.authorities_named(current.subject)):
                return "authority", issuer_name, md5_problem(chain[:-1], moment), current
            problem = signing_problem(current, current) and (
                f"the self-signed certificate {issuer_name} does not verify")
            return SELF_SIGNED, issuer_name, problem, current
        carried = [c for c in certificates if c.subject == current.issuer and
                   (current.authority_key_identifier is None or c.key_identifier is None or
                    c.key_identifier == current.authority_key_identifier)]
        known = trust.authorities_named(current.issuer)
        if not carried and not known:
            return "unknown", issuer_name, None, current
        issuer = next((c for c in carried + known if signing_problem(current, c) is None), None)
        if issuer is None:
            return "broken", issuer_name, signing_problem(current, (carried + known)[0]), current
        if not any(c is issuer for c in carried):
            return "authority", issuer_name, md5_problem(chain, moment), current
        current = issuer
    return "broken", "", "its certificates issue one another in a loop", current


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


def verification_problem(contents, signer_info, certificate):
    """Why the signature does not verify over its content (any of `contents`, the ways it may
    have been hashed) and attributes, or None."""
    hash_name = signer_info["digest_algorithm"]["algorithm"].native
    if hash_name not in HASHES:
        return f"its digest algorithm {hash_name} is not one this check knows"
    attributes = signer_info["signed_attrs"]
    signature = signer_info["signature"].native
    if attributes:
        digests = [a["values"][0].native for a in attributes if a["type"].dotted == MESSAGE_DIGEST]
        if not digests or all(hashlib.new(hash_name, content).digest() != digests[0]
                              for content in contents):
            return "the signed content does not match its digest: it was altered after signing"
        signed = b"\x31" + attributes.dump()[1:]
        if not verifies(certificate.public_key, signature, hash_name, signed):
            return (f"the signature of {common_name(certificate)} over its attributes does not "
                    "verify")
        return None
    if not any(verifies(certificate.public_key, signature, hash_name, content)
               for content in contents):
        return f"the signature of {common_name(certificate)} does not verify"
    return None


def date_problems(leaf, stamp, end, last_link):
    """(why the installer does not count the signature, why the kernel does not, the rule) for
    the dates alone: a time stamp outside the certificate's validity counts for neither; the
    installer needs the certificate valid now or at its time stamp, and now if it carries the
    lifetime signing usage; the kernel does not check the certificate's dates, but refuses a
    cross-signed signature made after its cross-certificate (`last_link`) expired."""
    not_before, not_after = leaf.not_valid_before, leaf.not_valid_after
    span = f"valid {date_text(not_before)} to {date_text(not_after)}"
    if stamp and not not_before <= stamp <= not_after:
        text = (f"it was time-stamped {date_text(stamp)}, when its certificate ({span}) was "
                "not valid")
        return text, text, "time-stamp"
    kernel = None
    made = stamp or not_before
    if end == CROSS_SIGNING and made > last_link.not_valid_after:
        kernel = (f"it was made {date_text(made)}, after its cross-certificate expired "
                  f"({date_text(last_link.not_valid_after)}): the kernel does not load it")
    now = datetime.datetime.now(datetime.timezone.utc)
    usages = {usage.dotted for usage in leaf.extended_key_usage_value or []}
    if LIFETIME_SIGNING_USAGE in usages and not not_before <= now <= not_after:
        return (f"its certificate ({span}) carries the lifetime signing usage: the installer "
                "counts the signature only while the certificate is valid, time stamp or not",
                kernel, "lifetime-signing")
    if not stamp and not not_before <= now <= not_after:
        return (f"its certificate ({span}) is not valid now and it has no time stamp: the "
                "installer calls it invalid; the kernel does not check the dates",
                kernel, "installer-dates")
    return None, kernel, "cross-certificate-expired" if kernel else None


def common_name(certificate):
    return certificate.subject.native.get("common_name", certificate.subject.human_friendly)


def read_one(signed_data, signer_info, trust, nested, content_problem, outer):
    certificates = [choice.chosen for choice in signed_data["certificates"] or []
                    if choice.name == "certificate"]
    hash_name = signer_info["digest_algorithm"]["algorithm"].native
    stamp = time_stamp(signer_info)
    leaf = signer_certificate(signer_info, certificates)
    if leaf is None:
        problem = "the signer's certificate is not in the signature"
        return Signature("", VENDOR, hash_name, None, stamp, nested, problem, "",
                         kernel_problem=problem)
    end, authority, problem, last_link = chain_end(leaf, certificates, trust, stamp)
    problem = problem or verification_problem(signed_content(signed_data) + outer, signer_info,
                                              leaf) or content_problem
    installer, kernel, rule = date_problems(leaf, stamp, end, last_link)
    return Signature(common_name(leaf), kind_of(leaf, end), hash_name, leaf.not_valid_before,
                     stamp, nested, problem or installer, authority, end, problem or kernel,
                     rule)


def read_signatures(signed_data, trust, content_check=None, nested=False, outer=()):
    """Every signature of a SignedData, primary first, then those nested in it, whose digest may
    cover the content of the signature they are nested in (`outer`, its ways of hashing).
    `content_check(signed_data)` says why the signed content is not the file's, or None."""
    signatures = []
    content_problem = content_check(signed_data) if content_check else None
    outer = list(outer)
    for signer_info in signed_data["signer_infos"]:
        signatures.append(read_one(signed_data, signer_info, trust, nested, content_problem,
                                   outer))
        for attribute in signer_info["unsigned_attrs"] or []:
            if attribute["type"].dotted != NESTED_SIGNATURE:
                continue
            for value in attribute["values"]:
                try:
                    inner = cms.ContentInfo.load(value.dump())["content"]
                    signatures += read_signatures(inner, trust, content_check, True,
                                                  signed_content(signed_data) + outer)
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
