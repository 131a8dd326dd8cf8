#!/usr/bin/python3
"""Usage: catalog_test.py SAMPLE_MEDIUM

Reading a catalog (medium/catalog.py) in the Vista_64 folder of the vendor-shaped package,
whose driver is a real PE file here (the sample's DPInst64.exe) and whose co-installer is not
one, on catalogs that catalog_maker writes with openssl, good ones and each way one goes wrong.
osslsigncode, reading the same catalogs, must agree about the driver. Then catalogs and embedded
driver signatures of every kind, from authorities of our own that stand for Microsoft's: the
kind of each signature and what each Windows of Vista_64 does with the package."""
import os
import random
import shutil
import subprocess
import sys
import tempfile
import unittest

from asn1crypto import pem

from catalog_maker import (Authorities, counter_signed, sign_program, without_message_digest,
                           write_catalog)
from driver_package import CO_INSTALLER, edit_inf, write_package
from medium_test import Signer, read

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "medium"))
from catalog import Catalog, catalog_problems  # noqa: E402
from signatures import embedded_signatures, trust_from  # noqa: E402
from windows_policy import verdicts  # noqa: E402

CATALOG = "ax88772_amd64.cat"
DRIVER = "amd64/ax88772.sys"
MEMBERS = ["Ax88772.inf", DRIVER, f"amd64/wdf/{CO_INSTALLER}"]
STALE = "with another hash: the catalog is stale or made for other files"


def catalog(*members, folder="Vista_64", **options):
    """A catalog of `members` of `folder`, written as Vista_64's."""
    def make(package, signer):
        paths = [os.path.join(package, "Driver", folder, member) for member in members]
        write_catalog(os.path.join(package, "Driver", "Vista_64", CATALOG), paths, signer.cert,
                      signer.key, **options)
    return make


def signed_inf(*content_type):
    """The INF signed as PKCS#7 data, or as the content type given: a signature, but no list."""
    def make(package, signer):
        subprocess.run(["openssl", "cms", "-sign", "-binary", "-nodetach", "-outform", "DER",
                        "-in", os.path.join(package, "Driver", "Vista_64", "Ax88772.inf"),
                        "-signer", signer.cert, "-inkey", signer.key, *content_type,
                        "-out", os.path.join(package, "Driver", "Vista_64", CATALOG)],
                       check=True)
    return make


def random_bytes(package, _):
    with open(os.path.join(package, "Driver", "Vista_64", CATALOG), "wb") as file:
        file.write(random.Random(19).randbytes(2048))


def inf_edited_after(make):
    def change(package, signer):
        make(package, signer)
        edit_inf(os.path.join(package, "Driver", "Vista_64", "Ax88772.inf"), "1.0.0.1", "1.0.0.2")
    return change


# name, how the catalog is made, the start of each problem reported, in order.
ROWS = [
    ("Good", catalog(*MEMBERS), []),
    ("Sha256List", catalog(*MEMBERS, algorithm="sha256"), []),
    ("CmsForm", catalog(*MEMBERS, form="cms"), []),
    ("RandomBytes", random_bytes, [f"{CATALOG}: not a signed catalog: not PKCS#7"]),
    ("SignedInfNoList", signed_inf(),
     [f"{CATALOG}: not a signed catalog: its content is 1.2.840.113549.1.7.1, not a "
      "certificate trust list (1.3.6.1.4.1.311.10.1)"]),
    ("SignedInfAsList", signed_inf("-econtent_type", "1.3.6.1.4.1.311.10.1"),
     [f"{CATALOG}: not a signed catalog: its certificate trust list cannot be read"]),
    ("MadeBeforeInfEdited", inf_edited_after(catalog(*MEMBERS)),
     [f"Ax88772.inf: listed in {CATALOG} {STALE}"]),
    ("DriverMissing", catalog("Ax88772.inf", f"amd64/wdf/{CO_INSTALLER}"),
     [f"ax88772.sys: not listed in {CATALOG}"]),
    ("ForeignCatalog", catalog("Ax88772.inf", "x86/ax88772.sys", folder="Vista_32"),
     [f"Ax88772.inf: listed in {CATALOG} {STALE}", f"ax88772.sys: listed in {CATALOG} {STALE}",
      f"{CO_INSTALLER}: not listed in {CATALOG}"]),
]
ALL = ("installs",) * 6
FAIL = ("fails",) * 6
TAKEN_UNSIGNED = ("warns",) * 2 + ("fails",) * 4


