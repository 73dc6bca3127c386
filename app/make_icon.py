#!/usr/bin/env python3
"""Draws the program's icon, app/q73.ico: one 32 x 32 image, 32-bit colour.

A blue tile with two white arrows pressing onto an orange bar: a file being
squeezed.  Plain Python, no imaging library; run it again after changing the
drawing:  python3 app/make_icon.py app/q73.ico
"""
import struct
import sys

SIZE = 32


def inside_rounded_square(x, y, margin=1, radius=6):
    lo, hi = margin, SIZE - 1 - margin
    if x < lo or x > hi or y < lo or y > hi:
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def inside_triangle(px, py, a, b, c):
    def side(p, q, r):
        return (p[0] - r[0]) * (q[1] - r[1]) - (q[0] - r[0]) * (p[1] - r[1])
    p = (px, py)
    d1, d2, d3 = side(p, a, b), side(p, b, c), side(p, c, a)
    negative = d1 < 0 or d2 < 0 or d3 < 0
    positive = d1 > 0 or d2 > 0 or d3 > 0
    return not (negative and positive)


def pixel(x, y):
    """Colour (r, g, b, a) of the pixel at column x, row y (row 0 on top)."""
    if not inside_rounded_square(x, y):
        return (0, 0, 0, 0)
    px, py = x + 0.5, y + 0.5
    # Arrow pointing down from the top edge, and one pointing up from below.
    down = inside_triangle(px, py, (7, 5), (25, 5), (16, 13)) or (13 <= px <= 19 and 2 <= py <= 6)
    up = inside_triangle(px, py, (7, 27), (25, 27), (16, 19)) or (13 <= px <= 19 and 26 <= py <= 30)
    if down or up:
        return (255, 255, 255, 255)
    if 5 <= x <= 26 and 15 <= y <= 16:
        return (255, 150, 20, 255)
    shade = 150 + (SIZE - y) * 3  # lighter towards the top
    return (20, 70, min(shade, 255), 255)


def icon_bytes(pixel=pixel):
    """The .ico file of one image drawn by pixel(x, y)."""
    # Bitmap rows go bottom-up, each pixel as B, G, R, A.
    colour = bytearray()
    for y in range(SIZE - 1, -1, -1):
        for x in range(SIZE):
            r, g, b, a = pixel(x, y)
            colour += bytes((b, g, r, a))
    # The AND mask: 1 bit a pixel, rows padded to 4 bytes; 1 = transparent.
    mask = bytearray()
    for y in range(SIZE - 1, -1, -1):
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if pixel(x, y)[3] == 0 else 0)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    image = header + colour + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "app/q73.ico"
    with open(out, "wb") as f:
        f.write(icon_bytes())
