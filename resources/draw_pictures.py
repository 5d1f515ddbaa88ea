#!/usr/bin/env python3
"""Draw the float window's three pictures and write them as GIF files.

Each picture is 60x60 pixels: a red border, a caption line at the top and
one at the bottom, and between them a surveillance camera on a pole mount:
  camera_on.gif     (resource 124)  green camera panning from side to side,
                                    8 frames, 500 ms each, looping
  camera_reboot.gif (resource 125)  red camera, one frame
  camera_off.gif    (resource 126)  grey camera, one frame

The camera is a small 3D model (boxes and cylinders) ray-cast with 4x4
samples per pixel, so its edges are smooth; borders and captions are drawn
pixel-exact. The colours of one picture are reduced to its 256-entry global
colour table, in which the border, background and caption colours are kept
exact; picture_files.py writes the GIF files (and the PNG previews).

Only the standard library is used and the output is byte-for-byte the same
on every run, so the files can be regenerated and diffed.

Run:  python3 resources/draw_pictures.py [OUTPUT_DIR] [--preview DIR]
OUTPUT_DIR defaults to the "pictures" folder next to this script.
--preview also writes every frame as PNG, at 1:1 and enlarged 6 times.
"""

import math
import os
import sys

from picture_files import build_gif, build_palette, index_frames, side_by_side, write_png

SIZE = 60
SUPERSAMPLE = 4
FRAMES_ON = 8
FRAME_DELAY_CS = 50  # hundredths of a second, as GIF counts them

BORDER = (0xC8, 0x1E, 0x1E)
BACKGROUND = (0xF2, 0xF3, 0xEE)
TOP_CAPTION = (0x2B, 0x2B, 0x33)

STYLES = {
    "on": {"body": (0x46, 0xB4, 0x4E), "caption": (0x1B, 0x7A, 0x25), "text": "ON"},
    "reboot": {"body": (0xD8, 0x3A, 0x30), "caption": (0xB0, 0x18, 0x18), "text": "REBOOT"},
    "off": {"body": (0x9C, 0x9C, 0x9C), "caption": (0x6E, 0x6E, 0x6E), "text": "OFF"},
}
TOP_TEXT = "WATCHDOG"

MOUNT = (0x6A, 0x6C, 0x72)
LENS_BARREL = (0x5A, 0x5E, 0x66)
LENS_GLASS = (0x16, 0x22, 0x52)

# 5x7 capitals for the captions, one string of 5 columns per row.
FONT = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "H": ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "W": ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
}
GLYPH_W, GLYPH_H = 5, 7


# ---------------------------------------------------------------- geometry

def rot_x(v, a):
    c, s = math.cos(a), math.sin(a)
    return (v[0], c * v[1] - s * v[2], s * v[1] + c * v[2])


def rot_y(v, a):
    c, s = math.cos(a), math.sin(a)
    return (c * v[0] + s * v[2], v[1], -s * v[0] + c * v[2])


def normalize(v):
    n = math.sqrt(sum(c * c for c in v))
    return tuple(c / n for c in v)


class Part:
    """A box or an upright cylinder, placed by a rotation and a position.

    `to_view` maps part-local directions to view space; the ray (straight
    into the screen) is taken back into the part's frame for the hit test.
    """

    def __init__(self, kind, lo, hi, colour, to_view, origin, radius=0.0, glass=False):
        self.kind, self.lo, self.hi = kind, lo, hi
        self.colour, self.to_view, self.origin = colour, to_view, origin
        self.radius, self.glass = radius, glass
        # Local axes as view-space vectors, for the inverse transform.
        self.axes = [to_view(e) for e in ((1, 0, 0), (0, 1, 0), (0, 0, 1))]

    def local(self, v):
        return tuple(sum(v[k] * a[k] for k in range(3)) for a in self.axes)

    def screen_box(self):
        """View-space x/y bounds of the part, to skip rays that miss it."""
        pts = []
        r = self.radius
        xs = (self.lo[0] - r, self.hi[0] + r)
        zs = (self.lo[2] - r, self.hi[2] + r)
        for x in xs:
            for y in (self.lo[1], self.hi[1]):
                for z in zs:
                    v = self.to_view((x, y, z))
                    pts.append((v[0] + self.origin[0], v[1] + self.origin[1]))
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        return min(xs), max(xs), min(ys), max(ys)

    def hit(self, x, y):
        """(view depth, view normal) where the ray through (x, y) meets the part."""
        o = self.local((x - self.origin[0], y - self.origin[1], 1000.0 - self.origin[2]))
        d = self.local((0.0, 0.0, -1.0))
        if self.kind == "box":
            return self._hit_box(o, d)
        return self._hit_cylinder(o, d)

    def _hit_box(self, o, d):
        t_near, t_far, axis, sign = -1e9, 1e9, 0, 1.0
        for k in range(3):
            if abs(d[k]) < 1e-12:
                if not (self.lo[k] <= o[k] <= self.hi[k]):
                    return None
                continue
            t1 = (self.lo[k] - o[k]) / d[k]
            t2 = (self.hi[k] - o[k]) / d[k]
            s = -1.0
            if t1 > t2:
                t1, t2, s = t2, t1, 1.0
            if t1 > t_near:
                t_near, axis, sign = t1, k, s
            t_far = min(t_far, t2)
            if t_near > t_far:
                return None
        n = [0.0, 0.0, 0.0]
        n[axis] = sign
        return 1000.0 - t_near, self.to_view(tuple(n))

    def _hit_cylinder(self, o, d):
        # Axis along local y, radius in x/z, caps at lo[1] and hi[1].
        r = self.radius
        best = None
        a = d[0] * d[0] + d[2] * d[2]
        if a > 1e-12:
            b = 2 * (o[0] * d[0] + o[2] * d[2])
            c = o[0] * o[0] + o[2] * o[2] - r * r
            disc = b * b - 4 * a * c
            if disc >= 0:
                t = (-b - math.sqrt(disc)) / (2 * a)
                y = o[1] + t * d[1]
                if self.lo[1] <= y <= self.hi[1]:
                    px, pz = o[0] + t * d[0], o[2] + t * d[2]
                    best = (t, (px / r, 0.0, pz / r))
        if abs(d[1]) > 1e-12:
            for cap, ny in ((self.hi[1], 1.0), (self.lo[1], -1.0)):
                t = (cap - o[1]) / d[1]
                px, pz = o[0] + t * d[0], o[2] + t * d[2]
                if px * px + pz * pz <= r * r and (best is None or t < best[0]):
                    best = (t, (0.0, ny, 0.0))
        if best is None:
            return None
        return 1000.0 - best[0], self.to_view(best[1])


