#!/usr/bin/env python3
"""Draws what a terminal shows for a program's output, as a picture to decode.

  terminal_render.py <output file> <picture.png> <dark|light>

A small terminal: 80 columns, cells of 8 x 16 pixels, xterm's palette, the given
theme for the default colours. It understands what the output may hold: UTF-8 text,
CR, LF, wrapping at the last column, SGR colours (30-37, 40-47, 90-97, 100-107, 0,
39, 49), cursor forward (CSI n C) and erase to end of line (CSI K, in the current
background); other escape sequences are ignored. Full, upper and lower half blocks
are drawn as such; any other visible character as a blot of ink.
"""
import re
import subprocess
import sys

COLUMNS, CELL_W, CELL_H = 80, 8, 16
PALETTE = [(0, 0, 0), (205, 0, 0), (0, 205, 0), (205, 205, 0), (0, 0, 238), (205, 0, 205), (0, 205, 205),
           (229, 229, 229), (127, 127, 127), (255, 0, 0), (0, 255, 0), (255, 255, 0), (92, 92, 255),
           (255, 0, 255), (0, 255, 255), (255, 255, 255)]
THEMES = {"dark": ((229, 229, 229), (0, 0, 0)), "light": ((0, 0, 0), (255, 255, 255))}
TOKEN = re.compile(r"\x1b\[([0-9;?]*)([A-Za-z])|\x1b.|(.)", re.S)


def screen(text, theme):
    default_fg, default_bg = THEMES[theme]
    fg, bg = default_fg, default_bg
    rows, x, y = [], 0, 0

    def put(cx, cy, cell):
        while len(rows) <= cy:
            rows.append([(" ", default_fg, default_bg)] * COLUMNS)
        rows[cy][cx] = cell

    for match in TOKEN.finditer(text):
        params, final, char = match.group(1), match.group(2), match.group(3)
        if final == "m":
            codes = [int(c) for c in (params or "0").split(";") if c.isdigit()] or [0]
            for code in codes:
                if code == 0:
                    fg, bg = default_fg, default_bg
                elif code == 39:
                    fg = default_fg
                elif code == 49:
                    bg = default_bg
                elif 30 <= code <= 37:
                    fg = PALETTE[code - 30]
                elif 90 <= code <= 97:
                    fg = PALETTE[code - 90 + 8]
                elif 40 <= code <= 47:
                    bg = PALETTE[code - 40]
                elif 100 <= code <= 107:
                    bg = PALETTE[code - 100 + 8]
        elif final == "C":
            x = min(COLUMNS - 1, x + int(params or 1))
        elif final == "K" and not params:
            for cx in range(x, COLUMNS):
                put(cx, y, (" ", fg, bg))
        elif char == "\r":
            x = 0
        elif char == "\n":
            y += 1
        elif char is not None and char.isprintable():
            if x == COLUMNS:
                x, y = 0, y + 1
            put(x, y, (char, fg, bg))
            x += 1
    return rows


def ink(char, px, py):
    if char == "\u2588":
        return True
    if char == "\u2580":
        return py < CELL_H // 2
    if char == "\u2584":
        return py >= CELL_H // 2
    return char != " " and 2 <= px < 6 and 4 <= py < 12


def main():
    source, picture, theme = sys.argv[1], sys.argv[2], sys.argv[3]
    with open(source, "rb") as f:
        rows = screen(f.read().decode("utf-8"), theme)
    width, height = COLUMNS * CELL_W, max(1, len(rows)) * CELL_H
    pixels = bytearray()
    for row in rows:
        for py in range(CELL_H):
            for char, fg, bg in row:
                for px in range(CELL_W):
                    pixels += bytes(fg if ink(char, px, py) else bg)
    ppm = b"P6\n%d %d\n255\n" % (width, height) + bytes(pixels)
    subprocess.run(["convert", "ppm:-", picture], input=ppm, check=True)


if __name__ == "__main__":
    main()
