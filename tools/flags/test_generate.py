#!/usr/bin/env python3
"""Checks the committed flags with the generator's own self-check (no package or rsvg-convert
needed):  python3 tools/flags/test_generate.py"""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import generate as g  # noqa: E402


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
