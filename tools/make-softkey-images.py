#!/usr/bin/env python3
"""Draws the soft-key and control images of resources/images/ and the tree
node icons of resources/ZQ Resource/.

The pictures are simple strokes rendered with 4x4 supersampling into
RGBA PNGs; run it again after changing a shape. Standard library only.
"""
import math
import os
from pngdraw import seg_dist, write_png

RESOURCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")
OUT = os.path.join(RESOURCES, "images")
TREE_OUT = os.path.join(RESOURCES, "ZQ Resource")


def render(width, height, layers):
    """layers: list of (colour (r,g,b), coverage function (x, y) -> bool)."""
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            r = g = b = a = 0.0
            for colour, inside in layers:
                hits = 0
                for sy in range(4):
                    for sx in range(4):
                        if inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4):
                            hits += 1
                cov = hits / 16.0
                if cov == 0:
                    continue
                # "over" compositing of this layer on what is below
                na = cov + a * (1 - cov)
                r = (colour[0] * cov + r * a * (1 - cov)) / na
                g = (colour[1] * cov + g * a * (1 - cov)) / na
                b = (colour[2] * cov + b * a * (1 - cov)) / na
                a = na
            row += bytes((round(r), round(g), round(b), round(a * 255)))
        rows.append(bytes(row))
    return rows


def strokes(segments, width):
    return lambda x, y: any(seg_dist(x, y, *s) <= width / 2 for s in segments)


WHITE = (255, 255, 255)
SHADOW = (20, 30, 50)


def glyph(name, w, h, segments, stroke=2.2, extra=None):
    shadow = [(ax + 0.8, ay + 0.8, bx + 0.8, by + 0.8) for ax, ay, bx, by in segments]
    layers = [(SHADOW, strokes(shadow, stroke + 0.6)), (WHITE, strokes(segments, stroke))]
    if extra:
        layers = extra + layers
    write_png(os.path.join(OUT, name), w, h, render(w, h, layers), True)


def main():
    os.makedirs(OUT, exist_ok=True)
    # menu: three bars
    glyph("menu.png", 20, 16, [(4, 4, 16, 4), (4, 8, 16, 8), (4, 12, 16, 12)])
    # select: a check mark
    glyph("select.png", 20, 16, [(4, 8.5, 8, 12.5), (8, 12.5, 16, 3.5)], stroke=2.6)
    # back: an arrow pointing left
    glyph("back.png", 20, 16, [(4, 8, 16, 8), (4, 8, 9, 3), (4, 8, 9, 13)])
    # quit: a cross
    glyph("quit.png", 20, 16, [(5, 3, 15, 13), (15, 3, 5, 13)])
    # remove: a white cross on a red disc (cancels a loading page)
    disc = [((200, 40, 40), lambda x, y: math.hypot(x - 8, y - 8) <= 7.5)]
    write_png(os.path.join(OUT, "remove.png"), 16, 16,
              render(16, 16, disc + [(WHITE, strokes([(5, 5, 11, 11), (11, 5, 5, 11)], 2.0))]), True)

    # tree node icons: a plus (collapsed) and a minus (expanded) in a box
    box = [((90, 110, 140), lambda x, y: 1 <= x <= 10 and 1 <= y <= 10),
           ((250, 250, 250), lambda x, y: 2 <= x <= 9 and 2 <= y <= 9)]
    dark = (30, 40, 60)
    write_png(os.path.join(TREE_OUT, "add.png"), 11, 11,
              render(11, 11, box + [(dark, strokes([(3.5, 5.5, 7.5, 5.5), (5.5, 3.5, 5.5, 7.5)], 1.2))]),
              True)
    write_png(os.path.join(TREE_OUT, "del.png"), 11, 11,
              render(11, 11, box + [(dark, strokes([(3.5, 5.5, 7.5, 5.5)], 1.2))]), True)


if __name__ == "__main__":
    main()
