#!/usr/bin/env python3
"""Draws the guide book's PNG images (the logo and the loopback diagram) with nothing but the
standard library, so the pictures can be re-made and reviewed like code. Writes into
samples/guide/images/. The output is deterministic: same script, same bytes."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "guide", "images")


def png(width, height, pixels):
    """pixels: list of rows, each a list of (r, g, b) tuples."""
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


class Canvas:
    def __init__(self, width, height, background):
        self.width, self.height = width, height
        self.rows = [[background] * width for _ in range(height)]

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                self.rows[y][x] = colour

    def frame(self, x0, y0, x1, y1, colour, thickness=2):
        self.rect(x0, y0, x1, y0 + thickness, colour)
        self.rect(x0, y1 - thickness, x1, y1, colour)
        self.rect(x0, y0, x0 + thickness, y1, colour)
        self.rect(x1 - thickness, y0, x1, y1, colour)

    def arrow(self, x0, x1, y, colour):
        """A horizontal arrow from x0 to x1 (either direction) with its head at x1."""
        self.rect(min(x0, x1), y - 1, max(x0, x1), y + 2, colour)
        step = 1 if x1 > x0 else -1
        for i in range(8):
            self.rect(x1 - step * i - (1 if step > 0 else 0), y - i, x1 - step * i + (0 if step > 0 else 1), y + i + 1, colour)

    def save(self, name):
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(png(self.width, self.height, self.rows))


NAVY = (31, 58, 96)
PAPER = (250, 248, 240)
GOLD = (214, 160, 40)
GREY = (120, 120, 120)
WHITE = (255, 255, 255)
GREEN = (60, 140, 80)


def logo():
    """An open book: two pages with text lines, on a navy tile."""
    c = Canvas(96, 96, NAVY)
    c.rect(12, 22, 47, 78, PAPER)
    c.rect(49, 22, 84, 78, PAPER)
    c.rect(47, 20, 49, 80, GOLD)
    for y in range(30, 72, 8):
        c.rect(17, y, 42, y + 3, GREY)
        c.rect(54, y, 79 if y < 64 else 66, y + 3, GREY)
    c.save("logo.png")


def loopback():
    """The viewer window on the left, the book file on the right, the loopback server between."""
    c = Canvas(360, 120, WHITE)
    # viewer window: title bar, toolbar, page
    c.frame(10, 20, 120, 100, NAVY)
    c.rect(10, 20, 120, 32, NAVY)
    for x in range(16, 80, 16):
        c.rect(x, 37, x + 10, 45, GOLD)
    c.rect(16, 50, 114, 94, PAPER)
    # server
    c.frame(150, 40, 210, 80, GREEN, 3)
    c.rect(165, 52, 195, 68, GREEN)
    # book file: stacked records
    c.frame(250, 15, 345, 105, NAVY)
    for y in range(22, 98, 12):
        c.rect(256, y, 339, y + 8, GOLD if y != 22 else NAVY)
    c.arrow(122, 148, 52, GREY)   # request
    c.arrow(148, 122, 68, GREY)   # page
    c.arrow(212, 248, 60, GREY)   # extract
    c.save("loopback.png")


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    logo()
    loopback()
