"""Which Windows each driver folder serves, and what each of them does with a driver package:
installs it, asks an administrator to trust its publisher, warns that it is unsigned or altered,
or fails (does not install it, or does not load its kernel driver: code 52).

The rules are one table (RULES), each with the Microsoft page it comes from, and "not confirmed"
where no page we read says it. `10` and `11` are as a new PC has them: version 1607 or later,
Secure Boot on; `8` and `8.1` too with Secure Boot on, as PCs made for them ship."""
import datetime

from signatures import (ATTESTATION, CROSS_SIGNED, CROSS_SIGNING, MICROSOFT_SIGNING, SELF_SIGNED,
                        WHQL)

INSTALLS, ASKS, WARNS, FAILS = "installs", "asks", "warns", "fails"
ORDER = (INSTALLS, ASKS, WARNS, FAILS)
DOCS = "https://learn.microsoft.com/en-us/windows-hardware/drivers/"
SIGNATURE_CATEGORIES = DOCS + "install/signature-categories-and-driver-installation"
KERNEL_MODE_SIGNING = (DOCS + "install/kernel-mode-code-signing-requirements--windows-vista-and-"
                       "later-")
SIGNING_POLICY = DOCS + "install/kernel-mode-code-signing-policy--windows-vista-and-later-"
ATTESTATION_PAGE = DOCS + "dashboard/code-signing-reqs"
SHA2_SUPPORT = "https://support.microsoft.com/help/4472027"
SIGNING_ISSUES = DOCS + "install/appendix-4--driver-signing-issues"
SIGNTOOL = DOCS + "devtest/signtool"
OSATTR = DOCS + "install/creating-a-catalog-file-for-a-non-pnp-driver-package"
AUTHENTICODE_PE = ("https://download.microsoft.com/download/9/c/5/9c5b2167-8017-4bae-9fde-"
                   "d599bac8184a/Authenticode_PE.docx")
LIFETIME_FLAG = ("https://learn.microsoft.com/en-us/windows/win32/api/wintrust/"
                 "ns-wintrust-wintrust_data")
CROSS_DEPRECATION = (DOCS + "install/deprecation-of-software-publisher-certificates-and-"
                     "commercial-release-certificates")


class Windows:
    def __init__(self, name, version, secure_boot_1607=False, secure_boot=False):
        self.name, self.version = name, version
        # 1607 or later with Secure Boot on, as a new PC has it; Secure Boot on at all.
        self.secure_boot_1607, self.secure_boot = secure_boot_1607, secure_boot or secure_boot_1607


WINDOWS = {windows.name: windows for windows in (
    Windows("2000", (5, 0)), Windows("XP", (5, 1)), Windows("Server 2003", (5, 2)),
    Windows("XP x64", (5, 2)), Windows("Vista", (6, 0)), Windows("7", (6, 1)),
    Windows("8", (6, 2), secure_boot=True), Windows("8.1", (6, 3), secure_boot=True),
    Windows("10", (10, 0), secure_boot_1607=True), Windows("11", (10, 0), secure_boot_1607=True))}
SERVES = {
    "Win2000_WinXP": ("2000", "XP", "Server 2003"),
    "WinXP_64": ("XP x64",),
    "Vista_32": ("Vista", "7", "8", "8.1", "10"),
    "Vista_64": ("Vista", "7", "8", "8.1", "10", "11"),
}
SIXTY_FOUR_BIT = ("WinXP_64", "Vista_64")
CROSS_SIGNED_UNTIL = datetime.datetime(2015, 7, 29, tzinfo=datetime.timezone.utc)

