#!/usr/bin/env python3
"""Compares pictures of the Windows build with the Linux goldens, pixel by pixel.

    frames.py same A.png B.png          exit 1 unless every pixel is the same
    frames.py screen SHOT.xwd GOLDEN.png MIN_SHARE
                                        the share of the 640 x 480 screen's pixels within
                                        32 per channel of the golden's (the grass is seeded
                                        from the clock, so its noise differs from run to run,
                                        and the title's mascot swings); exit 1 below MIN_SHARE
PNG: 8-bit RGB or RGBA, as libpng writes them; XWD: 24/32-bit TrueColor, as xwd -root writes.
"""
import struct
import sys
import zlib


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def unfilter(raw, width, height, bpp):
    stride = width * bpp
    rows, prev, at = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[at], bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for i in range(stride):
            left = line[i - bpp] if i >= bpp else 0
            up, corner = prev[i], prev[i - bpp] if i >= bpp else 0
            pred = (0, left, up, (left + up) >> 1, paeth(left, up, corner))[kind]
            line[i] = (line[i] + pred) & 0xFF
        rows.append(line)
        prev = line
    return rows


def read_png(path):
    data = open(path, 'rb').read()
    at, idat, width = 8, b'', 0
    while at < len(data):
        length, kind = struct.unpack('>I4s', data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b'IHDR':
            width, height, depth, colour = struct.unpack('>IIBB', body[:10])
            bpp = {2: 3, 6: 4}[colour]
        elif kind == b'IDAT':
            idat += body
        at += 12 + length
    rows = unfilter(zlib.decompress(idat), width, height, bpp)
    return width, height, [tuple(r[x * bpp:x * bpp + 3]) for r in rows for x in range(width)]


def read_xwd(path):
    data = open(path, 'rb').read()
    f = struct.unpack('>25I', data[:100])
    header, width, height, bits, line, ncolours = f[0], f[4], f[5], f[11], f[12], f[19]
    at = header + ncolours * 12
    step = bits // 8
    pixels = []
    for y in range(height):
        row = data[at + y * line:at + y * line + width * step]
        pixels += [(row[x * step + 2], row[x * step + 1], row[x * step]) for x in range(width)]
    return width, height, pixels


def main():
    if sys.argv[1] == 'same':
        a, b = read_png(sys.argv[2]), read_png(sys.argv[3])
        differ = sum(p != q for p, q in zip(a[2], b[2])) if a[:2] == b[:2] else -1
        print(f'{sys.argv[2]}: {"same pixels" if differ == 0 else f"{differ} pixels differ"}')
        return 0 if differ == 0 else 1
    shot, golden = read_xwd(sys.argv[2]), read_png(sys.argv[3])
    if shot[:2] != golden[:2]:
        print(f'{sys.argv[2]}: {shot[0]} x {shot[1]}, not {golden[0]} x {golden[1]}')
        return 1
    near = sum(max(abs(a - b) for a, b in zip(p, q)) <= 32 for p, q in zip(shot[2], golden[2]))
    share = near / len(golden[2])
    print(f'{sys.argv[2]}: {share:.1%} of the pixels as in {sys.argv[3]}')
    return 0 if share >= float(sys.argv[4]) else 1


if __name__ == '__main__':
    sys.exit(main())
