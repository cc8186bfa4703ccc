#!/usr/bin/env python3
"""Draws the header's check-all images as checkboxes.bmp: a 39 x 13 strip of
three 13 x 13 images (0 blank, 1 empty box, 2 ticked box) on magenta, the
colour the image list masks out. The boxes are pixel for pixel the box the
header draws itself when it has no image list, so the two always agree.
Run it again after changing the drawing; the build uses the committed file.
Needs Pillow (Debian python3-pil): /usr/bin/python3 res/make_checkboxes.py"""
import os
from PIL import Image

SIZE = 13
MAGENTA = (255, 0, 255)
WINDOW = (255, 255, 255)
FRAME = (51, 102, 153)
TICK = (51, 153, 51)


def tick_pixels():
    """The tick inside a box at (0, 0): seven three-pixel vertical strokes,
    four stepping down-left from (9, 3), then three stepping up-left."""
    x, y = 9, 3
    starts = [(x, y), (x - 1, y + 1), (x - 2, y + 2), (x - 3, y + 3),
              (x - 4, y + 4), (x - 5, y + 3), (x - 6, y + 2)]
    return [(px, py + i) for px, py in starts for i in range(3)]


def main():
    strip = Image.new("RGB", (3 * SIZE, SIZE), MAGENTA)
    for index in (1, 2):
        left = index * SIZE
        for yy in range(SIZE):
            for xx in range(SIZE):
                edge = xx in (0, SIZE - 1) or yy in (0, SIZE - 1)
                strip.putpixel((left + xx, yy), FRAME if edge else WINDOW)
        if index == 2:
            for px, py in tick_pixels():
                strip.putpixel((left + px, py), TICK)
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "checkboxes.bmp")
    strip.save(out, "BMP")


if __name__ == "__main__":
    main()
