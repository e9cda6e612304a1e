#!/usr/bin/env python3
"""Checks the icon the build drew and the exe's icon and version resources, read from the files.

Usage: check_resources.py EXE ICON_FILE
"""
import struct
import sys
import xml.etree.ElementTree as ElementTree

# (size, bits per pixel, bytes) of each image, in directory order.
IMAGES = [(16, 8, 1384), (16, 32, 1128), (24, 8, 1736), (24, 32, 2440), (32, 8, 2216),
          (32, 32, 4264), (48, 8, 3752), (48, 32, 9640), (64, 32, 16936), (72, 32, 21640),
          (96, 32, 38056), (128, 32, 67624)]
STRINGS = [("CompanyName", None), ("ProductName", "Corvane"), ("FileVersion", "1.00"),
           ("ProductVersion", "1.00"), ("InternalName", "Tavrin"),
           ("OriginalFilename", "Tavrin.exe")]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def check_icon_file(ico):
    check(len(ico) == 171014 and ico[:6] == struct.pack("<HHH", 0, 1, 12), "icon file header")
    offset = 6 + 16 * len(IMAGES)
    for i, (size, bits, length) in enumerate(IMAGES):
        entry = struct.unpack_from("<BBBBHHII", ico, 6 + 16 * i)
        check(entry == (size, size, 0, 0, 1, bits, length, offset), "directory entry %d" % i)
        header = struct.unpack_from("<IiiHHI", ico, offset)
        check(header == (40, size, 2 * size, 1, bits, 0), "image %d header %s" % (i, header))
        if bits == 32:  # the AND mask marks exactly the pixels less than half opaque
            pixels, row = offset + 40, (size + 31) // 32 * 4
            for y in range(size):
                for x in range(size):
                    alpha = ico[pixels + (y * size + x) * 4 + 3]
                    bit = ico[pixels + 4 * size * size + y * row + x // 8] >> (7 - x % 8) & 1
                    check(bit == (alpha < 128), "image %d mask at %d,%d" % (i, x, y))
            check(len({ico[pixels + p * 4 + 3] for p in range(size * size)}) > 2,
                  "image %d has no soft edge" % i)
        offset += length


def resources(data):
    """{(type, id, language): bytes} from the PE resource directory."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    rva = struct.unpack_from("<I", data, optional + (96 if magic == 0x10B else 112) + 16)[0]
    for i in range(sections):
        size, va, _, raw = struct.unpack_from("<IIII", data, optional + optional_size + 40 * i + 8)
        if va <= rva < va + size:
            base, delta = raw + rva - va, raw - va

    def entries(offset):
        named, ids = struct.unpack_from("<12xHH", data, base + offset)
        return struct.iter_unpack("<II", data[base + offset + 16:base + offset + 16 + 8 * (named + ids)])

    found = {}
    for kind, t in entries(0):
        for ident, r in entries(t & 0x7FFFFFFF):
            for lang, leaf in entries(r & 0x7FFFFFFF):
                at, size = struct.unpack_from("<II", data, base + leaf)
                found[(kind, ident, lang)] = data[at + delta:at + delta + size]
    return found


def blocks(data, at, end):
    """The version blocks from at to end: (key, value, children)."""
    while at < end:
        length, value_length, kind = struct.unpack_from("<HHH", data, at)
        key_end = at + 6
        while data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[at + 6:key_end].decode("utf-16-le")
        value_at = key_end + 2 + 3 & ~3
        value_end = value_at + value_length * (2 if kind == 1 else 1)
        yield key, data[value_at:value_end], list(blocks(data, value_end + 3 & ~3, at + length))
        at = at + length + 3 & ~3


def check_exe(found, ico):
    check(sorted(k for k in found if k[0] in (3, 14, 16)) ==
          [(3, 30001 + i, 0) for i in range(12)] + [(14, 1, 0), (16, 1, 2052)],
          "icon group 1 and images 30001-30012 (neutral), version 1 (2052)")
    group = found.get((14, 1, 0), b"")
    check(group[:6] == ico[:6], "icon group header")
    for i in range(12):
        size, offset = struct.unpack_from("<II", ico, 6 + 16 * i + 8)
        check(group[6 + 14 * i:20 + 14 * i] == ico[6 + 16 * i:18 + 16 * i] + struct.pack(
            "<H", 30001 + i), "icon group entry %d" % i)
        check(found.get((3, 30001 + i, 0)) == ico[offset:offset + size], "icon image %d" % i)
    (key, fixed, children), = blocks(found.get((16, 1, 2052), b"\0" * 8), 0, 1)
    check(key == "VS_VERSION_INFO" and struct.unpack("<13I", fixed) == (
        0xFEEF04BD, 0x10000, 0x10000, 0, 0x10000, 0, 0, 0, 4, 1, 0, 0, 0), "fixed version info")
    tables = {k: c for k, _, c in children}
    check(list(tables) == ["StringFileInfo", "VarFileInfo"], "version blocks %s" % list(tables))
    string_tables = tables.get("StringFileInfo", [])
    check([k for k, _, _ in string_tables] == ["080404B0"], "string table 080404B0")
    strings = [(k, v.decode("utf-16-le").rstrip("\0")) for k, v, _ in string_tables[0][2]]
    check([k for k, _ in strings] == [k for k, _ in STRINGS], "string keys %s" % strings)
    for (k, v), (_, expected) in zip(strings, STRINGS):
        check(v == expected if expected else bool(v), "%s is %r" % (k, v))
    check([(k, v) for k, v, _ in tables.get("VarFileInfo", [])] ==
          [("Translation", struct.pack("<HH", 0x0804, 1200))], "translation")


SMI = "{http://schemas.microsoft.com/SMI/%s/WindowsSettings}"
NAMESPACES = {"v1": "urn:schemas-microsoft-com:asm.v1", "v3": "urn:schemas-microsoft-com:asm.v3",
              "c": "urn:schemas-microsoft-com:compatibility.v1"}
WINDOWS_7_TO_11 = ["{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                   "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"]


def check_manifest(found):
    root = ElementTree.fromstring(found.get((24, 1, 0), b"<none/>"))
    settings = root.findall("v3:application/v3:windowsSettings", NAMESPACES)
    check(len(settings) == 1, "%d windowsSettings elements" % len(settings))
    check({child.tag: child.text for child in (settings or [[]])[0]} == {
        SMI % "2005" + "dpiAware": "true/pm",
        SMI % "2016" + "dpiAwareness": "PerMonitorV2, PerMonitor"}, "DPI awareness")
    controls = root.find("v1:dependency/v1:dependentAssembly/v1:assemblyIdentity", NAMESPACES)
    check(controls is not None and controls.get("name") == "Microsoft.Windows.Common-Controls" and
          controls.get("version") == "6.0.0.0", "common controls 6.0")
    level = root.find(".//v3:requestedExecutionLevel", NAMESPACES)
    check(level is not None and level.get("level") == "asInvoker", "asInvoker")
    check([os.get("Id") for os in root.findall("c:compatibility/c:application/c:supportedOS",
                                               NAMESPACES)] == WINDOWS_7_TO_11, "Windows 7 to 11")


def main():
    data, ico = (open(path, "rb").read() for path in sys.argv[1:3])
    check_icon_file(ico)
    check_exe(resources(data), ico)
    check_manifest(resources(data))
    for message in failures:
        print("FAIL:", message)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
