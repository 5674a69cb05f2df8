#!/usr/bin/env python3
"""Checks the picture writers and the committed pictures.

    python3 tools/assets/test_assets.py

The decoders here are written independently of the writers (the GIF one follows the usual
decoder logic, not the encoder's), so an encoder fault shows up as a mismatch.
"""

import os
import random
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import imagefiles  # noqa: E402

RES = os.path.normpath(os.path.join(HERE, "..", "..", "res"))


def lzw_decode(data, min_code_size):
    clear, eoi = 1 << min_code_size, (1 << min_code_size) + 1
    pos = acc = nbits = 0
    out = []
    size = min_code_size + 1
    table = None
    prev = None
    while True:
        while nbits < size:
            if pos >= len(data):
                raise ValueError("data ended before the end code")
            acc |= data[pos] << nbits
            pos += 1
            nbits += 8
        code = acc & ((1 << size) - 1)
        acc >>= size
        nbits -= size
        if code == clear:
            table = [[i] for i in range(clear)] + [None, None]
            size = min_code_size + 1
            prev = None
            continue
        if code == eoi:
            return out
        if code < len(table):
            entry = table[code]
        elif code == len(table) and prev is not None:
            entry = prev + prev[:1]
        else:
            raise ValueError("code %d out of range" % code)
        out.extend(entry)
        if prev is not None and len(table) < 4096:
            table.append(prev + entry[:1])
            if len(table) == (1 << size) and size < 12:
                size += 1
        prev = entry


def read_gif(data):
    """(width, height, palette, transparent index or None, pixel indices) of a one-image GIF."""
    assert data[:6] == b"GIF89a"
    width, height, packed = struct.unpack("<HHB", data[6:11])
    assert packed & 0x80, "global colour table expected"
    entries = 2 << (packed & 7)
    pos = 13
    palette = [tuple(data[pos + 3 * i:pos + 3 * i + 3]) for i in range(entries)]
    pos += 3 * entries
    transparent = None
    while data[pos] == 0x21:
        label, size = data[pos + 1], data[pos + 2]
        if label == 0xF9 and data[pos + 3] & 1:
            transparent = data[pos + 6]
        pos += 3 + size + 1
    assert data[pos] == 0x2C
    pos += 10
    min_code = data[pos]
    pos += 1
    stream = bytearray()
    while data[pos]:
        stream += data[pos + 1:pos + 1 + data[pos]]
        pos += 1 + data[pos]
    assert data[pos + 1:] == b"\x3B"
    return width, height, palette, transparent, lzw_decode(bytes(stream), min_code)


