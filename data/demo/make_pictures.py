#!/usr/bin/env python3
"""Draws the demo game's pictures into data/demo (or the folder given).

    hill.png     640x480  evening hills, the opening and closing scene
    forest.png   640x480  a pine forest, one branch of the choice
    sea.png      640x480  the sea by moonlight, the other branch
    guide.png    200x360  the guide: a stylised figure with soft alpha edges
    frame.png    608x128  the translucent panel behind the message text
    choice.png   320x88   the darker panel behind the items of the choice
    button.png   168x150  an image button, three rows of 168x50:
                          plain, lit (under the pointer), disabled

Everything is computed from fixed shapes and a fixed pseudo-random sequence,
so the same script always writes the same files. Shapes get their soft edges
from signed distances: coverage is 1 inside, 0 outside and a ramp of about one
pixel across the edge. Standard library only; the PNG chunks are written here.

    data/demo/make_pictures.py [FOLDER]
"""
import math
import pathlib
import struct
import sys
import zlib

# ---------------------------------------------------------------- PNG output


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def _filtered(row, prev, bpp):
    """The row under each of the five PNG filters."""
    n = len(row)
    left = bytes(bpp) + row[:-bpp]
    upleft = bytes(bpp) + prev[:-bpp]
    yield 0, row
    yield 1, bytes((row[i] - left[i]) & 255 for i in range(n))
    yield 2, bytes((row[i] - prev[i]) & 255 for i in range(n))
    yield 3, bytes((row[i] - ((left[i] + prev[i]) >> 1)) & 255 for i in range(n))
    yield 4, bytes((row[i] - _paeth(left[i], prev[i], upleft[i])) & 255 for i in range(n))


def _cost(data):
    # The usual heuristic: the filter whose bytes, read as signed, sum smallest.
    return sum(b if b < 128 else 256 - b for b in data)


def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def write_png(path, picture):
    """Writes an 8-bit RGB or RGBA PNG; rows are lists of (r, g, b[, a]) tuples."""
    height, width = len(picture), len(picture[0])
    bpp = len(picture[0][0])
    raw = bytearray()
    prev = bytes(width * bpp)
    for pixels in picture:
        row = bytes(v for pixel in pixels for v in pixel)
        kind, data = min(_filtered(row, prev, bpp), key=lambda f: _cost(f[1]))
        raw.append(kind)
        raw += data
        prev = row
    header = struct.pack(">IIBBBBB", width, height, 8, 6 if bpp == 4 else 2, 0, 0, 0)
    path.write_bytes(b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header) +
                     _chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + _chunk(b"IEND", b""))


# ---------------------------------------------------------- drawing helpers


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def ramp(stops, t):
    """The colour at t along a list of (position, colour) stops."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0))
    return stops[-1][1]


def coverage(distance, softness=1.0):
    """Signed distance (negative inside) to coverage, with a soft edge."""
    return clamp(0.5 - distance / softness)


def rgb(hex_colour):
    return tuple((hex_colour >> s) & 255 for s in (16, 8, 0))


def to_bytes(colour):
    return tuple(int(clamp(c / 255.0) * 255.0 + 0.5) for c in colour)


class Random:
    """A small linear congruential generator, the same on every Python."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return self.state / 0x7FFFFFFF


# Signed distances of the shapes used below.


def sd_circle(x, y, cx, cy, r):
    return math.hypot(x - cx, y - cy) - r


def sd_ellipse(x, y, cx, cy, rx, ry):
    # Scaled circle distance: close enough near the edge for soft edges.
    k = math.hypot((x - cx) / rx, (y - cy) / ry)
    return (k - 1.0) * min(rx, ry)


def sd_round_box(x, y, left, top, right, bottom, radius):
    cx, cy = (left + right) / 2, (top + bottom) / 2
    hx, hy = (right - left) / 2 - radius, (bottom - top) / 2 - radius
    qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def sd_segment(x, y, ax, ay, bx, by, r):
    """A capsule: the segment a-b thickened by r."""
    px, py, dx, dy = x - ax, y - ay, bx - ax, by - ay
    t = clamp((px * dx + py * dy) / (dx * dx + dy * dy))
    return math.hypot(px - dx * t, py - dy * t) - r


def sd_polygon(x, y, points):
    d = float("inf")
    inside = False
    j = len(points) - 1
    for i in range(len(points)):
        (xi, yi), (xj, yj) = points[i], points[j]
        ex, ey = xj - xi, yj - yi
        wx, wy = x - xi, y - yi
        t = clamp((wx * ex + wy * ey) / (ex * ex + ey * ey))
        d = min(d, math.hypot(wx - ex * t, wy - ey * t))
        if (yi > y) != (yj > y) and x < xi + (y - yi) * ex / ey:
            inside = not inside
        j = i
    return -d if inside else d


