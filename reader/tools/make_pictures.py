#!/usr/bin/env python3
"""Draws the reader's default pictures and writes them as small PNG files.

    make_pictures.py OUTPUT_FOLDER

point.png  a round dot (reading-position mark)
logo.png   the midlet icon: an open book
linkp.png  the pointer of the active link in portrait layout (points right)
linkl.png  the same pointer for landscape layout, turned a quarter clockwise

The pictures are drawn from simple shapes, so the script is their source;
the PNG files are committed beside it and rebuilt only when it changes.
"""
import os
import struct
import sys
import zlib


def png(width, height, pixel):
    """PNG bytes of an RGBA picture; pixel(x, y) returns (r, g, b, a)."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)  # filter: none
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


CLEAR = (0, 0, 0, 0)


def point(x, y):
    # A disc of radius 2.5 around the centre of a 6x6 square.
    dx, dy = 2 * x - 5, 2 * y - 5
    return (48, 48, 48, 255) if dx * dx + dy * dy <= 26 else CLEAR


def logo(x, y):
    # An open book on a rounded blue tile, 32x32.
    corner = min(x, 31 - x) + min(y, 31 - y)
    if corner < 3:
        return CLEAR
    if 6 <= y <= 25 and 4 <= x <= 27:
        if x in (15, 16):
            return (40, 40, 40, 255)            # spine
        if y == 25 or x in (4, 27):
            return (200, 200, 200, 255)         # page edges
        line = (y - 9) % 4 == 0 and 10 <= y <= 22
        inner = 6 <= x <= 13 or 18 <= x <= 25
        if line and inner:
            return (90, 90, 110, 255)           # lines of text
        return (255, 255, 250, 255)             # paper
    return (36, 84, 160, 255)                   # tile


def pointer_right(x, y):
    # A solid triangle pointing right, 7 wide and 9 high.
    reach = 6 - abs(y - 4) * 6 // 4
    return (208, 40, 32, 255) if x <= reach and abs(y - 4) <= 4 else CLEAR


def pointer_down(x, y):
    # The portrait pointer turned a quarter clockwise: 9 wide, 7 high.
    return pointer_right(y, 8 - x)


PICTURES = [
    ("point.png", 6, 6, point),
    ("logo.png", 32, 32, logo),
    ("linkp.png", 7, 9, pointer_right),
    ("linkl.png", 9, 7, pointer_down),
]


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, w, h, draw in PICTURES:
        with open(os.path.join(out, name), "wb") as f:
            f.write(png(w, h, draw))


if __name__ == "__main__":
    main()
