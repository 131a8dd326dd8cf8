#!/usr/bin/env python3
"""Checks the formats of the artwork in res/ that the resources need.

res/banner.bmp: 350 x 50, 8 bpp, BI_RGB (uncompressed), BITMAPINFOHEADER,
                256-entry palette.
res/app.ico:    eight images: 48, 32, 24, 16 px at 8 bpp with a 256-colour
                palette, then 48, 32, 24, 16 px at 32 bpp.
Usage: check_art.py [RES_DIR]   (default: res/ of this repository)
Exits non-zero and says what is wrong if a file does not match.
"""
import os
import struct
import sys

BIH = '<IiiHHIIiiII'  # BITMAPINFOHEADER


def check_banner(path, errors):
    b = open(path, 'rb').read()
    if b[:2] != b'BM':
        errors.append(f'{path}: not a BMP file')
        return
    size, off = struct.unpack_from('<I', b, 2)[0], struct.unpack_from('<I', b, 10)[0]
    hs, w, h, planes, bpp, comp, _, _, _, used, _ = struct.unpack_from(BIH, b, 14)
    want = dict(header=40, width=350, height=50, planes=1, bpp=8, compression=0)
    got = dict(header=hs, width=w, height=h, planes=planes, bpp=bpp, compression=comp)
    for k in want:
        if want[k] != got[k]:
            errors.append(f'{path}: {k} is {got[k]}, wants {want[k]}')
    if used not in (0, 256):
        errors.append(f'{path}: palette has {used} colours, wants 256')
    if size != len(b) or off != 14 + 40 + 256 * 4 or len(b) != off + (350 + 3) // 4 * 4 * 50:
        errors.append(f'{path}: unexpected file layout (size {len(b)}, bits at {off})')


def check_icon(path, errors):
    b = open(path, 'rb').read()
    reserved, kind, count = struct.unpack_from('<HHH', b, 0)
    if reserved != 0 or kind != 1:
        errors.append(f'{path}: not an icon file')
        return
    want = [(48, 8), (32, 8), (24, 8), (16, 8), (48, 32), (32, 32), (24, 32), (16, 32)]
    got = []
    for i in range(count):
        w, h, colours, _, planes, bpp, _, off = struct.unpack_from('<BBBBHHII', b, 6 + 16 * i)
        hs, dw, dh, _, dbpp, comp, _, _, _, used, _ = struct.unpack_from(BIH, b, off)
        got.append((w or 256, dbpp))
        if hs != 40 or dw != (w or 256) or dh != 2 * (h or 256) or comp != 0:
            errors.append(f'{path}: image {i + 1} is not a plain uncompressed DIB')
        if dbpp == 8 and used not in (0, 256):
            errors.append(f'{path}: image {i + 1} has a {used}-colour palette, wants 256')
    if got != want:
        errors.append(f'{path}: images are {got}, want {want} (size, bpp)')


def main():
    res = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), '..', '..', 'res')
    errors = []
    check_banner(os.path.join(res, 'banner.bmp'), errors)
    check_icon(os.path.join(res, 'app.ico'), errors)
    for e in errors:
        print(e, file=sys.stderr)
    if not errors:
        print('artwork formats OK')
    return 1 if errors else 0


if __name__ == '__main__':
    sys.exit(main())
