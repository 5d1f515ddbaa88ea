#!/usr/bin/env python3
"""Draw the two tray/window icons of mrwd.exe and write them as .ico files.

Both icons show a round badge with a heartbeat line across it:
  supervision_on.ico  (resource 102)  green badge, white ECG trace
  supervision_off.ico (resource 103)  grey badge, flat light-grey line

Each file holds 16x16, 32x32 and 48x48 images as 32-bit BGRA DIBs with an
AND mask, which is what LoadImage/LoadIcon expect. Edges are anti-aliased by
supersampling every pixel. Only the standard library is used and the output
is byte-for-byte the same on every run, so the .ico files can be regenerated
and diffed.

Run:  python3 resources/draw_icons.py [OUTPUT_DIR]
OUTPUT_DIR defaults to the "icons" folder next to this script.
"""

import math
import os
import struct
import sys

# Samples per pixel along each axis. 8x8 gives 64 coverage levels, enough
# for smooth edges at 1:1, and the whole run still takes well under a second.
SUPERSAMPLE = 8

SIZES = (16, 32, 48)

ON_STYLE = {
    "rim": (0x1B, 0x63, 0x24),
    "fill_top": (0x3A, 0xB0, 0x47),
    "fill_bottom": (0x2E, 0x9D, 0x3A),
    "line": (0xFF, 0xFF, 0xFF),
    "beating": True,
}

OFF_STYLE = {
    "rim": (0x5A, 0x5A, 0x5A),
    "fill_top": (0x96, 0x96, 0x96),
    "fill_bottom": (0x8A, 0x8A, 0x8A),
    "line": (0xE4, 0xE4, 0xE4),
    "beating": False,
}

# Per-size geometry in pixels. Tuned by hand rather than scaled, because a
# 16x16 tray icon needs a relatively thicker line and a simpler trace to stay
# readable, and the flat parts of the line should sit exactly on pixel rows
# so they come out crisp instead of as two half-grey rows.
#   radius:   outer radius of the badge
#   rim:      width of the darker ring
#   line:     stroke width of the heartbeat line
#   baseline: y of the line's flat parts (pixel edges at integers)
#   trace:    heartbeat polyline as (x, dy) with x in pixels and dy as a
#             fraction of the badge radius (negative is up on screen)
GEOMETRY = {
    16: {
        "radius": 7.7,
        "rim": 1.3,
        "line": 2.0,
        "baseline": 9.0,
        "trace": [(1.0, 0.0), (4.0, 0.0), (6.0, -0.72), (9.0, 0.55),
                  (10.5, 0.0), (15.0, 0.0)],
    },
    32: {
        "radius": 15.4,
        "rim": 2.0,
        "line": 3.0,
        "baseline": 17.5,
        "trace": [(2.0, 0.0), (7.5, 0.0), (10.0, -0.24), (12.5, 0.0),
                  (14.5, 0.0), (17.0, -0.76), (19.5, 0.42), (21.5, 0.0),
                  (30.0, 0.0)],
    },
    48: {
        "radius": 23.2,
        "rim": 2.8,
        "line": 4.0,
        "baseline": 26.0,
        "trace": [(3.0, 0.0), (13.0, 0.0), (16.0, -0.15), (19.0, 0.0),
                  (21.0, 0.0), (25.0, -0.75), (29.0, 0.42), (32.0, 0.0),
                  (45.0, 0.0)],
    },
}


def _seg_dist2(px, py, ax, ay, bx, by):
    """Squared distance from point P to segment AB."""
    dx, dy = bx - ax, by - ay
    len2 = dx * dx + dy * dy
    if len2 == 0.0:
        t = 0.0
    else:
        t = ((px - ax) * dx + (py - ay) * dy) / len2
        t = 0.0 if t < 0.0 else (1.0 if t > 1.0 else t)
    qx, qy = ax + t * dx - px, ay + t * dy - py
    return qx * qx + qy * qy


