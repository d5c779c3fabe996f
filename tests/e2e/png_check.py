#!/usr/bin/env python3
"""Checks the PNG pictures kavaro writes, with a decoder of its own (zlib only).

  png_check.py palette FILE...    each is a 640x480 indexed-colour picture of the 16 screen colours
  png_check.py differ FILE...     the same, and every picture differs from the one before it
  png_check.py same FILE.png FILE.ppm   the picture equals the binary PPM pixel for pixel
"""
import struct
import sys
import zlib

SCREEN = [0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA, 0xAA5500, 0xAAAAAA,
          0x555555, 0x5555FF, 0x55FF55, 0x55FFFF, 0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF]


def fail(msg):
    print("png_check: " + msg, file=sys.stderr)
    sys.exit(1)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read(name):
    """(width, height, colour type, depth, palette, rows of indices)"""
    data = open(name, 'rb').read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        fail(name + ": not a PNG")
    pos, chunks = 8, []
    while pos < len(data):
        n, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + n]
        if zlib.crc32(kind + body) != struct.unpack('>I', data[pos + 8 + n:pos + 12 + n])[0]:
            fail(name + ": bad checksum in " + kind.decode())
        chunks.append((kind, body))
        pos += 12 + n
        if kind == b'IEND':
            break
    if not chunks or chunks[-1][0] != b'IEND':
        fail(name + ": cut short")
    w, h, depth, ctype, _, _, interlace = struct.unpack('>IIBBBBB', chunks[0][1])
    if ctype != 3 or interlace != 0:
        fail("%s: colour type %d, interlace %d (want an indexed picture)" % (name, ctype, interlace))
    plte = b''.join(b for k, b in chunks if k == b'PLTE')
    palette = [plte[i] << 16 | plte[i + 1] << 8 | plte[i + 2] for i in range(0, len(plte), 3)]
    raw = zlib.decompress(b''.join(b for k, b in chunks if k == b'IDAT'))
    stride = (w * depth + 7) // 8
    prev, rows, at = bytearray(stride), [], 0
    for _ in range(h):
        f, line = raw[at], bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for i in range(stride):
            a = line[i - 1] if i else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + prev[i]) & 255
            elif f == 3:
                line[i] = (line[i] + ((a + prev[i]) >> 1)) & 255
            elif f == 4:
                line[i] = (line[i] + paeth(a, prev[i], prev[i - 1] if i else 0)) & 255
        per, mask = 8 // depth, (1 << depth) - 1
        rows.append(bytes((line[x // per] >> (8 - depth * (x % per + 1))) & mask for x in range(w)))
        prev = line
    return w, h, ctype, depth, palette, rows


def rgb(name):
    w, h, _, _, palette, rows = read(name)
    out = bytearray()
    for r in rows:
        for i in r:
            if i >= len(palette):
                fail("%s: index %d beyond the palette" % (name, i))
            c = palette[i]
            out += bytes((c >> 16, (c >> 8) & 255, c & 255))
    return w, h, bytes(out)


def main():
    cmd, files = sys.argv[1], sys.argv[2:]
    if cmd in ('palette', 'differ'):
        last = None
        for f in files:
            w, h, _, depth, palette, rows = read(f)
            if (w, h) != (640, 480):
                fail("%s is %dx%d" % (f, w, h))
            if depth != 4 or any(c not in SCREEN for c in palette):
                fail("%s: depth %d, palette %s" % (f, depth, [hex(c) for c in palette]))
            if max(max(r) for r in rows) >= len(palette):
                fail(f + ": an index beyond the palette")
            if cmd == 'differ' and rows == last:
                fail(f + " repeats the picture before it")
            last = rows
        print("%d pictures of the screen palette%s" % (len(files), ", each new" if cmd == 'differ' else ""))
    elif cmd == 'same':
        w, h, px = rgb(files[0])
        head = open(files[1], 'rb').read().split(b'\n', 3)
        if head[0] != b'P6' or head[1].split() != [str(w).encode(), str(h).encode()]:
            fail("%s: %s, the picture is %dx%d" % (files[1], head[:2], w, h))
        other = head[3]
        if other != px:
            diff = [i // 3 for i in range(0, min(len(px), len(other)), 3) if px[i:i + 3] != other[i:i + 3]]
            fail("%d pixels differ; first at %s" % (len(diff), [(d % w, d // w) for d in diff[:5]]))
        print("same picture")
    else:
        fail("unknown command " + cmd)


main()
