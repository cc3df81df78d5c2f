#!/usr/bin/env python3
"""Fails when a screenshot shows a glyph drawn as the empty box of a missing character.

  glyph_boxes.py <window screenshot> <scale> <name>=<left>,<top>,<right>,<bottom> ...

Regions are in base units. In each region, the ink (pixels far from the region's
commonest grey, relative to its strongest contrast) is split into 8-connected shapes; a shape whose bounding frame is
almost all ink while its middle is blank is the missing-glyph box. A region with no
ink at all fails too: the glyph was not drawn.
"""
import subprocess
import sys
from collections import Counter


def grey_pixels(image, left, top, width, height):
    raw = subprocess.run(
        ["convert", image, "-crop", f"{width}x{height}+{left}+{top}", "+repage",
         "-colorspace", "Gray", "-depth", "8", "gray:-"],
        check=True, capture_output=True).stdout
    if len(raw) != width * height:
        raise SystemExit(f"region {width}x{height}+{left}+{top} lies outside {image}")
    return [list(raw[y * width:(y + 1) * width]) for y in range(height)]


def shapes(w, h, ink):
    seen = [[False] * w for _ in range(h)]
    for y in range(h):
        for x in range(w):
            if not ink[y][x] or seen[y][x]:
                continue
            stack, points = [(x, y)], []
            seen[y][x] = True
            while stack:
                px, py = stack.pop()
                points.append((px, py))
                for dx in (-1, 0, 1):
                    for dy in (-1, 0, 1):
                        nx, ny = px + dx, py + dy
                        if 0 <= nx < w and 0 <= ny < h and ink[ny][nx] and not seen[ny][nx]:
                            seen[ny][nx] = True
                            stack.append((nx, ny))
            yield points


def is_empty_box(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    x0, x1, y0, y1 = min(xs), max(xs), min(ys), max(ys)
    if x1 - x0 < 3 or y1 - y0 < 6:
        return False
    inked = set(points)
    frame = [(x, y0) for x in range(x0, x1 + 1)] + [(x, y1) for x in range(x0, x1 + 1)]
    frame += [(x0, y) for y in range(y0 + 1, y1)] + [(x1, y) for y in range(y0 + 1, y1)]
    framed = sum(p in inked for p in frame) / len(frame)
    mx0, mx1 = x0 + (x1 - x0) // 3, x1 - (x1 - x0) // 3
    my0, my1 = y0 + (y1 - y0) // 3, y1 - (y1 - y0) // 3
    middle = [(x, y) for x in range(mx0, mx1 + 1) for y in range(my0, my1 + 1)]
    filled = sum(p in inked for p in middle) / len(middle)
    return framed >= 0.8 and filled == 0


def main():
    image, scale = sys.argv[1], float(sys.argv[2])
    px = lambda v: int(float(v) * scale + 0.5)
    failures = []
    for glyph in sys.argv[3:]:
        name, _, box = glyph.partition("=")
        left, top, right, bottom = (px(v) for v in box.split(","))
        w, h = right - left, bottom - top
        grey = grey_pixels(image, left, top, w, h)
        background = Counter(v for row in grey for v in row).most_common(1)[0][0]
        # Light anti-aliased strokes of small grey text still count as ink.
        contrast = max(abs(v - background) for row in grey for v in row)
        ink = [[abs(v - background) > max(20, contrast * 0.3) for v in row] for row in grey]
        found = list(shapes(w, h, ink))
        if not found:
            failures.append(f"{name}: nothing drawn")
        elif any(is_empty_box(points) for points in found):
            failures.append(f"{name}: a glyph is drawn as an empty box")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