def render(size, style):
    """Return size*size straight-alpha (r, g, b, a) tuples, top row first."""
    geo = GEOMETRY[size]
    cx = cy = size / 2.0
    r_out = geo["radius"]
    r_in = r_out - geo["rim"]
    half_w = geo["line"] / 2.0
    base = geo["baseline"]
    if style["beating"]:
        pts = [(x, base + dy * r_out) for x, dy in geo["trace"]]
    else:
        # The "off" icon is a flatline: same extent, no beat.
        xs = [x for x, _ in geo["trace"]]
        pts = [(min(xs), base), (max(xs), base)]
    segs = list(zip(pts[:-1], pts[1:]))

    rim_c = style["rim"]
    top_c, bot_c = style["fill_top"], style["fill_bottom"]
    line_c = style["line"]

    r_out2, r_in2, hw2 = r_out * r_out, r_in * r_in, half_w * half_w
    # Bounding box of the trace plus stroke, to skip distance tests cheaply.
    lx0 = min(p[0] for p in pts) - half_w
    lx1 = max(p[0] for p in pts) + half_w
    ly0 = min(p[1] for p in pts) - half_w
    ly1 = max(p[1] for p in pts) + half_w

    n = SUPERSAMPLE
    offs = [(i + 0.5) / n for i in range(n)]
    total = float(n * n)
    pixels = []
    for py in range(size):
        for px in range(size):
            acc_r = acc_g = acc_b = acc_a = 0.0
            for oy in offs:
                y = py + oy
                dy = y - cy
                for ox in offs:
                    x = px + ox
                    dx = x - cx
                    d2 = dx * dx + dy * dy
                    if d2 > r_out2:
                        continue  # outside the badge: transparent
                    if d2 > r_in2:
                        c = rim_c
                    else:
                        c = None
                        # The line stays inside the rim so the badge
                        # outline reads as one unbroken ring.
                        if lx0 <= x <= lx1 and ly0 <= y <= ly1:
                            for (ax, ay), (bx, by) in segs:
                                if _seg_dist2(x, y, ax, ay, bx, by) <= hw2:
                                    c = line_c
                                    break
                        if c is None:
                            # Slight top-to-bottom shading gives the badge
                            # some depth without adding detail.
                            t = (dy / r_in + 1.0) / 2.0
                            c = tuple(top_c[k] + (bot_c[k] - top_c[k]) * t
                                      for k in range(3))
                    acc_r += c[0]
                    acc_g += c[1]
                    acc_b += c[2]
                    acc_a += 1.0
            if acc_a == 0.0:
                pixels.append((0, 0, 0, 0))
            else:
                # Samples are all opaque, so averaging colour over covered
                # samples and alpha over all samples gives straight alpha.
                pixels.append((int(acc_r / acc_a + 0.5),
                               int(acc_g / acc_a + 0.5),
                               int(acc_b / acc_a + 0.5),
                               int(acc_a / total * 255.0 + 0.5)))
    return pixels


def dib_entry(size, pixels):
    """Encode one icon image: BITMAPINFOHEADER, BGRA rows, AND mask."""
    header = struct.pack("<IiiHHIIiiII",
                         40,            # biSize
                         size,          # biWidth
                         size * 2,      # biHeight: XOR image + AND mask
                         1,             # biPlanes
                         32,            # biBitCount
                         0,             # biCompression = BI_RGB
                         0, 0, 0, 0, 0)
    xor = bytearray()
    for row in range(size - 1, -1, -1):  # DIB rows are stored bottom-up
        for r, g, b, a in pixels[row * size:(row + 1) * size]:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in range(size - 1, -1, -1):
        line = bytearray(mask_stride)
        for col in range(size):
            # Set bit = "show the screen here", used by code paths that
            # ignore the alpha channel.
            if pixels[row * size + col][3] == 0:
                line[col >> 3] |= 0x80 >> (col & 7)
        mask += line
    image = bytearray(header) + xor + mask
    # Fill in biSizeImage now that the pixel data length is known.
    struct.pack_into("<I", image, 20, len(xor) + len(mask))
    return bytes(image)


def build_ico(style):
    images = [(s, dib_entry(s, render(s, style))) for s in SIZES]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII",
                           size % 256, size % 256,  # 256 would be stored as 0
                           0, 0,                    # no palette, reserved
                           1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return bytes(out)


def main(argv):
    if len(argv) > 2:
        sys.stderr.write("usage: draw_icons.py [OUTPUT_DIR]\n")
        return 2
    out_dir = argv[1] if len(argv) == 2 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "icons")
    os.makedirs(out_dir, exist_ok=True)
    for name, style in (("supervision_on.ico", ON_STYLE),
                        ("supervision_off.ico", OFF_STYLE)):
        path = os.path.join(out_dir, name)
        data = build_ico(style)
        with open(path, "wb") as f:
            f.write(data)
        print("wrote %s (%d bytes)" % (path, len(data)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