def altered(package, _):
    """The list's name of the INF changed after signing."""
    path = os.path.join(package, "Driver", "Vista_64", CATALOG)
    data = read(path)
    name = "Ax88772.inf".encode("utf-16-le")
    with open(path, "wb") as file:
        file.write(data.replace(name, "Bx88772.inf".encode("utf-16-le")))


def flipped_byte(where):
    """Flips the last byte of what `where(catalog bytes)` returns the end of: the catalog's
    signer info ends in the signature itself, a certificate in its issuer's signature."""
    def change(package, signer):
        path = os.path.join(package, "Driver", "Vista_64", CATALOG)
        data = bytearray(read(path))
        data[where(bytes(data), signer) - 1] ^= 1
        with open(path, "wb") as file:
            file.write(data)
    return change


def rewritten(change):
    """Rewrites the catalog as `change(its bytes, (certificate, key))` returns it."""
    def then(package, signer):
        path = os.path.join(package, "Driver", "Vista_64", CATALOG)
        changed = change(read(path), signer)
        with open(path, "wb") as file:
            file.write(changed)
    return then


def certificate_end(data, signer):
    _, _, certificate = pem.unarmor(read(signer[0]))
    return data.index(certificate) + len(certificate)


# name, the catalog's signer (kind, write_catalog's options), the kind of the driver's embedded
# signature or None, the kinds of the catalog's signatures (None: not verified) and what Vista,
# 7, 8, 8.1, 10 and 11 do.
SIGNATURE_ROWS = [
    ("Whql", ("whql", {"os_attr": "2:6.1,2:10.0"}), None, ["whql"], ALL),
    ("WhqlEcdsa", ("whql-ecdsa", {"algorithm": "sha256"}), None, ["whql"], ALL),
    ("Attestation", ("attestation", {}), None, ["attestation"],
     ("fails",) * 4 + ("installs",) * 2),
    ("CrossSignedOn28July2015", ("cross-signed-2015-07-28", {}), None, ["cross-signed"],
     ("asks",) * 5 + ("fails",)),
    ("CrossSignedOn29July2015", ("cross-signed-2015-07-29", {}), None, ["cross-signed"],
     ("asks",) * 4 + ("fails",) * 2),
    ("CrossSignedAfterJuly2015", ("cross-signed", {}), None, ["cross-signed"],
     ("asks",) * 4 + ("fails",) * 2),
    ("Vendor", ("vendor", {}), None, ["vendor"], FAIL),
    ("VendorCertificateSignedWithMd5", ("vendor-md5", {}), None, [None], FAIL),
    ("SelfSigned", ("self-signed", {}), None, ["self-signed"], FAIL),
    ("Unsigned", ("whql", {"unsigned": True}), None, [], FAIL),
    ("NestedWhqlInCrossSigned", ("cross-signed", {"nested": "whql"}), None,
     ["cross-signed", "whql"], ("asks",) * 2 + ("installs",) * 4),
    ("EmbeddedWhqlOnDriver", ("self-signed", {}), "whql", ["self-signed"], TAKEN_UNSIGNED),
    ("EmbeddedCrossSignedOnDriver", ("self-signed", {}), "cross-signed", ["self-signed"],
     TAKEN_UNSIGNED),
    ("AlteredAfterSigning", ("whql", {"then": altered}), None, [None], FAIL),
    ("SignatureValueAltered", ("whql", {"then": flipped_byte(lambda data, _: len(data))}), None,
     [None], FAIL),
    ("CertificateAltered", ("cross-signed", {"then": flipped_byte(certificate_end)}), None,
     [None], FAIL),
    ("BootStartSignedInCatalogOnly", ("whql", {"boot": True}), None, ["whql"], FAIL),
    ("BootStartSignedEmbedded", ("whql", {"boot": True}), "whql", ["whql"], ALL),
    ("ExpiredWithoutTimeStamp", ("cross-signed-expired", {}), None, [None], TAKEN_UNSIGNED),
    ("ForgedMicrosoftRoot", ("forged-whql", {}), None, [None], FAIL),
    ("NestedWithoutContent", ("cross-signed", {"nested": "whql", "nested_detached": True}), None,
     ["cross-signed", "whql"], ("asks",) * 2 + ("installs",) * 4),
    ("WithoutMessageDigest", ("whql", {"then": rewritten(
        lambda data, signer: without_message_digest(data, signer[1]))}), None, [None], FAIL),
    ("TimeStampedBeforeCertificate", ("cross-signed-2015-07-28", {"then": rewritten(
        lambda data, _: counter_signed(data, "130601000000Z"))}), None, [None], FAIL),
    ("LifetimeSigningExpired", ("lifetime", {"then": rewritten(
        lambda data, _: counter_signed(data, "140601000000Z"))}), None, [None], TAKEN_UNSIGNED),
    ("CrossCertificateExpiredBeforeSigning", ("cross-expired", {}), None, ["cross-signed"], FAIL),
]


