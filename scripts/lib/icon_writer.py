"""Writes .ico files from a drawing function, without any imaging library.

A drawing is a function shade(x, y) giving the (r, g, b) or (r, g, b, a)
colour of a point of the unit square, or None where the icon is clear. Every
size is rendered from it with 4x4 supersampling, so an icon is rebuilt byte
for byte the same on any machine. 16, 32 and 48 px are stored as 32-bit DIBs
and 256 px as PNG, as Windows expects.
"""
import struct
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


def render(shade, size):
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


def write_ico(path, shade):
    images = [png(render(shade, s)) if s == 256 else dib(render(shade, s)) for s in SIZES]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))
