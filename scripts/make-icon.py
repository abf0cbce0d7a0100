#!/usr/bin/env python3
"""Draws the program's icon: a script page in front of a database drum, marked with a
trigger bolt. Writes 16x16, 32x32 and 48x48 images in the 16 standard colours, as PNGs for the
Qt resources and as one 4-bit .ico for the Windows program file, and the Windows installer's
page images (the icon on white): its 150x57 header and its 164x314 welcome and finish side.

Usage: scripts/make-icon.py OUTPUT-FOLDER
"""

import struct
import sys
import zlib
from pathlib import Path

# The 16 standard colours of a 4-bit display, in their usual order.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, TEAL, SILVER, GRAY, YELLOW, AQUA, WHITE = 0, 4, 6, 7, 8, 11, 14, 15
TRANSPARENT = None
SIZES = (16, 32, 48)


def in_ellipse(x, y, cx, cy, rx, ry):
    return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def in_triangle(x, y, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
    s1, s2, s3 = side(a, b), side(b, c), side(c, a)
    return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)


def mask(size, inside):
    """The pixels whose centres lie in the shape, as a set of (x, y)."""
    return {(x, y) for y in range(size) for x in range(size)
            if inside((x + 0.5) / size, (y + 0.5) / size)}


def rim(shape):
    """The pixels of a shape that touch a pixel outside it: a one-pixel outline at any size."""
    return {(x, y) for x, y in shape
            if any(n not in shape for n in ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1)))}


def render(size):
    pixels = [[TRANSPARENT] * size for _ in range(size)]

    def paint(points, colour):
        for x, y in points:
            pixels[y][x] = colour

    # Script page at the upper left, with a folded corner and lines of text.
    left, right, top, bottom, fold = 0.06, 0.64, 0.03, 0.92, 0.2
    page = mask(size, lambda u, v: left <= u <= right and top <= v <= bottom and
                u - right + fold <= v - top)
    corner = mask(size, lambda u, v: right - fold <= u <= right and top <= v <= top + fold and
                  u - right + fold >= v - top)
    paint(page, WHITE)
    paint(corner, SILVER)
    paint(rim(page | corner), GRAY)
    pixel = 1.0 / size
    for row in range(5):
        line_v = 0.30 + row * 0.125
        line_end = right - 0.1 - (0.14 if row % 2 else 0.0)
        paint({(x, y) for x, y in page if abs((y + 0.5) * pixel - line_v) < pixel / 2 and
               left + 0.1 <= (x + 0.5) * pixel <= line_end}, NAVY if row == 0 else BLACK)

    # Database drum at the lower right: a body, a lighter top face and a navy outline.
    cx, rx, drum_top, drum_bottom, ry = 0.70, 0.28, 0.52, 0.86, 0.1
    face = mask(size, lambda u, v: in_ellipse(u, v, cx, drum_top, rx, ry))
    drum = face | mask(size, lambda u, v: (abs(u - cx) <= rx and drum_top <= v <= drum_bottom) or
                       in_ellipse(u, v, cx, drum_bottom, rx, ry))
    paint(drum, TEAL)
    paint(face, AQUA)
    paint(rim(drum) | rim(face), NAVY)

    # Trigger bolt over the page's corner and the drum.
    bolt = (((0.72, 0.0), (0.50, 0.32), (0.66, 0.32)), ((0.64, 0.24), (0.82, 0.24), (0.56, 0.56)))
    paint(mask(size, lambda u, v: any(in_triangle(u, v, *t) for t in bolt)), YELLOW)
    return pixels


def png_bytes(pixels):
    size = len(pixels)
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for index in row:
            raw.extend((0, 0, 0, 0) if index is None else (*PALETTE[index], 255))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def ico_image(pixels):
    """One 4-bit icon image: bitmap header, palette, colour rows and mask rows, bottom up."""
    size = len(pixels)
    colour_stride = (size * 4 + 31) // 32 * 4
    mask_stride = (size + 31) // 32 * 4
    colour, mask = bytearray(), bytearray()
    for row in reversed(pixels):
        line = bytearray(colour_stride)
        bits = bytearray(mask_stride)
        for x, index in enumerate(row):
            nibble = 0 if index is None else index
            line[x // 2] |= nibble << (4 if x % 2 == 0 else 0)
            if index is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        colour += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(colour) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(colour) + bytes(mask)


def ico_bytes(images):
    # Directory order follows the window's description of the icon: 32, 16, then 48 pixels.
    order = [images[32], images[16], images[48]]
    blobs = [ico_image(pixels) for pixels in order]
    out = bytearray(struct.pack("<HHH", 0, 1, len(blobs)))
    offset = 6 + 16 * len(blobs)
    for pixels, blob in zip(order, blobs):
        size = len(pixels)
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


def bmp_bytes(pixels):
    """A 4-bit bitmap file of the pixels, transparent ones white."""
    height, width = len(pixels), len(pixels[0])
    stride = (width * 4 + 31) // 32 * 4
    rows = bytearray()
    for row in reversed(pixels):
        line = bytearray(stride)
        for x, index in enumerate(row):
            nibble = WHITE if index is None else index
            line[x // 2] |= nibble << (4 if x % 2 == 0 else 0)
        rows += line
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    return (b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset) +
            struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(rows), 2835, 2835,
                        16, 0) + palette + bytes(rows))


def page_image(width, height, icon_size, left, top):
    """A white image of the given size with the icon drawn at (left, top)."""
    pixels = [[WHITE] * width for _ in range(height)]
    for y, row in enumerate(render(icon_size)):
        for x, index in enumerate(row):
            if index is not None:
                pixels[top + y][left + x] = index
    return pixels


def main():
    folder = Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    images = {size: render(size) for size in SIZES}
    for size, pixels in images.items():
        (folder / f"QeltAuditTrigger-{size}.png").write_bytes(png_bytes(pixels))
    (folder / "QeltAuditTrigger.ico").write_bytes(ico_bytes(images))
    (folder / "QeltAuditTrigger-header.bmp").write_bytes(bmp_bytes(page_image(150, 57, 48, 96, 4)))
    (folder / "QeltAuditTrigger-welcome.bmp").write_bytes(
        bmp_bytes(page_image(164, 314, 96, 34, 40)))


if __name__ == "__main__":
    main()
