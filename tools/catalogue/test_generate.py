#!/usr/bin/env python3
"""Tests of the catalogue generator's self-check, run against the committed documents in res/
(no npm inputs needed):  python3 tools/catalogue/test_generate.py. The generator's helpers are
held to their rules by the self-check itself."""
import os
import re
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import generate as g  # noqa: E402

RES = os.path.join(g.ROOT, 'res')


def committed_files():
    files = {}
    cat = os.path.join(RES, 'catalogue')
    for name in sorted(os.listdir(cat)):
        with open(os.path.join(cat, name), 'rb') as f:
            files['catalogue/' + name] = f.read()
    with open(os.path.join(RES, 'catalogue.rc.inc'), 'rb') as f:
        files['catalogue.rc.inc'] = f.read()
    return files


def iso3_from_params(files):
    """The alpha-3 code each document's first query names; the self-check then holds every
    other city of that document to it."""
    out = {}
    for path, data in files.items():
        m = re.search(rb'%2c\+([A-Z]{3})"', data)
        if path != 'catalogue/countrylist.xml' and m:
            out[os.path.basename(path)[:-4].upper()] = m.group(1).decode()
    return out


class SelfCheck(unittest.TestCase):
    """The committed documents pass; each single broken rule is caught."""

    @classmethod
    def setUpClass(cls):
        cls.files = committed_files()
        cls.iso3 = iso3_from_params(cls.files)

    def check(self, files, must=()):
        return g.self_check(files, self.iso3, set(must))

    def broken(self, path, old, new, message):
        files = dict(self.files)
        self.assertIn(old, files[path], 'fixture text vanished from ' + path)
        files[path] = files[path].replace(old, new, 1)
        with self.assertRaisesRegex(g.CatalogueError, message):
            self.check(files)

    def test_committed_documents_pass(self):
        self.assertEqual(self.check(self.files), 14500)
        self.assertEqual(len(self.iso3), 237)

    def test_each_broken_rule_is_caught(self):
        ca, ad, fr, cl = ('catalogue/ca.xml', 'catalogue/ad.xml', 'catalogue/fr.xml',
                          'catalogue/countrylist.xml')
        for path, old, new, message in (
                (cl, g.BOM, b'', 'byte-order mark'),
                (ca, b'<?xml', g.BOM + b'<?xml', 'no byte-order mark'),
                (ca, b'&amp;q=Calgary', b'&amp;amp;q=Calgary', 'double'),
                (ca, b'Calgary%2c+CAN', b'Calgary%2C+CAN', 'wrong shape'),
                (ca, b'q=Calgary%2c', b'q=Calgari%2c', 'does not encode'),
                (ca, b'name="Calgary"', b'name="Cal/gary"', 'contains "/"'),
                (ad, 'name="Sant Julià de Lòria"'.encode(),
                 'name="Sant Julia\u0300 de Lòria"'.encode(), 'not NFC'),
                (ca, b'name="Calgary"', b'name="Cal\x01gary"', 'control'),
                (ca, b'name="Cochrane"', b'name="Calgary"', 'twice'),
                (ca, b'name="Calgary"', b'name="Zzz"', 'alphabetical'),
                (ca, b'<prov name="Alberta">', b'<prov name="Alberta"><subprov name="X"/>',
                 'sub-provinces'),
                (fr, 'name="Île-de-France" key="ile-de-france">\n'.encode(),
                 'name="Île-de-France" key="ile-de-france">\n<city name="A" '
                 'param="wc:2&amp;q=A%2c+FRA" lat="1" lon="1"/>\n'.encode(), 'sub-provinces'),
                (fr, b'<subprov name="Paris">\n', b'', 'not well-formed'),
                (ca, b' lat=', b' x="1" lat=', 'malformed city'),
                (cl, b'code="gb"', b'code="GB"', 'lower-case'),
                ('catalogue.rc.inc', b'IDR_GB XML "catalogue/gb.xml"\n', b'', 'exactly'),
                ('catalogue/ch.xml', b' key="zurich"', b'', 'search key'),
                (ca, b'lon="-114.08529"/>', b'lon="-114.08529" key="calgary"/>', 'search key'),
                (cl, 'ü'.encode(), b'', 'fold table')):
            with self.subTest(message=message, new=new):
                self.broken(path, old, new, message)
        us = self.files['catalogue/us.xml'].decode()
        full = next(m for m in re.finditer(r'<prov name="[^"]*">\n((?:    <city [^\n]*\n)+)', us)
                    if m.group(1).count('\n') == g.CAP_PER_CONTAINER)
        extra = re.sub(r'name="([^"]*)" param="wc:\d+&amp;q=([^%]*)',
                       r'name="\1x" param="wc:1&amp;q=\2x', full.group(1).splitlines()[-1])
        self.broken('catalogue/us.xml', full.group(1).encode(),
                    (full.group(1) + extra + '\n').encode(), 'more than 30')

    def test_document_set_and_places_that_must_stay(self):
        files = dict(self.files)
        del files['catalogue/zw.xml']
        with self.assertRaisesRegex(g.CatalogueError, 'do not match'):
            self.check(files)
        with self.assertRaisesRegex(g.CatalogueError, 'missing'):
            self.check(self.files, must={5913490, 1})
        self.check(self.files, must={5913490})


if __name__ == '__main__':
    unittest.main()
