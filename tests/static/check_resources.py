#!/usr/bin/env python3
"""Checks the icon and version resources of a built Tavrin.exe, read from the file itself.

Usage: check_resources.py EXE ICON_FILE
"""
import struct
import sys

RT_ICON, RT_GROUP_ICON, RT_VERSION = 3, 14, 16
LANG_NEUTRAL, LANG_ZH_CN = 0, 2052
EXPECTED_STRINGS = [
    ("CompanyName", None),  # any non-empty text
    ("ProductName", "Corvane"),
    ("FileVersion", "1.00"),
    ("ProductVersion", "1.00"),
    ("InternalName", "Tavrin"),
    ("OriginalFilename", "Tavrin.exe"),
]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def resources(data):
    """{(type, id, language): bytes} from the PE resource directory."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[pe:pe + 4] == b"PE\0\0", "not a PE file"
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
    table = optional + optional_size
    for i in range(sections):
        va, raw_size, raw = struct.unpack_from("<I I I", data, table + 40 * i + 12)
        virtual_size = struct.unpack_from("<I", data, table + 40 * i + 8)[0]
        if va <= rva < va + max(virtual_size, raw_size):
            base, delta = raw + (rva - va), raw - va
            break
    else:
        raise AssertionError("no resource section")

    def entries(offset):
        named, ids = struct.unpack_from("<12xHH", data, base + offset)
        for n in range(named + ids):
            name, target = struct.unpack_from("<II", data, base + offset + 16 + 8 * n)
            yield name, target

    found = {}
    for type_id, t in entries(0):
        for res_id, r in entries(t & 0x7FFFFFFF):
            for lang, leaf in entries(r & 0x7FFFFFFF):
                data_rva, size = struct.unpack_from("<II", data, base + leaf)
                found[(type_id, res_id, lang)] = data[data_rva + delta:data_rva + delta + size]
    return found


def check_icon(found, ico):
    count = struct.unpack_from("<H", ico, 4)[0]
    group = found.get((RT_GROUP_ICON, 1, LANG_NEUTRAL))
    check(group is not None, "no icon group 1 in the neutral language")
    check([k for k in found if k[0] == RT_GROUP_ICON] == [(RT_GROUP_ICON, 1, LANG_NEUTRAL)],
          "other icon groups")
    images = sorted(k for k in found if k[0] == RT_ICON)
    check(images == [(RT_ICON, 30001 + i, LANG_NEUTRAL) for i in range(count)],
          "icon images are not 30001..%d in the neutral language: %s" % (30000 + count, images))
    if group is None:
        return
    check(group[:6] == ico[:6], "group header differs from the icon file's")
    for i in range(count):
        entry = group[6 + 14 * i:20 + 14 * i]
        file_entry = ico[6 + 16 * i:22 + 16 * i]
        size, offset = struct.unpack_from("<II", file_entry, 8)
        check(entry[:12] == file_entry[:12], "group entry %d differs" % i)
        check(struct.unpack_from("<H", entry, 12)[0] == 30001 + i, "entry %d names another image" % i)
        check(found.get((RT_ICON, 30001 + i, LANG_NEUTRAL)) == ico[offset:offset + size],
              "image %d differs from the icon file's" % (30001 + i))


def parse_block(data, at):
    """One version block: (key, value bytes, value type, children, end)."""
    length, value_length, kind = struct.unpack_from("<HHH", data, at)
    end = at + length
    key_end = at + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[at + 6:key_end].decode("utf-16-le")
    pos = (key_end + 2 + 3) & ~3
    value_bytes = value_length * 2 if kind == 1 else value_length
    value = data[pos:pos + value_bytes]
    pos = (pos + value_bytes + 3) & ~3
    children = []
    while pos < end:
        child = parse_block(data, pos)
        children.append(child)
        pos = (child[4] + 3) & ~3
    return key, value, kind, children, end


def check_version(found):
    versions = [k for k in found if k[0] == RT_VERSION]
    check(versions == [(RT_VERSION, 1, LANG_ZH_CN)], "version resources: %s" % versions)
    block = found.get((RT_VERSION, 1, LANG_ZH_CN))
    if block is None:
        return
    key, fixed, _, children, _ = parse_block(block, 0)
    check(key == "VS_VERSION_INFO", "version block key %r" % key)
    (signature, _, file_ms, file_ls, product_ms, product_ls, mask, flags, os_, type_, subtype,
     date_ms, date_ls) = struct.unpack("<13I", fixed)
    check(signature == 0xFEEF04BD, "no fixed file information")
    check((file_ms, file_ls, product_ms, product_ls) == (0x10000, 0, 0x10000, 0),
          "numeric versions are not 1.0.0.0")
    check((mask, flags) == (0, 0), "file flags %#x/%#x" % (mask, flags))
    check(os_ == 4, "operating system %#x" % os_)
    check((type_, subtype) == (1, 0), "file type %d/%d" % (type_, subtype))
    check((date_ms, date_ls) == (0, 0), "file date set")

    by_key = {child[0]: child for child in children}
    check(sorted(by_key) == ["StringFileInfo", "VarFileInfo"], "blocks: %s" % sorted(by_key))
    tables = by_key.get("StringFileInfo", ("", b"", 0, [], 0))[3]
    check([t[0] for t in tables] == ["080404B0"], "string tables: %s" % [t[0] for t in tables])
    if tables:
        strings = [(s[0], s[1].decode("utf-16-le").rstrip("\0")) for s in tables[0][3]]
        check([k for k, _ in strings] == [k for k, _ in EXPECTED_STRINGS],
              "string entries in order: %s" % [k for k, _ in strings])
        for (k, v), (_, expected) in zip(strings, EXPECTED_STRINGS):
            check(v == expected if expected is not None else bool(v), "%s is %r" % (k, v))
    var = by_key.get("VarFileInfo", ("", b"", 0, [], 0))[3]
    check([(v[0], v[1]) for v in var] == [("Translation", struct.pack("<HH", 0x0804, 1200))],
          "translation: %s" % [(v[0], v[1].hex()) for v in var])


def main():
    exe, icon = sys.argv[1], sys.argv[2]
    with open(exe, "rb") as f:
        data = f.read()
    with open(icon, "rb") as f:
        ico = f.read()
    found = resources(data)
    check_icon(found, ico)
    check_version(found)
    for message in failures:
        print("FAIL:", message)
    if failures:
        return 1
    print("ok: %s: icon group 1 with %d images, version 1.0.0.0 (2052)" % (exe, len(ico) and ico[4]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