def over(dest, colour, alpha):
    """Premultiplied 'over': dest is (r, g, b, a) with colour already times a."""
    r, g, b, a = dest
    k = 1.0 - alpha
    return (colour[0] * alpha + r * k, colour[1] * alpha + g * k,
            colour[2] * alpha + b * k, alpha + a * k)


def unpremultiply(pixel):
    r, g, b, a = pixel
    if a <= 0.0:
        return (0, 0, 0, 0)
    return to_bytes((r / a, g / a, b / a)) + (int(clamp(a) * 255 + 0.5),)


# -------------------------------------------------------------- backgrounds

WIDTH, HEIGHT = 640, 480


def ridge(x, base, waves):
    """Height of a range of hills at column x: base plus a few sine waves."""
    return base + sum(a * math.sin(x * f + p) for a, f, p in waves)


def stars(seed, count, bottom):
    rnd = Random(seed)
    return [(rnd.next() * WIDTH, rnd.next() * bottom, 0.6 + rnd.next() * 0.9,
             0.4 + rnd.next() * 0.6) for _ in range(count)]


def star_light(x, y, sky):
    light = 0.0
    for sx, sy, r, bright in sky:
        if abs(x - sx) < 3 and abs(y - sy) < 3:
            light = max(light, bright * coverage(math.hypot(x + 0.5 - sx, y + 0.5 - sy) - r))
    return light


def hill():
    sky = [(0.0, rgb(0x141838)), (0.35, rgb(0x3a2f6e)), (0.62, rgb(0xa3507a)),
           (0.78, rgb(0xf08a4b)), (1.0, rgb(0xffc97a))]
    sun = (190.0, 300.0, 34.0)
    far = [(14, 0.011, 0.4), (8, 0.027, 1.9), (3, 0.061, 0.3)]
    near = [(22, 0.007, 2.2), (9, 0.019, 0.8), (3, 0.05, 1.4)]
    sky_stars = stars(7, 70, 200)
    picture = []
    for y in range(HEIGHT):
        row = []
        for x in range(WIDTH):
            colour = ramp(sky, y / 330.0)
            d = math.hypot(x - sun[0], y - sun[1])
            glow = clamp(1.0 - d / 170.0) ** 2 * 0.55
            colour = mix(colour, rgb(0xffe0a0), glow)
            colour = mix(colour, rgb(0xfff3d0), coverage(d - sun[2], 1.5))
            colour = mix(colour, (255, 255, 255), star_light(x, y, sky_stars) * clamp(1 - y / 220))
            top = ridge(x, 318, far)
            colour = mix(colour, mix(rgb(0x5b3a6e), rgb(0x3a2850), clamp((y - top) / 60)),
                         coverage(top - y - 0.5))
            top = ridge(x, 372, near)
            ground = mix(rgb(0x2b2440), rgb(0x15121f), clamp((y - top) / 110))
            colour = mix(colour, ground, coverage(top - y - 0.5))
            row.append(to_bytes(colour))
        picture.append(row)
    return picture


def forest():
    sky = [(0.0, rgb(0x9fd3c7)), (0.6, rgb(0xd8eed0)), (1.0, rgb(0xf4f7da))]
    meadow = [(0.0, rgb(0xc6dcb4)), (1.0, rgb(0x4f7a52))]
    rnd = Random(42)
    # Rows of pines from far (pale, small) to near (dark, large).
    rows = []
    for depth, (base, size, colour, count) in enumerate([
            (250, 60, rgb(0x8fb8a0), 16), (300, 95, rgb(0x5d8f6e), 11),
            (370, 150, rgb(0x33644a), 8), (470, 230, rgb(0x1b3d2c), 6)]):
        trees = []
        for i in range(count):
            cx = (i + 0.2 + rnd.next() * 0.6) * WIDTH / count + depth * 17
            cx = cx % (WIDTH + 80) - 40
            h = size * (0.75 + rnd.next() * 0.4)
            trees.append((cx, base - h, base, h * 0.33))
        rows.append((colour, trees))
    picture = []
    for y in range(HEIGHT):
        row = []
        for x in range(WIDTH):
            colour = ramp(sky, y / 300.0)
            # A misty meadow behind the trees, so that no sky shows between the rows.
            colour = mix(colour, ramp(meadow, (y - 236) / 200.0), coverage(236 - y - 0.5, 3.0))
            px = x + 0.5
            for shade, trees in rows:
                cover = 0.0
                for cx, top, base, half in trees:
                    if top <= y <= base + 12:
                        # Three stacked tiers give the pine its outline.
                        t = (y - top) / (base - top)
                        widen = half * (t if t <= 1 else 1) * (1.0 - 0.25 * ((t * 3) % 1.0))
                        cover = max(cover, coverage(abs(px - cx) - widen))
                        if abs(px - cx) < half * 0.08 and y > base - 4:
                            cover = 1.0
                colour = mix(colour, shade, cover)
            floor = 440 + 6 * math.sin(x * 0.02)
            path = abs(x - 320 - (y - 480) * 0.45) < (y - 400) * 1.2
            ground = rgb(0xc9b48a) if path else rgb(0x2e5236)
            colour = mix(colour, ground, coverage(floor - y - 0.5) * clamp((y - 400) / 10))
            row.append(to_bytes(colour))
        picture.append(row)
    return picture


