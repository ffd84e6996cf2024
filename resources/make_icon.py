#!/usr/bin/env python3
"""Draws the program icon (a keycap with a launch arrow) and writes tessaly.ico.

Pure Python, no imaging library: every size is rendered from the same shapes
with 4x4 supersampling, so the output is byte-for-byte reproducible.
Sizes 16, 32 and 48 are 32-bit DIBs; 256 is stored as PNG, as Windows expects.
Usage: make_icon.py OUTPUT.ico
"""
import struct
import sys
import zlib

SIZES = (16, 32, 48, 256)
SAMPLES = 4


def rounded_rect(x, y, x0, y0, x1, y1, r):
    """True when (x, y) lies inside the rounded rectangle."""
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return x0 <= x <= x1 and y0 <= y <= y1 and (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def triangle(x, y, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
    s1, s2, s3 = side(a, b), side(b, c), side(c, a)
    return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)


def shade(x, y):
    """Colour (r, g, b, a) of a point in the unit square, or None outside."""
    # Arrow: amber, pointing right, on the key face.
    if triangle(x, y, (0.36, 0.27), (0.36, 0.65), (0.70, 0.46)):
        return (255, 183, 3, 255)
    # Key face: lighter, inset towards the top like a pressed-in keycap.
    if rounded_rect(x, y, 0.17, 0.12, 0.83, 0.78, 0.10):
        t = (y - 0.12) / 0.66
        return (int(44 + 20 * (1 - t)), int(150 + 30 * (1 - t)), int(160 + 25 * (1 - t)), 255)
    # Key body: deep teal, darker towards the bottom.
    if rounded_rect(x, y, 0.06, 0.06, 0.94, 0.94, 0.16):
        t = (y - 0.06) / 0.88
        return (int(18 - 8 * t), int(96 - 36 * t), int(108 - 38 * t), 255)
    return None


def render(size):
    """Rows of premultiplied-then-straightened RGBA pixels, top row first."""
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
            n = SAMPLES * SAMPLES
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((acc[0] // acc[3], acc[1] // acc[3], acc[2] // acc[3], 255 * acc[3] // n))
        rows.append(row)
    return rows


def dib(rows):
    size = len(rows)
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
    ihdr = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b'')


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
    main(sys.argv[1] if len(sys.argv) > 1 else 'tessaly.ico')
