#!/usr/bin/env python3
"""Tests of the catalogue generator's helpers and of its self-check, run against the committed
documents in res/ (no npm inputs needed):  python3 tools/catalogue/test_generate.py"""
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


class Helpers(unittest.TestCase):
    def test_query_encoding(self):
        self.assertEqual(g.make_param(5913490, 'Calgary', 'CAN'), 'wc:5913490&q=Calgary%2c+CAN')
        self.assertEqual(g.url_encode('Sant Julià de Lòria, AND'),
                         'Sant+Juli%c3%a0+de+L%c3%b2ria%2c+AND')
        self.assertEqual(g.url_encode("Homyel', BLR"), 'Homyel%27%2c+BLR')
        self.assertEqual(g.url_encode('St. Albert-x_y*'), 'St.+Albert-x_y*')
        self.assertEqual(g.url_encode('a&b=c+d%'), 'a%26b%3dc%2bd%25')

    def test_names_are_cleaned(self):
        self.assertEqual(g.clean_name('Biel/Bienne'), 'Biel-Bienne')
        self.assertEqual(g.clean_name('Penal / Debe'), 'Penal - Debe')
        self.assertEqual(g.clean_name('Ville\u0301'), 'Villé')           # NFC
        self.assertEqual(g.clean_name(' A\u00a0\u00a0B\u200b\x01 '), 'A B')  # blanks, controls

    def test_xml_attribute_escaping(self):
        self.assertEqual(g.xml_attr('B&H <"x\'>'), 'B&amp;H &lt;&quot;x&apos;&gt;')

    def test_admin2_tidying(self):
        self.assertEqual(g.tidy_admin2('Département du Nord'), 'Nord')
        self.assertEqual(g.tidy_admin2('Sir Powys'), 'Powys')
        self.assertEqual(g.tidy_admin2('Caerphilly County Borough'), 'Caerphilly')
        self.assertEqual(g.tidy_admin2('City of '), 'City of ')
        self.assertEqual(g.tidy_admin2('Aberdeen City'), 'Aberdeen City')

    def test_search_keys_fold_accents_case_and_special_letters(self):
        for name, key in [('Zürich', 'zurich'), ('São Paulo', 'sao paulo'), ('ŁÓDŹ', 'lodz'),
                          ('Straße', 'strasse'), ('Côte d’Ivoire', "cote d'ivoire"),
                          ('İzmir', 'izmir'), ('Calgary', None), ('Ville\u0301', 'ville')]:
            self.assertEqual(g.search_key(name), key, name)
        table = g.fold_table(['Zürich'])
        self.assertEqual((table['Ü'], table['ü'], table['\u0308']), ('u', 'u', ''))
        self.assertNotIn('Z', table)
        self.assertEqual(g.program_fold(table, 'ZÜr\u0308'), 'zur')

    def test_collation_ignores_accents_and_case_first(self):
        names = ['Zürich', 'île', 'Île-de-France', 'Aarau', 'Ile', 'Österreich', 'Oslo']
        self.assertEqual(
            sorted(names, key=g.collation_key),
            ['Aarau', 'Ile', 'île', 'Île-de-France', 'Oslo', 'Österreich', 'Zürich'])


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
                (ad, b'Juli%c3%a0', b'Juli%C3%A0', 'wrong shape'),
                (ca, b'name="Calgary"', b'name="Cal/gary"', 'contains "/"'),
                (ad, 'name="Sant Julià de Lòria"'.encode(),
                 'name="Sant Julia\u0300 de Lòria"'.encode(), 'not NFC'),
                (ca, b'name="Calgary"', b'name="Cal\x01gary"', 'control'),
                (ca, b'name="Cochrane"', b'name="Calgary"', 'twice'),
                (ca, b'name="Calgary"', b'name="Zzz"', 'alphabetical'),
                (cl, b'name="Afghanistan"', b'name="Zzz"', 'alphabetical'),
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
                ('catalogue/ch.xml', b' key="zurich"', b' key="zuerich"', 'search key'),
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
