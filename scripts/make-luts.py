#!/usr/bin/env python3
"""Writes the colour-grade look-up images of data/shader/luts (committed; run again after changing a grade).

Each image is a 16 x 16 x 16 colour cube laid out as a 256 x 16 strip: blue picks one of sixteen 16 x 16
tiles from left to right, red grows to the right inside a tile, green grows from the bottom row upwards.
The grades are our own arithmetic, not taken from any other product.
"""
import os
import struct
import sys
import zlib


def clamp(v):
    return max(0.0, min(1.0, v))


def luma(r, g, b):
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def teal_orange(r, g, b):
    # Shadows towards teal, highlights and skin towards orange, a little more contrast.
    y = luma(r, g, b)
    s = y * y * (3 - 2 * y)
    shadow, light = (0.0, 0.35, 0.45), (1.0, 0.6, 0.3)
    tone = [shadow[i] * (1 - s) + light[i] * s for i in range(3)]
    return tuple(clamp(0.65 * c + 0.35 * t * (0.4 + y)) for c, t in zip((r, g, b), tone))


def warm_fade(r, g, b):
    # Lifted blacks, softened whites, warm cast: an old print.
    return (clamp(0.08 + 0.86 * r ** 0.9 + 0.04), clamp(0.07 + 0.84 * g ** 0.95), clamp(0.1 + 0.72 * b))


def cold_night(r, g, b):
    # Dark and blue: less saturation, shadows crushed, a blue lift.
    y = luma(r, g, b)
    mixed = [0.55 * c + 0.45 * y for c in (r, g, b)]
    return (clamp(0.75 * mixed[0] ** 1.2), clamp(0.85 * mixed[1] ** 1.15), clamp(0.06 + 0.95 * mixed[2] ** 0.95))


def strip(grade):
    rows = []
    for y in range(16):
        g = (15 - y) / 15.0
        row = bytearray([0])  # filter: none
        for b_index in range(16):
            for r_index in range(16):
                out = grade(r_index / 15.0, g, b_index / 15.0)
                row += bytes(int(round(c * 255)) for c in out)
        rows.append(bytes(row))
    return b"".join(rows)


def png(width, height, raw):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "data", "shader", "luts")
    os.makedirs(out, exist_ok=True)
    for name, grade in (("teal_orange", teal_orange), ("warm_fade", warm_fade), ("cold_night", cold_night)):
        with open(os.path.join(out, name + ".png"), "wb") as f:
            f.write(png(256, 16, strip(grade)))


if __name__ == "__main__":
    main()
