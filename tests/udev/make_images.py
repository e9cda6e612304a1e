#!/usr/bin/env python3
"""Makes the images of images.txt with the file systems' own tools, reads each as udev would
(blkid -p -o udev), puts each on a USB stick as a umockdev record and writes the machines that
plug them, in the form of machines.txt: each stick alone, then all of them at once. The report
each must give comes from the image's boot sector. Exits with 77 when a tool is missing.

Usage: make_images.py IMAGES_TXT TEMPLATE OUT_DIR"""
import os
import shlex
import shutil
import struct
import subprocess
import sys

images_txt, template_file, out = sys.argv[1:]
os.environ["PATH"] += ":/usr/sbin:/sbin"
# Where the serial is in the boot sector and, for FAT, the byte that says it is there.
SERIAL_AT = {"FAT12": (0x27, 0x26), "FAT16": (0x27, 0x26), "FAT32": (0x43, 0x42),
             "exFAT": (0x64, None), "NTFS": (0x48, None)}


def run(command, image):
    words = [word.replace("{image}", image) for word in shlex.split(command)]
    if words[0] == "poke":
        with open(image, "r+b") as f:
            f.seek(int(words[1], 0))
            f.write(bytes.fromhex(words[2]))
        return
    if not shutil.which(words[0]):
        print(f"{words[0]} is not installed")
        sys.exit(77)
    subprocess.run(words, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


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


def disk_name(index):
    """The kernel's name of the index-th SCSI disk: sda to sdz, then sdaa on."""
    letters = ""
    index += 1
    while index:
        index, letter = divmod(index - 1, 26)
        letters = chr(ord("a") + letter) + letters
    return "sd" + letters


with open(images_txt) as f:
    images = [line.split(maxsplit=4) for line in f if line.strip() and not line.startswith("#")]
with open(template_file) as f:
    template = f.read()
machines, plugs, lines = [], [], []
for index, (name, kind, layout, size, commands) in enumerate(images, start=1):
    image = os.path.join(out, name + ".img")
    with open(image, "wb") as f:
        f.truncate(int(size.rstrip("M")) << 20)
    for command in commands.split(";"):
        run(command, image)
    blkid = subprocess.run(["blkid", "-p", "-o", "udev", image], capture_output=True, text=True)
    properties = "".join(f"E: {line}\n" for line in blkid.stdout.splitlines())
    disk = disk_name(index)
    sectors = os.path.getsize(image) // 512
    record = template.format(
        disk=disk, major=[8, 65, 66, 67][index // 16], minor=index % 16 * 16,
        minor1=index % 16 * 16 + 1, port=len(images) - index + 1, host=index + 20,
        sectors=sectors, disk_sectors=sectors + 2048,
        properties=properties, disk_properties=properties if layout == "whole" else "")
    if layout == "whole":
        record = record.split("\n\n", 1)[1]
    with open(os.path.join(out, name + ".umockdev"), "w") as f:
        f.write(record)
    serial = windows_serial(image, kind)
    line = f"{disk}{'' if layout == 'whole' else '1'}:{serial}" if serial else ""
    machines.append(f"machine {name}\nplug {out}/{name}\nclick {line or 'notice'}\n")
    plugs.append(f"{out}/{name}")
    lines.append(line)
machines.append(f"machine every image at once, in kernel order\nplug {' '.join(plugs)}\n"
                f"click {' '.join(line for line in lines if line)}\n")
with open(os.path.join(out, "machines.txt"), "w") as f:
    f.write("\n".join(machines))
