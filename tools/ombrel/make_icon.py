#!/usr/bin/env python3
"""Draws Ombrel's icon (a window frame with an arrow across it) into ombrel.ico.

Pure Python, no imaging library, so the icon is rebuilt byte for byte the same
on any machine. Each size is drawn from the same shapes with 4x4 supersampling;
16, 32 and 48 px are 32-bit DIBs and 256 px is a PNG, as Windows expects.
Usage: make_icon.py [OUTPUT.ico]
"""
import struct
import sys
import zlib

SIZES = (16, 32, 48, 256)
SAMPLES = 4

FRAME = (86, 52, 140)        # plum title bar and border
FRAME_DARK = (58, 34, 98)    # bottom of the border, for a little depth
PAPER = (244, 241, 250)      # the window's client area
TITLE = (214, 200, 240)      # the caption text, as a plain bar
ARROW = (232, 84, 58)        # coral, the command being sent


def rounded_rect(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return x0 <= x <= x1 and y0 <= y <= y1 and (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def near_segment(x, y, a, b, half_width):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    px, py = ax + t * dx, ay + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= half_width ** 2


def triangle(x, y, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
    s1, s2, s3 = side(a, b), side(b, c), side(c, a)
    return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)


def shade(x, y):
    """Colour (r, g, b) of a point in the unit square, or None where clear."""
    # The arrow points up and right, out of the window: it reads as "make it
    # bigger" or "move it", which is what the tool is mostly bound to.
    tip = (0.86, 0.16)
    if triangle(x, y, tip, (0.50, 0.24), (0.78, 0.52)):
        return ARROW
    if near_segment(x, y, (0.30, 0.72), (0.68, 0.34), 0.075):
        return ARROW
    if rounded_rect(x, y, 0.14, 0.19, 0.42, 0.26, 0.03):
        return TITLE
    if rounded_rect(x, y, 0.14, 0.34, 0.86, 0.84, 0.02):
        return PAPER
    if rounded_rect(x, y, 0.06, 0.12, 0.94, 0.92, 0.08):
        t = max(0.0, (y - 0.34) / 0.58)
        return tuple(int(FRAME[i] + (FRAME_DARK[i] - FRAME[i]) * t) for i in range(3))
    return None


def render(size):
    """Rows of straight (not premultiplied) RGBA pixels, top row first."""
    n = SAMPLES * SAMPLES
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    colour = shade((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size)
                    if colour:
                        for i in range(3):
                            acc[i] += colour[i]
                        acc[3] += 1
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((acc[0] // acc[3], acc[1] // acc[3], acc[2] // acc[3], 255 * acc[3] // n))
        rows.append(row)
    return rows


def dib(rows):
    size = len(rows)
    # Icons store the height of colour and mask together, hence size * 2.
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    return header + pixels + bytes(mask_stride * size)


def png(rows):
    size = len(rows)
    raw = b''.join(b'\x00' + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)
    header = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b'')


def main(path):
    images = [png(render(s)) if s == 256 else dib(render(s)) for s in SIZES]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'ombrel.ico')
