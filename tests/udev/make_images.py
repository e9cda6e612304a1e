#!/usr/bin/env python3
"""make_images.py IMAGES_TXT TEMPLATE OUT_DIR: makes the images with their own tools, reads each
as udev would (blkid -p -o udev) onto USB stick sdb and writes a machines.txt with the report of
each image's boot sector."""
import os
from pathlib import Path
import struct
import subprocess
import sys

images_txt, template_file, out = sys.argv[1:]
os.environ["PATH"] += ":/usr/sbin:/sbin"
# Where the serial is in the boot sector and, for FAT, the byte that says it is there.
SERIAL_AT = {"FAT12": (0x27, 0x26), "FAT16": (0x27, 0x26), "FAT32": (0x43, 0x42),
             "exFAT": (0x64, None), "NTFS": (0x48, None)}


def windows_serial(image, kind):
    """The serial in signed decimal as Windows shows it, or None where it shows no drive."""
    if kind not in SERIAL_AT:
        return None
    sector = Path(image).read_bytes()[:512]
    offset, signature = SERIAL_AT[kind]
    if signature and sector[signature] not in (0x28, 0x29):
        return "0"
    return str(struct.unpack_from("<i", sector, offset)[0])


template = Path(template_file).read_text()
lines = Path(images_txt).read_text().splitlines()
images = [line.split(maxsplit=4) for line in lines if line.strip() and not line.startswith("#")]
machines = []
for name, kind, layout, size, commands in images:
    image = os.path.join(out, name + ".img")
    commands = f"truncate -s {size} {image} && " + commands.replace("{image}", image)
    subprocess.run(commands, shell=True, stdout=subprocess.DEVNULL, check=True)
    blkid = subprocess.run(["blkid", "-p", "-o", "udev", image], capture_output=True, text=True)
    properties = "".join(f"E: {line}\n" for line in blkid.stdout.splitlines())
    sectors = os.path.getsize(image) // 512
    record = template.format(sectors=sectors, disk_sectors=sectors + 2048, properties=properties,
                             disk_properties=properties if layout == "whole" else "")
    if layout == "whole":
        record = record.split("\n\n", 1)[1]  # the disk without its partition
    Path(out, name + ".umockdev").write_text(record)
    serial = windows_serial(image, kind)
    line = f"sdb{'' if layout == 'whole' else '1'}:{serial}" if serial else "notice"
    machines.append(f"machine {name}\nplug {name}\nclick {line}\n")
Path(out, "machines.txt").write_text("\n".join(machines))
