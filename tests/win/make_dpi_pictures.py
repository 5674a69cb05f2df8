#!/usr/bin/env python3
"""Writes the display-scaling tests' pictures into DIR/img: a condition picture (sky code 30)
and a flag (Afghanistan's, the first country), each in one flat colour at its 96-DPI size and
in another at twice the size in img/2x, so that a test tells from the colour on screen which
picture was drawn, and from the colour's extent at which size; and a condition picture (sky
code 31) that has no double size.

    make_dpi_pictures.py DIR
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                                "assets"))
import imagefiles  # noqa: E402

SINGLE = (200, 40, 40)
DOUBLE = (40, 160, 40)


def flat_gif(width, height, colour):
    return imagefiles.gif_indexed(width, height, bytes([1]) * (width * height),
                                  [(255, 255, 255), colour])


def flat_png(width, height, colour):
    return imagefiles.png_rgba(width, height, [bytes(colour + (255,)) * width] * height)


def main(out):
    files = {
        "img/fc_30.gif": flat_gif(55, 45, SINGLE),
        "img/fc_31.gif": flat_gif(55, 45, SINGLE),
        "img/2x/fc_30.gif": flat_gif(110, 90, DOUBLE),
        "img/af.png": flat_png(32, 24, SINGLE),
        "img/2x/af.png": flat_png(64, 48, DOUBLE),
    }
    for name, data in files.items():
        path = os.path.join(out, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
