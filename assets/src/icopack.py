#!/usr/bin/env python3
"""Packs square RGBA renderings into one Windows .ico file.

usage: icopack.py OUT.ico SIZE:BPP:RAWFILE ...
RAWFILE holds SIZE*SIZE RGBA pixels (8 bits each, top row first).
BPP is 4 (the 16 standard VGA colours), 8 (a median-cut palette of the
picture) or 32 (BGRA with alpha). Every entry carries the 1-bit AND mask
too, so the 4- and 8-bit entries are transparent where alpha < 128.
"""
import colorsys
import struct
import sys

VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def nearest(palette, rgb, cache):
    hit = cache.get(rgb)
    if hit is not None:
        return hit
    r, g, b = rgb
    best, bestd = 0, None
    for i, (pr, pg, pb) in enumerate(palette):
        # Weighted as the eye sees it: green counts most, blue least.
        d = 3 * (r - pr) ** 2 + 4 * (g - pg) ** 2 + 2 * (b - pb) ** 2
        if bestd is None or d < bestd:
            best, bestd = i, d
    cache[rgb] = best
    return best


def hsv_nearest(palette, rgb, cache):
    """Nearest of the 16 fixed colours by hue, saturation and value: plain RGB
    distance would turn the sky blues into grey and teal."""
    hit = cache.get(rgb)
    if hit is not None:
        return hit
    h, s, v = colorsys.rgb_to_hsv(*[c / 255 for c in rgb])

    def distance(p):
        h2, s2, v2 = colorsys.rgb_to_hsv(*[c / 255 for c in p])
        dh = min(abs(h - h2), 1 - abs(h - h2))
        return (dh * 2 * min(s, s2)) ** 2 + 0.5 * (s - s2) ** 2 + (v - v2) ** 2

    best = min(range(len(palette)), key=lambda i: distance(palette[i]))
    cache[rgb] = best
    return best


def median_cut(colours, limit):
    """colours: dict rgb -> count. Returns up to limit palette entries."""
    if len(colours) <= limit:
        return sorted(colours)
    boxes = [sorted(colours.items())]
    while len(boxes) < limit:
        # Split the box whose widest channel is widest.
        def spread(box):
            return max(max(c[0][k] for c in box) - min(c[0][k] for c in box) for k in range(3))
        candidates = [b for b in boxes if len(b) > 1]
        if not candidates:
            break
        box = max(candidates, key=spread)
        boxes.remove(box)
        k = max(range(3), key=lambda k: max(c[0][k] for c in box) - min(c[0][k] for c in box))
        box.sort(key=lambda c: c[0][k])
        total = sum(n for _, n in box)
        acc, cut = 0, 1
        for i, (_, n) in enumerate(box):
            acc += n
            if acc * 2 >= total:
                cut = min(max(i + 1, 1), len(box) - 1)
                break
        boxes.append(box[:cut])
        boxes.append(box[cut:])
    palette = []
    for box in boxes:
        total = sum(n for _, n in box)
        palette.append(tuple(round(sum(c[k] * n for c, n in box) / total) for k in range(3)))
    return sorted(set(palette))


def row_bytes(bits_per_row):
    return (bits_per_row + 31) // 32 * 4


def encode(size, bpp, rgba):
    pixels = [tuple(rgba[i:i + 4]) for i in range(0, len(rgba), 4)]
    if len(pixels) != size * size:
        raise SystemExit("wrong pixel count for %d x %d" % (size, size))
    opaque = [p[3] >= 128 for p in pixels]

    # AND mask, bottom row first: 1 = transparent.
    mask = bytearray()
    mstride = row_bytes(size)
    for y in reversed(range(size)):
        row = bytearray(mstride)
        for x in range(size):
            if not opaque[y * size + x]:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row

    palette = []
    xor = bytearray()
    stride = row_bytes(size * bpp)
    if bpp == 32:
        for y in reversed(range(size)):
            row = bytearray()
            for x in range(size):
                r, g, b, a = pixels[y * size + x]
                row += bytes((b, g, r, a))
            xor += row
    else:
        if bpp == 4:
            palette = VGA16
        else:
            counts = {}
            for p, o in zip(pixels, opaque):
                if o:
                    counts[p[:3]] = counts.get(p[:3], 0) + 1
            palette = [(0, 0, 0)] + [c for c in median_cut(counts, 255) if c != (0, 0, 0)]
            palette += [(0, 0, 0)] * (256 - len(palette))
        cache = {}
        pick = hsv_nearest if bpp == 4 else nearest
        for y in reversed(range(size)):
            idx = []
            for x in range(size):
                p = pixels[y * size + x]
                idx.append(pick(palette, p[:3], cache) if opaque[y * size + x] else 0)
            row = bytearray(stride)
            if bpp == 8:
                row[:size] = bytes(idx)
            else:
                for x, i in enumerate(idx):
                    row[x // 2] |= i << (4 if x % 2 == 0 else 0)
            xor += row

    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, len(xor) + len(mask), 0, 0, 0, 0)
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + pal + bytes(xor) + bytes(mask), len(palette)


def main(argv):
    if len(argv) < 3:
        raise SystemExit(__doc__)
    out, entries = argv[1], argv[2:]
    images = []
    for entry in entries:
        size, bpp, path = entry.split(":", 2)
        size, bpp = int(size), int(bpp)
        if bpp not in (4, 8, 32) or not 1 <= size <= 256:
            raise SystemExit("unsupported entry " + entry)
        with open(path, "rb") as f:
            data, colours = encode(size, bpp, f.read())
        images.append((size, bpp, colours, data))

    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, bpp, colours, data in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, colours if colours < 256 else 0, 0, 1, bpp,
                                 len(data), offset + len(body))
        body += data
    with open(out, "wb") as f:
        f.write(directory + body)


if __name__ == "__main__":
    main(sys.argv)
