#!/usr/bin/python3
"""Checks that Authenticode signing changed nothing of a PE file but what it must.

    compare_signed.py UNSIGNED STRIPPED SIGNED

UNSIGNED is the reproducible build, SIGNED the signed file, STRIPPED the signed file with its
signature removed again. Signing may change exactly two header fields: the PE checksum and
the certificate-table entry of the data directories (where the signature lies, and its
size); it appends the signature after the file, padded to 8 bytes. Both STRIPPED and the
part of SIGNED before the signature must equal UNSIGNED byte for byte apart from those
fields. Prints what it checked; exits 1 on the first difference."""

from __future__ import annotations

import struct
import sys
from pathlib import Path

CERTIFICATE_TABLE = 4  # index in the optional header's data directories


def signing_fields(data: bytes) -> dict[str, tuple[int, int]]:
    """The header fields that signing changes: name -> (offset, length)."""
    header = struct.unpack_from("<I", data, 0x3C)[0]
    if data[header:header + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    optional = header + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + {0x10B: 96, 0x20B: 112}[magic]
    return {"PE checksum": (optional + 64, 4),
            "certificate-table entry": (directories + 8 * CERTIFICATE_TABLE, 8)}


def masked(data: bytes, fields: dict[str, tuple[int, int]]) -> bytes:
    copy = bytearray(data)
    for offset, length in fields.values():
        copy[offset:offset + length] = bytes(length)
    return bytes(copy)


def changed_fields(one: bytes, other: bytes, fields: dict[str, tuple[int, int]]) -> list[str]:
    return [name for name, (offset, length) in fields.items()
            if one[offset:offset + length] != other[offset:offset + length]]


def first_difference(one: bytes, other: bytes) -> int:
    return next((i for i, (a, b) in enumerate(zip(one, other)) if a != b), min(len(one), len(other)))


def main() -> int:
    unsigned, stripped, signed = (Path(name).read_bytes() for name in sys.argv[1:4])
    fields = signing_fields(unsigned)
    print("fields that signing may change: " + ", ".join(
        f"{name} at 0x{offset:x} ({length} bytes)" for name, (offset, length) in fields.items()))

    table, size = struct.unpack_from("<II", signed, fields["certificate-table entry"][0])
    padding = signed[len(unsigned):table]
    if not (len(unsigned) <= table < len(unsigned) + 8 and padding == bytes(len(padding))
            and table + size == len(signed)):
        print(f"FAIL: the signature ({size} bytes at 0x{table:x}) is not appended to the "
              f"{len(unsigned)}-byte program")
        return 1
    before_signature = signed[:len(unsigned)]
    for what, candidate in (("signed file before its signature", before_signature),
                            ("signed file with the signature removed", stripped)):
        if len(candidate) != len(unsigned) or masked(candidate, fields) != masked(unsigned, fields):
            print(f"FAIL: the {what} differs from the unsigned build at byte "
                  f"0x{first_difference(masked(candidate, fields), masked(unsigned, fields)):x} "
                  f"({len(candidate)} against {len(unsigned)} bytes)")
            return 1
        changed = changed_fields(candidate, unsigned, fields) or ["none"]
        print(f"the {what} equals the unsigned build apart from: {', '.join(changed)}")
    print(f"signature: {size} bytes at 0x{table:x}, after {len(padding)} bytes of padding")
    return 0


if __name__ == "__main__":
    sys.exit(main())
