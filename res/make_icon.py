#!/usr/bin/env python3
"""Draws the program icon (a downward arrow over a film frame) at 48, 32 and
16 pixels and writes it as app.ico: 32-bit images with alpha and an AND mask.
Run it again after changing the drawing; the build uses the committed app.ico."""
import struct
import sys


def pixel(size, x, y):
    """RGBA of one pixel; coordinates are scaled to a 0..1 square."""
    u = (x + 0.5) / size
    v = (y + 0.5) / size
    # Rounded square background, dark slate blue with a vertical gradient.
    r = 0.18
    dx = max(0.0, max(r - u, u - (1 - r)))
    dy = max(0.0, max(r - v, v - (1 - r)))
    if dx * dx + dy * dy > r * r:
        return (0, 0, 0, 0)
    shade = 1.0 - 0.35 * v
    bg = (int(40 * shade), int(70 * shade), int(140 * shade), 255)
    # Film perforations along the left and right edges.
    if (u < 0.14 or u > 0.86) and 0.12 < v < 0.88 and int(v * 8) % 2 == 0:
        return (230, 230, 230, 255)
    # Arrow: a shaft and a triangular head, in warm orange.
    arrow = (250, 160, 40, 255)
    if 0.40 < u < 0.60 and 0.16 < v < 0.55:
        return arrow
    if 0.50 <= v < 0.84 and abs(u - 0.5) < (0.84 - v) * 0.95:
        return arrow
    return bg


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up, as DIBs are stored
        for x in range(size):
            r, g, b, a = pixel(size, x, y)
            rows.append(struct.pack("<BBBB", b, g, r, a))
    xor = b"".join(rows)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        bits = bytearray(stride)
        for x in range(size):
            if pixel(size, x, y)[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + bytes(mask)


def main(path):
    sizes = [48, 32, 16]
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "app.ico")
