#!/usr/bin/python3
"""Writes the BMP and TGA test files of the image tests with two independent encoders
(Pillow and ImageMagick), each beside a reference of its pixels as binary PPM (P6) or, for
pictures with alpha, PAM (P7, RGB_ALPHA).

Run from anywhere: /usr/bin/python3 tests/image/make_fixtures.py
The files are small and checked in; the tests only read them.
"""
import os
import subprocess
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "fixtures")
W, H = 13, 7  # odd width: rows need padding


def picture(mode="RGB"):
    img = Image.new("RGB", (W, H))
    for y in range(H):
        for x in range(W):
            img.putpixel((x, y), ((x * 19 + y * 7) % 256, (y * 37) % 256, (x * y * 11 + 60) % 256))
    img.putpixel((0, 0), (255, 255, 255))
    img.putpixel((W - 1, H - 1), (0, 0, 0))
    return img


def reference(img, name):
    """PPM or PAM of the decoded pixels, written by Pillow's own reading of the image."""
    if img.mode == "RGBA":
        path = os.path.join(OUT, name + ".pam")
        with open(path, "wb") as f:
            f.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" % img.size)
            f.write(img.tobytes())
    else:
        img.convert("RGB").save(os.path.join(OUT, name + ".ppm"))


def pillow(img, name, **options):
    path = os.path.join(OUT, name)
    img.save(path, **options)
    reference(Image.open(path).convert("RGBA" if img.mode == "RGBA" else "RGB"), name)


def magick_tga(source, name, *arguments):
    """ImageMagick writes the TGA file `name` from a PPM of `source`. ImageMagick 6 stores the
    top row first whatever the descriptor says, so it is asked for the top-left origin, which it
    writes correctly; the reference is Pillow's decoding of the written file."""
    src = os.path.join(OUT, "_source.ppm")
    source.convert("RGB").save(src)
    path = os.path.join(OUT, name)
    subprocess.run(["convert", src, "-orient", "TopLeft", *arguments, path], check=True)
    reference(Image.open(path).convert("RGB"), name)
    os.remove(src)


def main():
    os.makedirs(OUT, exist_ok=True)
    rgb = picture()
    rgba = rgb.convert("RGBA")
    for y in range(H):
        for x in range(W):
            r, g, b, _ = rgba.getpixel((x, y))
            rgba.putpixel((x, y), (r, g, b, (x * 20) % 256))
    gray = rgb.convert("L")
    pal = rgb.convert("P", palette=Image.ADAPTIVE, colors=200)
    pal16 = rgb.convert("P", palette=Image.ADAPTIVE, colors=16)
    mono = gray.point(lambda v: 255 if v > 100 else 0).convert("1")

    # BMP: 1, 4, 8, 24 and 32 bits, 16 bits with bit fields (5-6-5 and 5-5-5).
    pillow(mono, "pil_1bit.bmp")
    pillow(pal, "pil_8bit.bmp")
    pillow(rgb, "pil_24bit.bmp")
    pillow(rgba, "pil_32bit.bmp")
    sources = {"pal16": pal16, "pal": pal, "rgb": rgb}
    for name, source, args in [
        ("im_4bit.bmp", "pal16", ["-type", "Palette", "-colors", "16", "-compress", "None", "BMP3:"]),
        ("im_8bit.bmp", "pal", ["-type", "Palette", "-compress", "None", "BMP3:"]),
        ("im_24bit.bmp", "rgb", ["-type", "TrueColor", "-compress", "None", "BMP3:"]),
        ("im_16bit_565.bmp", "rgb", ["-type", "TrueColor", "-compress", "None",
                                     "-define", "bmp:subtype=RGB565", "BMP:"]),
        ("im_16bit_555.bmp", "rgb", ["-type", "TrueColor", "-compress", "None",
                                     "-define", "bmp:subtype=RGB555", "BMP:"]),
    ]:
        src = os.path.join(OUT, "_source.png")
        sources[source].save(src)
        path = os.path.join(OUT, name)
        subprocess.run(["convert", src, *args[:-1], args[-1] + path], check=True)
        subprocess.run(["convert", path, "-depth", "8", os.path.join(OUT, name + ".ppm")], check=True)
        os.remove(src)

    # TGA: uncompressed and run-length coded; true colour, colour-mapped and grayscale; rows
    # from the top and from the bottom.
    pillow(rgb, "pil_24bit_top.tga", orientation=1)
    pillow(rgb, "pil_24bit_bottom.tga", orientation=-1)
    pillow(rgb, "pil_24bit_rle.tga", compression="tga_rle")
    pillow(rgba, "pil_32bit_rle_top.tga", compression="tga_rle", orientation=1)
    pillow(pal, "pil_8bit_mapped.tga")
    pillow(pal, "pil_8bit_mapped_rle.tga", compression="tga_rle")
    pillow(gray, "pil_8bit_gray.tga")
    pillow(gray, "pil_8bit_gray_rle_top.tga", compression="tga_rle", orientation=1)
    magick_tga(rgb, "im_24bit_rle.tga", "-compress", "RLE")
    magick_tga(rgb, "im_24bit.tga", "-compress", "None")


if __name__ == "__main__":
    main()
