#!/usr/bin/python3
"""Bytes of the LVGL 9 image file that holds the same pixels as a surface file,
compressed with LZ4 as LVGL's image converter does it: a 12-byte image header,
a 12-byte compression header and an LZ4 block (python3-lz4, default mode) of
the pixel rows, which for an indexed image begin with its 1 KiB palette of
256 four-byte entries.

Usage: lvgl_lz4_size.py SURFACE_FILE [PALETTE_FILE]
"""
import struct
import sys

import lz4.block

IMAGE_HEADER_BYTES = 12
COMPRESSION_HEADER_BYTES = 12
PALETTE_BYTES = 256 * 4


def main():
    with open(sys.argv[1], 'rb') as surface:
        data = surface.read()
    _, mode, width, height, pitch = struct.unpack_from('<5I', data)
    rows = data[20:20 + height * pitch]
    if len(sys.argv) > 2:
        with open(sys.argv[2], 'rb') as palette:
            entries = palette.read()[4:]
        rows = entries.ljust(PALETTE_BYTES, b'\0') + rows
    block = lz4.block.compress(rows, store_size=False)
    print(IMAGE_HEADER_BYTES + COMPRESSION_HEADER_BYTES + len(block))


main()
