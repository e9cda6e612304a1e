#!/usr/bin/env python3
"""run_from_swap.py EXE: marks a linked exe to run from the page file when started from removable
or network media (no GNU ld switch does), and makes its header checksum again; nothing else."""
import struct
import sys

REMOVABLE_RUN_FROM_SWAP, NET_RUN_FROM_SWAP = 0x0400, 0x0800

with open(sys.argv[1], "r+b") as file:
    exe = bytearray(file.read())
    coff = struct.unpack_from("<I", exe, 0x3C)[0] + 4  # the COFF header, after "PE\0\0"
    flags, checksum = coff + 18, coff + 20 + 64  # the optional header follows the COFF header
    struct.pack_into("<H", exe, flags,
                     struct.unpack_from("<H", exe, flags)[0] | REMOVABLE_RUN_FROM_SWAP |
                     NET_RUN_FROM_SWAP)
    # The image checksum: the file's 16-bit words summed with end-around carry, the checksum
    # field itself taken as 0, plus the file's length.
    struct.pack_into("<I", exe, checksum, 0)
    total = sum(struct.unpack_from("<%dH" % (len(exe) // 2), exe)) + (exe[-1] if len(exe) % 2 else 0)
    while total > 0xFFFF:
        total = (total & 0xFFFF) + (total >> 16)
    struct.pack_into("<I", exe, checksum, total + len(exe))
    file.seek(0)
    file.write(exe)
