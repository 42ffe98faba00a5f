#!/usr/bin/env python3
"""A private certificate authority for the tests: TLS server certificates for the local test servers and
code-signing certificates for signed stand-in installers. Never committed; made into a build folder.

    testca.py --dir DIR        makes DIR/*.pem (and root.der) unless the whole set is already there

What DIR holds (each NAME has NAME.pem, the certificate, and NAME.key, its unencrypted key):

    root                "Pelora Test Root", the authority the test Wine prefix trusts; also root.der,
                        root.sha1 (its thumbprint) and root.reg (its entry in the machine's Root store)
    server              issued by root for IP 127.0.0.1 and DNS localhost (TLS server)
    otherhost           issued by root for DNS other.example only (TLS server)
    selfsigned          self-signed for IP 127.0.0.1 and DNS localhost (TLS server)
    publisher           issued by root, CN "Pelora Test Publisher" (code signing)
    someone-else        issued by root, CN "Someone Else" (code signing)
    untrusted-root      "Pelora Untrusted Root", trusted nowhere
    untrusted-publisher issued by untrusted-root, CN "Pelora Test Publisher" (code signing): the expected
                        name under an authority nobody trusts

The set is made whole or not at all: a half-made folder (an interrupted run) is made anew, so a
certificate never outlives the authority that issued it.
"""

import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile

DAYS = "3650"
TLS_SERVER = "extendedKeyUsage=serverAuth"
CODE_SIGNING = "extendedKeyUsage=codeSigning"
# Wine 8's SSL policy compares a host name with the DNS entries of the alternative names only (measured: an
# IP entry never matches "127.0.0.1"), so the address is written as a DNS entry as well; Windows matches
# either.
LOCAL_NAMES = "subjectAltName=IP:127.0.0.1,DNS:localhost,DNS:127.0.0.1"

# name, subject, issuer (None: self-signed authority, "self": self-signed leaf), extensions
CERTIFICATES = [
    ("root", "/CN=Pelora Test Root/O=Pelora Tests", None, []),
    ("server", "/CN=127.0.0.1", "root", [TLS_SERVER, LOCAL_NAMES]),
    ("otherhost", "/CN=other.example", "root", [TLS_SERVER, "subjectAltName=DNS:other.example"]),
    ("selfsigned", "/CN=127.0.0.1", "self", [TLS_SERVER, LOCAL_NAMES]),
    ("publisher", "/CN=Pelora Test Publisher/O=Pelora Tests", "root", [CODE_SIGNING]),
    ("someone-else", "/CN=Someone Else/O=Elsewhere", "root", [CODE_SIGNING]),
    ("untrusted-root", "/CN=Pelora Untrusted Root/O=Nobody", None, []),
    ("untrusted-publisher", "/CN=Pelora Test Publisher/O=Pelora Tests", "untrusted-root", [CODE_SIGNING]),
]
AUTHORITY = ["basicConstraints=critical,CA:TRUE", "keyUsage=critical,keyCertSign,cRLSign"]
LEAF = ["basicConstraints=critical,CA:FALSE", "keyUsage=critical,digitalSignature,keyEncipherment"]


