#!/usr/bin/env python3
# make_fixtures.py -- writes reference TGA pictures with Pillow (and ImageMagick when present) for the picture tests
#
# For every picture NAME.tga it writes NAME.rgba: the encoder's own reading of the file as RGBA bytes, top
# row first, and a line "NAME width height stb" in manifest.txt (stb 1 when stb_image reads the variant
# the same way, so the test compares against it as well). source.rgba holds the picture that was encoded.
import os
import random
import shutil
import subprocess
import sys

from PIL import Image

W, H = 45, 31


def source_picture():
    """Runs of one colour (run packets), noise (raw packets), varied alpha, odd sizes."""
    rnd = random.Random(5)
    im = Image.new("RGBA", (W, H))
    px = im.load()
    for y in range(H):
        for x in range(W):
            if x < 15:
                px[x, y] = (200, 30 + y * 4, 7, 255) if (x // 5 + y // 3) % 2 else (10, 250, 128, 255)
            elif x < 30:
                px[x, y] = (rnd.randrange(256), rnd.randrange(256), rnd.randrange(256), rnd.randrange(256))
            else:
                px[x, y] = (x * 5, y * 8, (x * y) & 255, (x * 17 + y) & 255)
    return im


def save_ref(out, name, stb, lines):
    path = os.path.join(out, name + ".tga")
    with Image.open(path, formats=["TGA"]) as im:
        rgba = im.convert("RGBA")
        with open(os.path.join(out, name + ".rgba"), "wb") as f:
            f.write(rgba.tobytes())
        lines.append("%s %d %d %d\n" % (name, rgba.width, rgba.height, stb))


def mirror_rows(src, dst):
    """Rewrites an uncompressed true-colour TGA with every row stored right to left and bit 4 set."""
    data = bytearray(open(src, "rb").read())
    id_len, depth = data[0], data[16]
    w, h = data[12] | data[13] << 8, data[14] | data[15] << 8
    px = depth // 8
    start = 18 + id_len
    for r in range(h):
        row = data[start + r * w * px: start + (r + 1) * w * px]
        pixels = [row[i * px:(i + 1) * px] for i in range(w)]
        data[start + r * w * px: start + (r + 1) * w * px] = b"".join(reversed(pixels))
    data[17] |= 0x10
    open(dst, "wb").write(data)


def handmade_16bit(out):
    """Pillow writes no 15/16-bit files: write them by hand and let Pillow and stb_image read them."""
    rnd = random.Random(16)
    words = [rnd.randrange(65536) for _ in range(W * H)]
    body = b"".join(bytes((w & 255, w >> 8)) for w in words)
    for name, descriptor in (("rgb16_raw_bu", 0x01), ("rgb16_raw_td", 0x20)):
        header = bytes((0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, W & 255, W >> 8, H & 255, H >> 8, 16, descriptor))
        open(os.path.join(out, name + ".tga"), "wb").write(header + body)
    # Colour-mapped with 16-bit entries, a first index of 0 and 200 entries.
    entries = b"".join(bytes((w & 255, w >> 8)) for w in words[:200])
    indices = bytes(rnd.randrange(200) for _ in range(W * H))
    header = bytes((0, 1, 1, 0, 0, 200, 0, 16, 0, 0, 0, 0, W & 255, W >> 8, H & 255, H >> 8, 8, 0x20))
    open(os.path.join(out, "mapped8_map16.tga"), "wb").write(header + entries + indices)
    return ("rgb16_raw_bu", "rgb16_raw_td", "mapped8_map16")


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    src = source_picture()
    with open(os.path.join(out, "source.rgba"), "wb") as f:
        f.write(src.tobytes())
    rgb = src.convert("RGB")
    lines = []

    def save(im, name, stb=1, **opts):
        im.save(os.path.join(out, name + ".tga"), **opts)
        save_ref(out, name, stb, lines)

    for mode, im in (("rgb24", rgb), ("rgba32", src)):
        for comp in ("raw", "rle"):
            for orient, o in (("bu", -1), ("td", 1)):
                opts = {"orientation": o}
                if comp == "rle":
                    opts["compression"] = "tga_rle"
                save(im, "%s_%s_%s" % (mode, comp, orient), **opts)
    save(rgb, "rgb24_raw_id", id_section=b"KERV16 reference picture")
    save(src, "rgba32_rle_id", compression="tga_rle", orientation=1, id_section=b"id field\x00\xff")

    # Pillow writes no right-to-left files: mirror its rows by hand; Pillow reads them back mirrored.
    # stb_image ignores the bit, so it is not asked.
    for name in ("rgb24_raw_bu", "rgba32_raw_td"):
        mirror_rows(os.path.join(out, name + ".tga"), os.path.join(out, name + "_rtl.tga"))
        save_ref(out, name + "_rtl", 0, lines)

    grey = src.convert("L")
    save(grey, "grey8_raw")
    save(grey, "grey8_rle", compression="tga_rle")
    save(src.convert("LA"), "grey16_alpha", stb=0)
    pal = rgb.quantize(colors=37)
    save(pal, "mapped8_raw")
    save(pal, "mapped8_rle", compression="tga_rle", orientation=1)

    for name in handmade_16bit(out):
        save_ref(out, name, 1, lines)

    # A second encoder: ImageMagick writes its own header layout and a footer after the pixels. It stores
    # rows in the order it holds them and only flags that order when told (-orient), so it is told.
    if shutil.which("convert"):
        png = os.path.join(out, "source.png")
        src.save(png)
        for name, args in (("im_rgba32_rle", ["-compress", "RLE"]),
                           ("im_rgb24_rle", ["-alpha", "off", "-compress", "RLE"]),
                           ("im_rgba32_raw", ["-compress", "None"])):
            subprocess.run(["convert", png, "-orient", "TopLeft"] + args + [os.path.join(out, name + ".tga")], check=True)
            save_ref(out, name, 1, lines)

    with open(os.path.join(out, "manifest.txt"), "w") as f:
        f.writelines(lines)


main()
