#!/usr/bin/env python3
"""make_images.py IMAGES_TXT TEMPLATE OUT_DIR: makes the images with their own tools, reads each
as udev would onto USB stick sdb, writes a machines.txt with what Windows shows for each."""
import struct, subprocess, sys
from pathlib import Path

images_txt, template, out = sys.argv[1:]
NOTICE = "提示！|64|请插入U盘再运行程序！"
# Where Windows reads the serial in the boot sector, whatever the extended boot signature says.
SERIAL_AT = {"FAT12": 0x27, "FAT16": 0x27, "FAT32": 0x43, "exFAT": 0x64, "NTFS": 0x48}
lines = Path(images_txt).read_text().splitlines()
machines = []
for name, kind, layout, size, commands in (l.split(maxsplit=4) for l in lines if l[:1] not in "#"):
    image = Path(out, name + ".img")
    commands = f"rm -f {image} && truncate -s {size} {image} && " + commands.format(image=image)
    subprocess.run(commands, shell=True, stdout=subprocess.DEVNULL, check=True)
    blkid = subprocess.run(["blkid", "-p", "-o", "udev", image], capture_output=True, text=True)
    properties = "".join(f"E: {line}\n" for line in blkid.stdout.splitlines())
    sectors = image.stat().st_size // 512
    record = Path(template).read_text().format(
        sectors=sectors, disk_sectors=sectors + 2048, properties=properties,
        disk_properties=properties if layout == "whole" else "")
    if layout == "whole":
        record = record.split("\n\n", 1)[1]  # the disk without its partition
    Path(out, name + ".umockdev").write_text(record)
    kind, _, instead = kind.partition(":")  # a known deviation: what Tavrin shows instead
    at = SERIAL_AT.get(kind)  # None: Windows shows no drive
    serial = at and struct.unpack_from("<i", image.read_bytes(), at)[0]
    assert str(serial) != instead, f"{name} is no deviation: drop it from images.txt"
    serial = instead or serial
    shown = NOTICE if serial is None else f"Text1|sdb{'1' * (layout != 'whole')}:{serial}"
    machines.append(f"machine {name}\nplug {name}\nclick {shown}\n")
Path(out, "machines.txt").write_text("\n".join(machines))
