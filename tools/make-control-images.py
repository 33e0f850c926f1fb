#!/usr/bin/env python3
"""Draws the quote table's control-bar buttons of resources/images/:
contrl1-4.png (page up, page down, columns left, columns right) and the
disabled contrl1_-4_.png. Each is a 15x15 rounded square with a filled
arrow, rendered with 4x4 supersampling. Standard library only.
"""
import os
from pngdraw import write_png

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "images")
SIZE = 15

# Arrow triangles (three points) inside the 15x15 box, per button.
ARROWS = {
    1: [(7.5, 3.5), (12, 10.5), (3, 10.5)],   # up
    2: [(3, 4.5), (12, 4.5), (7.5, 11.5)],    # down
    3: [(3.5, 7.5), (10.5, 3), (10.5, 12)],   # left
    4: [(4.5, 3), (11.5, 7.5), (4.5, 12)],    # right
}
ENABLED = ((44, 92, 160), (255, 255, 255))
DISABLED = ((70, 72, 78), (140, 140, 140))


def in_triangle(px, py, tri):
    (ax, ay), (bx, by), (cx, cy) = tri
    d1 = (px - bx) * (ay - by) - (ax - bx) * (py - by)
    d2 = (px - cx) * (by - cy) - (bx - cx) * (py - cy)
    d3 = (px - ax) * (cy - ay) - (cx - ax) * (py - ay)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


def in_rounded(px, py, radius=3.0):
    lo, hi = 0.5, SIZE - 0.5
    cx = min(max(px, lo + radius), hi - radius)
    cy = min(max(py, lo + radius), hi - radius)
    return (px - cx) ** 2 + (py - cy) ** 2 <= radius * radius and lo <= px <= hi and lo <= py <= hi


def render(tri, colours):
    back, fore = colours
    rows = []
    for y in range(SIZE):
        row = bytearray()
        for x in range(SIZE):
            box = arrow = 0
            for sy in range(4):
                for sx in range(4):
                    px, py = x + (sx + 0.5) / 4, y + (sy + 0.5) / 4
                    if in_rounded(px, py):
                        box += 1
                        if in_triangle(px, py, tri):
                            arrow += 1
            a = box / 16.0
            t = arrow / box if box else 0.0
            rgb = [round(back[i] * (1 - t) + fore[i] * t) for i in range(3)]
            row += bytes(rgb + [round(a * 255)])
        rows.append(bytes(row))
    return rows


def main():
    os.makedirs(OUT, exist_ok=True)
    for number, tri in ARROWS.items():
        write_png(os.path.join(OUT, "contrl%d.png" % number), SIZE, SIZE, render(tri, ENABLED), True)
        write_png(os.path.join(OUT, "contrl%d_.png" % number), SIZE, SIZE, render(tri, DISABLED), True)


if __name__ == "__main__":
    main()
