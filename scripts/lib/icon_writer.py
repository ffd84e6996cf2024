"""Writes .ico files from a drawing function, without any imaging library.

A drawing is a function shade(x, y) giving the (r, g, b) or (r, g, b, a)
colour of a point of the unit square, or None where the icon is clear. Every
size is rendered from it with 4x4 supersampling, so an icon is rebuilt byte
for byte the same on any machine. Every size is stored as PNG, which Windows
reads in icons of any size since Vista and which is a fraction of a raw
bitmap: the icon is copied into every program that carries it.
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


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def _filtered(kind, line, previous, bpp):
    """One scan line under PNG filter `kind` (0 none, 1 sub, 2 up, 3 average, 4 Paeth)."""
    out = bytearray([kind])
    for i, x in enumerate(line):
        a = line[i - bpp] if i >= bpp else 0
        b = previous[i]
        c = previous[i - bpp] if i >= bpp else 0
        predictor = (0, a, b, (a + b) // 2, _paeth(a, b, c))[kind]
        out.append((x - predictor) & 0xFF)
    return bytes(out)


def _idat_candidates(lines, bpp):
    """The image data under each filter alone, then with a filter picked per line.

    Which one compresses best depends on the drawing (flat areas, gradients,
    palette indices); on images this small trying them all costs nothing.
    """
    previous_lines = [bytes(len(lines[0]))] + lines[:-1]
    for kind in range(5):
        yield b''.join(_filtered(kind, line, prev, bpp) for line, prev in zip(lines, previous_lines))
    # The usual pick: the filter whose output, read as signed bytes, is smallest.
    yield b''.join(min((_filtered(kind, line, prev, bpp) for kind in range(5)),
                       key=lambda f: sum(min(v, 256 - v) for v in f[1:]))
                   for line, prev in zip(lines, previous_lines))


def _chunk(kind, data):
    body = kind + data
    return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)


def _png_file(size, bit_depth, colour_type, extra_chunks, lines, bpp):
    data = min((zlib.compress(raw, 9) for raw in _idat_candidates(lines, bpp)), key=len)
    header = struct.pack('>IIBBBBB', size, size, bit_depth, colour_type, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + _chunk(b'IHDR', header) + extra_chunks
            + _chunk(b'IDAT', data) + _chunk(b'IEND', b''))


def _rgba_png(rows):
    lines = [bytes(v for px in row for v in px) for row in rows]
    return _png_file(len(rows), 8, 6, b'', lines, 4)


def _palette_png(rows):
    """The image with a palette, or None when it has more than 256 colours."""
    used = {px for row in rows for px in row}
    if len(used) > 256:
        return None
    # Translucent entries first, so the transparency chunk ends where they do.
    # Ordered by value, neighbouring shades of a gradient get neighbouring
    # indices, which the filters and zlib turn into fewer bytes.
    colours = sorted(used, key=lambda px: (px[3] == 255, px))
    index = {px: i for i, px in enumerate(colours)}
    depth = next(d for d in (1, 2, 4, 8) if len(colours) <= 1 << d)
    per_byte = 8 // depth
    lines = []
    for row in rows:
        line = bytearray()
        for start in range(0, len(row), per_byte):
            byte = 0
            group = row[start:start + per_byte]
            for px in group:
                byte = (byte << depth) | index[px]
            line.append(byte << (depth * (per_byte - len(group))))
        lines.append(bytes(line))
    translucent = sum(1 for px in colours if px[3] != 255)
    chunks = _chunk(b'PLTE', bytes(v for px in colours for v in px[:3]))
    if translucent:
        chunks += _chunk(b'tRNS', bytes(px[3] for px in colours[:translucent]))
    return _png_file(len(rows), depth, 3, chunks, lines, 1)


def png(rows):
    """The smaller of the palette and the RGBA encodings of the rows."""
    candidates = [p for p in (_palette_png(rows), _rgba_png(rows)) if p]
    return min(candidates, key=len)


def write_ico(path, shade, sizes=SIZES):
    images = [png(render(shade, s)) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))