# rule: (what Windows does, the page that says it). The code below names each rule it applies.
RULES = {
    "microsoft": ("Vista and later install a package signed by a Windows signing authority "
                  "(WHQL) without a question", SIGNATURE_CATEGORIES),
    "publisher": ("Vista and later ask an administrator whether to trust a publisher of "
                  "unknown trust (a commercial code-signing certificate)", SIGNATURE_CATEGORIES),
    "invalid": ("Vista and later warn of a package that is unsigned, altered or signed by a "
                "certificate no trusted authority issued; an administrator can go on",
                SIGNATURE_CATEGORIES),
    "logo": ("2000, XP, Server 2003 and XP x64 count only WHQL signatures and warn of anything "
             "else, which an administrator can pass: not confirmed, the pages we read cover "
             "Vista and later", SIGNATURE_CATEGORIES),
    "attestation": ("an attestation signature works only on Windows 10 and later; 7, 8 and 8.1 "
                    "do not accept it", ATTESTATION_PAGE),
    "kernel-64": ("64-bit Vista and later load a kernel driver only with a WHQL signature or a "
                  "cross-signed (SPC) one, in its catalog or embedded", KERNEL_MODE_SIGNING),
    "boot-start": ("64-bit Vista and later load a boot-start driver (StartType 0) only with a "
                   "signature embedded in it; its catalog's does not count",
                   KERNEL_MODE_SIGNING),
    "kernel-secure-boot": ("8, 8.1 and 10 with Secure Boot on need the kernel signature on "
                           "32-bit too, from a root Code Integrity trusts (which ones before "
                           "1607 is not confirmed: a commercial signature counts here)",
                           SIGNING_POLICY),
    "kernel-1607": ("10 version 1607 and later with Secure Boot on load only kernel drivers "
                    "signed by Microsoft (WHQL or attestation), or cross-signed with an "
                    "end-entity certificate issued before 29 July 2015", SIGNING_POLICY),
    "time-stamp": ("a signature whose certificate has expired keeps working only when it was "
                   "time-stamped while the certificate was valid", CROSS_DEPRECATION),
    # The dates, as the installer (WinVerifyTrust) and kernel code integrity each read them.
    "installer-dates": ("the installer counts a signature only while its certificate is valid, "
                        "or when a time stamp shows it was made while the certificate was valid; "
                        "kernel code integrity does not check the certificate's dates (not "
                        "confirmed by Microsoft: no page we read says either way), so such a "
                        "driver still loads where its kind of signature does",
                        AUTHENTICODE_PE + " " + CROSS_DEPRECATION),
    "lifetime-signing": ("a certificate with the lifetime signing usage (1.3.6.1.4.1.311.10.3.13) "
                         "makes the installer count the signature only while the certificate is "
                         "valid, time stamp or not; what the kernel does with it is not "
                         "confirmed: taken as loading", AUTHENTICODE_PE + " " + LIFETIME_FLAG),
    "cross-certificate-expired": ("a kernel driver signed after the cross-certificate of its "
                                  "authority expired does not load, run or install",
                                  CROSS_DEPRECATION),
    "nested": ("nested signatures are read by Windows 8 and later (signtool /ms); not "
               "confirmed for Vista and 7, where only the primary counts here", SIGNTOOL),
    "sha2-7": ("7 needs its SHA-2 code signing update for SHA-256 signatures (without it, "
               "code 52); taken as installed, as every 7 updated since 2019 has it",
               SHA2_SUPPORT + " " + SIGNING_ISSUES),
    "sha2-vista": ("Vista and SHA-256 signatures: not confirmed, no Microsoft page says; not "
                   "judged", SIGNING_ISSUES),
    "osattr": ("OSAttr names the Windows versions whose signing requirements the package "
               "meets; what Windows does when it lacks the running one is not confirmed; shown, "
               "not judged", OSATTR),
}


def counts(signature, windows, kernel=False):
    """Whether the installer, or the kernel, reads the signature at all (the date rules, in the
    signature's own check, and nested)."""
    problem = signature.kernel_problem if kernel else signature.problem
    return problem is None and (not signature.nested or windows.version >= (6, 2))


def kernel_accepts(signature, windows):
    """Whether the kernel of 64-bit (or Secure Boot) Windows loads a driver so signed."""
    if not counts(signature, windows, kernel=True):
        return False
    if signature.kind == WHQL:
        return True
    if signature.kind == ATTESTATION:
        return windows.version >= (10, 0)
    if signature.kind == CROSS_SIGNED:
        return not windows.secure_boot_1607 or signature.issued < CROSS_SIGNED_UNTIL
    return False


