#!/usr/bin/env python3
"""Draws the updater's icon: one 48 x 48 image of 32 bits per pixel, written as an .ico file.

A rounded pale-blue tile with a white arrow pointing down into a tray: "a new version comes in".
The image is 40 + 48*48*4 + 48*8 = 9640 bytes (header, BGRA pixels, AND mask).
"""
import struct
import sys

SIZE = 48


def inside_rounded_square(x, y, margin=2, radius=9):
    lo, hi = margin, SIZE - 1 - margin
    if x < lo or x > hi or y < lo or y > hi:
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def arrow(x, y):
    """The white arrow and tray, in top-down coordinates."""
    shaft = 20 <= x <= 27 and 9 <= y <= 24
    head = 25 <= y <= 34 and abs(x - 23.5) <= (34 - y) + 0.5
    tray = (37 <= y <= 39 and 11 <= x <= 36) or (31 <= y <= 39 and (11 <= x <= 13 or 34 <= x <= 36))
    return shaft or head or tray


def pixel(x, y):
    if not inside_rounded_square(x, y):
        return (0, 0, 0, 0)
    if arrow(x, y):
        return (255, 255, 255, 255)
    # vertical gradient from a light to a deeper blue (BGRA)
    t = y / (SIZE - 1)
    r = int(64 - 40 * t)
    g = int(150 - 60 * t)
    b = int(235 - 40 * t)
    return (b, g, r, 255)


def image_bytes():
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, SIZE * SIZE * 4, 0, 0, 0, 0)
    rows = []
    for y in range(SIZE - 1, -1, -1):  # bottom-up
        rows.append(b"".join(bytes(pixel(x, y)) for x in range(SIZE)))
    mask_row_bytes = ((SIZE + 31) // 32) * 4
    mask = bytearray()
    for y in range(SIZE - 1, -1, -1):
        row = bytearray(mask_row_bytes)
        for x in range(SIZE):
            if pixel(x, y)[3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + b"".join(rows) + bytes(mask)


def main(path):
    image = image_bytes()
    assert len(image) == 9640, len(image)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    with open(path, "wb") as out:
        out.write(directory + entry + image)


if __name__ == "__main__":
    main(sys.argv[1])
