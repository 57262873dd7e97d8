#!/usr/bin/env python3
"""Writes Netpbm test files of every kind (plain and raw, 8 and 16 bits) into
the folder named on the command line, each with a reference made by an
independent decoder (Pillow): "<name>.ref" holds "width height\n"
and then the red, green, blue bytes of every pixel, top row first.
manifest.txt names the files. Every file is longer than the 2176 bytes a
file needs before it is offered to a plug-in."""
import io
import random
import sys
from pathlib import Path

from PIL import Image

HEADER_BLOCK = 2176


def samples(rnd, count, maxval):
    # the extremes first, then anything
    return [0, maxval][:count] + [rnd.randint(0, maxval) for _ in range(count - 2)]


def plain(magic, width, height, maxval, values, per_line):
    head = f"{magic}\n# made for the plug-in tests\n{width} {height}\n"
    if maxval is not None:
        head += f"{maxval}\n"
    lines = [" ".join(str(v) for v in values[i:i + per_line]) for i in range(0, len(values), per_line)]
    return (head + "\n".join(lines) + "\n").encode()


def raw(magic, width, height, maxval, values):
    head = f"{magic}\n{width} {height}\n" + (f"{maxval}\n" if maxval is not None else "")
    if maxval is not None and maxval > 255:
        body = b"".join(v.to_bytes(2, "big") for v in values)
    else:
        body = bytes(values)
    return head.encode() + body


def packed_bits(width, height, bits):
    out = bytearray()
    for y in range(height):
        row = bits[y * width:(y + 1) * width]
        for x in range(0, width, 8):
            byte = 0
            for i, b in enumerate(row[x:x + 8]):
                byte |= b << (7 - i)
            out.append(byte)
    return bytes(out)


def reference(data, maxval16):
    image = Image.open(io.BytesIO(data))
    image.load()
    if image.mode in ("I", "I;16", "I;16B"):
        # 16-bit grey comes back as the samples themselves; 8 bits by rounding
        grey = [(v * 255 + maxval16 // 2) // maxval16 for v in image.getdata()]
        rgb = bytes(c for g in grey for c in (g, g, g))
    else:
        rgb = image.convert("RGB").tobytes()
    return image.size, rgb


def main():
    folder = Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    rnd = random.Random(18)
    files = []

    def add(name, data, maxval16=65535):
        assert len(data) > HEADER_BLOCK, name
        (folder / name).write_bytes(data)
        (width, height), rgb = reference(data, maxval16)
        (folder / (name + ".ref")).write_bytes(f"{width} {height}\n".encode() + rgb)
        files.append(name)

    w, h = 61, 40
    add("plain_bitmap.pbm", plain("P1", w, h, None, [rnd.randint(0, 1) for _ in range(w * h)], 30))
    w, h = 203, 90
    add("raw_bitmap.pbm", raw("P4", w, h, None, list(packed_bits(w, h, [rnd.randint(0, 1) for _ in range(w * h)]))))
    w, h = 41, 30
    add("plain_grey.pgm", plain("P2", w, h, 255, samples(rnd, w * h, 255), 17))
    w, h = 51, 50
    add("raw_grey_maxval201.pgm", raw("P5", w, h, 201, samples(rnd, w * h, 201)))
    w, h = 39, 31
    add("raw_grey16.pgm", raw("P5", w, h, 65535, samples(rnd, w * h, 65535)))
    w, h = 29, 21
    add("plain_grey16.pgm", plain("P2", w, h, 65535, samples(rnd, w * h, 65535), 12))
    w, h = 31, 19
    add("plain_colour.ppm", plain("P3", w, h, 255, samples(rnd, 3 * w * h, 255), 15))
    w, h = 33, 29
    add("raw_colour_maxval15.ppm", raw("P6", w, h, 15, samples(rnd, 3 * w * h, 15)))
    w, h = 23, 15
    add("plain_colour16.ppm", plain("P3", w, h, 65535, samples(rnd, 3 * w * h, 65535), 9))
    w, h = 21, 19
    add("raw_colour16.ppm", raw("P6", w, h, 65535, samples(rnd, 3 * w * h, 65535)))
    (folder / "manifest.txt").write_text("\n".join(files) + "\n")


if __name__ == "__main__":
    main()
