#!/usr/bin/env python3
"""Writes photo-like sample pictures for the main job: smooth gradients, soft
shapes and a little grain, as 24-bit PPM and BMP files (standard library only).

Usage: make-samples.py OUTPUT_DIR
"""
import math
import os
import random
import struct
import sys


def picture(width, height, variant):
    rng = random.Random(variant)
    blobs = [(rng.uniform(0, width), rng.uniform(0, height), rng.uniform(width / 8, width / 3),
              [rng.randint(0, 255) for _ in range(3)]) for _ in range(5)]
    rows = []
    for y in range(height):
        row = bytearray()
        sky = y / height
        for x in range(width):
            r = 90 + 120 * sky
            g = 140 + 60 * math.sin(x / width * math.pi)
            b = 220 - 120 * sky
            for bx, by, radius, colour in blobs:
                d = ((x - bx) ** 2 + (y - by) ** 2) / (radius * radius)
                if d < 1.0:
                    w = (1.0 - d) ** 2
                    r += (colour[0] - r) * w
                    g += (colour[1] - g) * w
                    b += (colour[2] - b) * w
            grain = rng.randint(-6, 6)
            row += bytes((max(0, min(255, int(r) + grain)), max(0, min(255, int(g) + grain)),
                          max(0, min(255, int(b) + grain))))
        rows.append(bytes(row))
    return rows


def write_ppm(path, width, height, rows):
    with open(path, 'wb') as f:
        f.write(b'P6\n%d %d\n255\n' % (width, height))
        for row in rows:
            f.write(row)


def write_bmp(path, width, height, rows):
    stride = (width * 3 + 3) & ~3
    with open(path, 'wb') as f:
        f.write(b'BM' + struct.pack('<IHHI', 54 + stride * height, 0, 0, 54))
        f.write(struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, stride * height, 2835, 2835, 0, 0))
        for row in reversed(rows):  # rows are stored bottom-up
            out = bytearray()
            for i in range(0, len(row), 3):
                out += bytes((row[i + 2], row[i + 1], row[i]))
            f.write(bytes(out) + b'\0' * (stride - width * 3))


def main(out_dir):
    os.makedirs(out_dir, exist_ok=True)
    for name, width, height, variant in (('harbour', 1200, 900, 1), ('meadow', 900, 1200, 2)):
        write_ppm(os.path.join(out_dir, name + '.ppm'), width, height, picture(width, height, variant))
    rows = picture(640, 480, 3)
    write_bmp(os.path.join(out_dir, 'lantern.bmp'), 640, 480, rows)


if __name__ == '__main__':
    main(sys.argv[1])