def read_png(data):
    """(width, height, colour type, bit depth, rows of RGBA bytes) with every CRC checked."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat, ihdr = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        crc, = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        assert crc == zlib.crc32(kind + body) & 0xFFFFFFFF, "bad CRC in %r" % kind
        if kind == b"IHDR":
            ihdr = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, ctype = ihdr[:4]
    raw = zlib.decompress(idat)
    stride = width * 4 + 1
    rows = [raw[y * stride + 1:(y + 1) * stride] for y in range(height)]
    assert all(raw[y * stride] == 0 for y in range(height))
    return width, height, ctype, depth, rows


class LzwTest(unittest.TestCase):
    def roundtrip(self, values):
        self.assertEqual(lzw_decode(imagefiles.lzw_encode(values, 8), 8), list(values))

    def test_round_trips_across_code_widths_and_table_resets(self):
        rng = random.Random(5)
        # Random bytes fill the 4096-entry table several times over, forcing clear codes.
        self.roundtrip(bytes(rng.randrange(256) for _ in range(30000)))
        # Few symbols grow long strings; a single run stresses the "code not yet known" case.
        self.roundtrip(bytes(rng.randrange(3) for _ in range(20000)))
        self.roundtrip(bytes(5000))
        self.roundtrip(b"")
        self.roundtrip(b"\x07")

    def test_end_code_takes_the_width_the_decoder_has_reached(self):
        # The decoder widens its codes as soon as its table fills a power of two, also after
        # the last data code, so the end code must be written wider at those lengths. Usually
        # the last byte's padding hides a wrong width; after one table reset it does not, so
        # a sequence without repeated pairs (one code per symbol, a reset after 3838 symbols)
        # is ended at every length around the next 512-entry boundary.
        data = bytearray([0])
        for i in range(4200):
            data.append((data[-1] + 1 + 2 * (i // 256)) % 256)
        for n in range(4080, 4110):
            self.roundtrip(bytes(data[:n]))


class QuantiseTest(unittest.TestCase):
    def test_many_colours_reduce_to_a_close_palette_and_few_are_kept_exactly(self):
        rng = random.Random(3)
        pixels = [(rng.randrange(256), rng.randrange(256), rng.randrange(256), 255)
                  for _ in range(3000)]
        pixels += [(0, 0, 0, 0)] * 10 + [(255, 255, 255, 255)] * 10
        indices, palette = imagefiles.quantise(pixels, (255, 255, 255))
        self.assertLessEqual(len(palette), 256)
        self.assertEqual(palette[0], (255, 255, 255))
        # Only the transparent pixels take the background entry, opaque white does not.
        self.assertEqual([i == 0 for i in indices], [p[3] == 0 for p in pixels])
        worst = max(max(abs(p[c] - palette[i][c]) for c in range(3))
                    for p, i in zip(pixels[:3000], indices))
        self.assertLess(worst, 64)
        few = [(10 * i, 200, 30, 255) for i in range(20)] * 5
        indices, palette = imagefiles.quantise(few, (255, 255, 255))
        self.assertEqual([palette[i] for i in indices], [p[:3] for p in few])


def read_tree(root):
    found = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                found[os.path.relpath(path, root).replace(os.sep, "/")] = f.read()
    return found


class PicturesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # A separate process with another hash seed, so that the committed files are shown to
        # come out the same from any run, not just from this interpreter.
        with tempfile.TemporaryDirectory() as out:
            env = dict(os.environ, PYTHONHASHSEED="12345")
            subprocess.run([sys.executable, os.path.join(HERE, "make_assets.py"), "--out", out],
                           check=True, env=env, stdout=subprocess.DEVNULL)
            cls.fresh = read_tree(out)

    def test_writes_every_picture_and_the_committed_ones_are_current(self):
        expected = set()
        for folder in ("", "2x/"):
            expected |= {"img/%sfc_%d.gif" % (folder, code) for code in range(48)}
            expected |= {"buttons/%s%s.png" % (folder, n)
                         for n in ("add", "settings", "delete", "more", "refresh")}
        expected.add("Brisalune.ico")
        self.assertEqual(set(self.fresh), expected)
        committed = {}
        for rel in sorted(expected):
            path = os.path.join(RES, rel)
            if os.path.exists(path):
                with open(path, "rb") as f:
                    committed[rel] = f.read()
        stale = [rel for rel in sorted(expected) if committed.get(rel) != self.fresh[rel]]
        self.assertEqual(stale, [], "run python3 tools/assets/make_assets.py")

    def test_condition_images_are_8_bit_gifs_with_white_behind_transparency(self):
        for code, folder, scale in [(c, f, s) for c in range(48) for f, s in (("", 1), ("2x/", 2))]:
            w, h, palette, transparent, pixels = read_gif(
                self.fresh["img/%sfc_%d.gif" % (folder, code)])
            self.assertEqual((w, h, len(palette), len(pixels)),
                             (55 * scale, 45 * scale, 256, 55 * 45 * scale * scale), code)
            self.assertEqual(transparent, 0)
            self.assertEqual(palette[0], (255, 255, 255))
            # The picture stays off the frame and draws something of its own.
            self.assertEqual(pixels[0], 0, code)
            used = {palette[i] for i in pixels if i}
            self.assertGreater(len(used), 8, code)
        # Every sky code has a picture of its own.
        self.assertEqual(len({self.fresh["img/fc_%d.gif" % code] for code in range(48)}), 48)

    def test_buttons_are_rgba_pngs_with_soft_edges_inside_the_visible_area(self):
        for name, folder, scale in [(n, f, s) for n in ("add", "settings", "delete", "more",
                                                        "refresh") for f, s in (("", 1), ("2x/", 2))]:
            w, h, ctype, depth, rows = read_png(self.fresh["buttons/%s%s.png" % (folder, name)])
            self.assertEqual((w, h, ctype, depth), (48 * scale, 48 * scale, 6, 8), name)
            alphas = [row[4 * x + 3] for row in rows for x in range(w)]
            self.assertIn(0, alphas)
            self.assertIn(255, alphas)
            self.assertGreater(sum(1 for a in alphas if 0 < a < 255), 40, name)
            # The widget shows about 44 x 47 pixels of the picture and shifts it by one while
            # pressed; nothing may be drawn where it would be cut off.
            cut = [(x, y) for y in range(h) for x in range(w)
                   if (x >= 43 * scale or y >= 46 * scale) and rows[y][4 * x + 3] != 0]
            self.assertEqual(cut, [], name)

    def test_icon_holds_32_bit_images_from_16_to_256_pixels(self):
        data = self.fresh["Brisalune.ico"]
        reserved, kind, count = struct.unpack("<HHH", data[:6])
        self.assertEqual((reserved, kind), (0, 1))
        sizes = []
        for i in range(count):
            w, h, colours, _, planes, bpp, length, offset = struct.unpack(
                "<BBBBHHII", data[6 + 16 * i:22 + 16 * i])
            self.assertEqual((w, h, planes, bpp), (w, w, 1, 32))
            if w == 0:
                # 256 pixels, stored as a PNG.
                w, h, ctype, depth, rows = read_png(data[offset:offset + length])
                self.assertEqual((w, h, ctype, depth), (256, 256, 6, 8))
                alphas = {row[x] for row in rows for x in range(3, len(row), 4)}
                self.assertTrue(0 in alphas and 255 in alphas)
                sizes.append(w)
                continue
            header = struct.unpack("<IiiHHI", data[offset:offset + 20])
            self.assertEqual(header, (40, w, 2 * w, 1, 32, 0))
            mask_stride = ((w + 31) // 32) * 4
            self.assertEqual(length, 40 + 4 * w * w + mask_stride * w)
            pixels = data[offset + 40:offset + 40 + 4 * w * w]
            mask = data[offset + 40 + 4 * w * w:offset + length]
            for y in range(w):
                for x in range(w):
                    alpha = pixels[4 * (y * w + x) + 3]
                    bit = mask[y * mask_stride + x // 8] >> (7 - x % 8) & 1
                    self.assertEqual(bit, 1 if alpha == 0 else 0, (w, x, y))
            alphas = set(pixels[3::4])
            self.assertTrue(0 in alphas and 255 in alphas, w)
            sizes.append(w)
        self.assertEqual(sizes, [16, 20, 24, 32, 40, 48, 64, 256])


if __name__ == "__main__":
    unittest.main()
