#!/usr/bin/env python3
"""Writes every picture the program ships: condition images and button pictures, each also at
twice the size for displays above 96 DPI, and the icon.

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

# The small icon at 100 % to 250 % and the large one at 100 % to 200 %; Windows takes the
# 256-pixel picture for its largest views and scales it down for the sizes between.
ICON_SIZES = (16, 20, 24, 32, 40, 48, 64, 256)

# The double-size pictures lie in a folder of this name beside the 96-DPI ones, under the same
# file names; the program looks for them there.
DOUBLE = "2x"


def condition_gif(code, scale=1):
    cv = conditions.render(code, scale)
    indices, palette = imagefiles.quantise(cv.flattened(ROW_BACKGROUND), ROW_BACKGROUND)
    return imagefiles.gif_indexed(cv.width, cv.height, indices, palette, transparent=0)


def button_png(name, scale=1):
    cv = buttons.BUTTONS[name](scale)
    return imagefiles.png_rgba(cv.width, cv.height, cv.rgba8())


def icon_file():
    return imagefiles.ico([(s, buttons.icon(s).rgba8()) for s in ICON_SIZES])


def all_files():
    """(relative path, bytes) of every generated file, in a fixed order."""
    files = []
    for folder, scale in (("", 1), (DOUBLE + "/", 2)):
        files += [("img/%sfc_%d.gif" % (folder, code), condition_gif(code, scale))
                  for code in range(48)]
        files += [("buttons/%s%s.png" % (folder, name), button_png(name, scale))
                  for name in sorted(buttons.BUTTONS)]
    files.append(("Brisalune.ico", icon_file()))
    return files


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(HERE, "..", "..", "res"))
    args = parser.parse_args()
    out = os.path.normpath(args.out)
    files = all_files()
    for rel, data in files:
        path = os.path.join(out, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    print("wrote %d files under %s" % (len(files), out))


if __name__ == "__main__":
    main()
