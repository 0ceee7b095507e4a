#!/usr/bin/env python3
"""Draws the program's images. Run by hand after changing a drawing; the
outputs are committed so the build never needs this script.

    python3 res/make_images.py [output folder, default res/images]
"""
import os
import struct
import sys
import zlib


def bmp32(width, height, pixel):
    """Bottom-up 32 bpp BI_RGB Windows bitmap file; pixel(x, y) -> (r, g, b)."""
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r, 0xFF))
        rows.append(bytes(row))
    bits = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 32, 0,
                       len(bits), 2835, 2835, 0, 0)
    offset = 14 + len(info)
    head = struct.pack("<2sIHHI", b"BM", offset + len(bits), 0, 0, offset)
    return head + info + bits


def png(width, height, pixel):
    """RGBA PNG; pixel(x, y) -> (r, g, b, a)."""
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            raw += bytes(pixel(x, y))

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def lamp(lit):
    """16x16 round indicator: dark grey when off, green with a highlight when on."""
    size = 16
    c = (size - 1) / 2.0

    def pixel(x, y):
        d = ((x - c) ** 2 + (y - c) ** 2) ** 0.5
        if d > 7.5:
            return (0xF0, 0xF0, 0xF0)          # dialog face
        if d > 6.3:
            return (0x40, 0x40, 0x40)          # rim
        hx, hy = x - (c - 2.5), y - (c - 2.5)
        glow = max(0.0, 1.0 - (hx * hx + hy * hy) ** 0.5 / 4.0)
        base = (0x20, 0xC0, 0x30) if lit else (0x50, 0x58, 0x50)
        return tuple(min(255, int(v + (255 - v) * glow * (0.8 if lit else 0.3))) for v in base)
    return bmp32(size, size, pixel)


def busy_marks():
    """32x32 grey spinner marks on white: eight dots around the centre,
    darker towards the 'head', as a still frame of a busy indicator."""
    import math
    dots = []
    for i in range(8):
        a = i * math.pi / 4
        dots.append((15.5 + 10 * math.cos(a), 15.5 + 10 * math.sin(a), 0x30 + i * 0x16))

    def pixel(x, y):
        for dx, dy, grey in dots:
            if (x - dx) ** 2 + (y - dy) ** 2 <= 7.0:
                return (grey, grey, grey)
        return (0xFF, 0xFF, 0xFF)
    return bmp32(32, 32, pixel)


def icon():
    """32x32 program icon: a blue transmitter body with a 4-20 mA loop."""
    def pixel(x, y):
        if 6 <= x <= 25 and 4 <= y <= 27:
            edge = x in (6, 25) or y in (4, 27)
            if edge:
                return (0x10, 0x30, 0x70, 0xFF)
            if 10 <= x <= 21 and 8 <= y <= 15:          # display window
                return (0xD0, 0xF0, 0xD8, 0xFF)
            if 10 <= x <= 21 and y == 12 and x % 3 != 0:  # reading on it
                return (0x10, 0x60, 0x20, 0xFF)
            return (0x30, 0x70, 0xC0, 0xFF)
        if (x in (11, 20)) and 27 < y <= 31:             # loop wires
            return (0xC0, 0x20, 0x20, 0xFF) if x == 11 else (0x20, 0x20, 0x20, 0xFF)
        return (0, 0, 0, 0)
    return png(32, 32, pixel)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "images")
    os.makedirs(out, exist_ok=True)
    files = {
        "icon128.png": icon(),
        "lamp131_off.bmp": lamp(False),
        "lamp132_on.bmp": lamp(True),
        "busy137.bmp": busy_marks(),
    }
    assert len(files["busy137.bmp"]) == 4150
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
