#!/usr/bin/env python3
"""Reads the version resource of a Windows module as the file properties do:
    check_pe_version.py MODULE VERSION ORIGINAL_FILENAME

Walks the PE resource directory to RT_VERSION, decodes VS_VERSIONINFO and
fails unless the fixed file and product versions and the FileVersion and
ProductVersion strings are VERSION (major.minor.patch), OriginalFilename is
ORIGINAL_FILENAME, and FileDescription and ProductName are given. Fails
too when any field that would date the build is set: the link time in the
file header, the time stamps of the export directory and of every resource
directory, the file date of the version resource, or a debug directory."""
import struct
import sys

RT_VERSION = 16


def fail(module, message):
    sys.exit(f"FAIL {module}: {message}")


def resource_section(data):
    """Returns (file offset, RVA) of the resource directory."""
    if data[:2] != b"MZ":
        raise ValueError("no MZ header")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + {0x10B: 96, 0x20B: 112}[magic]
    rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]  # entry 2: resources
    if rva == 0:
        raise ValueError("no resource directory")
    table = optional + optional_size
    for i in range(sections):
        size, address, _, raw = struct.unpack_from("<4I", data, table + 40 * i + 8)
        if address <= rva < address + max(size, 1):
            return raw + rva - address, rva, address, raw
    raise ValueError("resource directory outside every section")


def dated_fields(data):
    """The (name, value) of every field that can carry a build time."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    fields = [("link time in the file header", struct.unpack_from("<I", data, pe + 8)[0])]
    sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    directories = optional + {0x10B: 96, 0x20B: 112}[struct.unpack_from("<H", data, optional)[0]]
    table = optional + optional_size

    def offset_of(rva):
        for i in range(sections):
            size, address, _, raw = struct.unpack_from("<4I", data, table + 40 * i + 8)
            if address <= rva < address + max(size, 1):
                return raw + rva - address
        raise ValueError(f"RVA {rva:#x} outside every section")

    export_rva = struct.unpack_from("<I", data, directories)[0]
    if export_rva:
        fields.append(("export directory time stamp",
                       struct.unpack_from("<I", data, offset_of(export_rva) + 4)[0]))
    debug_rva, debug_size = struct.unpack_from("<II", data, directories + 6 * 8)
    fields.append(("debug directory", debug_rva or debug_size))
    base = resource_section(data)[0]
    pending = [0]
    while pending:
        offset = pending.pop()
        fields.append((f"resource directory time stamp at {offset:#x}",
                       struct.unpack_from("<I", data, base + offset + 4)[0]))
        pending += [target for _, is_directory, target in entries(data, base, offset) if is_directory]
    return fields


def entries(data, base, offset):
    """The (id or None, is_directory, target offset) entries of one directory."""
    named, ids = struct.unpack_from("<12xHH", data, base + offset)
    for i in range(named + ids):
        name, target = struct.unpack_from("<II", data, base + offset + 16 + 8 * i)
        yield (None if name & 0x80000000 else name), bool(target & 0x80000000), target & 0x7FFFFFFF


def version_resource(data):
    base, _, section_rva, section_raw = resource_section(data)
    # Three levels: type, name, language; the first of each will do.
    offset = 0
    for level, wanted in enumerate((RT_VERSION, None, None)):
        found = [e for e in entries(data, base, offset) if wanted is None or e[0] == wanted]
        if not found:
            raise ValueError("no RT_VERSION resource")
        _, is_directory, offset = found[0]
        if is_directory != (level < 2):
            raise ValueError("malformed resource tree")
    rva, size = struct.unpack_from("<II", data, base + offset)
    start = section_raw + rva - section_rva
    return data[start:start + size]


def align4(n):
    return (n + 3) & ~3


def block(blob, offset):
    """Decodes one VS_VERSIONINFO-style block: (key, value bytes, is_text, children, end)."""
    length, value_length, is_text = struct.unpack_from("<HHH", blob, offset)
    end = offset + length
    key_end = offset + 6
    while blob[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = blob[offset + 6:key_end].decode("utf-16-le")
    value_start = align4(key_end + 2)
    value_size = value_length * 2 if is_text else value_length
    value = blob[value_start:value_start + value_size]
    children = []
    child = align4(value_start + value_size)
    while child < end:
        children.append(block(blob, child))
        child = align4(children[-1][4])
    return key, value, is_text, children, end


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    module, version, original = sys.argv[1:]
    with open(module, "rb") as f:
        data = f.read()
    try:
        key, fixed, _, children, _ = block(version_resource(data), 0)
    except (ValueError, KeyError, struct.error) as error:
        fail(module, f"cannot read the version resource: {error}")
    if key != "VS_VERSION_INFO" or len(fixed) < 52:
        fail(module, f"version resource starts with '{key}', fixed part of {len(fixed)} bytes")
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    if signature != 0xFEEF04BD:
        fail(module, "VS_FIXEDFILEINFO lacks its signature")
    file_date_ms, file_date_ls = struct.unpack_from("<2I", fixed, 44)
    try:
        dated = dated_fields(data) + [("file date of the version resource",
                                       file_date_ms << 32 | file_date_ls)]
    except (ValueError, KeyError, struct.error) as error:
        fail(module, f"cannot read the dated fields: {error}")
    for name, value in dated:
        if value:
            fail(module, f"{name} is {value:#x}, not 0: the build is dated")
    want = [int(part) for part in version.split(".")] + [0]
    for name, ms, ls in (("file", file_ms, file_ls), ("product", product_ms, product_ls)):
        got = [ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF]
        if got != want[:4]:
            fail(module, f"fixed {name} version is {got}, expected {want[:4]}")

    strings = {}
    for child_key, _, _, tables, _ in children:
        if child_key == "StringFileInfo":
            for _, _, _, values, _ in tables:
                for name, value, is_text, _, _ in values:
                    text = value.decode("utf-16-le") if is_text else ""
                    strings[name] = text.rstrip("\0")
    expected = {"FileVersion": version, "ProductVersion": version, "OriginalFilename": original}
    for name, text in expected.items():
        if strings.get(name) != text:
            fail(module, f"{name} is {strings.get(name)!r}, expected {text!r}")
    for name in ("FileDescription", "ProductName"):
        if not strings.get(name):
            fail(module, f"{name} is missing or empty")
    print(f"ok {module}: version {version}, {original}, \"{strings['FileDescription']}\","
          f" {len(dated)} dated fields all 0")


if __name__ == "__main__":
    main()
