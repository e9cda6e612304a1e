#!/usr/bin/env python3
"""make_images.py IMAGES_TXT TEMPLATE OUT_DIR: makes the images with their own tools, reads each
as udev would onto USB stick sdb, writes a machines.txt with the report Windows shows for each."""
import os
from pathlib import Path
import struct
import subprocess
import sys

images_txt, template_file, out = sys.argv[1:]
os.environ["PATH"] += ":/usr/sbin:/sbin"
# Where Windows reads the serial in the boot sector, whatever the extended boot signature says.
SERIAL_AT = {"FAT12": 0x27, "FAT16": 0x27, "FAT32": 0x43, "exFAT": 0x64, "NTFS": 0x48}

template = Path(template_file).read_text()
lines = Path(images_txt).read_text().splitlines()
rows = [line.split(maxsplit=4) for line in lines if line.strip() and not line.startswith("#")]
deviations = {row[1]: row[2] for row in rows if row[0] == "deviation"}
machines = []
for name, kind, layout, size, commands in (row for row in rows if row[0] != "deviation"):
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
    at = SERIAL_AT.get(kind)  # None: Windows shows no drive
    serial = at and struct.unpack_from("<i", Path(image).read_bytes(), at)[0]
    if name in deviations:
        print(f"known deviation: {name}: Windows shows {serial}, Tavrin {deviations[name]}")
        assert str(serial) != deviations[name], f"{name} is no deviation: drop it from images.txt"
        serial = deviations[name]
    line = f"sdb{'' if layout == 'whole' else '1'}:{serial}" if serial is not None else "notice"
    machines.append(f"machine {name}\nplug {name}\nclick {line}\n")
Path(out, "machines.txt").write_text("\n".join(machines))
