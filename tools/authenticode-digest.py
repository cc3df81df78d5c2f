#!/usr/bin/env python3
"""Prints the Authenticode SHA-256 digest of a Windows executable: the digest that a
code signature covers. It leaves out the PE checksum, the certificate table entry and
the certificate table itself, so a signed file and the unsigned build it was made
from give the same value.
    authenticode-digest.py FILE..."""
import hashlib
import struct
import sys


def digest(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"MZ":
        raise ValueError("not a Windows executable")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE header")
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + {0x10B: 96, 0x20B: 112}[magic]
    checksum = optional + 64
    security = directories + 4 * 8
    table, size = struct.unpack_from("<II", data, security)
    end = table if table and size else len(data)
    if not checksum < security < end <= len(data):
        raise ValueError("odd PE layout")
    h = hashlib.sha256()
    h.update(data[:checksum])
    h.update(data[checksum + 4:security])
    h.update(data[security + 8:end])
    if end == len(data) and end % 8:
        # Signing pads an unsigned file to 8 bytes first; the padding is covered too.
        h.update(bytes(8 - end % 8))
    return h.hexdigest()


status = 0
for name in sys.argv[1:]:
    try:
        print(f"{digest(name)}  {name}")
    except (OSError, ValueError, KeyError, struct.error) as error:
        print(f"authenticode-digest: {name}: {error}", file=sys.stderr)
        status = 1
sys.exit(status)