# View: orthographic, looking slightly down on the camera.
ELEVATION = math.radians(14)
PITCH = math.radians(10)   # the camera looks a little downward
PAN = math.radians(62)     # how far it turns to each side
SCALE = 0.92               # model units to pixels
CENTRE = (30.0, 32.0)      # where the pivot lands on the picture
LIGHT = normalize((-0.45, 0.75, 0.55))


def scene(style, pan):
    """The parts of the camera and its mount for one pan angle."""
    s = SCALE
    body = style["body"]
    dark_body = tuple(int(c * 0.78) for c in body)

    def world_to_view(v):
        return rot_x(v, ELEVATION)

    def camera_to_view(v):
        return world_to_view(rot_y(rot_x(v, PITCH), pan))

    def scaled(lo, hi):
        return tuple(c * s for c in lo), tuple(c * s for c in hi)

    pivot = world_to_view((0.0, 0.0, 0.0))
    head = world_to_view((0.0, 9.5 * s, 0.0))
    parts = []
    # Camera body with a sun shade over it and the lens at the front (+z).
    for lo, hi, colour in (
        ((-6.5, -5.5, -15.0), (6.5, 5.0, 9.0), body),
        ((-7.5, 5.0, -13.0), (7.5, 6.8, 13.0), dark_body),
        ((-1.0, -3.5, -19.0), (1.0, 1.5, -15.0), MOUNT),  # cable gland at the back
    ):
        lo, hi = scaled(lo, hi)
        parts.append(Part("box", lo, hi, colour, camera_to_view, head))

    def lens_to_view(v):  # cylinder axis (local y) along the camera's z
        return camera_to_view((v[0], -v[2], v[1]))

    lens_centre = tuple(head[k] + camera_to_view((0.0, -0.8 * s, 0.0))[k] for k in range(3))
    lo, hi = scaled((-4.6, 9.0, -4.6), (4.6, 11.5, 4.6))
    parts.append(Part("cyl", lo, hi, LENS_BARREL, lens_to_view, lens_centre, radius=4.6 * s))
    lo, hi = scaled((-3.3, 11.5, -3.3), (3.3, 11.9, 3.3))
    parts.append(Part("cyl", lo, hi, LENS_GLASS, lens_to_view, lens_centre, radius=3.3 * s, glass=True))

    # The mount: a swivel joint under the body, a pole and a foot plate.
    for lo, hi, radius in (
        ((0, 0.0, 0), (0, 4.6, 0), 3.4),
        ((0, -12.5, 0), (0, 0.0, 0), 1.9),
        ((0, -14.5, 0), (0, -12.5, 0), 7.5),
    ):
        lo, hi = scaled(lo, hi)
        parts.append(Part("cyl", lo, hi, MOUNT, world_to_view, pivot, radius=radius * s))
    return parts


