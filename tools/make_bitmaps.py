#!/usr/bin/env python3
"""Writes the owner-drawn controls' bitmaps into resources/bitmaps/ as 24-bit
BMP files. Magenta (255, 0, 255) is the transparent colour: the library draws
every bitmap with it keyed out, so a glyph sits on whatever the control's
background is."""
import math
import struct
import sys
from pathlib import Path

KEY = (255, 0, 255)
WHITE = (255, 255, 255)
GREY = (128, 128, 128)
DARK = (40, 40, 40)
BLUE = (49, 114, 182)
GREEN = (50, 160, 60)
RED = (200, 30, 30)
STEEL = (90, 100, 115)
AMBER = (240, 180, 40)


class Canvas:
    def __init__(self, size):
        self.size = size
        self.rows = [[KEY] * size for _ in range(size)]

    def dot(self, x, y, colour):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.rows[y][x] = colour

    def box(self, left, top, right, bottom, colour):
        for y in range(top, bottom):
            for x in range(left, right):
                self.dot(x, y, colour)

    def frame(self, left, top, right, bottom, colour):
        for x in range(left, right):
            self.dot(x, top, colour)
            self.dot(x, bottom - 1, colour)
        for y in range(top, bottom):
            self.dot(left, y, colour)
            self.dot(right - 1, y, colour)

    def disc(self, cx, cy, radius, colour, inner=-1.0):
        for y in range(self.size):
            for x in range(self.size):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if inner < d <= radius:
                    self.dot(x, y, colour)

    def line(self, x0, y0, x1, y1, colour, width=1):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1) * 2
        for i in range(steps + 1):
            x = x0 + (x1 - x0) * i / steps
            y = y0 + (y1 - y0) * i / steps
            for dx in range(width):
                for dy in range(width):
                    self.dot(int(round(x)) + dx, int(round(y)) + dy, colour)

    def plus(self, cx, cy, arm, thickness, colour):
        half = thickness // 2
        self.box(cx - arm, cy - half, cx + arm + 1, cy - half + thickness, colour)
        self.box(cx - half, cy - arm, cx - half + thickness, cy + arm + 1, colour)

    def bmp(self):
        stride = (3 * self.size + 3) & ~3
        pixels = bytearray()
        for row in reversed(self.rows):  # bottom-up
            line = bytearray()
            for r, g, b in row:
                line += bytes((b, g, r))
            pixels += line + bytes(stride - len(line))
        header = struct.pack("<IiiHHIIiiII", 40, self.size, self.size, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
        return struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(pixels), 0, 0, 14 + len(header)) + header + pixels


def server(c, left, top, width, height, colour):
    c.box(left, top, left + width, top + height, colour)
    for y in range(top + 3, top + height - 3, 4):
        c.box(left + 2, y, left + width - 2, y + 1, GREY)
    c.box(left + width - 5, top + height - 4, left + width - 3, top + height - 2, GREEN)


def logonuser():
    c = Canvas(24)
    c.disc(12, 7, 5, BLUE)
    c.disc(12, 24, 10, BLUE)
    return c


def redred():
    c = Canvas(16)
    c.disc(8, 8, 7, RED)
    return c


def check_box(checked):
    c = Canvas(16)
    c.box(1, 1, 15, 15, WHITE)
    c.frame(1, 1, 15, 15, DARK)
    if checked:
        c.line(4, 8, 6, 11, GREEN, 2)
        c.line(6, 11, 11, 4, GREEN, 2)
    return c


def radio(selected):
    c = Canvas(16)
    c.disc(8, 8, 7, WHITE, 5.6)
    if selected:
        c.disc(8, 8, 3.5, WHITE)
    return c


def rename_white():
    c = Canvas(32)
    c.line(7, 24, 22, 9, WHITE, 3)
    c.line(5, 27, 7, 25, WHITE, 2)
    c.box(5, 28, 27, 30, WHITE)
    return c


def copyprofile_white():
    c = Canvas(32)
    c.frame(5, 4, 19, 22, WHITE)
    c.box(12, 10, 27, 29, WHITE)
    c.box(14, 12, 25, 27, KEY)
    return c


def doubleplus_white():
    c = Canvas(32)
    c.plus(10, 16, 6, 3, WHITE)
    c.plus(23, 16, 6, 3, WHITE)
    return c


def server_install():
    c = Canvas(48)
    server(c, 8, 6, 20, 38, STEEL)
    c.box(35, 8, 40, 26, GREEN)
    for i in range(8):
        c.box(30 + i, 26 + i, 46 - i, 27 + i, GREEN)
    return c


def servers_ad():
    c = Canvas(48)
    for left in (2, 17, 32):
        server(c, left, 10, 14, 30, STEEL)
    c.box(2, 42, 46, 45, BLUE)
    return c


def clock2():
    c = Canvas(24)
    c.disc(12, 12, 11, DARK)
    c.disc(12, 12, 9.5, WHITE)
    c.line(12, 12, 12, 5, DARK, 2)
    c.line(12, 12, 17, 14, DARK, 2)
    return c


def server_plus(selected):
    c = Canvas(32)
    if selected:
        c.box(0, 0, 32, 32, AMBER)
    server(c, 4, 4, 14, 24, STEEL)
    c.plus(24, 22, 6, 3, GREEN)
    return c


BITMAPS = {
    "logonuser": logonuser,
    "redred": redred,
    "unchecked": lambda: check_box(False),
    "checked": lambda: check_box(True),
    "rename_white": rename_white,
    "copyprofile_white": copyprofile_white,
    "doubleplus_white": doubleplus_white,
    "server_install": server_install,
    "servers_ad": servers_ad,
    "clock2": clock2,
    "radioUnselected_white": lambda: radio(False),
    "radioSelected_white": lambda: radio(True),
    "serverPlus": lambda: server_plus(False),
    "serverPlusSelect": lambda: server_plus(True),
}


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else "resources/bitmaps")
    out.mkdir(parents=True, exist_ok=True)
    for name, draw in BITMAPS.items():
        (out / f"{name}.bmp").write_bytes(draw().bmp())


if __name__ == "__main__":
    main()