def sea():
    sky = [(0.0, rgb(0x050a1e)), (0.7, rgb(0x142a55)), (1.0, rgb(0x2d4f80))]
    water = [(0.0, rgb(0x1d3a66)), (1.0, rgb(0x07142c))]
    moon = (250.0, 104.0, 30.0)
    horizon = 250
    sky_stars = stars(11, 90, horizon)
    picture = []
    for y in range(HEIGHT):
        row = []
        for x in range(WIDTH):
            if y < horizon:
                colour = ramp(sky, y / horizon)
                d = math.hypot(x - moon[0], y - moon[1])
                colour = mix(colour, rgb(0x6f8cc0), clamp(1.0 - d / 140.0) ** 2 * 0.6)
                colour = mix(colour, rgb(0xf4f1dc), coverage(d - moon[2], 1.5))
                colour = mix(colour, (255, 255, 255), star_light(x, y, sky_stars))
            else:
                t = (y - horizon) / (HEIGHT - horizon)
                colour = ramp(water, t)
                # Swell lines closer together towards the horizon, and the moon's path.
                wave = math.sin((y - horizon) ** 0.75 * 2.4 + math.sin(x * 0.031 + y * 0.3) * 1.3)
                colour = mix(colour, rgb(0x3f6aa0), clamp(wave - 0.6) * 1.6)
                spread = 14 + t * 70
                glint = clamp(1.0 - abs(x - moon[0]) / spread) * clamp(wave + 0.2)
                colour = mix(colour, rgb(0xe6ecd2), glint * 0.85)
            row.append(to_bytes(colour))
        picture.append(row)
    return picture


# ------------------------------------------------------------------ figures


def guide():
    """The guide: hair, face, scarf and coat over each other, soft-edged."""
    width, height = 200, 360
    skin, hair, hair_hi = rgb(0xf6d5bd), rgb(0x4a2e2a), rgb(0x7a4e40)
    coat, coat_dark, scarf = rgb(0x2f6f8f), rgb(0x1d4a62), rgb(0xc8463c)
    eye, cheek = rgb(0x2a1c28), rgb(0xf2a49a)
    coat_outline = [(62, 128), (138, 128), (160, 150), (176, 360), (24, 360), (40, 150)]
    parts = [
        # (signed distance, colour at the pixel)
        (lambda x, y: sd_ellipse(x, y, 100, 86, 50, 66),
         lambda x, y: mix(hair, hair_hi, clamp((y - 40) / 120) * 0.4)),
        (lambda x, y: sd_polygon(x, y, coat_outline) - 8,
         lambda x, y: mix(coat, coat_dark, clamp(abs(x - 100) / 90 + (y - 140) / 500))),
        (lambda x, y: sd_segment(x, y, 100, 126, 100, 360, 2),
         lambda x, y: coat_dark),
        (lambda x, y: sd_round_box(x, y, 88, 96, 112, 134, 6),
         lambda x, y: mix(skin, rgb(0xd9a890), 0.5)),
        (lambda x, y: sd_ellipse(x, y, 100, 80, 36, 42),
         lambda x, y: skin),
        (lambda x, y: max(sd_ellipse(x, y, 100, 66, 42, 36), y - 68 - 7 * math.sin(x * 0.35)),
         lambda x, y: mix(hair, hair_hi, clamp((70 - y) / 40) * 0.5)),
        (lambda x, y: sd_ellipse(x, y, 86, 86, 4.5, 6.5), lambda x, y: eye),
        (lambda x, y: sd_ellipse(x, y, 114, 86, 4.5, 6.5), lambda x, y: eye),
        (lambda x, y: sd_ellipse(x, y, 80, 100, 6, 3.5), lambda x, y: mix(skin, cheek, 0.8)),
        (lambda x, y: sd_ellipse(x, y, 120, 100, 6, 3.5), lambda x, y: mix(skin, cheek, 0.8)),
        (lambda x, y: sd_segment(x, y, 95, 110, 105, 110, 1.2), lambda x, y: rgb(0xb0605a)),
        (lambda x, y: sd_round_box(x, y, 66, 126, 134, 146, 10), lambda x, y: scarf),
        (lambda x, y: sd_round_box(x, y, 112, 136, 128, 196, 6),
         lambda x, y: mix(scarf, rgb(0x8e2c28), clamp((y - 140) / 60))),
    ]
    picture = []
    for y in range(height):
        row = []
        for x in range(width):
            px, py = x + 0.5, y + 0.5
            pixel = (0.0, 0.0, 0.0, 0.0)
            for distance, colour in parts:
                a = coverage(distance(px, py))
                if a > 0.0:
                    pixel = over(pixel, colour(px, py), a)
            # The figure fades out towards its lower edge, under the message panel.
            fade = clamp((height - py) / 60.0)
            row.append(unpremultiply(tuple(c * fade for c in pixel)))
        picture.append(row)
    return picture


