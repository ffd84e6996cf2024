#!/usr/bin/env python3
"""Draws the program icon (a keycap with a launch arrow) and writes tessaly.ico.

The shapes are here; scripts/lib/icon_writer.py renders and stores them.
Usage: make_icon.py [OUTPUT.ico]
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'scripts', 'lib'))
from icon_writer import rounded_rect, triangle, write_ico  # noqa: E402

def shade(x, y):
    """Colour (r, g, b, a) of a point in the unit square, or None outside."""
    # Arrow: amber, pointing right, on the key face.
    if triangle(x, y, (0.36, 0.27), (0.36, 0.65), (0.70, 0.46)):
        return (255, 183, 3, 255)
    # Key face: lighter, inset towards the top like a pressed-in keycap.
    if rounded_rect(x, y, 0.17, 0.12, 0.83, 0.78, 0.10):
        t = (y - 0.12) / 0.66
        return (int(44 + 20 * (1 - t)), int(150 + 30 * (1 - t)), int(160 + 25 * (1 - t)), 255)
    # Key body: deep teal, darker towards the bottom.
    if rounded_rect(x, y, 0.06, 0.06, 0.94, 0.94, 0.16):
        t = (y - 0.06) / 0.88
        return (int(18 - 8 * t), int(96 - 36 * t), int(108 - 38 * t), 255)
    return None


if __name__ == '__main__':
    write_ico(sys.argv[1] if len(sys.argv) > 1 else 'tessaly.ico', shade)
