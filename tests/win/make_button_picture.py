#!/usr/bin/env python3
"""Writes the image-button tests' picture: 48 x 48 RGBA, larger than the test buttons so that
it is cut off, with colours that differ from each neighbour (a shift shows), values near 255
(brightening clamps), a fully transparent band and a half-transparent strip."""
import struct
import sys
import zlib

SIZE = 48


def pixel(x, y):
    if 18 <= y < 26:
        alpha = 0
    elif x >= 30:
        alpha = 128
    else:
        alpha = 255
    return ((x * 9 + y * 4) % 256, (x * 3 + y * 11 + 60) % 256, (200 + x + y) % 256, alpha)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def main(path):
    rows = bytearray()
    for y in range(SIZE):
        rows.append(0)  # no filter
        for x in range(SIZE):
            rows.extend(pixel(x, y))
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as out:
        out.write(png)


if __name__ == "__main__":
    main(sys.argv[1])
