#!/usr/bin/env python3
"""Draws the program icon: four rounded squares in the drop-target colours.

Writes app/resources/Quillodex.ico with 16, 20, 24, 32, 40, 48 and 64-pixel
images (32-bit BGRA with an AND mask) for every display scale, and a
256-pixel image stored as PNG. Run it again after changing the drawing.
"""
import struct
import sys
import zlib

# fill colours of targets 1 to 4 (red, green, blue) and their outlines
FILLS = [(0xF0, 0xF8, 0xFF), (0xFF, 0xF0, 0xF8), (0xFF, 0xFF, 0xF0), (0xE0, 0xFF, 0xE0)]
LINES = [(0x80, 0xB0, 0xC0), (0xC0, 0xA0, 0xB0), (0xC0, 0xC0, 0x80), (0x80, 0xC0, 0x80)]
TITLES = [(0x00, 0x70, 0x80), (0x90, 0x00, 0x80), (0x80, 0x80, 0x00), (0x00, 0x80, 0x00)]


def draw(size):
    pixels = [[(0, 0, 0, 0)] * size for _ in range(size)]
    half = size // 2
    gap = max(1, size // 16)
    radius = max(1, size // 10)
    for quadrant in range(4):
        x0 = (quadrant % 2) * half + gap // 2
        y0 = (quadrant // 2) * half + gap // 2
        side = half - gap
        for y in range(side):
            for x in range(side):
                # rounded corners: skip points outside the corner circles
                cx = min(x, side - 1 - x)
                cy = min(y, side - 1 - y)
                if cx < radius and cy < radius:
                    dx, dy = radius - cx - 0.5, radius - cy - 0.5
                    if dx * dx + dy * dy > radius * radius:
                        continue
                edge = x == 0 or y == 0 or x == side - 1 or y == side - 1 or (
                    cx < radius and cy < radius and (radius - cx) ** 2 + (radius - cy) ** 2 > (radius - 1) ** 2)
                colour = LINES[quadrant] if edge else FILLS[quadrant]
                # a short title bar in the target's title colour
                if not edge and side // 5 <= y <= side // 5 + max(1, side // 8) and side // 5 <= x < side - side // 5:
                    colour = TITLES[quadrant]
                pixels[y0 + y][x0 + x] = colour + (255,)
    return pixels


def image_bytes(size):
    pixels = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for row in reversed(pixels):  # rows are stored bottom-up
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(xor) + bytes(mask)


def png_bytes(size):
    """The image as an RGBA PNG (how large icon images are stored)."""
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    raw = b''.join(b'\0' + bytes(v for pixel in row for v in pixel) for row in draw(size))
    header = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(raw, 9)) +
            chunk(b'IEND', b''))


PNG_FROM = 256  # images this large are stored as PNG


def main(path):
    sizes = [16, 20, 24, 32, 40, 48, 64, 256]
    images = [png_bytes(s) if s >= PNG_FROM else image_bytes(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for size, data in zip(sizes, images):
        side = size % 256  # 0 stands for 256
        out += struct.pack('<BBBBHHII', side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'app/resources/Quillodex.ico')
