#!/usr/bin/env python3
"""Writes the small seed pictures for the bitmap, Targa and JPEG fuzz targets into
fuzz/seeds/{bmp,tga,jpg}/. Most come from ImageMagick (/usr/bin/convert); the forms it cannot
write (RLE4 and headerless bitmaps, 16-bit Targa, Targa with an unused colour map) are built
here byte by byte. Run it again only to change the seeds; its output is committed."""
import os
import random
import struct
import subprocess
import sys
import tempfile

CONVERT = "/usr/bin/convert"
ROOT = os.path.dirname(os.path.abspath(__file__))


def convert(*args):
    subprocess.run([CONVERT, *args], check=True)


def bmp(width, height, bits, compression, palette, pixels, header=True):
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, len(pixels),
                       2835, 2835, len(palette) // 4, 0)
    body = info + palette + pixels
    if not header:
        return body
    return b"BM" + struct.pack("<IHHI", 14 + len(body), 0, 0, 14 + 40 + len(palette)) + body


def main():
    seeds = {name: os.path.join(ROOT, "seeds", name) for name in ("bmp", "tga", "jpg")}
    for path in seeds.values():
        os.makedirs(path, exist_ok=True)
    rng = random.Random(7)
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, "noise.ppm")
        with open(source, "wb") as f:
            f.write(b"P6\n7 5\n255\n" + bytes(rng.randrange(256) for _ in range(7 * 5 * 3)))
        flat = os.path.join(tmp, "flat.ppm")
        convert(source, "-sample", "300%x100%", "-crop", "7x5+0+0", "+repage", flat)

        b = seeds["bmp"]
        convert(source, f"BMP3:{b}/rgb24.bmp")
        convert(source, "-colors", "40", "-type", "palette", "-compress", "None", f"BMP3:{b}/pal8.bmp")
        convert(flat, "-colors", "40", "-type", "palette", "-compress", "RLE", f"BMP3:{b}/rle8.bmp")
        convert(source, "-colors", "12", "-type", "palette", "-compress", "None", f"BMP3:{b}/pal4.bmp")
        convert(source, "-colors", "2", "-type", "palette", "-compress", "None", f"BMP3:{b}/pal1.bmp")
        convert(source, "-alpha", "set", "-define", "bmp3:alpha=true", f"BMP3:{b}/rgb32.bmp")
        convert(source, "-alpha", "set", f"BMP:{b}/fields32.bmp")
        convert(source, "-define", "bmp:subtype=RGB565", f"BMP:{b}/fields565.bmp")
        convert(source, f"BMP2:{b}/core24.bmp")
        convert(source, "-colors", "12", "-type", "palette", f"BMP2:{b}/core4.bmp")
        palette16 = b"".join(bytes((i * 16, 255 - i * 16, i, 0)) for i in range(16))
        rle4 = bytes((7, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 2, 1, 1, 1, 0x66, 0, 1))
        with open(f"{b}/rle4.bmp", "wb") as f:
            f.write(bmp(5, 3, 4, 2, palette16, rle4))
        with open(f"{b}/headerless8.bmp", "wb") as f:
            f.write(bmp(3, 2, 8, 0, palette16, bytes((0, 1, 2, 0, 3, 4, 15, 0)), header=False))
        with open(f"{b}/plain16.bmp", "wb") as f:
            f.write(bmp(2, 2, 16, 0, b"", struct.pack("<4H", 0x7FFF, 0x001F, 0x03E0, 0x7C00)))

        t = seeds["tga"]
        convert(source, f"TGA:{t}/rgb24.tga")
        convert(source, "-alpha", "set", f"TGA:{t}/rgba32.tga")
        convert(flat, "-compress", "RLE", f"TGA:{t}/rle24.tga")
        convert(flat, "-alpha", "set", "-compress", "RLE", f"TGA:{t}/rle32.tga")
        head16 = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, 3, 2, 16, 0x20)
        with open(f"{t}/rgb16.tga", "wb") as f:
            f.write(head16 + struct.pack("<6H", 0x7FFF, 0x8000, 0x001F, 0x03E0, 0x7C00, 0x1234))
        mapped = struct.pack("<BBBHHBHHHHBB", 2, 1, 2, 0, 2, 24, 0, 0, 2, 1, 24, 0)
        with open(f"{t}/colourmap24.tga", "wb") as f:
            f.write(mapped + b"id" + bytes(6) + bytes((30, 20, 10, 60, 50, 40)))
        packets = struct.pack("<BBBHHBHHHHBB", 0, 0, 10, 0, 0, 0, 0, 0, 4, 1, 24, 0)
        with open(f"{t}/packets24.tga", "wb") as f:
            f.write(packets + bytes((128, 1, 2, 3, 1, 4, 5, 6, 7, 8, 9, 128, 10, 11, 12)))

        j = seeds["jpg"]
        convert("-size", "16x16", "gradient:red-blue", "-quality", "75", f"JPG:{j}/colour.jpg")
        convert(source, "-quality", "90", "-sampling-factor", "1x1", f"JPG:{j}/noise444.jpg")
        convert(source, "-interlace", "Plane", f"JPG:{j}/progressive.jpg")
        convert(source, "-colorspace", "Gray", f"JPG:{j}/grey.jpg")
    return 0


if __name__ == "__main__":
    sys.exit(main())
