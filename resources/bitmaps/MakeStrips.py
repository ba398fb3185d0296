#!/usr/bin/env python3
"""Draws the four animated icon strips of the message and input boxes as PNG files and
the C++ table that embeds them (BitmapData.cpp). Each strip is 32 pixels high and holds
32-pixel frames side by side: EXCLAM (warning, 7 frames), ERROR (8), INFORM (6) and
INTERR (question, 5). Shapes are computed with 4x4 supersampling on the dialog colour."""
import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(HERE))
from EmbedResources import write_embedding  # noqa: E402

SIZE = 32
FACE = (0xD4, 0xD0, 0xC8)  # the dialog background

# 5x7 glyphs for the marks drawn inside the icons.
GLYPHS = {
    "!": ["..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."],
    "?": [".###.", "#...#", "....#", "..##.", "..#..", ".....", "..#.."],
    "i": ["..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."],
    "x": ["#...#", ".#.#.", "..#..", "..#..", "..#..", ".#.#.", "#...#"],
}


def glyph_hit(ch, x, y, left, top, cell):
    gx, gy = int((x - left) // cell), int((y - top) // cell)
    rows = GLYPHS[ch]
    return 0 <= gy < len(rows) and 0 <= gx < 5 and rows[gy][gx] == "#"


def in_triangle(x, y, inset):
    # Upright triangle inside the 32x32 frame.
    top, bottom = 2 + inset, 30 - inset
    if y < top or y > bottom:
        return False
    half = (y - top) / (bottom - top) * (15 - inset)
    return abs(x - 16) <= half


def shade(colour, factor):
    return tuple(max(0, min(255, int(c * factor))) for c in colour)


def frame_pixel(kind, frame, x, y):
    """Colour of one sample point, or None for the background."""
    cx, cy = x - 16, y - 16
    r = math.hypot(cx, cy)
    if kind == "EXCLAM":
        if not in_triangle(x, y, 0):
            return None
        if not in_triangle(x, y, 2):
            return (0x60, 0x40, 0x00)
        # The mark brightens and dims as the frames go by.
        if glyph_hit("!", x, y, 11, 10, 2.2):
            pulse = 0.35 + 0.65 * abs(math.sin(frame * math.pi / 7))
            return shade((0x30, 0x20, 0x00), 1.0 / (0.5 + pulse))
        glow = 1.0 - 0.15 * math.cos(frame * 2 * math.pi / 7)
        return shade((0xFF, 0xD8, 0x20), glow)
    if kind == "ERROR":
        if r > 14.5:
            return None
        if r > 13:
            return (0x70, 0x00, 0x00)
        # The cross turns a little on each frame.
        angle = frame * math.pi / 16
        rx = cx * math.cos(angle) + cy * math.sin(angle)
        ry = -cx * math.sin(angle) + cy * math.cos(angle)
        if (abs(rx - ry) < 2.6 or abs(rx + ry) < 2.6) and max(abs(rx), abs(ry)) < 7.5:
            return (0xFF, 0xFF, 0xFF)
        light = 1.1 - (cx + cy) / 60.0
        return shade((0xD0, 0x10, 0x10), light)
    if kind == "INFORM":
        if r > 14.5:
            return None
        if r > 13:
            return (0x00, 0x20, 0x70)
        if glyph_hit("i", x, y, 10.5, 8, 2.2):
            return (0xFF, 0xFF, 0xFF)
        # A glint travels across the disc.
        gx = -12 + frame * 5
        glint = max(0.0, 1.0 - abs(cx - cy * 0.4 - gx) / 3.0) * 0.45
        base = shade((0x20, 0x50, 0xD0), 1.05 - (cx + cy) / 70.0)
        return tuple(min(255, int(c + (255 - c) * glint)) for c in base)
    if kind == "INTERR":
        # The question mark bobs up and down inside a green disc.
        if r > 14.5:
            return None
        if r > 13:
            return (0x00, 0x48, 0x20)
        bob = [0, -1, -2, -1, 0][frame % 5]
        if glyph_hit("?", x, y, 10.5, 8 + bob, 2.2):
            return (0xFF, 0xFF, 0xFF)
        return shade((0x20, 0xA0, 0x50), 1.05 - (cx + cy) / 70.0)
    raise ValueError(kind)


def draw_strip(kind, frames):
    width = SIZE * frames
    rows = []
    for y in range(SIZE):
        row = bytearray()
        for x in range(width):
            frame, fx = divmod(x, SIZE)
            acc = [0, 0, 0]
            for sy in range(4):
                for sx in range(4):
                    c = frame_pixel(kind, frame, fx + (sx + 0.5) / 4, y + (sy + 0.5) / 4) or FACE
                    for i in range(3):
                        acc[i] += c[i]
            row += bytes(v // 16 for v in acc)
        rows.append(bytes(row))
    return width, rows


def png_bytes(width, rows):
    raw = b"".join(b"\x00" + r for r in rows)

    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", width, len(rows), 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


STRIPS = [("EXCLAM", 7), ("ERROR", 8), ("INFORM", 6), ("INTERR", 5)]


def main():
    entries = []
    for name, frames in STRIPS:
        data = png_bytes(*draw_strip(name, frames))
        with open(os.path.join(HERE, name + ".png"), "wb") as f:
            f.write(data)
        entries.append((name, data))
    write_embedding(os.path.join(HERE, "BitmapData.cpp"), "BitmapResources", entries, "MakeStrips.py")


if __name__ == "__main__":
    main()
