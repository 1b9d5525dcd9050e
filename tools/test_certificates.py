#!/usr/bin/env python3
"""Writes a throw-away CA and the server certificates the TLS tests pick from.

    test_certificates.py --out DIR [--host localhost]

DIR gets ca.pem (the CA the test build trusts) and, each as NAME.pem and NAME.key:
  good       for the host, signed by the CA, valid now
  expired    for the host, signed by the CA, expired yesterday
  wronghost  for another host name, signed by the CA
  otherca    for the host, signed by a second CA that nobody trusts
None carries a CRL or OCSP address: revocation is checked best-effort and must not wait on one.
Each run makes new ones (the programs read the CA file when they connect).
"""

import argparse
import datetime
import os
import sys

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

def _name(common_name):
    return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, common_name)])


def _authority(common_name, now):
    key = ec.generate_private_key(ec.SECP256R1())
    certificate = (
        x509.CertificateBuilder()
        .subject_name(_name(common_name))
        .issuer_name(_name(common_name))
        .public_key(key.public_key())
        .serial_number(x509.random_serial_number())
        .not_valid_before(now - datetime.timedelta(days=1))
        .not_valid_after(now + datetime.timedelta(days=3650))
        .add_extension(x509.BasicConstraints(ca=True, path_length=0), critical=True)
        .add_extension(x509.KeyUsage(False, False, False, False, False, True, True, False, False), critical=True)
        .add_extension(x509.SubjectKeyIdentifier.from_public_key(key.public_key()), critical=False)
        .sign(key, hashes.SHA256())
    )
    return key, certificate


def _server(host, issuer_key, issuer, not_before, not_after):
    key = ec.generate_private_key(ec.SECP256R1())
    certificate = (
        x509.CertificateBuilder()
        .subject_name(_name(host))
        .issuer_name(issuer.subject)
        .public_key(key.public_key())
        .serial_number(x509.random_serial_number())
        .not_valid_before(not_before)
        .not_valid_after(not_after)
        .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=True)
        .add_extension(x509.SubjectAlternativeName([x509.DNSName(host)]), critical=False)
        .add_extension(x509.ExtendedKeyUsage([ExtendedKeyUsageOID.SERVER_AUTH]), critical=False)
        .add_extension(
            x509.AuthorityKeyIdentifier.from_issuer_public_key(issuer_key.public_key()), critical=False)
        .sign(issuer_key, hashes.SHA256())
    )
    return key, certificate


def _write(path, data):
    temporary = path + ".new"
    with open(temporary, "wb") as out:
        out.write(data)
    os.replace(temporary, path)


def _pem(certificate):
    return certificate.public_bytes(serialization.Encoding.PEM)


def _key_pem(key):
    return key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                             serialization.NoEncryption())


def make(out, host):
    now = datetime.datetime.now(datetime.timezone.utc)
    ca_key, ca = _authority("Kestrova test CA", now)
    other_key, other = _authority("Kestrova untrusted CA", now)
    year = datetime.timedelta(days=365)
    plans = {
        "good": (host, ca_key, ca, now - datetime.timedelta(days=1), now + year),
        "expired": (host, ca_key, ca, now - year, now - datetime.timedelta(days=1)),
        "wronghost": ("wrong-" + host, ca_key, ca, now - datetime.timedelta(days=1), now + year),
        "otherca": (host, other_key, other, now - datetime.timedelta(days=1), now + year),
    }
    for name, (subject, issuer_key, issuer, not_before, not_after) in plans.items():
        key, certificate = _server(subject, issuer_key, issuer, not_before, not_after)
        _write(os.path.join(out, name + ".key"), _key_pem(key))
        _write(os.path.join(out, name + ".pem"), _pem(certificate))
    _write(os.path.join(out, "ca.pem"), _pem(ca))


def main(argv=None):
    parser = argparse.ArgumentParser(description="Throw-away CA and server certificates for TLS tests.")
    parser.add_argument("--out", required=True)
    parser.add_argument("--host", default="localhost")
    args = parser.parse_args(argv)
    os.makedirs(args.out, exist_ok=True)
    make(args.out, args.host)
    return 0


if __name__ == "__main__":
    sys.exit(main())
