#!/usr/bin/env python3
"""Draws the demo's pictures in the formats older games use, into data/demo
(or the folder given).

    fox.bmp         120x112  a fox, 24-bit BMP; the magenta around it is its
                             colour key (the bottom-left pixel), made
                             transparent by the game
    lighthouse.tga  96x224   a lighthouse on a rock, run-length TGA read by
                             the TGA plug-in; keyed like the fox
    town.mag        640x200  a harbour town at night, 16-colour MAG, wider
                             than its area: the game scrolls a view over it
    sparkle.png     48x48    a glint of light over the lighthouse's lamp

Sprites for a colour key need hard edges: a softened edge would mix the key
into the outline. Same script, same files. Uses the drawing helpers of
make_pictures.py beside it; standard library only.

    data/demo/make_old_formats.py [FOLDER]
"""
import math
import pathlib
import struct
import sys

sys.path.insert(0, str(pathlib.Path(__file__).parent))
from make_pictures import (Random, clamp, coverage, over, rgb, sd_circle,  # noqa: E402
                           sd_ellipse, sd_polygon, sd_round_box, unpremultiply,
                           write_png)

KEY = (255, 0, 255)

# ------------------------------------------------------------------ writers


def write_bmp(path, picture):
    """24-bit bottom-up BMP; rows are lists of (r, g, b)."""
    height, width = len(picture), len(picture[0])
    stride = (width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(picture):
        line = bytes(v for r, g, b in row for v in (b, g, r))
        pixels += line + bytes(stride - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    path.write_bytes(header + info + pixels)


def write_tga(path, picture):
    """Run-length 24-bit TGA, rows top-down."""
    height, width = len(picture), len(picture[0])
    data = bytearray()
    for row in picture:
        pixels = [bytes((b, g, r)) for r, g, b in row]
        i = 0
        while i < width:
            run = 1
            while i + run < width and run < 128 and pixels[i + run] == pixels[i]:
                run += 1
            if run > 1:
                data += bytes((0x80 | (run - 1),)) + pixels[i]
            else:
                raw = 1
                while (i + raw < width and raw < 128 and
                       (i + raw + 1 >= width or pixels[i + raw] != pixels[i + raw + 1])):
                    raw += 1
                data += bytes((raw - 1,)) + b"".join(pixels[i:i + raw])
                run = raw
            i += run
    top_down = 0x20
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 10, 0, 0, 0, 0, 0, width, height, 24, top_down)
    path.write_bytes(header + data)


# MAG copy sources by flag nibble: (units to the left, rows up).
MAG_SOURCES = [None, (1, 0), (2, 0), (4, 0), (0, 1), (1, 1), (0, 2), (1, 2), (2, 2), (0, 4),
               (1, 4), (2, 4), (0, 8), (1, 8), (2, 8), (0, 16)]


def write_mag(path, indices, palette):
    """16-colour MAG: each 4-pixel unit is copied from an earlier one where
    one matches, else stored; indices are rows of palette indices, the width
    a multiple of 8."""
    height, width = len(indices), len(indices[0])
    units = [[(row[x] << 12) | (row[x + 1] << 8) | (row[x + 2] << 4) | row[x + 3]
              for x in range(0, width, 4)] for row in indices]
    flag_a, flag_b, pixels = [], bytearray(), bytearray()
    previous = [0] * (width // 8)
    for y, row in enumerate(units):
        nibbles = []
        for x, unit in enumerate(row):
            for nibble, source in enumerate(MAG_SOURCES):
                if source and x >= source[0] and y >= source[1] and \
                        units[y - source[1]][x - source[0]] == unit:
                    break
            else:
                nibble = 0
                pixels += struct.pack(">H", unit)
            nibbles.append(nibble)
        flags = [(nibbles[i] << 4) | nibbles[i + 1] for i in range(0, len(nibbles), 2)]
        for j, flag in enumerate(flags):
            change = flag ^ previous[j]
            flag_a.append(change != 0)
            if change:
                flag_b.append(change)
        previous = flags
    flag_a_bytes = bytearray((len(flag_a) + 7) // 8)
    for i, bit in enumerate(flag_a):
        if bit:
            flag_a_bytes[i // 8] |= 0x80 >> (i % 8)
    colours = bytes(v for r, g, b in palette for v in (g, r, b))
    flag_a_offset = 32 + len(colours)
    flag_b_offset = flag_a_offset + len(flag_a_bytes)
    pixel_offset = flag_b_offset + len(flag_b)
    header = struct.pack("<BBBBHHHHIIIII", 0, 0, 0, 0, 0, 0, width - 1, height - 1,
                         flag_a_offset, flag_b_offset, len(flag_b), pixel_offset, len(pixels))
    intro = b"MAKI02  " + b"PY  " + b"Orvanta demo       " + b"harbour town" + b"\x1a"
    path.write_bytes(intro + header + colours + flag_a_bytes + flag_b + pixels)


# ----------------------------------------------------------------- pictures


def hard(distance):
    return distance < 0


def fox():
    width, height = 120, 112
    fur, fur_dark, white, ink = rgb(0xe07a2c), rgb(0xa8521c), rgb(0xfaf2e4), rgb(0x2a1a14)
    parts = [
        (lambda x, y: sd_ellipse(x, y, 88, 86, 26, 14), fur_dark),                # tail
        (lambda x, y: sd_ellipse(x, y, 106, 80, 9, 7), white),                    # tail tip
        (lambda x, y: sd_ellipse(x, y, 58, 80, 26, 28), fur),                     # body
        (lambda x, y: sd_ellipse(x, y, 54, 86, 12, 18), white),                   # chest
        (lambda x, y: sd_round_box(x, y, 40, 92, 50, 110, 4), fur_dark),         # legs
        (lambda x, y: sd_round_box(x, y, 60, 92, 70, 110, 4), fur_dark),
        (lambda x, y: sd_polygon(x, y, [(30, 30), (38, 4), (50, 26)]), fur_dark),  # ears
        (lambda x, y: sd_polygon(x, y, [(58, 26), (72, 6), (76, 32)]), fur_dark),
        (lambda x, y: sd_ellipse(x, y, 54, 40, 24, 20), fur),                     # head
        (lambda x, y: sd_polygon(x, y, [(36, 44), (54, 64), (72, 44), (54, 50)]), white),
        (lambda x, y: sd_circle(x, y, 54, 60, 3.5), ink),                         # nose
        (lambda x, y: sd_ellipse(x, y, 45, 38, 3, 4), ink),                       # eyes
        (lambda x, y: sd_ellipse(x, y, 63, 38, 3, 4), ink),
    ]
    picture = []
    for y in range(height):
        row = []
        for x in range(width):
            colour = KEY
            for distance, paint in parts:
                if hard(distance(x + 0.5, y + 0.5)):
                    colour = paint
            row.append(colour)
        picture.append(row)
    return picture


def lighthouse():
    width, height = 96, 224
    red, white, rock, rock_dark = rgb(0xc8322c), rgb(0xf4f0e8), rgb(0x4a4e5c), rgb(0x2c2f3a)
    lamp, roof, rail = rgb(0xffe27a), rgb(0x3a2c2c), rgb(0x22222a)
    tower = [(32, 56), (64, 56), (72, 190), (24, 190)]
    picture = []
    for y in range(height):
        row = []
        for x in range(width):
            px, py = x + 0.5, y + 0.5
            colour = KEY
            if hard(sd_ellipse(px, py, 48, 214, 48, 26)) and py < 224:
                colour = rock if (px + py * 0.5) % 23 > 5 else rock_dark
            if hard(sd_polygon(px, py, tower)):
                colour = red if int((py - 56) // 27) % 2 == 0 else white
            if hard(sd_round_box(px, py, 34, 30, 62, 56, 2)):
                colour = lamp
            if hard(sd_round_box(px, py, 26, 52, 70, 58, 1)) or \
                    (30 < py < 56 and abs(px - 48) < 13 and int(px) % 7 == 0):
                colour = rail
            if hard(sd_polygon(px, py, [(28, 32), (48, 12), (68, 32)])):
                colour = roof
            if hard(sd_round_box(px, py, 42, 150, 54, 178, 5)):
                colour = rail
            row.append(colour)
        picture.append(row)
    return picture


TOWN_PALETTE = [
    rgb(0x050818), rgb(0x0c1430), rgb(0x16224a), rgb(0x243566),   # sky, darkest first
    rgb(0x3a4c80), rgb(0xf2eecc), rgb(0xffd866), rgb(0xf09a3a),   # horizon, moon, lights
    rgb(0x0a0c14), rgb(0x1a1c2c), rgb(0x2a2e44), rgb(0x3e4460),   # buildings
    rgb(0x10284a), rgb(0x1c4070), rgb(0x6a86b8), rgb(0xffffff),   # water, glint, stars
]

# 4x4 ordered dither thresholds, 0..1.
BAYER = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def town():
    width, height, water_top = 640, 200, 150
    rnd = Random(5)
    houses, x = [], 0
    while x < width:
        w = 24 + int(rnd.next() * 48)
        h = 30 + int(rnd.next() * 70)
        if rnd.next() < 0.12:
            h += 40  # a tower now and then
        houses.append((x, x + w, water_top - h, 9 + int(rnd.next() * 3), int(rnd.next() * 1000)))
        x += w + int(rnd.next() * 6)
    star_field = {(int(rnd.next() * width), int(rnd.next() * 90)) for _ in range(140)}
    moon = (470, 38, 16)
    indices = []
    for y in range(height):
        row = []
        for x in range(width):
            if y < water_top:
                level = clamp(y / water_top) * 3.999
                band = int(level)
                index = band + (1 if (level - band) * 16 > BAYER[y % 4][x % 4] else 0)
                if (x, y) in star_field:
                    index = 15
                if math.hypot(x - moon[0], y - moon[1]) < moon[2]:
                    index = 5
                for left, right, top, shade, seed in houses:
                    if left <= x < right and y >= top:
                        index = shade
                        wx, wy = x - left - 4, y - top - 6
                        if wx >= 0 and wy >= 0 and wx % 10 < 5 and wy % 14 < 7 and \
                                right - x > 4 and water_top - y > 8:
                            lit = (seed + (wx // 10) * 7 + (wy // 14) * 13) % 5
                            index = 6 if lit == 0 else 7 if lit == 1 else index
                        break
            else:
                t = (y - water_top) / (height - water_top)
                index = 12 if t + 0.2 * math.sin(x * 0.05 + y) > 0.4 else 13
                ripple = math.sin(x * 0.09 + y * 1.7) > 0.7
                if abs(x - moon[0]) < 10 + t * 30 and ripple:
                    index = 14
                reflected = water_top - 1 - (y - water_top)
                for left, right, top, shade, seed in houses:
                    if left <= x < right and reflected >= top and ripple and (x + y) % 3:
                        index = 10
                        break
            row.append(index)
        indices.append(row)
    return indices


def sparkle():
    """A four-pointed glint: thin along the axes, a glow at the centre."""
    size = 48
    gold, white = rgb(0xffe9a0), (255, 255, 255)
    picture = []
    for y in range(size):
        row = []
        for x in range(size):
            px, py = x + 0.5 - size / 2, y + 0.5 - size / 2
            arms = min(abs(px) * 6 + abs(py), abs(py) * 6 + abs(px)) / 22
            pixel = over((0.0, 0.0, 0.0, 0.0), gold, clamp(1 - math.hypot(px, py) / 18) ** 2 * 0.7)
            pixel = over(pixel, white, coverage((arms - 1) * 10))
            row.append(unpremultiply(pixel))
        picture.append(row)
    return picture


def main():
    folder = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else pathlib.Path(__file__).parent
    write_bmp(folder / "fox.bmp", fox())
    write_tga(folder / "lighthouse.tga", lighthouse())
    write_mag(folder / "town.mag", town(), TOWN_PALETTE)
    write_png(folder / "sparkle.png", sparkle())


if __name__ == "__main__":
    main()