class CatalogCoverage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="qb7-catalog-")
        os.makedirs(os.path.join(cls.scratch, "own"))
        cls.signer = Signer(os.path.join(cls.scratch, "own"))
        cls.base = os.path.join(cls.scratch, "base")
        programs = {processor: read(os.path.join(SAMPLE, "Driver", folder, name))
                    for processor, folder, name in (("x86", "Vista_32", "DPInst32.exe"),
                                                    ("amd64", "Vista_64", "DPInst64.exe"))}
        write_package(cls.base, programs)
        shutil.copyfile(os.path.join(SAMPLE, "Driver", "Vista_64", "DPInst64.exe"),
                        os.path.join(cls.base, "Driver", "Vista_64", DRIVER))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch)

    def test_signature_rows(self):
        os.makedirs(os.path.join(self.scratch, "microsoft"))
        authorities = Authorities(os.path.join(self.scratch, "microsoft"))
        trust = trust_from(authorities.roots, authorities.commercial[0])
        for name, (kind, options), embedded, kinds, expected in SIGNATURE_ROWS:
            with self.subTest(name):
                folder = os.path.join(self.scratch, name, "Driver", "Vista_64")
                shutil.copytree(self.base, os.path.join(self.scratch, name))
                driver = os.path.join(folder, DRIVER)
                if embedded:
                    sign_program(driver, authorities.signer(embedded))
                options = dict(options)
                then, boot = options.pop("then", None), options.pop("boot", False)
                if "nested" in options:
                    options["nested"] = authorities.signer(options["nested"])
                cert, key, chain = authorities.signer(kind)
                members = [os.path.join(folder, member) for member in MEMBERS]
                write_catalog(os.path.join(folder, CATALOG), members, cert, key, chain=chain,
                              **options)
                if then:
                    then(os.path.join(self.scratch, name), (cert, key))
                read_back = Catalog(os.path.join(folder, CATALOG), trust)
                self.assertEqual([s.kind if s.problem is None else None
                                  for s in read_back.signatures], kinds,
                                 [s.problem for s in read_back.signatures])
                covered = not read_back.problems(members)
                found = verdicts("Vista_64", read_back.signatures, covered,
                                 [("ax88772.sys", covered, embedded_signatures(driver, trust),
                                   boot)])
                self.assertEqual(tuple(verdict for verdict, _, _ in found.values()), expected)
                if "os_attr" in options:
                    self.assertEqual(read_back.os_attributes, ["2:6.1", "2:10.0"])

    def test_rows(self):
        for name, make, expected in ROWS:
            with self.subTest(name):
                package = os.path.join(self.scratch, name)
                shutil.copytree(self.base, package)
                make(package, self.signer)
                folder = os.path.join(package, "Driver", "Vista_64")
                problems = catalog_problems(os.path.join(folder, CATALOG),
                                            [os.path.join(folder, member) for member in MEMBERS])
                self.assertEqual(len(problems), len(expected), problems)
                for problem, start in zip(problems, expected):
                    self.assertTrue(problem.startswith(start), problems)
                # osslsigncode finds the driver in the catalog exactly when the check does.
                found = subprocess.run(["osslsigncode", "verify", "-CAfile", self.signer.ca,
                                        "-catalog", os.path.join(folder, CATALOG),
                                        "-in", os.path.join(folder, DRIVER)],
                                       capture_output=True, text=True)
                listed = not any(problem.startswith(("ax88772.sys:", f"{CATALOG}: not a"))
                                 for problem in problems)
                self.assertEqual(found.returncode == 0, listed, found.stdout + found.stderr)


if __name__ == "__main__":
    SAMPLE = sys.argv.pop(1)
    unittest.main(verbosity=2)
