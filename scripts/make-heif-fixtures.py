#!/usr/bin/python3
"""Makes the HEIC and AVIF test files with Debian's encoders (heif-enc from
libheif-examples, avifenc from libavif-bin) and decodes each with heif-convert
into an 8-bit RGBA PAM reference (16-bit samples rounded to 8 bits).
Usage: make-heif-fixtures.py OUTPUT_DIR LIST
Writes LIST: one line per file, "file<TAB>reference"; the names of the
monochrome files contain "grey"."""
import os
import struct
import subprocess
import sys
import zlib


def write_png(path, width, height, channels, depth, pixel):
    """A plain PNG of `channels` (1, 3 or 4) samples of `depth` bits."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            for value in pixel(x, y)[:channels]:
                rows += struct.pack('>H', value) if depth == 16 else bytes([value])
    colour_type = {1: 0, 3: 2, 4: 6}[channels]

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    header = struct.pack('>IIBBBBB', width, height, depth, colour_type, 0, 0, 0)
    with open(path, 'wb') as out:
        out.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(bytes(rows))) +
                  chunk(b'IEND', b''))


def read_png(path):
    """Width, height and RGBA rows (8 bits, 16-bit samples rounded) of a
    non-interlaced PNG as heif-convert writes them."""
    data = open(path, 'rb').read()
    at, idat = 8, b''
    while at < len(data):
        length, kind = struct.unpack('>I4s', data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b'IHDR':
            width, height, depth, colour_type, _, _, interlace = struct.unpack('>IIBBBBB', body)
        elif kind == b'IDAT':
            idat += body
        at += 12 + length
    assert interlace == 0 and depth in (8, 16) and colour_type in (0, 2, 4, 6), path
    channels = {0: 1, 2: 3, 4: 2, 6: 4}[colour_type]
    sample = depth // 8
    pixel_bytes = channels * sample
    stride = width * pixel_bytes
    raw = zlib.decompress(idat)
    previous = bytearray(stride)
    pixels = []
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = row[i - pixel_bytes] if i >= pixel_bytes else 0
            up = previous[i]
            up_left = previous[i - pixel_bytes] if i >= pixel_bytes else 0
            if kind == 1:
                row[i] = (row[i] + left) & 255
            elif kind == 2:
                row[i] = (row[i] + up) & 255
            elif kind == 3:
                row[i] = (row[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - up_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - up_left)
                row[i] = (row[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else up_left)) & 255
        previous = row
        values = [row[i] if sample == 1 else (row[i] << 8 | row[i + 1]) * 255 * 2 // 65535 + 1 >> 1
                  for i in range(0, stride, sample)]
        for x in range(width):
            v = values[x * channels:(x + 1) * channels]
            grey_alpha = {1: [v[0], v[0], v[0], 255], 2: [v[0], v[0], v[0], v[1]], 3: v + [255], 4: v}
            pixels += grey_alpha[channels]
    return width, height, bytes(pixels)


def write_pam(path, width, height, rgba):
    with open(path, 'wb') as out:
        out.write(b'P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n' % (width, height))
        out.write(rgba)


def colour(x, y):
    # Different along each axis and corner, so a turn or a mirror shows.
    return (x * 7 % 256, y * 13 % 256, (x * y) % 256, (x * 8 + y) % 256)


def colour16(x, y):
    return (x * 1600 % 65536, y * 2100 % 65536, x * y * 40 % 65536)


def grey(x, y):
    return ((x * 7 + y * 3) % 256,)


# name, source (width, height, channels, depth, pixel), encoder arguments
CASES = [
    ('heic_8bit_odd.heic', (33, 17, 3, 8, colour), ['heif-enc', '-q', '90']),
    ('heic_10bit.heic', (40, 30, 3, 16, colour16), ['heif-enc', '-b', '10']),
    ('heic_12bit.heic', (40, 30, 3, 16, colour16), ['heif-enc', '-b', '12']),
    ('heic_alpha.heic', (31, 21, 4, 8, colour), ['heif-enc']),
    ('heic_grey.heic', (33, 17, 1, 8, grey), ['heif-enc']),
    ('avif_8bit.avif', (35, 23, 3, 8, colour), ['avifenc', '-s', '10']),
    ('avif_10bit.avif', (40, 30, 3, 16, colour16), ['avifenc', '-s', '10', '-d', '10']),
    ('avif_12bit.avif', (40, 30, 3, 16, colour16), ['avifenc', '-s', '10', '-d', '12']),
    ('avif_grid.avif', (256, 192, 3, 8, colour), ['avifenc', '-s', '10', '--grid', '2x2']),
    ('avif_rotated.avif', (33, 17, 3, 8, colour), ['avifenc', '-s', '10', '--irot', '1']),
    ('avif_mirrored.avif', (33, 17, 3, 8, colour), ['avifenc', '-s', '10', '--imir', '1']),
    ('avif_cropped.avif', (33, 17, 3, 8, colour), ['avifenc', '-s', '10', '--crop', '3,2,21,11']),
    ('avif_alpha.avif', (31, 21, 4, 8, colour), ['avifenc', '-s', '10']),
    ('avif_grey.avif', (33, 17, 1, 8, grey), ['avifenc', '-s', '10', '--yuv', '400']),
]


def main():
    out = os.path.abspath(sys.argv[1])
    os.makedirs(out, exist_ok=True)
    lines = []
    for name, (width, height, channels, depth, pixel), encoder in CASES:
        source = os.path.join(out, name + '.source.png')
        target = os.path.join(out, name)
        decoded = os.path.join(out, name + '.decoded.png')
        reference = os.path.join(out, name + '.ref.pam')
        write_png(source, width, height, channels, depth, pixel)
        output = ['-o', target] if encoder[0] == 'heif-enc' else [target]
        subprocess.run(encoder + [source] + output, check=True, stdout=subprocess.DEVNULL)
        subprocess.run(['heif-convert', target, decoded], check=True, stdout=subprocess.DEVNULL)
        write_pam(reference, *read_png(decoded))
        lines.append('%s\t%s\n' % (target, reference))
    os.makedirs(os.path.dirname(os.path.abspath(sys.argv[2])), exist_ok=True)
    with open(sys.argv[2], 'w') as listing:
        listing.writelines(lines)
    print('%d HEIF test files in %s' % (len(lines), out))


if __name__ == '__main__':
    main()
