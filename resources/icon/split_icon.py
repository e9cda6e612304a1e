#!/usr/bin/env python3
"""Splits an icon file into the exe's icon resources, numbered as windres cannot number them.

Usage: split_icon.py ICON_FILE OUT_DIR
Writes OUT_DIR/icon-group.bin, the file's directory with each entry's 4-byte file offset
replaced by the 2-byte identifier of its image, and OUT_DIR/icon-30001.bin onwards, the images.
"""
from pathlib import Path
import struct
import sys

icon, out = Path(sys.argv[1]).read_bytes(), Path(sys.argv[2])
group = icon[:6]
for i in range(struct.unpack_from("<H", icon, 4)[0]):
    entry, image_id = icon[6 + 16 * i:22 + 16 * i], 30001 + i
    length, offset = struct.unpack_from("<II", entry, 8)
    group += entry[:12] + struct.pack("<H", image_id)
    (out / ("icon-%d.bin" % image_id)).write_bytes(icon[offset:offset + length])
(out / "icon-group.bin").write_bytes(group)
