#!/usr/bin/python3
"""Builds the ribbon's bitmap strips from the Tango icon theme (public domain,
Debian package tango-icon-theme) and writes them next to this script:

  ribbon_app.bmp     (112)  24 x 24, 32-bit with alpha: the application button
  ribbon_panels.bmp  (113)  28 images of 16 x 16, 32-bit with alpha: panel icons
  ribbon_small.bmp   (312)  10 images of 16 x 16, 24-bit on light grey
  ribbon_large.bmp   (314)  25 images of 32 x 32, 24-bit on light grey

Light grey (192, 192, 192) is the transparent colour of the 24-bit strips, so
no drawn pixel may have it. Run it with Debian's Python (it needs Pillow) after
changing a picture; the build uses the committed .bmp files.
"""
import os
import struct
import sys

from PIL import Image

TANGO = "/usr/share/icons/Tango"
HERE = os.path.dirname(os.path.abspath(__file__))
GREY = (192, 192, 192)

# Button pictures by image index; an index no command uses repeats the
# neutral picture.
NEUTRAL = "mimetypes/text-x-generic"
BUTTONS = {
    0: "actions/list-add",            # Add
    1: "actions/edit-paste",          # Batch Add: links pasted from a page
    4: "actions/edit-delete",         # Delete
    7: "actions/system-log-out",      # Exit
    8: "actions/go-down",             # Download
    9: "actions/process-stop",        # Stop
    10: "actions/document-new",       # New
    11: "actions/document-open",      # Open
    12: "actions/document-save",      # Save
    13: "actions/document-save-as",   # Save As
    15: "status/folder-open",         # Open output folder
    16: "places/folder",              # Output folder
    19: "apps/help-browser",          # About
    20: "actions/go-home",            # web link: Home
    21: "apps/internet-web-browser",  # web link: Product
    22: "actions/mail-message-new",   # web link: Contact
}
# Panel icons: 26 for the movie panels, 7 for the others.
PANELS = {
    7: "categories/preferences-system",
    26: "mimetypes/video-x-generic",
}
APP_BUTTON = "mimetypes/video-x-generic"


def icon(name, size):
    """The theme's picture at `size` pixels, RGBA; scaled from 32 when the
    theme has no picture of that size."""
    exact = os.path.join(TANGO, f"{size}x{size}", name + ".png")
    if os.path.exists(exact):
        return Image.open(exact).convert("RGBA")
    big = Image.open(os.path.join(TANGO, "32x32", name + ".png")).convert("RGBA")
    return big.resize((size, size), Image.LANCZOS)


def strip(names, count, size):
    out = Image.new("RGBA", (count * size, size), (0, 0, 0, 0))
    for i in range(count):
        out.paste(icon(names.get(i, NEUTRAL), size), (i * size, 0))
    return out


def on_grey(image):
    """24-bit picture on the transparent grey: mostly transparent pixels
    become exactly grey, the rest are blended over it and kept off grey."""
    out = Image.new("RGB", image.size, GREY)
    src = image.load()
    dst = out.load()
    for y in range(image.size[1]):
        for x in range(image.size[0]):
            r, g, b, a = src[x, y]
            if a < 96:
                continue
            mix = tuple((c * a + k * (255 - a)) // 255 for c, k in zip((r, g, b), GREY))
            if mix == GREY:
                mix = (192, 192, 193)
            dst[x, y] = mix
    return out


def write_bmp(path, image):
    """Bottom-up BI_RGB bitmap: 32-bit BGRA (straight alpha) for RGBA images,
    24-bit BGR with rows padded to four bytes for RGB ones."""
    width, height = image.size
    alpha = image.mode == "RGBA"
    bpp = 32 if alpha else 24
    stride = ((width * bpp // 8) + 3) & ~3
    rows = []
    px = image.load()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            p = px[x, y]
            row += bytes((p[2], p[1], p[0], p[3])) if alpha else bytes((p[2], p[1], p[0]))
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    bits = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, 0, len(bits), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(bits), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(header + info + bits)


def main():
    if not os.path.isdir(TANGO):
        sys.exit(f"{TANGO} is missing: install the tango-icon-theme package")
    write_bmp(os.path.join(HERE, "ribbon_app.bmp"), icon(APP_BUTTON, 32).resize((24, 24), Image.LANCZOS))
    write_bmp(os.path.join(HERE, "ribbon_panels.bmp"), strip(PANELS, 28, 16))
    write_bmp(os.path.join(HERE, "ribbon_small.bmp"), on_grey(strip(BUTTONS, 10, 16)))
    write_bmp(os.path.join(HERE, "ribbon_large.bmp"), on_grey(strip(BUTTONS, 25, 32)))


if __name__ == "__main__":
    main()
