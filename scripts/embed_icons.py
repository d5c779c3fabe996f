#!/usr/bin/env python3
"""Turns the icon PNGs into the window icon's source: embed_icons.py OUT.cpp ICON.png...

Each PNG (8-bit RGBA or RGB, not interlaced: what rsvg-convert writes) becomes a table of
0xAARRGGBB pixels, listed in frame_icons. The build runs this; the output is not tracked.
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


def read_png(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit("%s: not a PNG" % path)
    pos, idat, head = 8, b"", None
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + n]
        if kind == b"IHDR":
            head = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + n
    w, h, depth, colour, _, _, interlace = head
    if depth != 8 or colour not in (2, 6) or interlace:
        sys.exit("%s: only 8-bit RGB or RGBA without interlacing" % path)
    bpp = 4 if colour == 6 else 3
    raw, stride, rows, prev = zlib.decompress(idat), w * bpp, [], bytearray(w * bpp)
    for y in range(h):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            line[i] = (line[i] + (0, a, b, (a + b) // 2, paeth(a, b, c))[f]) & 255
        rows.append(line)
        prev = line
    px = []
    for line in rows:
        for x in range(w):
            r, g, b = line[x * bpp:x * bpp + 3]
            a = line[x * bpp + 3] if bpp == 4 else 255
            px.append((a << 24) | (r << 16) | (g << 8) | b)
    return w, h, px


def main():
    out, pngs = sys.argv[1], sys.argv[2:]
    parts = ['// Made by scripts/embed_icons.py from the icon PNGs; do not edit.',
             '#include "runtime/frame/window_identity.h"', '', 'namespace {']
    sizes = []
    for i, path in enumerate(pngs):
        w, h, px = read_png(path)
        sizes.append((w, h))
        parts.append("const uint32_t kIcon%d[] = {" % i)
        for j in range(0, len(px), 8):
            parts.append("    " + ", ".join("0x%08Xu" % p for p in px[j:j + 8]) + ",")
        parts.append("};")
    parts += ["}  // namespace", "", "const FrameIcon frame_icons[] = {"]
    parts += ["    {%d, %d, kIcon%d}," % (w, h, i) for i, (w, h) in enumerate(sizes)]
    parts += ["};", "const int32_t frame_icon_count = %d;" % len(sizes), ""]
    open(out, "w").write("\n".join(parts))


if __name__ == "__main__":
    main()
