#!/usr/bin/env python3
"""Draws Korvane's Windows icon (korvane.ico) from the window's own picture of a computer that is
on (ecran-on.bmp), as packaging/make_icons.cpp draws the Linux one: the window's cream background
becomes transparent, the picture is centred on a square and scaled smoothly.

The .ico is committed in korvane/win32/ so a build never needs Python; run this again only when
the picture changes. Standard library only.

    python3 make_icon.py [ecran-on.bmp] [korvane.ico]
"""

import os
import struct
import sys
import zlib

CREAM = (255, 251, 240)
SIZES = (16, 20, 24, 32, 40, 48, 64, 256)


def read_bmp(path):
    """Rows of (r, g, b) from a 24-bit BMP, top row first."""
    with open(path, 'rb') as f:
        data = f.read()
    offset, = struct.unpack_from('<I', data, 10)
    width, height, _, bits = struct.unpack_from('<iiHH', data, 18)
    if bits != 24:
        raise SystemExit(f'{path} : BMP 24 bits attendu')
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        row = data[offset + y * stride: offset + y * stride + width * 3]
        rows.append([(row[3 * x + 2], row[3 * x + 1], row[3 * x]) for x in range(width)])
    if height > 0:
        rows.reverse()
    return rows


def square_rgba(rows):
    """The picture on a transparent square, its cream made transparent, premultiplied floats."""
    height, width = len(rows), len(rows[0])
    side = max(width, height)
    left, top = (side - width) // 2, (side - height) // 2
    square = [[(0.0, 0.0, 0.0, 0.0)] * side for _ in range(side)]
    for y in range(height):
        for x in range(width):
            r, g, b = rows[y][x]
            if (r, g, b) != CREAM:
                square[top + y][left + x] = (float(r), float(g), float(b), 1.0)
    return square


def scaled(square, size):
    """Box-filtered scaling (each target pixel averages the source area it covers)."""
    side = len(square)
    ratio = side / size
    out = []
    for ty in range(size):
        y0, y1 = ty * ratio, (ty + 1) * ratio
        row = []
        for tx in range(size):
            x0, x1 = tx * ratio, (tx + 1) * ratio
            acc = [0.0, 0.0, 0.0, 0.0]
            area = 0.0
            for sy in range(int(y0), min(side, int(y1 + 0.999999))):
                wy = min(y1, sy + 1) - max(y0, sy)
                for sx in range(int(x0), min(side, int(x1 + 0.999999))):
                    w = wy * (min(x1, sx + 1) - max(x0, sx))
                    r, g, b, a = square[sy][sx]
                    acc[0] += r * a * w
                    acc[1] += g * a * w
                    acc[2] += b * a * w
                    acc[3] += a * w
                    area += w
            alpha = acc[3] / area if area else 0.0
            if acc[3] > 0:
                colour = tuple(round(acc[i] / acc[3]) for i in range(3))
            else:
                colour = (0, 0, 0)
            row.append(colour + (round(alpha * 255),))
        out.append(row)
    return out


def dib(pixels):
    """An icon image as a 32-bit DIB: BGRA rows bottom up, then an AND mask."""
    size = len(pixels)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    body = b''.join(bytes(c for r, g, b, a in row for c in (b, g, r, a)) for row in reversed(pixels))
    mask_stride = ((size + 31) // 32) * 4
    mask = b''
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + body + mask


def png(pixels):
    size = len(pixels)
    raw = b''.join(b'\0' + bytes(c for p in row for c in p) for row in pixels)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    source = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, 'ecran-on.bmp')
    target = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, '..', 'korvane', 'win32',
                                                               'korvane.ico')
    square = square_rgba(read_bmp(source))
    images = []
    for size in SIZES:
        pixels = scaled(square, size)
        images.append((size, png(pixels) if size >= 256 else dib(pixels)))
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    for size, data in images:
        entries += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(target, 'wb') as f:
        f.write(directory + entries + b''.join(data for _, data in images))


if __name__ == '__main__':
    main()
