#!/usr/bin/env python3
"""Write the application icon to the .ico path given as the only argument.

The icon holds 16x16 and 32x32 images, each at 4 and 8 bits per pixel, as
classic palette bitmaps (XOR bitmap plus AND mask). The design is a blue
rounded square with a dark rim and a white check stroke; the background is a
vertical gradient using as many shades as the palette allows.
"""
import math
import struct
import sys

SIZES = (16, 32)
DEPTHS = (4, 8)

# Palette layout: fixed entries first, gradient shades fill the rest.
TRANSPARENT, STROKE, RIM, FIRST_SHADE = 0, 1, 2, 3
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
RIM_COLOUR = (16, 52, 110)
SHADE_TOP = (86, 164, 240)
SHADE_BOTTOM = (28, 96, 196)

# Check stroke as a polyline in unit coordinates (y grows downwards).
STROKE_POINTS = ((0.27, 0.52), (0.43, 0.69), (0.74, 0.31))
STROKE_HALF_WIDTH = 1 / 15
CORNER_RADIUS = 3 / 16


def shade_count(depth):
    return (1 << depth) - FIRST_SHADE


def palette(depth):
    """RGB triples for every index of a 2**depth palette."""
    shades = shade_count(depth)
    colours = [BLACK, WHITE, RIM_COLOUR]
    for i in range(shades):
        t = i / (shades - 1)
        colours.append(tuple(round(a + (b - a) * t) for a, b in zip(SHADE_TOP, SHADE_BOTTOM)))
    return colours


def rounded_square_distance(px, py, size):
    """Signed distance from a point to the rounded square filling the image."""
    half = size / 2
    radius = CORNER_RADIUS * size
    qx = abs(px - half) - (half - radius)
    qy = abs(py - half) - (half - radius)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def segment_distance(px, py, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def pixel_index(x, y, size, depth):
    """Palette index of pixel (x, y); rows counted from the top."""
    px, py = x + 0.5, y + 0.5
    edge = rounded_square_distance(px, py, size)
    if edge > 0:
        return TRANSPARENT
    u, v = px / size, py / size
    points = STROKE_POINTS
    if any(segment_distance(u, v, points[i], points[i + 1]) <= STROKE_HALF_WIDTH
           for i in range(len(points) - 1)):
        return STROKE
    if edge > -size / 16:
        return RIM
    return FIRST_SHADE + y * shade_count(depth) // size


def padded_row(bits):
    """Pack a row of bit values (MSB first) and pad it to 4 bytes."""
    data = bytearray()
    for i in range(0, len(bits), 8):
        chunk = bits[i:i + 8]
        chunk = chunk + [0] * (8 - len(chunk))
        data.append(int("".join(map(str, chunk)), 2))
    return bytes(data) + b"\0" * (-len(data) % 4)


def xor_row(indices, depth):
    if depth == 8:
        data = bytes(indices)
    else:
        data = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, len(indices), 2))
    return data + b"\0" * (-len(data) % 4)


def icon_image(size, depth):
    """BITMAPINFOHEADER, palette, XOR bitmap and AND mask for one image."""
    rows = [[pixel_index(x, y, size, depth) for x in range(size)] for y in range(size)]
    bottom_up = rows[::-1]
    xor = b"".join(xor_row(row, depth) for row in bottom_up)
    mask = b"".join(padded_row([int(i == TRANSPARENT) for i in row]) for row in bottom_up)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, depth, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette(depth))
    return header + colours + xor + mask


def icon_file():
    images = [(size, depth, icon_image(size, depth)) for size in SIZES for depth in DEPTHS]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries, blobs = b"", b""
    for size, depth, data in images:
        colour_count = 1 << depth if depth < 8 else 0
        entries += struct.pack("<BBBBHHII", size, size, colour_count, 0, 1, depth,
                               len(data), offset)
        offset += len(data)
        blobs += data
    return directory + entries + blobs


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_icon.py OUTPUT.ico\n")
        return 2
    with open(argv[1], "wb") as out:
        out.write(icon_file())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
