#!/usr/bin/env python3
"""Draws Ombrel's icon (a window frame with an arrow across it) into ombrel.ico.

The shapes are here; scripts/lib/icon_writer.py renders and stores them.
Usage: make_icon.py [OUTPUT.ico]
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'scripts', 'lib'))
from icon_writer import rounded_rect, triangle, write_ico  # noqa: E402

FRAME = (86, 52, 140)        # plum title bar and border
FRAME_DARK = (58, 34, 98)    # bottom of the border, for a little depth
PAPER = (244, 241, 250)      # the window's client area
TITLE = (214, 200, 240)      # the caption text, as a plain bar
ARROW = (232, 84, 58)        # coral, the command being sent


def near_segment(x, y, a, b, half_width):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    px, py = ax + t * dx, ay + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= half_width ** 2


def shade(x, y):
    """Colour (r, g, b) of a point in the unit square, or None where clear."""
    # The arrow points up and right, out of the window: it reads as "make it
    # bigger" or "move it", which is what the tool is mostly bound to.
    tip = (0.86, 0.16)
    if triangle(x, y, tip, (0.50, 0.24), (0.78, 0.52)):
        return ARROW
    if near_segment(x, y, (0.30, 0.72), (0.68, 0.34), 0.075):
        return ARROW
    if rounded_rect(x, y, 0.14, 0.19, 0.42, 0.26, 0.03):
        return TITLE
    if rounded_rect(x, y, 0.14, 0.34, 0.86, 0.84, 0.02):
        return PAPER
    if rounded_rect(x, y, 0.06, 0.12, 0.94, 0.92, 0.08):
        t = max(0.0, (y - 0.34) / 0.58)
        return tuple(int(FRAME[i] + (FRAME_DARK[i] - FRAME[i]) * t) for i in range(3))
    return None


if __name__ == '__main__':
    write_ico(sys.argv[1] if len(sys.argv) > 1 else 'ombrel.ico', shade)