def frame():
    width, height = 608, 128
    fill_top, fill_bottom = rgb(0xfffaf0), rgb(0xf1e6cf)
    border, line = rgb(0x2a3a6a), rgb(0xc49a3a)
    picture = []
    for y in range(height):
        row = []
        for x in range(width):
            px, py = x + 0.5, y + 0.5
            outer = sd_round_box(px, py, 1, 1, width - 1, height - 1, 16)
            inside = coverage(outer + 3)
            pixel = over((0.0, 0.0, 0.0, 0.0), mix(fill_top, fill_bottom, py / height),
                         inside * 0.92)
            pixel = over(pixel, border, coverage(outer) - inside)
            gold = abs(outer + 7) - 0.7
            pixel = over(pixel, line, coverage(gold) * 0.9)
            row.append(unpremultiply(pixel))
        picture.append(row)
    return picture


def choice():
    width, height = 320, 88
    fill, border = rgb(0x101a38), rgb(0xc8d4ff)
    picture = []
    for y in range(height):
        row = []
        for x in range(width):
            outer = sd_round_box(x + 0.5, y + 0.5, 1, 1, width - 1, height - 1, 12)
            inside = coverage(outer + 2)
            pixel = over((0.0, 0.0, 0.0, 0.0), fill, inside * 0.65)
            pixel = over(pixel, border, (coverage(outer) - inside) * 0.8)
            row.append(unpremultiply(pixel))
        picture.append(row)
    return picture


# The button's label, "NEXT" and an arrow, as strokes on a 10-unit grid.
LABEL = [
    (0, 0, 0, 10), (0, 0, 5, 10), (5, 0, 5, 10),                 # N
    (8, 0, 8, 10), (8, 0, 12.5, 0), (8, 5, 12, 5), (8, 10, 12.5, 10),  # E
    (15, 0, 20, 10), (20, 0, 15, 10),                            # X
    (22.5, 0, 28.5, 0), (25.5, 0, 25.5, 10),                     # T
]
ARROW = [(33, 0), (39, 5), (33, 10)]


def button():
    cell_w, cell_h = 168, 50
    states = [
        # fill top, fill bottom, border, label, glow, opacity
        (rgb(0x4d6fa8), rgb(0x2b4678), rgb(0xdde6ff), rgb(0xffffff), None, 1.0),
        (rgb(0xffe07a), rgb(0xf0a428), rgb(0xfff6d0), rgb(0x4a2800), rgb(0xffd24a), 1.0),
        (rgb(0x9a9a9a), rgb(0x707070), rgb(0xc8c8c8), rgb(0xd8d8d8), None, 0.55),
    ]
    scale, ox, oy = 2.0, 44.0, 15.0
    picture = []
    for top, bottom, edge, ink, glow, opacity in states:
        for y in range(cell_h):
            row = []
            for x in range(cell_w):
                px, py = x + 0.5, y + 0.5
                box = sd_round_box(px, py, 8, 7, cell_w - 8, cell_h - 7, 12)
                pixel = (0.0, 0.0, 0.0, 0.0)
                if glow:
                    pixel = over(pixel, glow, clamp(1.0 - box / 7.0) ** 2 * 0.8 * (box > -1))
                pixel = over(pixel, edge, coverage(box))
                pixel = over(pixel, mix(top, bottom, (py - 7) / (cell_h - 14)),
                             coverage(box + 2))
                gx, gy = (px - ox) / scale, (py - oy) / scale
                label = min(sd_segment(gx, gy, *s, 0.9) for s in LABEL)
                label = min(label, sd_polygon(gx, gy, ARROW))
                pixel = over(pixel, ink, coverage(label * scale))
                row.append(unpremultiply(tuple(c * opacity for c in pixel)))
            picture.append(row)
    return picture


def main():
    folder = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else pathlib.Path(__file__).parent
    for name, draw in [("hill.png", hill), ("forest.png", forest), ("sea.png", sea),
                       ("guide.png", guide), ("frame.png", frame), ("choice.png", choice),
                       ("button.png", button)]:
        write_png(folder / name, draw())


if __name__ == "__main__":
    main()
