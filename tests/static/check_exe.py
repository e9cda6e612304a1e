#!/usr/bin/env python3
"""Checks a built Tavrin.exe as Windows will load it, and the icon it carries, against the
values in expected.json. Usage: check_exe.py EXE ICON_FILE x86|x64
"""
import json
from pathlib import Path
import struct
import sys
import xml.etree.ElementTree as ElementTree

import pefile

EXPECTED = json.loads((Path(__file__).parent / "expected.json").read_text())
failures = []


def read(value, path):
    """The value at a path such as "FileInfo.0.*.Key", as expected.json writes it."""
    if path and path[0] == "*":
        return [read(element, path[1:]) for element in value]
    if path:
        return read(value[int(path[0])] if path[0].isdigit() else getattr(value, path[0]), path[1:])
    if isinstance(value, dict):
        return [[read(k, []), read(v, [])] for k, v in value.items()]
    return {bytes: bytes.decode, int: hex}.get(type(value), lambda same: same)(value)


def matches(got, want):
    if isinstance(want, list):
        return isinstance(got, list) and len(got) == len(want) and all(map(matches, got, want))
    return bool(got) if want is None else got == want


def check(got, want, what):
    if not matches(got, want):
        failures.append("%s: %.200r, not %r" % (what, got, want))


def main():
    pe, ico, architecture = pefile.PE(sys.argv[1]), Path(sys.argv[2]).read_bytes(), sys.argv[3]
    for path, want in {**EXPECTED["both"], **EXPECTED[architecture]}.items():
        check(read(pe, path.split(".")), want, path)
    check(pe.OPTIONAL_HEADER.CheckSum, pe.generate_checksum(), "the header's checksum")
    found = {(kind.id, ident.id, lang.id): pe.get_data(lang.data.struct.OffsetToData,
                                                      lang.data.struct.Size)
             for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries for ident in kind.directory.entries
             for lang in ident.directory.entries}
    check([list(key) for key in sorted(found)], EXPECTED["resources"], "resources")

    # The icon file, and the exe's group 1 (its directory, with ids for offsets) and images.
    images, offset = EXPECTED["icon images"], 6 + 16 * len(EXPECTED["icon images"])
    check([len(ico), *struct.unpack_from("<HHH", ico)], [171014, 0, 1, len(images)], "icon file")
    group = ico[:6]
    for i, (size, bits, length) in enumerate(images):
        entry, pixels = ico[6 + 16 * i:22 + 16 * i], offset + 40
        check(list(struct.unpack("<BBBBHHII", entry) + struct.unpack_from("<IiiHHI", ico, offset)),
              [size, size, 0, 0, 1, bits, length, offset, 40, size, 2 * size, 1, bits, 0],
              "directory entry and header of image %d" % i)
        check(found.get((3, 30001 + i, 0)), ico[offset:offset + length], "resource of image %d" % i)
        group += entry[:12] + struct.pack("<H", 30001 + i)
        if bits == 32:  # the AND mask marks exactly the pixels less than half opaque
            alpha, row = ico[pixels + 3:pixels + 4 * size * size:4], (size + 31) // 32 * 4
            mask = b"".join(int("".join("01"[a < 128] for a in alpha[y * size:y * size + size])
                                .ljust(8 * row, "0"), 2).to_bytes(row, "big") for y in range(size))
            check(ico[pixels + 4 * size * size:offset + length] == mask, True, "image %d mask" % i)
            check(len(set(alpha)) > 2, True, "image %d has a soft edge" % i)
        offset += length
    check(found.get((14, 1, 0)), group, "icon group 1")

    manifest = ElementTree.fromstring(found.get((24, 1, 0), b"<none/>"))
    for path, attribute, want in EXPECTED["manifest"]:
        check([element.get(attribute, getattr(element, attribute, None))
               for element in manifest.findall(path, EXPECTED["namespaces"])], want, path)
    print("".join("FAIL: %s\n" % message for message in failures), end="")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
