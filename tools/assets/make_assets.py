#!/usr/bin/env python3
"""Writes every picture the program ships: condition images, button pictures and the icon.

    python3 tools/assets/make_assets.py [--out DIR]

DIR defaults to the repository's res/ folder. The output is byte-for-byte the same on every
run, so the committed pictures can be checked against a fresh run.
"""

import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import buttons  # noqa: E402
import conditions  # noqa: E402
import imagefiles  # noqa: E402

# The rows and the details window draw condition images opaquely on white, so white is the
# matte for anti-aliased edges and the colour behind the transparent index.
ROW_BACKGROUND = (255, 255, 255)

ICON_SIZES = (16, 32, 48)


def condition_gif(code):
    cv = conditions.render(code)
    indices, palette = imagefiles.quantise(cv.flattened(ROW_BACKGROUND), ROW_BACKGROUND)
    return imagefiles.gif_indexed(cv.width, cv.height, indices, palette, transparent=0)


def button_png(name):
    cv = buttons.BUTTONS[name]()
    return imagefiles.png_rgba(cv.width, cv.height, cv.rgba8())


def icon_file():
    return imagefiles.ico([(s, buttons.icon(s).rgba8()) for s in ICON_SIZES])


def all_files():
    """(relative path, bytes) of every generated file, in a fixed order."""
    files = [("img/fc_%d.gif" % code, condition_gif(code)) for code in range(48)]
    files += [("buttons/%s.png" % name, button_png(name)) for name in sorted(buttons.BUTTONS)]
    files.append(("Brisalune.ico", icon_file()))
    return files


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(HERE, "..", "..", "res"))
    args = parser.parse_args()
    out = os.path.normpath(args.out)
    for rel, data in all_files():
        path = os.path.join(out, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    print("wrote %d files under %s" % (48 + len(buttons.BUTTONS) + 1, out))


if __name__ == "__main__":
    main()
