#!/usr/bin/env python3
"""Draws the program icon and writes it as a Windows .ico file.

The picture: a teal rounded square holding an arrow that points at a phone. Every
size is rendered from the same shapes with supersampling, so small sizes stay
smooth. Sizes up to 64 are 32-bit bitmaps, 256 is PNG as Windows expects. The
output depends on nothing but this script, byte for byte.
"""
import struct
import sys
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 256)
TEAL = (0x11, 0x77, 0x6C)
WHITE = (0xFF, 0xFF, 0xFF)
LIGHT = (0xF2, 0xF7, 0xF9)


def rounded_rect(left, top, right, bottom, radius):
    def inside(x, y):
        if x < left or x > right or y < top or y > bottom:
            return False
        cx = min(max(x, left + radius), right - radius)
        cy = min(max(y, top + radius), bottom - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius
    return inside


def circle(cx, cy, radius):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def triangle(a, b, c):
    def side(p, q, x, y):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])

    def inside(x, y):
        d1, d2, d3 = side(a, b, x, y), side(b, c, x, y), side(c, a, x, y)
        return (d1 >= 0 and d2 >= 0 and d3 >= 0) or (d1 <= 0 and d2 <= 0 and d3 <= 0)
    return inside


# Shapes on a 256-unit canvas, painted in order.
SHAPES = (
    (rounded_rect(8, 8, 248, 248, 56), TEAL),
    (rounded_rect(136, 44, 216, 212, 18), WHITE),       # phone body
    (rounded_rect(148, 66, 204, 180, 6), TEAL),         # its screen
    (circle(176, 196, 7), TEAL),                        # its button
    (rounded_rect(34, 116, 98, 140, 4), LIGHT),         # arrow shaft
    (triangle((88, 90), (126, 128), (88, 166)), LIGHT), # arrow head
)


def render(size):
    """Rows of (r, g, b, a) from top to bottom."""
    samples = 4 if size <= 64 else 3
    step = 256.0 / size / samples
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(samples):
                y = (py * samples + sy + 0.5) * step
                for sx in range(samples):
                    x = (px * samples + sx + 0.5) * step
                    colour = None
                    for inside, fill in SHAPES:
                        if inside(x, y):
                            colour = fill
                    if colour:
                        r += colour[0]; g += colour[1]; b += colour[2]; a += 1
            if a:
                row.append((round(r / a), round(g / a), round(b / a), round(255 * a / samples ** 2)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def bitmap(size, rows):
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def png(size, rows):
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    raw = b''.join(b'\0' + b''.join(bytes(p) for p in row) for row in rows)
    return (b'\x89PNG\r\n\x1a\n'
            + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9))
            + chunk(b'IEND', b''))


def icon():
    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, png(size, rows) if size == 256 else bitmap(size, rows)))
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        dim = 0 if size == 256 else size
        out += struct.pack('<BBBBHHII', dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b''.join(data for _, data in images)


if __name__ == '__main__':
    if len(sys.argv) != 2:
        sys.exit('usage: make_icon.py OUTPUT.ico')
    with open(sys.argv[1], 'wb') as f:
        f.write(icon())
