#!/usr/bin/env python3
"""Draws the country flags of the Add City dialog from the flag-icons package (MIT).

Writes one PNG per country code of the built-in catalogue (res/catalogue/countrylist.xml) into
res/img/, named as the program looks for it: "<code>.png", and "do1.png" for the Dominican
Republic, and the same flags at twice the size into res/img/2x/ for displays above 96 DPI. The package is pinned in package.json / package-lock.json beside this file and
installed under build/flags-npm when it is missing; its 4:3 SVGs are rasterised with
rsvg-convert (Debian: librsvg2-bin), laid onto white and written as 8-bit RGB PNGs.

    python3 tools/flags/generate.py [--out DIR] [--check-determinism]
    python3 tools/flags/generate.py --size 32x24 --out DIR    # one size into one folder

Python 3 standard library only, besides npm (to fetch the package) and rsvg-convert.
"""
import argparse
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
NPM_DIR = os.path.join(ROOT, 'build', 'flags-npm')
COUNTRY_LIST = os.path.join(ROOT, 'res', 'catalogue', 'countrylist.xml')
DEFAULT_OUT = os.path.join(ROOT, 'res', 'img')
PACKAGE = 'flag-icons'
# The flags at 96 DPI, and the folder and size of their double-size forms.
SIZE = (32, 24)
DOUBLE = '2x'

# Catalogue codes whose flag the package files under another name. Every code of today's
# catalogue has a file of its own name; a code added later that has none stops the generator
# until it is listed here.
SVG_NAME = {}

# The program looks for the Dominican Republic's flag under this name.
FILE_NAME = {'do': 'do1'}


class FlagError(Exception):
    pass


def die(msg):
    raise FlagError(msg)


# ---------------------------------------------------------------- inputs

def pinned_version():
    with open(os.path.join(HERE, 'package.json'), encoding='utf-8') as f:
        return json.load(f)['dependencies'][PACKAGE]


def package_dir(npm_dir):
    return os.path.join(npm_dir, 'node_modules', PACKAGE)


def inputs_present(npm_dir):
    try:
        with open(os.path.join(package_dir(npm_dir), 'package.json'), encoding='utf-8') as f:
            return json.load(f).get('version') == pinned_version()
    except OSError:
        return False


def ensure_inputs(npm_dir):
    if inputs_present(npm_dir):
        return
    npm = shutil.which('npm')
    if npm is None:
        die('npm is missing (Debian: apt-get install nodejs npm); it fetches the pinned package')
    os.makedirs(npm_dir, exist_ok=True)
    for f in ('package.json', 'package-lock.json'):
        shutil.copyfile(os.path.join(HERE, f), os.path.join(npm_dir, f))
    print('installing %s@%s into %s' % (PACKAGE, pinned_version(), os.path.relpath(npm_dir, ROOT)),
          flush=True)
    subprocess.run([npm, 'ci', '--no-audit', '--no-fund', '--ignore-scripts'], cwd=npm_dir,
                   check=True)
    if not inputs_present(npm_dir):
        die('npm ci did not install the pinned version into %s' % npm_dir)


def catalogue_codes(path=COUNTRY_LIST):
    """The country codes in the order of the country list."""
    with open(path, encoding='utf-8-sig') as f:
        codes = re.findall(r'<country [^>]*\bcode="([^"]*)"', f.read())
    if not codes:
        die('%s lists no country' % path)
    return codes


def flag_file_name(code):
    return FILE_NAME.get(code, code) + '.png'


def svg_path(npm_dir, code):
    return os.path.join(package_dir(npm_dir), 'flags', '4x3', SVG_NAME.get(code, code) + '.svg')


# ---------------------------------------------------------------- PNG

PNG_SIGNATURE = b'\x89PNG\r\n\x1a\n'


def _chunk(kind, data):
    body = kind + data
    return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)


