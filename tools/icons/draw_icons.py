#!/usr/bin/env python3
"""Draws the program's icons as PNG files (no image library needed).

Run from the repository root: python3 tools/icons/draw_icons.py
Writes ui/images/*.png; the images are committed, this script documents them.
"""
import math
import struct
import zlib
import os

OUT = os.path.join(os.path.dirname(__file__), "..", "..", "ui", "images")


def write_png(path, width, height, pixel):
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(pixel(x, y))
    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def supersample(shape, x, y, n=4):
    """Average colour of shape() over n*n sub-pixels (simple anti-aliasing)."""
    acc = [0.0, 0.0, 0.0, 0.0]
    for i in range(n):
        for j in range(n):
            r, g, b, a = shape(x + (i + 0.5) / n, y + (j + 0.5) / n)
            acc[0] += r * a
            acc[1] += g * a
            acc[2] += b * a
            acc[3] += a
    a = acc[3] / (n * n)
    if acc[3] == 0:
        return (0, 0, 0, 0)
    return (int(acc[0] / acc[3]), int(acc[1] / acc[3]), int(acc[2] / acc[3]), int(a))


NAVY = (16, 52, 92, 255)
SEA = (38, 140, 196, 255)
WHITE = (250, 250, 250, 255)
CLEAR = (0, 0, 0, 0)


def inside_triangle(px, py, a, b, c):
    def sign(p1, p2, p3):
        return (p1[0] - p3[0]) * (p2[1] - p3[1]) - (p2[0] - p3[0]) * (p1[1] - p3[1])
    d1 = sign((px, py), a, b)
    d2 = sign((px, py), b, c)
    d3 = sign((px, py), c, a)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


def app_icon(size):
    s = size / 64.0
    def shape(x, y):
        cx, cy = 32 * s, 32 * s
        if math.hypot(x - cx, y - cy) > 30 * s:
            return CLEAR
        wave = 44 * s + 2.5 * s * math.sin(x / (5 * s))
        if y > wave:
            return SEA
        if inside_triangle(x, y, (31 * s, 8 * s), (31 * s, 40 * s), (50 * s, 40 * s)):
            return WHITE
        if inside_triangle(x, y, (28 * s, 14 * s), (28 * s, 40 * s), (15 * s, 40 * s)):
            return WHITE
        if 29 * s <= x <= 30.5 * s and 8 * s <= y <= 42 * s:
            return WHITE
        return NAVY
    return lambda x, y: supersample(shape, x, y)


def button(width, height, fill, glyph):
    r = 6.0
    def shape(x, y):
        # rounded rectangle
        qx = min(max(x, r), width - r)
        qy = min(max(y, r), height - r)
        if math.hypot(x - qx, y - qy) > r:
            return CLEAR
        if glyph(x, y):
            return WHITE
        return fill
    return lambda x, y: supersample(shape, x, y)


def update_glyph(x, y):
    # a downward arrow at the left, then a bar suggesting the word
    cx = 18
    if 15 <= x <= 21 and 7 <= y <= 17:
        return True
    if inside_triangle(x, y, (10, 16), (26, 16), (18, 25)):
        return True
    return 34 <= x <= 100 and (11 <= y <= 14 or 18 <= y <= 21) and not (60 < x < 64)


def exit_glyph(x, y):
    # a cross at the left, then a bar
    cx, cy = 18, 16
    d1 = abs((x - cx) - (y - cy)) / math.sqrt(2)
    d2 = abs((x - cx) + (y - cy)) / math.sqrt(2)
    inside = abs(x - cx) <= 8 and abs(y - cy) <= 8
    if inside and (d1 <= 1.8 or d2 <= 1.8):
        return True
    return 34 <= x <= 96 and 14 <= y <= 18


def main():
    os.makedirs(OUT, exist_ok=True)
    write_png(os.path.join(OUT, "air-icon.png"), 64, 64, app_icon(64))
    write_png(os.path.join(OUT, "Update.png"), 114, 32, button(114, 32, (34, 139, 84, 255), update_glyph))
    write_png(os.path.join(OUT, "exit.png"), 113, 32, button(113, 32, (170, 52, 52, 255), exit_glyph))


if __name__ == "__main__":
    main()