def _openssl(*args):
    subprocess.run(["openssl"] + list(args), check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def _extension_file(folder, name, extensions):
    path = os.path.join(folder, name + ".ext")
    with open(path, "w") as f:
        f.write("\n".join(extensions + ["subjectKeyIdentifier=hash"]) + "\n")
    return path


def _make(folder, name, subject, issuer, extensions):
    key, cert = os.path.join(folder, name + ".key"), os.path.join(folder, name + ".pem")
    _openssl("genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", key)
    if issuer is None or issuer == "self":
        ext = _extension_file(folder, name, (AUTHORITY if issuer is None else LEAF) + extensions)
        _openssl("req", "-x509", "-new", "-key", key, "-subj", subject, "-days", DAYS, "-sha256",
                 "-extensions", "v3", "-config", _req_config(folder, ext), "-out", cert)
        return
    request = os.path.join(folder, name + ".csr")
    _openssl("req", "-new", "-key", key, "-subj", subject, "-out", request)
    ext = _extension_file(folder, name, LEAF + extensions + ["authorityKeyIdentifier=keyid"])
    _openssl("x509", "-req", "-in", request, "-CA", os.path.join(folder, issuer + ".pem"),
             "-CAkey", os.path.join(folder, issuer + ".key"), "-set_serial", str(_serial()),
             "-days", DAYS, "-sha256", "-extfile", ext, "-out", cert)


def _req_config(folder, extension_file):
    """openssl req takes self-signed extensions from a config section only."""
    path = extension_file + ".cnf"
    with open(extension_file) as f:
        body = f.read()
    with open(path, "w") as f:
        f.write("[req]\ndistinguished_name=dn\n[dn]\n[v3]\n" + body)
    return path


def _serial():
    return int.from_bytes(os.urandom(8), "big")


# Where Windows keeps the machine's trusted roots. 32-bit programs see the same key: Wine's prefix links
# Wow6432Node\Microsoft\SystemCertificates to it, as Windows shares it between the views.
ROOT_STORE_KEY = r"HKEY_LOCAL_MACHINE\Software\Microsoft\SystemCertificates\Root\Certificates"
CERT_SHA1_HASH_PROP_ID = 3
CERT_CERT_PROP_ID = 32


def _store_element(prop_id, data):
    """One property of a certificate serialized as crypt32 keeps it: id, 1, length, bytes (little-endian)."""
    return prop_id.to_bytes(4, "little") + (1).to_bytes(4, "little") + len(data).to_bytes(4, "little") + data


def _write_root_entry(folder):
    """root.sha1 and root.reg: the value crypt32 itself writes when the root is added to the machine's Root
    store (a key named by the SHA-1 thumbprint holding "Blob": the thumbprint and the encoded certificate)."""
    with open(os.path.join(folder, "root.der"), "rb") as f:
        der = f.read()
    thumbprint = hashlib.sha1(der).digest()
    blob = _store_element(CERT_SHA1_HASH_PROP_ID, thumbprint) + _store_element(CERT_CERT_PROP_ID, der)
    name = thumbprint.hex().upper()
    value = ",".join("%02x" % b for b in blob)
    with open(os.path.join(folder, "root.sha1"), "w") as f:
        f.write(name + "\n")
    with open(os.path.join(folder, "root.reg"), "w", newline="\r\n") as f:
        f.write("Windows Registry Editor Version 5.00\n\n[%s\\%s]\n\"Blob\"=hex:%s\n" % (ROOT_STORE_KEY, name, value))


def _complete(directory):
    return all(os.path.exists(os.path.join(directory, "root" + suffix)) for suffix in (".der", ".sha1", ".reg")) and all(
        os.path.exists(os.path.join(directory, name + suffix))
        for name, _, _, _ in CERTIFICATES for suffix in (".pem", ".key"))


def make(directory):
    if _complete(directory):
        return
    parent = os.path.dirname(directory)
    os.makedirs(parent, exist_ok=True)
    work = tempfile.mkdtemp(prefix=".testca-", dir=parent)
    try:
        for name, subject, issuer, extensions in CERTIFICATES:
            _make(work, name, subject, issuer, extensions)
        _openssl("x509", "-in", os.path.join(work, "root.pem"), "-outform", "DER",
                 "-out", os.path.join(work, "root.der"))
        _write_root_entry(work)
        for leftover in os.listdir(work):
            if leftover.endswith((".ext", ".cnf", ".csr")):
                os.remove(os.path.join(work, leftover))
        shutil.rmtree(directory, ignore_errors=True)
        os.replace(work, directory)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def run_reporting(program, work):
    """Runs work(); 0, or 1 after one line on stderr naming what failed (with openssl's own words)."""
    try:
        work()
    except (OSError, subprocess.CalledProcessError) as e:
        detail = getattr(e, "stderr", None)
        print("%s: %s%s" % (program, e, ("\n" + detail.decode(errors="replace")) if detail else ""),
              file=sys.stderr)
        return 1
    return 0


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    ap.add_argument("--dir", required=True, help="folder for the authority's files (created if needed)")
    args = ap.parse_args()
    return run_reporting("testca.py", lambda: make(os.path.realpath(args.dir)))


if __name__ == "__main__":
    sys.exit(main())
