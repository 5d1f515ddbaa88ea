"""The file side of the float window's pictures: the reduction of RGB frames
to one 256-entry colour table, the GIF encoder and the PNG preview writer.

The GIF files use only what the program's decoder is given: one global
table, no local tables, no interlacing, LZW minimum code size 8. The
looping and delay extensions are there for other viewers; the program
skips them. Everything is deterministic, so the same frames always give
the same bytes.
"""

import struct
import zlib


# ------------------------------------------------------------ colour table

def median_cut(colours, count):
    """Reduces {rgb: pixel count} to at most `count` colours."""
    boxes = [sorted(colours.items())]
    while len(boxes) < count:
        # Split the box with the widest channel range (weighted by pixels).
        best, best_score = None, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            ranges = [max(c[k] for c, _ in box) - min(c[k] for c, _ in box) for k in range(3)]
            score = max(ranges) * sum(w for _, w in box)
            if score > best_score:
                best, best_score = i, score
        if best is None:
            break
        box = boxes.pop(best)
        ranges = [max(c[k] for c, _ in box) - min(c[k] for c, _ in box) for k in range(3)]
        k = ranges.index(max(ranges))
        box.sort(key=lambda cw: (cw[0][k], cw[0]))
        half, acc, cut = sum(w for _, w in box) / 2.0, 0, 1
        for i, (_, w) in enumerate(box):
            acc += w
            if acc >= half:
                cut = min(max(i + 1, 1), len(box) - 1)
                break
        boxes[best:best] = [box[:cut], box[cut:]]
    result = []
    for box in boxes:
        total = sum(w for _, w in box)
        result.append(tuple(int(sum(c[k] * w for c, w in box) / total + 0.5) for k in range(3)))
    return result


def build_palette(frames, fixed):
    counts = {}
    for frame in frames:
        for row in frame:
            for px in row:
                if px not in fixed:
                    counts[px] = counts.get(px, 0) + 1
    palette = list(fixed)
    if counts:
        palette += median_cut(counts, 256 - len(fixed))
    return palette + [(0, 0, 0)] * (256 - len(palette))


def index_frames(frames, palette):
    exact = {}
    for i, c in enumerate(palette):
        exact.setdefault(c, i)
    cache = {}

    def nearest(px):
        if px in exact:
            return exact[px]
        if px not in cache:
            cache[px] = min(range(len(palette)),
                            key=lambda i: sum((px[k] - palette[i][k]) ** 2 for k in range(3)))
        return cache[px]

    return [bytes(nearest(px) for row in frame for px in row) for frame in frames]


# ------------------------------------------------------------------- GIF

def lzw_encode(indices, min_code_size=8):
    """GIF LZW: variable-width codes packed least significant bit first."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out = bytearray()
    acc = nbits = 0

    def put(code, width):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    def reset():
        return {bytes([i]): i for i in range(clear)}, end + 1, min_code_size + 1

    table, next_code, width = reset()
    put(clear, width)
    prefix = b""
    for i in indices:
        s = prefix + bytes([i])
        if s in table:
            prefix = s
            continue
        put(table[prefix], width)
        # The decoder widens its codes once its own table (one entry behind
        # this one) has filled the current width.
        if next_code >= (1 << width) and width < 12:
            width += 1
        if next_code < 4095:
            table[s] = next_code
            next_code += 1
        else:
            put(clear, width)
            table, next_code, width = reset()
        prefix = bytes([i])
    put(table[prefix], width)
    if next_code >= (1 << width) and width < 12:
        width += 1
    put(end, width)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def sub_blocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        chunk = data[i:i + 255]
        out += bytes([len(chunk)]) + chunk
    return bytes(out + b"\x00")


def build_gif(frames, palette, animated, delay_cs):
    """A GIF of the indexed frames (all of one size); `delay_cs` is the frame
    delay of an animated one, in hundredths of a second."""
    width, height = len(frames[0][0]), len(frames[0])
    out = bytearray(b"GIF89a")
    # Logical screen: global table of 2^8 entries, 8-bit colour resolution.
    out += struct.pack("<HHBBB", width, height, 0xF7, 0, 0)
    for c in palette:
        out += bytes(c)
    if animated:
        out += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"  # loop for ever
    for indices in index_frames(frames, palette):
        if animated:
            # Graphic control: keep the frame (disposal 1), delay, no transparency.
            out += b"\x21\xF9\x04\x04" + struct.pack("<H", delay_cs) + b"\x00\x00"
        out += b"\x2C" + struct.pack("<HHHHB", 0, 0, width, height, 0)
        out += b"\x08" + sub_blocks(lzw_encode(indices))
    out += b"\x3B"
    return bytes(out)


# ------------------------------------------------------------------- PNG

def write_png(path, frame, zoom=1):
    rows = bytearray()
    for row in frame:
        line = bytearray(b"\x00")
        for px in row:
            line += bytes(px) * zoom
        rows += bytes(line) * zoom
    w, h = len(frame[0]) * zoom, len(frame) * zoom

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def side_by_side(frames, gap=4):
    h, w = len(frames[0]), len(frames[0][0])
    sheet = [[(255, 255, 255)] * (len(frames) * (w + gap) - gap) for _ in range(h)]
    for i, frame in enumerate(frames):
        for y in range(h):
            sheet[y][i * (w + gap):i * (w + gap) + w] = frame[y]
    return sheet
