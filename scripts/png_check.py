#!/usr/bin/env python3
"""Checks that each file named is a whole, valid PNG picture: the signature,
every chunk's CRC, IHDR first and IEND last, and image data that inflates to
exactly the rows the header promises."""
import struct
import sys
import zlib

CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}


def check(path):
    with open(path, "rb") as f:
        data = f.read()
    if not data.startswith(b"\x89PNG\r\n\x1a\n"):
        return "not a PNG (no signature)"
    pos, chunks, idat = 8, [], b""
    while pos + 12 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if len(body) != length or pos + 12 + length > len(data):
            return "cut short in a %s chunk" % kind.decode("latin-1")
        (crc,) = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        if zlib.crc32(kind + body) != crc:
            return "bad CRC in a %s chunk" % kind.decode("latin-1")
        chunks.append((kind, body))
        if kind == b"IDAT":
            idat += body
        pos += 12 + length
    if not chunks or chunks[0][0] != b"IHDR" or chunks[-1][0] != b"IEND" or pos != len(data):
        return "chunks out of order, or bytes after IEND"
    w, h, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunks[0][1])
    if w == 0 or h == 0 or colour not in CHANNELS:
        return "bad header"
    try:
        pixels = zlib.decompress(idat)
    except zlib.error as e:
        return "image data does not inflate: %s" % e
    row = (w * CHANNELS[colour] * depth + 7) // 8 + 1
    if interlace == 0 and len(pixels) != row * h:
        return "image data is %d bytes, not %d" % (len(pixels), row * h)
    return "%dx%d" % (w, h)


def main(paths):
    ok = True
    for p in paths:
        try:
            what = check(p)
        except OSError as e:
            what = "unreadable: %s" % e.strerror
        good = what[0].isdigit()
        ok &= good
        print("png-check: %s %s: %s" % ("ok" if good else "BAD", p, what))
    return 0 if ok and paths else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
