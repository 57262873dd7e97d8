#!/usr/bin/python3
"""Decodes the fetched third-party test images with independent decoders into
reference pictures that the conformance tests compare with.

Usage: make-test-references.py OUT_DIR SUITE SOURCE_FOLDER...
  SUITE bmp:  every *.bmp, decoded by Pillow; the picture the suite's own
              page (../html/bmpsuite.html) shows for it where Pillow refuses
              the file, and for RLE4 files, which Pillow 9.4 misreads
  SUITE webp: every *.webp, decoded by dwebp (Debian's webp package); an
              animation, which dwebp does not take, by Pillow (first frame)
  SUITE tiff: every *.tif/*.tiff that tiff2rgba converts (its RGBA raster,
              colour multiplied by alpha as libtiff hands it)
Writes OUT_DIR/SUITE/<name>.pam (P7, RGB_ALPHA, or RGB_ALPHA_PREMULTIPLIED)
with absolute paths
and OUT_DIR/SUITE.txt, one line per image: source TAB reference, where the
reference is "-" when the independent decoder refused the file.
"""
import os
import re
import subprocess
import sys
import tempfile

from PIL import Image


def write_pam(path, width, height, rgba, tupltype):
    with open(path, "wb") as out:
        out.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE %s\nENDHDR\n"
                  % (width, height, tupltype.encode()))
        out.write(rgba)


def pillow_rgba(source, target):
    with Image.open(source) as im:
        im.seek(0)
        rgba = im.convert("RGBA")
        write_pam(target, rgba.width, rgba.height, rgba.tobytes(), "RGB_ALPHA")


def suite_picture(source):
    """The reference picture BMP Suite's page names for a file, or None."""
    folder = os.path.dirname(source)
    page = os.path.join(folder, "..", "html", "bmpsuite.html")
    if not os.path.exists(page):
        return None
    wanted = "%s/%s" % (os.path.basename(folder), os.path.basename(source))
    with open(page, encoding="utf-8", errors="replace") as html:
        text = html.read()
    found = re.search(r"<td>%s</td>\s*<td>[^<]*</td>\s*<td[^>]*><img src=\"([^\"]+)\"" % re.escape(wanted), text)
    return os.path.join(folder, "..", "html", found.group(1)) if found else None


def bmp_reference(source, target):
    """Pillow's reading of the file; the picture the suite's page shows for it
    where Pillow refuses the file or, for RLE4 files, misreads it (Pillow 9.4
    drops the last pixel of odd-length absolute runs). The page's 8-bit
    pictures are not exact to the last bit, so Pillow comes first."""
    with open(source, "rb") as raw:
        head = raw.read(34)
    rle4 = len(head) >= 34 and int.from_bytes(head[14:18], "little") >= 40 and \
        int.from_bytes(head[30:34], "little") == 2
    picture = suite_picture(source)
    if not rle4:
        try:
            pillow_rgba(source, target)
            return
        except Exception:
            if picture is None:
                raise
    pillow_rgba(picture, target)


def dwebp_rgba(source, target):
    done = subprocess.run(["dwebp", "-quiet", "-pam", source, "-o", target],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return done.returncode == 0


def tiff2rgba(source, target, scratch):
    converted = os.path.join(scratch, "converted.tif")
    done = subprocess.run(["tiff2rgba", "-c", "none", source, converted],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if done.returncode != 0 or not os.path.exists(converted):
        return False
    with Image.open(converted) as im:
        # The raster as tiff2rgba wrote it: "RGBa" keeps the premultiplied
        # bytes, "RGBA" is what Pillow divided back by alpha.
        if im.mode not in ("RGBA", "RGBa"):
            return False
        tupltype = "RGB_ALPHA_PREMULTIPLIED" if im.mode == "RGBa" else "RGB_ALPHA"
        write_pam(target, im.width, im.height, im.tobytes(), tupltype)
    os.remove(converted)
    return True


def main():
    out_dir, suite = os.path.abspath(sys.argv[1]), sys.argv[2]
    folders = [os.path.abspath(folder) for folder in sys.argv[3:]]
    extensions = {"bmp": (".bmp",), "webp": (".webp",), "tiff": (".tif", ".tiff")}[suite]
    target_dir = os.path.join(out_dir, suite)
    os.makedirs(target_dir, exist_ok=True)
    lines = []
    with tempfile.TemporaryDirectory() as scratch:
        for folder in folders:
            for name in sorted(os.listdir(folder)):
                if not name.lower().endswith(extensions):
                    continue
                source = os.path.join(folder, name)
                target = os.path.join(target_dir, name + ".pam")
                try:
                    if suite == "bmp":
                        bmp_reference(source, target)
                        ok = True
                    elif suite == "webp":
                        ok = dwebp_rgba(source, target)
                        if not ok:
                            pillow_rgba(source, target)
                            ok = True
                    else:
                        ok = tiff2rgba(source, target, scratch)
                except Exception:
                    ok = False
                lines.append("%s\t%s\n" % (source, target if ok else "-"))
    with open(os.path.join(out_dir, suite + ".txt"), "w") as manifest:
        manifest.writelines(lines)
    print("%s: %d images, %d with a reference" % (suite, len(lines), sum(1 for l in lines if not l.endswith("\t-\n"))))


if __name__ == "__main__":
    main()