def installer_verdict(signatures, windows):
    """What the installer does with a catalog that covers the package, signed so."""
    if windows.version < (6, 0):
        return INSTALLS if any(counts(s, windows) and s.kind == WHQL for s in signatures) \
            else WARNS
    found = [WARNS]
    for signature in (s for s in signatures if counts(s, windows)):
        if signature.kind == WHQL or (signature.kind == ATTESTATION and windows.version >= (10, 0)):
            found.append(INSTALLS)
        elif signature.kind == CROSS_SIGNED or (
                signature.kind not in (SELF_SIGNED, ATTESTATION) and
                signature.end in ("authority", MICROSOFT_SIGNING, CROSS_SIGNING)):
            found.append(ASKS)
    return min(found, key=ORDER.index)


def enforces_kernel_signing(folder, windows):
    if windows.version < (6, 0):
        return False
    return folder in SIXTY_FOUR_BIT or windows.secure_boot


def failure_rule(signatures, folder, windows):
    """The rule by which the kernel refuses a driver carrying `signatures`."""
    dated = [s.date_rule for s in signatures if s.kernel_problem and s.date_rule and
             s.kind in (WHQL, ATTESTATION, CROSS_SIGNED)]
    if dated:
        return dated[0]
    if any(s.kind == ATTESTATION and s.kernel_problem is None for s in signatures):
        return "attestation"
    if windows.secure_boot_1607 and any(s.kind == CROSS_SIGNED and s.kernel_problem is None
                                        for s in signatures):
        return "kernel-1607"
    if any(s.nested and s.kernel_problem is None and kernel_accepts(s, WINDOWS["10"])
           for s in signatures):
        return "nested"
    return "kernel-64" if folder in SIXTY_FOUR_BIT else "kernel-secure-boot"


def kernel_failure(kernel_files, catalog_signatures, folder, windows):
    """(the kernel file that does not load, the rule) or None. `kernel_files`: (name, whether
    the catalog covers it, its embedded signatures, whether it starts at boot)."""
    if not enforces_kernel_signing(folder, windows):
        return None
    for name, covered, embedded, boot in kernel_files:
        boot_64 = boot and folder in SIXTY_FOUR_BIT
        signatures = (catalog_signatures if covered and not boot_64 else []) + embedded
        accepted = [s for s in signatures if kernel_accepts(s, windows)]
        if folder not in SIXTY_FOUR_BIT and not windows.secure_boot_1607:
            # Rule kernel-secure-boot: 32-bit 8 and 8.1 trust "standard roots".
            accepted += [s for s in signatures if counts(s, windows, kernel=True) and
                         s.kind not in (SELF_SIGNED, ATTESTATION)]
        if not accepted:
            return name, "boot-start" if boot_64 else failure_rule(signatures, folder, windows)
    return None


def installer_rule(verdict, signatures, windows):
    if windows.version < (6, 0):
        return "microsoft" if verdict == INSTALLS else "logo"
    if verdict == WARNS and any(s.kind == ATTESTATION and s.problem is None for s in signatures):
        return "attestation"
    dated = [s.date_rule for s in signatures if s.problem and s.date_rule and
             s.kind != SELF_SIGNED]
    if verdict == WARNS and dated:
        return dated[0]
    return {INSTALLS: "microsoft", ASKS: "publisher", WARNS: "invalid"}[verdict]


def verdicts(folder, catalog_signatures, covered, kernel_files):
    """Windows name to (verdict, what the user meets, the rule) for every Windows the folder
    serves. `covered`: whether a catalog lists the INF and its files as they are."""
    result = {}
    for name in SERVES[folder]:
        windows = WINDOWS[name]
        failing = kernel_failure(kernel_files, catalog_signatures, folder, windows)
        if failing:
            result[name] = (FAILS, f"its kernel driver {failing[0]} does not load, code 52",
                            failing[1])
            continue
        signatures = catalog_signatures if covered else []
        verdict = installer_verdict(signatures, windows)
        result[name] = (verdict, SEEN[verdict], installer_rule(verdict, signatures, windows))
    return result


SEEN = {
    INSTALLS: "installs without a question",
    ASKS: "Windows Security asks an administrator whether to trust the publisher",
    WARNS: "Windows warns that the driver is unsigned, altered or its publisher cannot be "
           "verified, and an administrator can go on",
}
