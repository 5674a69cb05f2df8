#!/usr/bin/env python3
"""Tests of the flag generator's PNG helpers and of the committed flags (no package or
rsvg-convert needed):  python3 tools/flags/test_generate.py"""
import os
import sys
import unittest
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import generate as g  # noqa: E402


class Helpers(unittest.TestCase):
    def test_png_round_trip_through_every_filter(self):
        pixels = bytes((x * 37 + y * 11 + c * 5) & 0xFF for y in range(3) for x in range(4)
                       for c in range(3))
        self.assertEqual(g.read_png(g.png_rgb(4, 3, pixels)), (4, 3, 3, pixels))
        # The same picture with each filter type on its own line decodes to the same pixels.
        stride = 12
        lines = [pixels[y * stride:(y + 1) * stride] for y in range(3)]
        raw = b''
        prev = bytes(stride)
        for kind, line in zip((1, 2, 4), lines):
            enc = bytearray()
            for i, v in enumerate(line):
                a = line[i - 3] if i >= 3 else 0
                b = prev[i]
                c = prev[i - 3] if i >= 3 else 0
                pred = {1: a, 2: b, 4: g._paeth(a, b, c)}[kind]
                enc.append((v - pred) & 0xFF)
            raw += bytes([kind]) + bytes(enc)
            prev = line
        png = g.png_rgb(4, 3, pixels).split(b'IDAT')[0][:-4]
        png += g._chunk(b'IDAT', zlib.compress(raw)) + g._chunk(b'IEND', b'')
        self.assertEqual(g.read_png(png)[3], pixels)

    def test_transparent_edges_are_laid_onto_white(self):
        rgba = bytes([255, 0, 0, 255, 255, 0, 0, 0, 0, 0, 255, 128])
        self.assertEqual(g.on_white(4, rgba), bytes([255, 0, 0, 255, 255, 255, 127, 127, 255]))

    def test_file_names_follow_the_program(self):
        self.assertEqual(g.flag_file_name('do'), 'do1.png')
        self.assertEqual(g.flag_file_name('xk'), 'xk.png')


class CommittedFlags(unittest.TestCase):
    def test_every_catalogue_code_has_its_flag_at_both_sizes_and_nothing_else_is_there(self):
        codes = g.catalogue_codes()
        self.assertEqual(len(codes), 237)
        for folder, (width, height) in ((g.DEFAULT_OUT, (32, 24)),
                                        (os.path.join(g.DEFAULT_OUT, g.DOUBLE), (64, 48))):
            files = {}
            for name in os.listdir(folder):
                if name.endswith('.png'):
                    with open(os.path.join(folder, name), 'rb') as f:
                        files[name] = f.read()
            g.self_check(files, codes, width, height)


if __name__ == '__main__':
    unittest.main()
