#!/usr/bin/env python3
"""Draws the splash pictures "logo.png" (240x320) and "320_240logo.png"
(320x240) of resources/ZQ Resource/.

The splash draws the picture at its own size over the whole screen and then
writes the version, the status and the progress bar over its lower part, so
the emblem and the lettering stay in the upper part and the lower part is a
calm, dark ground for white text. Shapes are rendered with 4x4 supersampling
into opaque RGB PNGs; run it again after changing a shape. Standard library
only.
"""
import math
import os
from pngdraw import seg_dist, write_png

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "ZQ Resource")

SKY_TOP = (22, 52, 84)
SKY_BOTTOM = (9, 24, 40)
GRID = (40, 72, 104)
GOLD = (240, 160, 48)
GOLD_DARK = (196, 112, 24)
WHITE = (255, 255, 255)
RED = (230, 70, 70)
GREEN = (60, 200, 120)
INK = (19, 40, 61)


class Shape:
    """A coverage test with a bounding box, so most pixels skip it."""

    def __init__(self, colour, box, inside):
        self.colour = colour
        self.box = box  # (x0, y0, x1, y1), half-open
        self.inside = inside

    def touches(self, x, y):
        x0, y0, x1, y1 = self.box
        return x0 - 1 <= x < x1 + 1 and y0 - 1 <= y < y1 + 1


def strokes(colour, segments, width):
    xs = [v for s in segments for v in (s[0], s[2])]
    ys = [v for s in segments for v in (s[1], s[3])]
    pad = width / 2 + 1
    box = (min(xs) - pad, min(ys) - pad, max(xs) + pad, max(ys) + pad)
    return Shape(colour, box,
                 lambda x, y: any(seg_dist(x, y, *s) <= width / 2 for s in segments))


def rect(colour, x0, y0, x1, y1):
    return Shape(colour, (x0, y0, x1, y1), lambda x, y: x0 <= x < x1 and y0 <= y < y1)


def round_rect(colour, x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return math.hypot(x - cx, y - cy) <= r

    return Shape(colour, (x0, y0, x1, y1), inside)


def ring(colour, cx, cy, rx, ry, width):
    def inside(x, y):
        d = math.hypot((x - cx) / rx, (y - cy) / ry)
        return abs(d - 1) * min(rx, ry) <= width / 2

    pad = width / 2 + 1
    return Shape(colour, (cx - rx - pad, cy - ry - pad, cx + rx + pad, cy + ry + pad), inside)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def render(width, height, ground, shapes):
    """ground(x, y) -> colour under everything; shapes are painted in order."""
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            colour = ground(x, y)
            for shape in shapes:
                if not shape.touches(x, y):
                    continue
                hits = sum(1 for sy in range(4) for sx in range(4)
                           if shape.inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4))
                if hits:
                    colour = mix(colour, shape.colour, hits / 16.0)
            row += bytes(round(c) for c in colour)
        rows.append(bytes(row))
    return rows


def sky(height, grid_bottom):
    """A dark gradient with faint chart-paper lines above grid_bottom."""

    def ground(x, y):
        colour = mix(SKY_TOP, SKY_BOTTOM, y / (height - 1))
        if y < grid_bottom and (x % 20 == 10 or y % 20 == 10):
            colour = mix(colour, GRID, 0.5 * (1 - y / grid_bottom))
        return colour

    return ground


def emblem(cx, cy, size):
    """A gold rounded square holding three candles and a rising arrow."""
    h = size / 2
    s = size / 96.0  # shapes below are laid out for a 96-pixel emblem
    shapes = [
        round_rect(GOLD_DARK, cx - h + 2 * s, cy - h + 3 * s, cx + h + 2 * s, cy + h + 3 * s, 16 * s),
        round_rect(GOLD, cx - h, cy - h, cx + h, cy + h, 16 * s),
        round_rect(INK, cx - h + 6 * s, cy - h + 6 * s, cx + h - 6 * s, cy + h - 6 * s, 11 * s),
    ]
    candles = [(-24, 8, 26, RED), (-4, -2, 20, GREEN), (16, -14, 24, RED)]
    for dx, dy, body, colour in candles:
        x = cx + dx * s
        top = cy + dy * s - body * s / 2
        shapes.append(strokes(colour, [(x, top - 7 * s, x, top + body * s + 7 * s)], 2 * s))
        shapes.append(rect(colour, x - 5 * s, top, x + 5 * s, top + body * s))
    rise = [(-34, 26, -12, 10), (-12, 10, 4, 16), (4, 16, 32, -18)]
    shapes.append(strokes(WHITE, [(cx + a * s, cy + b * s, cx + c * s, cy + d * s)
                                  for a, b, c, d in rise], 4 * s))
    tip = (cx + 34 * s, cy - 20 * s)
    shapes.append(strokes(WHITE, [(tip[0], tip[1], tip[0] - 12 * s, tip[1] + 1 * s),
                                  (tip[0], tip[1], tip[0] - 2 * s, tip[1] + 12 * s)], 4 * s))
    return shapes


def lettering(left, top, height):
    """"ZQ" in strokes, `height` pixels tall, starting at (left, top)."""
    w = height * 0.72
    stroke = height * 0.16
    z = [(left, top, left + w, top), (left + w, top, left, top + height),
         (left, top + height, left + w, top + height)]
    qx = left + w + height * 0.35 + w / 2
    qy = top + height / 2
    q_tail = [(qx + w * 0.12, qy + height * 0.18, qx + w * 0.62, qy + height * 0.62)]
    return [strokes(WHITE, z, stroke), ring(WHITE, qx, qy, w / 2, height / 2, stroke),
            strokes(WHITE, q_tail, stroke)]


def underline(cx, y, half):
    return [strokes(GOLD, [(cx - half, y, cx + half, y)], 2)]


def portrait():
    w, h = 240, 320
    # The version line starts near y 248 on this screen; keep clear of it.
    shapes = emblem(120, 100, 96) + lettering(83, 170, 34) + underline(120, 220, 48)
    return w, h, render(w, h, sky(h, 230), shapes)


def landscape():
    w, h = 320, 240
    # Here the version line starts near y 183.
    shapes = emblem(110, 80, 80) + lettering(170, 62, 34) + underline(206, 112, 38)
    return w, h, render(w, h, sky(h, 160), shapes)


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, draw in (("logo.png", portrait), ("320_240logo.png", landscape)):
        w, h, rows = draw()
        write_png(os.path.join(OUT, name), w, h, rows, False)


if __name__ == "__main__":
    main()
