#!/usr/bin/env python3
"""Draws the program's icon, a blue shield with a gold rim and a white check mark, and
writes it as a Windows .ico with the four images the program carries: 16x16 and 32x32,
each with 256 and with 16 colours.

Usage: make_icon.py OUTPUT.ico
"""
import math
import struct
import sys

SUBSAMPLES = 4  # per axis, for smooth edges in the 256-colour images

TOP = 0.06
SIDE = 0.38  # half width of the shield's straight part
SHOULDER = 0.50  # where the sides start to curve in
TIP = 0.95
RIM = 0.08
CHECK = [(0.30, 0.50), (0.45, 0.66), (0.72, 0.32)]

BODY_LIGHT = (52, 110, 214)
BODY_DARK = (14, 42, 128)
RIM_LIGHT = (240, 196, 60)
RIM_DARK = (178, 126, 20)
WHITE = (255, 255, 255)

# The standard 16-colour palette.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def half_width(v, inset=0.0):
    if v < TOP + inset or v > TIP:
        return -1.0
    if v <= SHOULDER:
        return SIDE - inset
    return SIDE * math.cos((v - SHOULDER) / (TIP - SHOULDER) * math.pi / 2) - inset


def inside(u, v, inset=0.0):
    return abs(u - 0.5) <= half_width(v, inset)


def distance_to_segment(p, a, b):
    (px, py), (ax, ay), (bx, by) = p, a, b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def on_check(u, v, thickness):
    return any(distance_to_segment((u, v), a, b) <= thickness / 2
               for a, b in zip(CHECK, CHECK[1:]))


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def colour_at(u, v, thickness):
    """The colour of the drawing at a point, or None outside the shield."""
    if not inside(u, v):
        return None
    shade = max(0.0, min(1.0, (u + v) / 1.6))
    if not inside(u, v, RIM):
        return mix(RIM_LIGHT, RIM_DARK, shade)
    if on_check(u, v, thickness):
        return WHITE
    return mix(BODY_LIGHT, BODY_DARK, shade)


def flat_colour_at(u, v, thickness):
    """The 16-colour drawing: no gradients, the shield lit from the left."""
    if not inside(u, v):
        return None
    if not inside(u, v, RIM):
        return 11 if u < 0.5 else 3  # yellow, olive
    if on_check(u, v, thickness):
        return 15  # white
    return 12 if u < 0.5 else 4  # blue, navy


def render_smooth(size):
    """Rows of RGB colours (None where transparent), supersampled."""
    thickness = 0.13 if size <= 16 else 0.10
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            samples = []
            for sy in range(SUBSAMPLES):
                for sx in range(SUBSAMPLES):
                    u = (x + (sx + 0.5) / SUBSAMPLES) / size
                    v = (y + (sy + 0.5) / SUBSAMPLES) / size
                    samples.append(colour_at(u, v, thickness))
            covered = [s for s in samples if s is not None]
            if len(covered) * 2 < len(samples):
                row.append(None)
            else:
                row.append(tuple(round(sum(c[i] for c in covered) / len(covered))
                                 for i in range(3)))
        rows.append(row)
    return rows


def render_flat(size):
    thickness = 0.13 if size <= 16 else 0.10
    return [[flat_colour_at((x + 0.5) / size, (y + 0.5) / size, thickness) for x in range(size)]
            for y in range(size)]


def palette_256():
    """A 6x6x6 colour cube, then ramps of the shield's own colours."""
    levels = [0, 51, 102, 153, 204, 255]
    palette = [(r, g, b) for r in levels for g in levels for b in levels]
    ramps = [(BODY_LIGHT, BODY_DARK), (RIM_LIGHT, RIM_DARK), (BODY_LIGHT, WHITE)]
    steps = (256 - len(palette)) // len(ramps)
    for start, end in ramps:
        palette += [mix(start, end, i / (steps - 1)) for i in range(steps)]
    return palette + [(0, 0, 0)] * (256 - len(palette))


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], colour)))


def pack_rows(rows, bits):
    """Bottom-up rows of `bits`-per-pixel values, each row padded to four bytes."""
    data = b""
    for row in reversed(rows):
        value, count, packed = 0, 0, bytearray()
        for pixel in row:
            value = (value << bits) | pixel
            count += bits
            if count == 8:
                packed.append(value)
                value, count = 0, 0
        packed += b"\0" * (-len(packed) % 4)
        data += bytes(packed)
    return data


def icon_image(indices, mask, palette, bits):
    size = len(indices)
    colours = pack_rows(indices, bits)
    transparency = pack_rows(mask, 1)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0,
                         len(colours) + len(transparency), 0, 0, 0, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + table + colours + transparency


def image_256(size):
    palette = palette_256()
    rows = render_smooth(size)
    indices = [[0 if c is None else nearest(palette, c) for c in row] for row in rows]
    mask = [[1 if c is None else 0 for c in row] for row in rows]
    return icon_image(indices, mask, palette, 8)


def image_16(size):
    rows = render_flat(size)
    indices = [[0 if c is None else c for c in row] for row in rows]
    mask = [[1 if c is None else 0 for c in row] for row in rows]
    return icon_image(indices, mask, VGA, 4)


def icon_file(images):
    """images: (size, colour count, bits per pixel, image bytes) in directory order."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries, data = b"", b""
    for size, colours, bits, image in images:
        entries += struct.pack("<BBBBHHII", size, size, colours % 256, 0, 1, bits, len(image),
                               offset + len(data))
        data += image
    return directory + entries + data


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    images = [(16, 256, 8, image_256(16)), (16, 16, 4, image_16(16)),
              (32, 256, 8, image_256(32)), (32, 16, 4, image_16(32))]
    with open(sys.argv[1], "wb") as output:
        output.write(icon_file(images))


if __name__ == "__main__":
    main()