def png_rgb(width, height, pixels):
    """An 8-bit RGB PNG (colour type 2, no filter, no other chunk) from bytes r, g, b, ..."""
    stride = width * 3
    raw = b''.join(b'\0' + pixels[y * stride:(y + 1) * stride] for y in range(height))
    return (PNG_SIGNATURE
            + _chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
            + _chunk(b'IDAT', zlib.compress(raw, 9))
            + _chunk(b'IEND', b''))


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read_png(data):
    """(width, height, channels, pixels) of an 8-bit, non-interlaced grey, RGB or RGBA PNG."""
    if not data.startswith(PNG_SIGNATURE):
        die('not a PNG')
    pos, idat, header = len(PNG_SIGNATURE), [], None
    while pos + 8 <= len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b'IHDR':
            header = struct.unpack('>IIBBBBB', body)
        elif kind == b'IDAT':
            idat.append(body)
        elif kind == b'IEND':
            break
    if header is None:
        die('PNG without a header')
    width, height, depth, colour, _, _, interlace = header
    channels = {0: 1, 2: 3, 6: 4}.get(colour)
    if depth != 8 or channels is None or interlace:
        die('PNG of depth %d, colour type %d, interlace %d is not read here' % (
            depth, colour, interlace))
    raw = zlib.decompress(b''.join(idat))
    stride = width * channels
    if len(raw) != height * (stride + 1):
        die('PNG data has the wrong length')
    out = bytearray(height * stride)
    prev = bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = prev[i]
            upleft = prev[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                line[i] = (line[i] + _paeth(left, up, upleft)) & 0xFF
            elif kind != 0:
                die('PNG filter %d is unknown' % kind)
        out[y * stride:(y + 1) * stride] = line
        prev = line
    return width, height, channels, bytes(out)


def on_white(channels, pixels):
    """RGB bytes of the pixels laid onto white: the program copies a flag opaquely onto its
    white row, so the anti-aliased edge must already be blended."""
    if channels == 3:
        return pixels
    if channels == 1:
        return bytes(v for v in pixels for _ in range(3))
    out = bytearray()
    for i in range(0, len(pixels), 4):
        a = pixels[i + 3]
        for c in pixels[i:i + 3]:
            out.append((c * a + 255 * (255 - a) + 127) // 255)
    return bytes(out)


# ---------------------------------------------------------------- drawing

def rasterise(svg, width, height):
    rsvg = shutil.which('rsvg-convert')
    if rsvg is None:
        die('rsvg-convert is missing (Debian: apt-get install librsvg2-bin)')
    done = subprocess.run([rsvg, '--width', str(width), '--height', str(height), '--format', 'png',
                           svg], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if done.returncode != 0:
        die('rsvg-convert failed on %s: %s' % (svg, done.stderr.decode(errors='replace').strip()))
    w, h, channels, pixels = read_png(done.stdout)
    if (w, h) != (width, height):
        die('%s came out %d x %d, not %d x %d' % (svg, w, h, width, height))
    return png_rgb(width, height, on_white(channels, pixels))


def render(codes, npm_dir, width, height):
    missing = [c for c in codes if not os.path.isfile(svg_path(npm_dir, c))]
    if missing:
        die('%s@%s has no 4:3 flag for the catalogue codes %s; name the package\'s file for each '
            'in SVG_NAME' % (PACKAGE, pinned_version(), ', '.join(missing)))
    return {flag_file_name(c): rasterise(svg_path(npm_dir, c), width, height) for c in codes}


def self_check(files, codes, width, height):
    """Every code has exactly one flag file of the right size, and nothing else is written."""
    wanted = {flag_file_name(c) for c in codes}
    if set(files) != wanted or len(wanted) != len(codes):
        die('flag files do not match the country codes one to one')
    for name, data in files.items():
        w, h, channels, _ = read_png(data)
        if (w, h, channels) != (width, height, 3):
            die('%s is %d x %d with %d channels, not %d x %d RGB' % (name, w, h, channels,
                                                                     width, height))


def write_outputs(files, out_dir):
    """Writes the flags and removes flag files of codes no longer in the catalogue; the
    condition pictures (GIF) beside them stay."""
    os.makedirs(out_dir, exist_ok=True)
    for f in sorted(os.listdir(out_dir)):
        if f.endswith('.png') and f not in files:
            os.remove(os.path.join(out_dir, f))
    for name, data in sorted(files.items()):
        with open(os.path.join(out_dir, name), 'wb') as f:
            f.write(data)


def parse_size(text):
    m = re.fullmatch(r'([1-9][0-9]{0,3})x([1-9][0-9]{0,3})', text)
    if not m:
        raise argparse.ArgumentTypeError('size is WIDTHxHEIGHT, e.g. 32x24')
    return int(m.group(1)), int(m.group(2))


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--size', type=parse_size,
                    help='width x height of each flag in pixels; without it, %dx%d into the '
                         'folder and twice that into its %s folder' % (SIZE + (DOUBLE,)))
    ap.add_argument('--out', default=DEFAULT_OUT, help='folder to write into (default res/img)')
    ap.add_argument('--npm-dir', default=NPM_DIR, help='where the pinned package is installed')
    ap.add_argument('--check-determinism', action='store_true',
                    help='draw every flag a second time and compare bytes')
    args = ap.parse_args()
    if args.size:
        sets = [(args.size, args.out)]
    else:
        sets = [(SIZE, args.out),
                ((2 * SIZE[0], 2 * SIZE[1]), os.path.join(args.out, DOUBLE))]
    try:
        ensure_inputs(args.npm_dir)
        codes = catalogue_codes()
        for (width, height), out in sets:
            files = render(codes, args.npm_dir, width, height)
            self_check(files, codes, width, height)
            if args.check_determinism and render(codes, args.npm_dir, width, height) != files:
                die('a second drawing differs')
            write_outputs(files, out)
            print('%s@%s: %d flags of %d x %d pixels (%d bytes) in %s' % (
                PACKAGE, pinned_version(), len(files), width, height,
                sum(len(d) for d in files.values()), os.path.relpath(out, ROOT)))
        if args.check_determinism:
            print('determinism: a second drawing gave byte-identical files')
    except FlagError as e:
        sys.stderr.write('generate.py: %s\n' % e)
        sys.exit(1)


if __name__ == '__main__':
    main()
