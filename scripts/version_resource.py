#!/usr/bin/env python3
"""Prints the version resource of a Windows program or DLL, one NAME=VALUE a line.

    wrestool --extract --raw --type=16 cmpexport.dll | scripts/version_resource.py

reads the raw VS_VERSIONINFO block (as wrestool extracts it) from standard input and
prints FixedFileVersion and FixedProductVersion (the four numbers of the fixed part)
followed by every string of its string tables (FileVersion, OriginalFilename, ...).
Exits with status 1 when the input is not a version resource.
"""
import struct
import sys

FIXED_SIGNATURE = 0xFEEF04BD


def align(offset):
    return (offset + 3) & ~3


def parse_block(data, offset):
    """One block: (key, type, value bytes, children), and the offset past it."""
    length, value_length, value_type = struct.unpack_from("<HHH", data, offset)
    end = offset + length
    if length < 6 or end > len(data):
        raise ValueError(f"a block at byte {offset} runs past the resource")
    key_end = offset + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
        if key_end >= end:
            raise ValueError(f"the key of the block at byte {offset} has no end")
    key = data[offset + 6:key_end].decode("utf-16-le")
    position = align(key_end + 2)
    # Text values count in characters, binary ones in bytes.
    value_size = value_length * 2 if value_type == 1 else value_length
    value = data[position:min(position + value_size, end)]
    position = align(position + value_size)
    children = []
    while position < end:
        child, position = parse_block(data, position)
        children.append(child)
        position = align(position)
    return (key, value_type, value, children), end


def text(value):
    return value.decode("utf-16-le").split("\0", 1)[0]


def version_numbers(most, least):
    return f"{most >> 16}.{most & 0xFFFF}.{least >> 16}.{least & 0xFFFF}"


def main():
    data = sys.stdin.buffer.read()
    try:
        (key, _, fixed, children), _ = parse_block(data, 0)
    except (ValueError, struct.error, UnicodeDecodeError) as error:
        print(f"version_resource.py: not a version resource: {error}", file=sys.stderr)
        return 1
    if key != "VS_VERSION_INFO" or len(fixed) < 52:
        print("version_resource.py: not a version resource", file=sys.stderr)
        return 1
    fields = struct.unpack_from("<13I", fixed)
    if fields[0] != FIXED_SIGNATURE:
        print("version_resource.py: the fixed part has no signature", file=sys.stderr)
        return 1
    print("FixedFileVersion=" + version_numbers(fields[2], fields[3]))
    print("FixedProductVersion=" + version_numbers(fields[4], fields[5]))
    for name, _, _, tables in children:
        if name != "StringFileInfo":
            continue
        for _, _, _, strings in tables:
            for string_name, _, value, _ in strings:
                print(f"{string_name}={text(value)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
