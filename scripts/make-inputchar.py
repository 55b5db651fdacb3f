#!/usr/bin/env python3
"""Draws the click-to-continue marker of the system library, data/system/_inputchar.png.

Two 16x16 RGBA frames side by side (32x16): a white downward triangle with a
dark outline, and the same triangle two pixels lower and dimmed, so that the
marker bobs and blinks while the player waits for a click. Writes the PNG
chunks itself with zlib; no other modules.

    scripts/make-inputchar.py [OUTPUT]
"""
import pathlib
import struct
import sys
import zlib

FRAME = 16
CLEAR = (0, 0, 0, 0)
OUTLINE = (32, 32, 48, 255)


def inside_triangle(x, y, top):
    """A downward triangle, 12 pixels wide at its top row, 6 rows high."""
    row = y - top
    return 0 <= row < 6 and 2 + row <= x <= 13 - row


def frame(top, fill):
    pixels = [[CLEAR] * FRAME for _ in range(FRAME)]
    for y in range(FRAME):
        for x in range(FRAME):
            if inside_triangle(x, y, top):
                pixels[y][x] = fill
            elif any(inside_triangle(x + dx, y + dy, top)
                     for dx in (-1, 0, 1) for dy in (-1, 0, 1)):
                pixels[y][x] = OUTLINE
    return pixels


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def png(rows):
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    default = pathlib.Path(__file__).resolve().parent.parent / "data/system/_inputchar.png"
    output = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else default
    bright = frame(top=5, fill=(255, 255, 255, 255))
    dimmed = frame(top=7, fill=(160, 160, 176, 200))
    output.write_bytes(png([a + b for a, b in zip(bright, dimmed)]))


if __name__ == "__main__":
    main()
