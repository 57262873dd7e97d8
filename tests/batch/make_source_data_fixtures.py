#!/usr/bin/env python3
"""Makes the colour-profile and Exif fixtures of source_data_test.cpp with
Pillow, and what an independent colour engine (Pillow's ImageCms, relative
colorimetric with black-point compensation) makes of each.

Usage: make_source_data_fixtures.py FOLDER
FOLDER holds adobe.icc, p3.icc, grey.icc, cmyk.icc and srgb.icc (written by
the test). For every picture NAME.EXT it writes NAME.EXT.expected: the
picture's pixels after conversion to sRGB, top-down, red-green-blue."""
import io
import sys

from PIL import Image, ImageCms

BLACK_POINT_COMPENSATION = 0x2000
RELATIVE = 1
folder = sys.argv[1]


def profile(name):
    with open(f"{folder}/{name}.icc", "rb") as f:
        return f.read()


SRGB = ImageCms.createProfile("sRGB")


def to_srgb(image, icc, mode="RGB"):
    source = ImageCms.ImageCmsProfile(io.BytesIO(icc))
    transform = ImageCms.buildTransform(source, SRGB, image.mode, mode, RELATIVE, BLACK_POINT_COMPENSATION)
    return ImageCms.applyTransform(image, transform)


def pattern(width=64, height=48):
    """Ramps, saturated patches and a grey scale: what separates the spaces."""
    image = Image.new("RGB", (width, height))
    pixels = image.load()
    for y in range(height):
        for x in range(width):
            if y < 16:
                pixels[x, y] = (x * 4, 255 - x * 4, (x * y * 7) & 255)
            elif y < 32:
                patch = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 128, 0), (60, 140, 40), (230, 180, 150),
                         (0, 255, 255), (255, 0, 255)][x // 8]
                pixels[x, y] = patch
            else:
                v = x * 4
                pixels[x, y] = (v, v, v)
    return image


def write_expected(name, image):
    with open(f"{folder}/{name}.expected", "wb") as f:
        f.write(image.convert("RGB").tobytes())


def save(image, name, **options):
    image.save(f"{folder}/{name}", **options)
    return Image.open(f"{folder}/{name}")


source = pattern()
for space in ("adobe", "p3"):
    icc = profile(space)
    write_expected(f"{space}.png", to_srgb(source, icc))
    save(source, f"{space}.png", icc_profile=icc)
    write_expected(f"{space}.tif", to_srgb(source, icc))
    save(source, f"{space}.tif", icc_profile=icc)
    write_expected(f"{space}-lzw.tif", to_srgb(source, icc))
    save(source, f"{space}-lzw.tif", icc_profile=icc, compression="tiff_lzw")
    decoded = save(source, f"{space}.jpg", icc_profile=icc, quality=95)
    write_expected(f"{space}.jpg", to_srgb(decoded.convert("RGB"), icc))

# CMYK: Pillow stores Adobe-style inverted samples and reads them back plain.
cmyk = Image.merge("CMYK", [c.point(lambda v: v // 2) for c in source.split()] + [source.split()[0].point(lambda v: v // 3)])
decoded = save(cmyk, "cmyk.jpg", icc_profile=profile("cmyk"), quality=95)
write_expected("cmyk.jpg", to_srgb(decoded, profile("cmyk")))

grey = source.convert("L")
decoded = save(grey, "grey.jpg", icc_profile=profile("grey"), quality=95)
write_expected("grey.jpg", to_srgb(decoded, profile("grey")))

# Untagged and sRGB-tagged pictures: their pixels must not change at all.
for extension in ("png", "jpg"):
    save(source, f"srgb.{extension}", icc_profile=profile("srgb"))
    save(source, f"untagged.{extension}")
# A profile lcms cannot open (its tag count is out of range): ignored.
damaged = bytearray(profile("adobe"))
damaged[128:132] = b"\xff\xff\xff\xff"
save(source, "damaged.png", icc_profile=bytes(damaged))

# A phone's photo: date with offset and sub-seconds, camera, lens, exposure,
# a maker note, a comment, GPS, orientation 6 and a thumbnail, in big-endian
# order like many cameras. Noise keeps it far above 100 KiB.
import random
import subprocess

noise = random.Random(29)
photo = Image.frombytes("RGB", (1200, 900), bytes(noise.getrandbits(8) for _ in range(1200 * 900 * 3)))
exif = Image.Exif()
exif[0x010F] = "Phonemaker"
exif[0x0110] = "Phone 12"
exif[0x0112] = 6
exif[0x0131] = "PhoneOS 17"
exif[0x013B] = "A. Person"
exif[0x8769] = {0x9003: "2024:05:17 14:03:22", 0x9011: "+02:00", 0x9291: "123", 0x8827: 50,
                0xA434: "Back camera", 0x927C: b"MAKERNOTE-BYTES-1234", 0x9286: b"ASCII\0\0\0holiday"}
photo.save(f"{folder}/phone.jpg", exif=exif.tobytes(), quality=90)
Image.new("RGB", (160, 120), (0, 0, 255)).save(f"{folder}/thumb.jpg")
subprocess.run(["exiftool", "-q", "-overwrite_original", "-ExifByteOrder=Big-endian", "-ExposureTime=1/120",
                "-FNumber=1.8", "-FocalLength=4.2", "-GPSLatitude=48.85", "-GPSLatitudeRef=N",
                "-GPSLongitude=2.29", "-GPSLongitudeRef=E", f"-ThumbnailImage<={folder}/thumb.jpg",
                f"{folder}/phone.jpg"], check=True)

# HEIF and AVIF (Debian's avifenc and heif-convert): an Adobe RGB profile in a
# colr box, Display P3 described by code points in an nclx box (its primaries
# with sRGB's curve, as p3.icc describes it), and the phone's Exif as an item.
# Expected: heif-convert's decoding turned to sRGB with the profile the file
# describes.
source.save(f"{folder}/pattern.png")
with open(f"{folder}/phone.exif", "wb") as f:
    f.write(Image.open(f"{folder}/phone.jpg").info["exif"])
for name, options, space in (("adobe.avif", ["--icc", f"{folder}/adobe.icc"], "adobe"),
                             ("p3-nclx.avif", ["--cicp", "12/13/6"], "p3"),
                             ("phone.avif", ["--exif", f"{folder}/phone.exif"], None)):
    subprocess.run(["avifenc", "-s", "10", "-y", "444", "--min", "0", "--max", "8"] + options +
                   [f"{folder}/pattern.png", f"{folder}/{name}"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["heif-convert", f"{folder}/{name}", f"{folder}/{name}.png"], check=True,
                   stdout=subprocess.DEVNULL)
    if space:
        write_expected(name, to_srgb(Image.open(f"{folder}/{name}.png").convert("RGB"), profile(space)))
