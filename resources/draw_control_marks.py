#!/usr/bin/env python3
"""Draw bitmap resource 111 of mrwd.exe: the main dialog's two 16x16 marks
for a program's control, side by side in one 32x16 4-bit bitmap.

  image 0 (x 0..15):  control off, a grey ring with a grey bar across
  image 1 (x 16..31): control on, a green disc with a white tick

The background is magenta (255, 0, 255), the image list's mask colour. The
16-colour palette is the standard VGA one, so every colour used is exact.
The output is byte-for-byte the same on every run.

Run:  python3 resources/draw_control_marks.py [OUTPUT_FILE]
OUTPUT_FILE defaults to "bitmaps/control_marks.bmp" next to this script.
"""

import os
import struct
import sys

PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_GREEN, GREY, DARK_GREY, MAGENTA, WHITE = 0, 2, 7, 8, 13, 15

WIDTH, HEIGHT = 32, 16


def inside_disc(x, y, radius):
    dx, dy = x + 0.5 - 8, y + 0.5 - 8
    return dx * dx + dy * dy <= radius * radius


def off_mark(x, y):
    # A ring with a bar: "not watched".
    if inside_disc(x, y, 7.0) and not inside_disc(x, y, 5.6):
        return DARK_GREY
    if 4 <= x <= 11 and 7 <= y <= 8:
        return DARK_GREY
    return MAGENTA


# The tick's pixels, drawn by hand for 16x16: two strokes two pixels thick.
TICK = {(4, 8), (5, 9), (6, 10), (7, 9), (8, 8), (9, 7), (10, 6), (11, 5),
        (4, 7), (5, 8), (6, 9), (7, 8), (8, 7), (9, 6), (10, 5), (11, 4)}


def on_mark(x, y):
    if (x, y) in TICK:
        return WHITE
    if inside_disc(x, y, 7.0):
        return DARK_GREEN if inside_disc(x, y, 6.0) else BLACK
    return MAGENTA


def pixel(x, y):
    return off_mark(x, y) if x < 16 else on_mark(x - 16, y)


def bitmap_bytes():
    row_bytes = WIDTH // 2  # 16 bytes: already a multiple of 4
    rows = []
    for y in reversed(range(HEIGHT)):  # bottom-up
        row = bytearray()
        for x in range(0, WIDTH, 2):
            row.append(pixel(x, y) << 4 | pixel(x + 1, y))
        rows.append(bytes(row))
    image = b"".join(rows)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 4, 0, len(image), 2835, 2835, 16, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    assert len(image) == row_bytes * HEIGHT
    return header + info + palette + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "bitmaps", "control_marks.bmp")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(bitmap_bytes())


if __name__ == "__main__":
    main()
