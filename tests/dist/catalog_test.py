#!/usr/bin/python3
"""Usage: catalog_test.py SAMPLE_MEDIUM

Reading a catalog (medium/catalog.py) in the Vista_64 folder of the vendor-shaped package,
whose driver is a real PE file here (the sample's DPInst64.exe) and whose co-installer is not
one, on catalogs that catalog_maker writes with openssl, good ones and each way one goes wrong.
osslsigncode, reading the same catalogs, must agree about the driver."""
import os
import random
import shutil
import subprocess
import sys
import tempfile
import unittest

from catalog_maker import write_catalog
from driver_package import CO_INSTALLER, edit_inf, write_package
from medium_test import Signer, read

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "medium"))
from catalog import catalog_problems  # noqa: E402

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


# name, how the catalog is made, the authority it is checked against (own, other or none), the
# start of each problem reported, in order.
ROWS = [
    ("Good", catalog(*MEMBERS), None, []),
    ("Sha256List", catalog(*MEMBERS, algorithm="sha256"), None, []),
    ("CmsForm", catalog(*MEMBERS, form="cms"), None, []),
    ("RandomBytes", random_bytes, None, [f"{CATALOG}: not a signed catalog: not PKCS#7"]),
    ("SignedInfNoList", signed_inf(), None,
     [f"{CATALOG}: not a signed catalog: its content is 1.2.840.113549.1.7.1, not a "
      "certificate trust list (1.3.6.1.4.1.311.10.1)"]),
    ("SignedInfAsList", signed_inf("-econtent_type", "1.3.6.1.4.1.311.10.1"), None,
     [f"{CATALOG}: not a signed catalog: its certificate trust list cannot be read"]),
    ("MadeBeforeInfEdited", inf_edited_after(catalog(*MEMBERS)), None,
     [f"Ax88772.inf: listed in {CATALOG} {STALE}"]),
    ("DriverMissing", catalog("Ax88772.inf", f"amd64/wdf/{CO_INSTALLER}"), None,
     [f"ax88772.sys: not listed in {CATALOG}"]),
    ("ForeignCatalog", catalog("Ax88772.inf", "x86/ax88772.sys", folder="Vista_32"), None,
     [f"Ax88772.inf: listed in {CATALOG} {STALE}", f"ax88772.sys: listed in {CATALOG} {STALE}",
      f"{CO_INSTALLER}: not listed in {CATALOG}"]),
    ("OwnAuthority", catalog(*MEMBERS), "own", []),
    ("OtherAuthority", catalog(*MEMBERS), "other",
     [f"{CATALOG}: its signature does not verify against ca.pem: unable to get local issuer "
      "certificate"]),
]


class CatalogCoverage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="qb7-catalog-")
        authorities = {}
        for name in ("own", "other"):
            os.makedirs(os.path.join(cls.scratch, name))
            authorities[name] = Signer(os.path.join(cls.scratch, name))
        cls.signer, cls.authorities = authorities["own"], authorities
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

    def test_rows(self):
        for name, make, authority, expected in ROWS:
            with self.subTest(name):
                package = os.path.join(self.scratch, name)
                shutil.copytree(self.base, package)
                make(package, self.signer)
                folder = os.path.join(package, "Driver", "Vista_64")
                cafile = self.authorities[authority].ca if authority else None
                problems = catalog_problems(os.path.join(folder, CATALOG),
                                            [os.path.join(folder, member) for member in MEMBERS],
                                            cafile)
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
