#!/usr/bin/env python3
"""Draws the icon of .Q73 files, app/q73file.ico: one 32 x 32 image, 32-bit colour.

A white sheet with its top right corner folded down, carrying the program's
tile (app/make_icon.py) shrunk onto it: a document made by Q73.  Run it again
after changing either drawing:  python3 app/make_file_icon.py app/q73file.ico
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_icon  # noqa: E402

LEFT, RIGHT, TOP, BOTTOM = 4, 27, 1, 30
FOLD = 8                      # the folded corner's side
TILE_X, TILE_Y, TILE = 7, 10, 18  # where the program's tile sits, and its side

TRANSPARENT = (0, 0, 0, 0)
EDGE = (110, 110, 110, 255)
SHEET = (255, 255, 255, 255)
FLAP = (215, 215, 215, 255)


def pixel(x, y):
    """Colour (r, g, b, a) of the pixel at column x, row y (row 0 on top)."""
    if not (LEFT <= x <= RIGHT and TOP <= y <= BOTTOM):
        return TRANSPARENT
    # Past the fold's diagonal the corner is gone; on it, the crease.
    dx, dy = x - (RIGHT - FOLD), y - TOP
    if dx > dy:
        return TRANSPARENT
    if dx == dy or (dx > 0 and dy == FOLD) or (dx == 0 and dy <= FOLD):
        return EDGE
    if x in (LEFT, RIGHT) or y in (TOP, BOTTOM):
        return EDGE
    if dx > 0 and dy < FOLD:
        return FLAP
    if TILE_X <= x < TILE_X + TILE and TILE_Y <= y < TILE_Y + TILE:
        colour = make_icon.pixel((x - TILE_X) * make_icon.SIZE // TILE,
                                 (y - TILE_Y) * make_icon.SIZE // TILE)
        if colour[3]:
            return colour
    return SHEET


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "app/q73file.ico"
    with open(out, "wb") as f:
        f.write(make_icon.icon_bytes(pixel))
