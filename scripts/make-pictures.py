#!/usr/bin/env python3
"""Draws the installer's pictures: res/logo.bmp (64x64, 24 bpp) and res/app.ico
(48, 32 and 16 px at 4, 8 and 32 bpp). Pure Python, so the output is the same everywhere."""
import os
import struct
import sys

BLUE = (30, 80, 160)
RIM = (10, 40, 100)
WHITE = (255, 255, 255)
GREEN = (10, 70, 40)


def shade(x, y, size):
    """Colour of pixel (x, y) of a size x size picture, or None where it is transparent:
    a blue disc with a rim and a white Z."""
    c = (size - 1) / 2.0
    r = size / 2.0
    d = ((x - c) ** 2 + (y - c) ** 2) ** 0.5
    if d > r - 0.5:
        return None
    if d > r - max(1.5, size / 16.0):
        return RIM
    u, v = x / (size - 1), y / (size - 1)
    t = max(1.0 / size, 0.09)
    top = 0.27 <= v <= 0.27 + t * 1.3 and 0.27 <= u <= 0.73
    bottom = 0.73 - t * 1.3 <= v <= 0.73 and 0.27 <= u <= 0.73
    diag = 0.27 <= v <= 0.73 and abs((u - 0.27) - (0.73 - v)) <= t * 0.9
    if top or bottom or diag:
        return WHITE
    return BLUE


def logo_bmp(size=64):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(size):
            p = shade(x, y, size) or (160, 180, 220)  # the dialog's background
            row += bytes((p[2], p[1], p[0]))
        row += b"\0" * ((4 - len(row) % 4) % 4)
        rows.append(bytes(row))
    pixels = b"".join(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(pixels), 0, 0, 14 + len(header))
    return file_header + header + pixels


def palette_for(bits):
    colours = [(0, 0, 0), BLUE, RIM, WHITE, GREEN]
    count = 1 << bits
    return colours + [(0, 0, 0)] * (count - len(colours))


def icon_image(size, bits):
    """One ICO image: BITMAPINFOHEADER (double height), palette, XOR pixels, AND mask."""
    xor_rows, and_rows = [], []
    pal = palette_for(bits) if bits <= 8 else None
    for y in range(size - 1, -1, -1):
        xr = bytearray()
        nibble = []
        mask_bits = []
        for x in range(size):
            p = shade(x, y, size)
            mask_bits.append(1 if p is None else 0)
            if bits == 32:
                xr += bytes((0, 0, 0, 0)) if p is None else bytes((p[2], p[1], p[0], 255))
            else:
                index = 0 if p is None else pal.index(p)
                if bits == 8:
                    xr.append(index)
                else:
                    nibble.append(index)
        if bits == 4:
            for i in range(0, len(nibble), 2):
                xr.append((nibble[i] << 4) | (nibble[i + 1] if i + 1 < len(nibble) else 0))
        xr += b"\0" * ((4 - len(xr) % 4) % 4)
        xor_rows.append(bytes(xr))
        ar = bytearray()
        for i in range(0, size, 8):
            byte = 0
            for j in range(8):
                if i + j < size and mask_bits[i + j]:
                    byte |= 0x80 >> j
            ar.append(byte)
        ar += b"\0" * ((4 - len(ar) % 4) % 4)
        and_rows.append(bytes(ar))
    xor = b"".join(xor_rows)
    mask = b"".join(and_rows)
    colours = (1 << bits) if bits <= 8 else 0
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(xor) + len(mask), 0, 0, colours, 0)
    palette = b"".join(bytes((c[2], c[1], c[0], 0)) for c in pal) if pal else b""
    return header + palette + xor + mask, colours


def app_ico():
    images = []
    for bits in (4, 8, 32):
        for size in (48, 32, 16):
            data, colours = icon_image(size, bits)
            images.append((size, bits, colours, data))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bits, colours, data in images:
        out += struct.pack("<BBBBHHII", size, size, colours if colours < 256 else 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    for _, _, _, data in images:
        out += data
    return out


def main():
    res = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")
    if len(sys.argv) > 1:
        res = sys.argv[1]
    with open(os.path.join(res, "logo.bmp"), "wb") as f:
        f.write(logo_bmp())
    with open(os.path.join(res, "app.ico"), "wb") as f:
        f.write(app_ico())


if __name__ == "__main__":
    main()
