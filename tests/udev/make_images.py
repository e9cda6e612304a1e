#!/usr/bin/env python3
"""Makes the images of images.txt with the file systems' own tools, reads each as udev would
(blkid -p -o udev), puts each on USB stick sdb as a umockdev record and writes a machine for
each in the form of machines.txt, whose report comes from the image's boot sector. Exits with
77 when a tool is missing. Usage: make_images.py IMAGES_TXT TEMPLATE OUT_DIR"""
import os
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
    with open(image, "rb") as f:
        sector = f.read(512)
    offset, signature = SERIAL_AT[kind]
    if signature and sector[signature] not in (0x28, 0x29):
        return "0"
    return str(struct.unpack_from("<i", sector, offset)[0])


with open(template_file) as f:
    template = f.read()
with open(images_txt) as f:
    images = [line.split(maxsplit=4) for line in f if line.strip() and not line.startswith("#")]
machines = []
for name, kind, layout, size, commands in images:
    image = os.path.join(out, name + ".img")
    commands = f"truncate -s {size} {image} && " + commands.replace("{image}", image)
    made = subprocess.run(commands, shell=True, capture_output=True, text=True)
    if made.returncode == 127:
        print(made.stderr, file=sys.stderr)
        sys.exit(77)
    made.check_returncode()
    blkid = subprocess.run(["blkid", "-p", "-o", "udev", image], capture_output=True, text=True)
    properties = "".join(f"E: {line}\n" for line in blkid.stdout.splitlines())
    sectors = os.path.getsize(image) // 512
    record = template.format(sectors=sectors, disk_sectors=sectors + 2048, properties=properties,
                             disk_properties=properties if layout == "whole" else "")
    with open(os.path.join(out, name + ".umockdev"), "w") as f:
        f.write(record.split("\n\n", 1)[1] if layout == "whole" else record)
    serial = windows_serial(image, kind)
    line = f"sdb{'' if layout == 'whole' else '1'}:{serial}" if serial else "notice"
    machines.append(f"machine {name}\nplug {name}\nclick {line}\n")
with open(os.path.join(out, "machines.txt"), "w") as f:
    f.write("\n".join(machines))