def shade(part, normal):
    lambert = max(0.0, sum(normal[k] * LIGHT[k] for k in range(3)))
    if part.glass:
        # Dark glass with a soft reflection of the light.
        h = normalize((LIGHT[0], LIGHT[1], LIGHT[2] + 1.0))
        specular = max(0.0, sum(normal[k] * h[k] for k in range(3))) ** 40
        return tuple(min(255.0, c * (0.7 + 0.5 * lambert) + 230.0 * specular) for c in part.colour)
    light = 0.42 + 0.62 * lambert
    return tuple(min(255.0, c * light) for c in part.colour)


def render_camera(style, pan, canvas, top, bottom):
    """Ray-casts the camera over rows top..bottom-1 of `canvas` (RGB floats)."""
    parts = scene(style, pan)
    boxes = [p.screen_box() for p in parts]
    n = SUPERSAMPLE
    offs = [(i + 0.5) / n for i in range(n)]
    for py in range(top, bottom):
        for px in range(3, SIZE - 3):
            acc = [0.0, 0.0, 0.0]
            hits = 0
            for oy in offs:
                # View y points up; picture rows go down.
                vy = CENTRE[1] - (py + oy)
                for ox in offs:
                    vx = (px + ox) - CENTRE[0]
                    best = None
                    for part, (x0, x1, y0, y1) in zip(parts, boxes):
                        if not (x0 <= vx <= x1 and y0 <= vy <= y1):
                            continue
                        h = part.hit(vx, vy)
                        if h is not None and (best is None or h[0] > best[0]):
                            best = (h[0], h[1], part)
                    if best is None:
                        c = BACKGROUND
                    else:
                        c = shade(best[2], best[1])
                        hits += 1
                    acc[0] += c[0]
                    acc[1] += c[1]
                    acc[2] += c[2]
            if hits:
                canvas[py][px] = tuple(a / (n * n) for a in acc)


# ---------------------------------------------------------------- picture

def draw_text(canvas, text, y, colour):
    width = len(text) * (GLYPH_W + 1) - 1
    x0 = (SIZE - width + 1) // 2
    for i, ch in enumerate(text):
        for row, bits in enumerate(FONT[ch]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    canvas[y + row][x0 + i * (GLYPH_W + 1) + col] = colour


def draw_frame(style, pan):
    canvas = [[BACKGROUND] * SIZE for _ in range(SIZE)]
    for y in range(SIZE):
        for x in range(SIZE):
            if min(x, y, SIZE - 1 - x, SIZE - 1 - y) < 2:
                canvas[y][x] = BORDER
    draw_text(canvas, TOP_TEXT, 4, TOP_CAPTION)
    render_camera(style, pan, canvas, 12, 48)
    draw_text(canvas, style["text"], 49, style["caption"])
    return [[tuple(int(c + 0.5) for c in px) for px in row] for row in canvas]


# ------------------------------------------------------------------- main

def pictures():
    """(file name, frames, animated) for each of the three pictures."""
    fixed = [BORDER, BACKGROUND, TOP_CAPTION]
    pans = [PAN * math.sin(2 * math.pi * k / FRAMES_ON) for k in range(FRAMES_ON)]
    result = []
    for name, style, angles in (("camera_on.gif", STYLES["on"], pans),
                                ("camera_reboot.gif", STYLES["reboot"], [PAN * 0.55]),
                                ("camera_off.gif", STYLES["off"], [PAN * 0.55])):
        frames = [draw_frame(style, a) for a in angles]
        result.append((name, frames, fixed + [style["caption"]], len(angles) > 1))
    return result


def main(argv):
    args = argv[1:]
    preview = None
    if "--preview" in args:
        at = args.index("--preview")
        if at + 1 >= len(args):
            sys.stderr.write("usage: draw_pictures.py [OUTPUT_DIR] [--preview DIR]\n")
            return 2
        preview = args[at + 1]
        del args[at:at + 2]
    if len(args) > 1:
        sys.stderr.write("usage: draw_pictures.py [OUTPUT_DIR] [--preview DIR]\n")
        return 2
    out_dir = args[0] if args else os.path.join(os.path.dirname(os.path.abspath(__file__)), "pictures")
    os.makedirs(out_dir, exist_ok=True)
    for name, frames, fixed, animated in pictures():
        palette = build_palette(frames, fixed)
        data = build_gif(frames, palette, animated, FRAME_DELAY_CS)
        path = os.path.join(out_dir, name)
        with open(path, "wb") as f:
            f.write(data)
        print("wrote %s (%d frames, %d bytes)" % (path, len(frames), len(data)))
        if preview:
            os.makedirs(preview, exist_ok=True)
            # What the file holds: every pixel through the reduced table.
            shown = [[[palette[b] for b in idx[y * SIZE:(y + 1) * SIZE]] for y in range(SIZE)]
                     for idx in index_frames(frames, palette)]
            stem = os.path.splitext(name)[0]
            write_png(os.path.join(preview, stem + ".png"), side_by_side(shown))
            write_png(os.path.join(preview, stem + "_x6.png"), side_by_side(shown), zoom=6)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
