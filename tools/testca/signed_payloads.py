#!/usr/bin/env python3
"""Copies of a Windows program signed (with osslsigncode) in every way the installer signature check must
tell apart, under the tests' certificate authority (testca.py):

    signed_payloads.py --payload EXE --out DIR [--ca CA]

CA defaults to the folder named by PELORA_TEST_CA, the test session's authority, whose root the Wine prefix
trusts. DIR is made anew each time and holds:

    unsigned.exe                          the payload as it is
    by-publisher.exe                      signed by "Pelora Test Publisher" (issued by the trusted root)
    by-someone-else.exe                   signed by "Someone Else" (issued by the trusted root)
    changed-after-signing.exe             by-publisher.exe with one byte of the program changed
    by-untrusted-publisher.exe            signed by a "Pelora Test Publisher" of the untrusted root, which
                                          the signature does not carry
    by-untrusted-publisher-with-root.exe  the same, the untrusted root carried in the signature
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

import testca

# output file, certificate that signs, certificates the signature carries beside it
SIGNED = [
    ("by-publisher.exe", "publisher", []),
    ("by-someone-else.exe", "someone-else", []),
    ("by-untrusted-publisher.exe", "untrusted-publisher", []),
    ("by-untrusted-publisher-with-root.exe", "untrusted-publisher", ["untrusted-root"]),
]


def _sign(ca, work, source, target, signer, carried):
    certificates = os.path.join(work, target + ".certs.pem")
    with open(certificates, "w") as out:
        for name in [signer] + carried:
            with open(os.path.join(ca, name + ".pem")) as f:
                out.write(f.read())
    subprocess.run(["osslsigncode", "sign", "-certs", certificates, "-key", os.path.join(ca, signer + ".key"),
                    "-h", "sha256", "-n", "Pelora test installer", "-in", source,
                    "-out", os.path.join(work, target)],
                   check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    os.remove(certificates)


def _changed_copy(source, target, offset):
    """The signed file with the byte at offset (inside the program, before the signature) inverted."""
    with open(source, "rb") as f:
        data = bytearray(f.read())
    data[offset] ^= 0xFF
    with open(target, "wb") as f:
        f.write(data)


def make(ca, payload, directory):
    parent = os.path.dirname(directory)
    os.makedirs(parent, exist_ok=True)
    work = tempfile.mkdtemp(prefix=".signed-", dir=parent)
    try:
        unsigned = os.path.join(work, "unsigned.exe")
        shutil.copyfile(payload, unsigned)
        for target, signer, carried in SIGNED:
            _sign(ca, work, unsigned, target, signer, carried)
        _changed_copy(os.path.join(work, "by-publisher.exe"), os.path.join(work, "changed-after-signing.exe"),
                      os.path.getsize(unsigned) // 2)
        shutil.rmtree(directory, ignore_errors=True)
        os.replace(work, directory)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    ap.add_argument("--payload", required=True, help="the Windows program to sign")
    ap.add_argument("--out", required=True, help="folder for the signed copies (made anew)")
    ap.add_argument("--ca", default=os.environ.get("PELORA_TEST_CA"),
                    help="folder of the tests' certificate authority (default: $PELORA_TEST_CA)")
    args = ap.parse_args()
    if not args.ca:
        print("signed_payloads.py: no certificate authority: PELORA_TEST_CA is not set. Run the tests through "
              "scripts/test, whose Wine session makes the authority and trusts its root, or give --ca",
              file=sys.stderr)
        return 1
    return testca.run_reporting(
        "signed_payloads.py", lambda: make(os.path.realpath(args.ca), args.payload, os.path.realpath(args.out)))


if __name__ == "__main__":
    sys.exit(main())
