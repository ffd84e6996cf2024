#!/usr/bin/env python3
"""Draws the program icon (a keycap with a launch arrow) and writes tessaly.ico,
then the same keycap for a dark taskbar and writes tray-dark.ico.

The program icon is the tray's picture on a light taskbar. On a dark one its
deep teal body would sink into the taskbar, so the tray picture drawn for it
has a lighter body and a pale rim that keeps the keycap's outline.
The shapes are here; scripts/lib/icon_writer.py renders and stores them.
Usage: make_icon.py [OUTPUT.ico [DARK.ico]]
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'scripts', 'lib'))
from icon_writer import rounded_rect, triangle, write_ico  # noqa: E402

# The tray shows small pictures only: the small-icon sizes of 100 and 200 %,
# which Windows scales for the others, as it does the program icon's.
TRAY_SIZES = (16, 32)


def keycap(x, y, face, body, rim=None):
    """The keycap in the given colours: face(t) and body(t) from top (0) to bottom (1)."""
    # Arrow: amber, pointing right, on the key face.
    if triangle(x, y, (0.36, 0.27), (0.36, 0.65), (0.70, 0.46)):
        return (255, 183, 3, 255)
    # Key face: lighter, inset towards the top like a pressed-in keycap.
    if rounded_rect(x, y, 0.17, 0.12, 0.83, 0.78, 0.10):
        return face((y - 0.12) / 0.66) + (255,)
    # Key body, within its rim where it has one.
    if rim and rounded_rect(x, y, 0.06, 0.06, 0.94, 0.94, 0.16) and \
            not rounded_rect(x, y, 0.11, 0.11, 0.89, 0.89, 0.12):
        return rim + (255,)
    if rounded_rect(x, y, 0.06, 0.06, 0.94, 0.94, 0.16):
        return body((y - 0.06) / 0.88) + (255,)
    return None


def shade(x, y):
    """Colour (r, g, b, a) of a point in the unit square, or None outside."""
    return keycap(x, y,
                  lambda t: (int(44 + 20 * (1 - t)), int(150 + 30 * (1 - t)), int(160 + 25 * (1 - t))),
                  lambda t: (int(18 - 8 * t), int(96 - 36 * t), int(108 - 38 * t)))


def shade_dark_taskbar(x, y):
    """The same keycap, lighter throughout, with a pale rim."""
    return keycap(x, y,
                  lambda t: (int(120 + 30 * (1 - t)), int(212 + 20 * (1 - t)), int(218 + 20 * (1 - t))),
                  lambda t: (int(40 - 10 * t), int(150 - 30 * t), int(160 - 30 * t)),
                  rim=(210, 240, 242))


if __name__ == '__main__':
    write_ico(sys.argv[1] if len(sys.argv) > 1 else 'tessaly.ico', shade)
    write_ico(sys.argv[2] if len(sys.argv) > 2 else 'tray-dark.ico', shade_dark_taskbar, TRAY_SIZES)
