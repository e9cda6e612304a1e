#!/usr/bin/env python3
"""Checks a built Tavrin.exe as Windows will load it, and the icon the build drew for it.

Usage: check_exe.py EXE ICON_FILE x86|x64
"""
import json
from pathlib import Path
import struct
import sys
import xml.etree.ElementTree as ElementTree

import pefile

# The expected values: the header flags each architecture must have and must not have, the
# icon's images (size, bits per pixel, bytes; in directory order), the version strings (null: any
# text), the DLLs it may import (only those that ship with Windows, nothing of the compiler's run
# time) and the versions of Windows its manifest names.
EXPECTED = json.loads((Path(__file__).parent / "expected.json").read_text())
IMAGES, STRINGS = EXPECTED["icon images"], EXPECTED["version strings"]
SMI = "{http://schemas.microsoft.com/SMI/%s/WindowsSettings}"
NAMESPACES = {"v1": "urn:schemas-microsoft-com:asm.v1", "v3": "urn:schemas-microsoft-com:asm.v3",
              "c": "urn:schemas-microsoft-com:compatibility.v1"}
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def check_headers(pe, architecture):
    header, optional = pe.FILE_HEADER, pe.OPTIONAL_HEADER
    wide = header.Machine == pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]
    check(wide == (architecture == "x64"), "not an %s exe" % architecture)
    # The Windows GUI subsystem, so no console window opens; made for Windows 7 (6.1) on.
    check(optional.Subsystem == 2, "not a GUI program")
    check((optional.MajorOperatingSystemVersion, optional.MinorOperatingSystemVersion,
           optional.MajorSubsystemVersion, optional.MinorSubsystemVersion) == (6, 1, 6, 1),
          "not made for Windows 6.1")
    check(header.TimeDateStamp == 0, "a link time stamp: two builds would differ")
    check(optional.CheckSum == pe.generate_checksum(), "the header's checksum is not the file's")
    for name, (wanted, unwanted) in EXPECTED["header flags"][architecture].items():
        flags = getattr(header if name == "Characteristics" else optional, name)
        check(flags & (int(wanted, 16) | int(unwanted, 16)) == int(wanted, 16),
              "%s %#x: wanted %s, unwanted %s" % (name, flags, wanted, unwanted))
    dlls = {entry.dll.decode().lower().removesuffix(".dll") for entry in pe.DIRECTORY_ENTRY_IMPORT}
    allowed = set(EXPECTED["allowed dlls"])
    check(dlls and dlls <= allowed, "imports %s" % sorted(dlls - allowed or dlls))


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


def resources(pe):
    """{(type, id, language): bytes} from the resource directory."""
    return {(kind.id, ident.id, lang.id): pe.get_data(lang.data.struct.OffsetToData,
                                                      lang.data.struct.Size)
            for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries for ident in kind.directory.entries
            for lang in ident.directory.entries}


def check_resources(pe, found, ico):
    check(sorted(k for k in found if k[0] in (3, 14, 16)) ==
          [(3, 30001 + i, 0) for i in range(12)] + [(14, 1, 0), (16, 1, 2052)],
          "icon group 1 and images 30001-30012 (neutral), version 1 (2052)")
    group = b"".join(ico[6 + 16 * i:18 + 16 * i] + struct.pack("<H", 30001 + i) for i in range(12))
    check(found.get((14, 1, 0)) == ico[:6] + group, "icon group 1: the icon file's directory")
    for i in range(12):
        length, offset = struct.unpack_from("<II", ico, 14 + 16 * i)
        check(found.get((3, 30001 + i, 0)) == ico[offset:offset + length], "icon image %d" % i)

    fixed = pe.VS_FIXEDFILEINFO[0]
    check((fixed.FileVersionMS, fixed.FileVersionLS, fixed.ProductVersionMS,
           fixed.ProductVersionLS, fixed.FileFlags, fixed.FileOS, fixed.FileType) ==
          (0x10000, 0, 0x10000, 0, 0, 4, 1), "fixed version info")
    blocks = {info.Key: info for info in pe.FileInfo[0]}
    check(list(blocks) == [b"StringFileInfo", b"VarFileInfo"], "version blocks %s" % list(blocks))
    tables = blocks[b"StringFileInfo"].StringTable
    check([table.LangID for table in tables] == [b"080404B0"], "string table 080404B0")
    strings = [(k.decode(), v.decode()) for k, v in tables[0].entries.items()]
    check([k for k, _ in strings] == [k for k, _ in STRINGS], "string keys %s" % strings)
    for (k, v), (_, expected) in zip(strings, STRINGS):
        check(v == expected if expected else bool(v), "%s is %r" % (k, v))
    check([var.entry for var in blocks[b"VarFileInfo"].Var] == [{b"Translation": "0x0804 0x04b0"}],
          "translation")


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
    supported = root.findall("c:compatibility/c:application/c:supportedOS", NAMESPACES)
    check([os.get("Id") for os in supported] == EXPECTED["supported os"], "Windows 7 to 11")


def main():
    pe = pefile.PE(sys.argv[1])
    ico = open(sys.argv[2], "rb").read()
    check_headers(pe, sys.argv[3])
    check_icon_file(ico)
    check_resources(pe, resources(pe), ico)
    check_manifest(resources(pe))
    for message in failures:
        print("FAIL:", message)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
