#!/usr/bin/env python3
"""Draws the installer's icon, a white Q on a blue disc, into an .ico file
with 16, 32 and 48 pixel images (32-bit, with alpha), so that the build
needs no image of its own.

Usage: draw_icon.py OUTPUT.ico
"""

import math
import struct
import sys

SIZES = (16, 32, 48)
SAMPLES = 4  # Per side of a pixel, for smooth edges.


def colour_at(x, y):
    """The colour (r, g, b, a) at a point of the unit square."""
    dx, dy = x - 0.5, y - 0.5
    r = math.hypot(dx, dy)
    if r > 0.48:
        return None
    ring = 0.19 < r < 0.29
    # The Q's tail: a short stroke down to the lower right.
    along = (dx + dy) / math.sqrt(2)
    across = abs(dx - dy) / math.sqrt(2)
    tail = 0.12 < along < 0.40 and across < 0.05
    if ring or tail:
        return (255, 255, 255, 255)
    shade = 1.0 - 0.35 * y
    return (int(40 * shade), int(100 * shade), int(200 * shade), 255)


def image(size):
    """A DIB entry: header, bottom-up BGRA rows, then the AND mask."""
    rows = []
    for row in range(size - 1, -1, -1):
        line = bytearray()
        for col in range(size):
            total = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((col + (sx + 0.5) / SAMPLES) / size,
                                  (row + (sy + 0.5) / SAMPLES) / size)
                    if c:
                        for i in range(4):
                            total[i] += c[i] * c[3] // 255 if i < 3 else c[3]
            n = SAMPLES * SAMPLES
            alpha = total[3] // n
            if alpha:
                rgb = [min(255, t * 255 // (alpha * n)) for t in total[:3]]
            else:
                rgb = [0, 0, 0]
            line += bytes((rgb[2], rgb[1], rgb[0], alpha))
        rows.append(bytes(line))
    mask_row = ((size + 31) // 32) * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         0, 0, 0, 0, 0)
    return header + b"".join(rows) + bytes(mask_row * size)


def main():
    images = [image(size) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data),
                           offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main()
