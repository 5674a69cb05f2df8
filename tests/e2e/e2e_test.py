#!/usr/bin/env python3
"""Whole-program tests: Brisalune.exe under Wine, in a temporary program directory, against the
stand-in weather service, driven from outside with window messages.

Run by CTest from the MinGW build (inside xvfb-run, with the project's Wine prefix):
    e2e_test.py --exe Brisalune.exe --driver driver.exe --mail-catcher catcher.exe --zip ZIP
                --work DIR
"""
import argparse
import datetime
import glob
import json
import math
import os
import re
import shutil
import subprocess
import sys
import time
import unittest
import urllib.parse
import urllib.request
import zipfile
import xml.etree.ElementTree as ET
from xml.sax.saxutils import quoteattr

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FAKE_SERVICE = os.path.join(ROOT, "tools", "fake-service", "fake-service")
WINE = "/usr/lib/wine/wine64" if os.path.exists("/usr/lib/wine/wine64") else "wine"
ARGS = None

CITIES = [
    ("Calgary", "wc:5913490&q=Calgary%2c+CAN"),
    ("Z\u00fcrich", "wc:2657896&q=Z%c3%bcrich%2c+CHE"),
    ("Lyon", "wc:2996944&q=Lyon%2c+FRA"),
]


def catalogue_coordinates(param):
    """Latitude and longitude of the catalogue city with this location parameter."""
    for name in sorted(os.listdir(os.path.join(ROOT, "res", "catalogue"))):
        for city in ET.parse(os.path.join(ROOT, "res", "catalogue", name)).iter("city"):
            if city.get("param") == param:
                return float(city.get("lat")), float(city.get("lon"))
    raise KeyError(param)


def half_up(value):
    """A whole degree as the program rounds: halves away from zero."""
    return int(math.floor(abs(value) + 0.5)) * (1 if value >= 0 else -1)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wait_for(condition, seconds, step=0.2):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        result = condition()
        if result:
            return result
        time.sleep(step)
    return condition()


class Service:
    """The stand-in on a free port, for one test."""

    def __init__(self, work):
        self.url_file = os.path.join(work, "service.url")
        self.process = subprocess.Popen(
            [FAKE_SERVICE, "--quiet", "--url-file", self.url_file],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        def url():
            if os.path.exists(self.url_file):
                with open(self.url_file) as text:
                    return text.read().strip()
        self.url = wait_for(url, 20)
        if not self.url:
            raise RuntimeError("the stand-in did not start")

    def get(self, path):
        with urllib.request.urlopen(self.url + path, timeout=30) as answer:
            return answer.read()

    def weather_requests(self):
        return int(self.get("/_control/count?path=/data.aspx").decode().strip())

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)


class Program:
    """Brisalune.exe in a program directory of its own."""

    def __init__(self, directory, service, cities=CITIES, settings=None, install=True):
        """`install` copies the build's exe and img folder in; without it the directory already
        holds a program, as an unpacked release does."""
        self.directory = directory
        os.makedirs(directory, exist_ok=True)
        if install:
            shutil.copy(ARGS.exe, os.path.join(directory, "Brisalune.exe"))
            img = os.path.join(os.path.dirname(ARGS.exe), "img")
            shutil.copytree(img, os.path.join(directory, "img"), dirs_exist_ok=True)
        if cities is not None:
            with open(os.path.join(directory, "citylist.xml"), "w", encoding="utf-8") as out:
                out.write("<citylist>%s</citylist>\n" % "".join(
                    "<city name=%s param=%s />" % (quoteattr(n), quoteattr(p)) for n, p in cities))
        if settings is not None:
            with open(os.path.join(directory, "settings.xml"), "w") as out:
                out.write(settings)
        self.env = dict(os.environ, BRISALUNE_WEATHER_URL=service.url,
                        BRISALUNE_FORECAST_URL=service.url, BRISALUNE_SITE_URL=service.url)
        self.processes = []

    def start(self, *arguments):
        process = subprocess.Popen([WINE, "Brisalune.exe", *arguments], cwd=self.directory,
                                   env=self.env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        self.processes.append(process)
        return process

    def driver(self, *arguments):
        result = subprocess.run([WINE, ARGS.driver, *arguments], env=self.env,
                                capture_output=True, text=True, timeout=120)
        return result.returncode, result.stdout

    def driver_detached(self, *arguments):
        """The driver's answer through a file: a program it starts keeps no pipe of ours open."""
        answer = os.path.join(self.directory, "driver-answer.txt")
        with open(answer, "w") as out:
            code = subprocess.run([WINE, ARGS.driver, *arguments], env=self.env, stdout=out,
                                  stderr=subprocess.DEVNULL, timeout=120).returncode
        with open(answer) as text:
            return code, text.read()

    def state(self, kind):
        """Add City's or Remove City's title, row count, selection and focus, as a dict."""
        code, out = self.driver(kind + "-state")
        if code != 0:
            return None
        state = dict(line.split(" ", 1) for line in out.splitlines() if " " in line)
        state["title"] = bytes.fromhex(state.get("title", "")).decode("utf-8")
        return state

    def cities(self):
        """The city elements of citylist.xml, or None while it cannot be read."""
        try:
            return ET.parse(os.path.join(self.directory, "citylist.xml")).getroot().findall("city")
        except (ET.ParseError, OSError):
            return None

    def city_days(self):
        """Per city of citylist.xml, the list of its days' attributes."""
        cities = self.cities()
        return None if cities is None else [[day.attrib for day in city.findall("forecast")]
                                            for city in cities]

    def catch_mail(self, test, output):
        """Registers the mail catcher as the mailto handler for this test; it writes every link
        the shell hands it into `output`."""
        key = "HKCR\\mailto\\shell\\open\\command"
        query = subprocess.run([WINE, "reg", "query", key, "/ve"], env=self.env,
                               capture_output=True, text=True)
        found = re.search(r"REG_SZ\s+(.*\S)", query.stdout)
        before = found.group(1) if found and "mail_catcher" not in found.group(1) else \
            '"C:\\windows\\system32\\winebrowser.exe" "%1"'
        handler = '"%s" "%%1"' % windows_path(ARGS.mail_catcher)
        subprocess.run([WINE, "reg", "add", key, "/ve", "/d", handler, "/f"], env=self.env,
                       capture_output=True, check=True)
        test.addCleanup(subprocess.run, [WINE, "reg", "add", key, "/ve", "/d", before, "/f"],
                        env=self.env, capture_output=True)
        self.env["MAIL_CATCHER_FILE"] = windows_path(output)

    def stop(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait(timeout=10)


class WholeProgram(unittest.TestCase):
    def setUp(self):
        self.work = os.path.join(ARGS.work, self.id().split(".")[-1])
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        self.service = Service(self.work)
        self.addCleanup(self.service.stop)

    def program(self, directory="program", **options):
        program = Program(os.path.join(self.work, directory), self.service, **options)
        self.addCleanup(program.stop)
        return program

    def test_forecasts_arrive_show_and_are_kept(self):
        program = self.program()
        process = program.start()
        self.assertEqual(program.driver("wait-widget", "60")[0], 0, "the widget never appeared")
        days = wait_for(lambda: (lambda d: d if d and all(len(c) == 5 for c in d) else None)(
            program.city_days()), 90)
        self.assertTrue(days, "citylist.xml never held five days for every city: %r"
                        % program.city_days())

        # The file holds exactly what the stand-in answers for each city.
        for (name, param), saved in zip(CITIES, days):
            answer = ET.fromstring(self.service.get(
                "/data.aspx?weadegreetype=F&wealocations=" + param))
            expected = [f.attrib for f in answer.iter("forecast")]
            self.assertEqual([(d["low"], d["high"], d["skycodeday"], d["skytextday"], d["day"])
                              for d in saved],
                             [(f["low"], f["high"], f["skycodeday"], f["skytextday"], f["day"])
                              for f in expected], name)

        # Three rows with their pictures and no status word left under them.
        def rows_done():
            code, out = program.driver("rows")
            lines = out.split("\n")
            done = code == 0 and "rows 3" in out and all(
                "picture 1 status 0" in line for line in lines if line.startswith("row "))
            return out if done else None
        shown = wait_for(rows_done, 20, step=0.5)
        self.assertTrue(shown, "rows on screen: %s" % program.driver("rows")[1])

        # About over the widget and closed again: the widget is in front, not another window.
        in_front = program.driver("about")
        shot = os.path.join(ARGS.work, "widget-after-about.png")
        subprocess.run("xwd -root -silent | convert xwd:- '%s'" % shot, shell=True, check=True)
        self.assertEqual(in_front, (0, "1\n"), "see " + shot)

        # Exit, answered Yes, ends the process.
        self.assertEqual(program.driver("exit")[0], 0)
        self.assertEqual(process.wait(timeout=30), 0)

    def screenshot(self, name):
        shot = os.path.join(ARGS.work, name)
        subprocess.run("xwd -root -silent | convert xwd:- '%s'" % shot, shell=True, check=True)
        self.assertGreater(os.path.getsize(shot), 1000)

    def test_a_city_is_added_and_removed_with_the_keyboard_alone(self):
        program = self.program(cities=None)
        process = program.start()
        self.assertEqual(program.driver("wait-widget", "60")[0], 0, "the widget never appeared")
        self.assertEqual(program.driver("wait-dialog", "add", "30")[0], 0,
                         "an empty program directory opens Add City at the first start")
        self.assertEqual(program.state("add"),
                         {"title": "Add City", "rows": "237", "selected": "-1", "focus": "0"})
        time.sleep(0.5)
        self.screenshot("add-city-countries.png")

        open_by_keyboard(self, program, "switz", "Switzerland", "1")
        open_by_keyboard(self, program, "zur", "Switzerland -> Zurich", "1")
        # Typed without the accent, the city is found all the same.
        self.assertEqual(program.driver("type", "zur")[0], 0)
        self.assertEqual(program.state("add")["rows"], "1")
        time.sleep(0.3)
        self.screenshot("add-city-cities.png")
        program.driver("key", "down")
        program.driver("key", "return")
        self.assertEqual(program.driver("wait-dialog", "query", "10")[0], 0, "no question")
        program.driver("key", "return")

        # The new row shows the stand-in's forecast, and citylist.xml keeps city and days.
        days = wait_for(lambda: (lambda d: d if d and len(d) == 1 and len(d[0]) == 5 else None)(
            program.city_days()), 60)
        self.assertTrue(days, "citylist.xml: %r" % program.city_days())
        root = ET.parse(os.path.join(program.directory, "citylist.xml")).getroot()
        city = root.find("city")
        self.assertEqual((city.get("name"), city.get("param")),
                         ("Z\u00fcrich", "wc:2657896&q=Z%c3%bcrich%2c+CHE"))
        answer = ET.fromstring(self.service.get(
            "/data.aspx?weadegreetype=F&wealocations=" + city.get("param")))
        self.assertEqual([(d["low"], d["high"], d["skycodeday"]) for d in days[0]],
                         [(f.get("low"), f.get("high"), f.get("skycodeday"))
                          for f in answer.iter("forecast")])
        shown = wait_for(lambda: (lambda out: out if "rows 1" in out and
                                  "row 0 picture 1 status 0" in out else None)(
            program.driver("rows")[1]), 20, step=0.5)
        self.assertTrue(shown, "rows on screen: %s" % program.driver("rows")[1])
        self.screenshot("widget-one-city.png")

        # Remove City from the Delete button, again with keys alone.
        self.assertEqual(program.driver("press", "1021")[0], 0)
        self.assertEqual(program.driver("wait-dialog", "remove", "20")[0], 0)
        self.assertEqual(program.state("remove")["rows"], "1")
        program.driver("key", "down")
        self.assertEqual(program.state("remove")["selected"], "0")
        program.driver("key", "return")
        self.assertEqual(program.driver("wait-dialog", "query", "10")[0], 0, "no question")
        program.driver("key", "return")
        self.assertTrue(wait_for(lambda: program.city_days() == [], 20),
                        "citylist.xml: %r" % program.city_days())
        self.assertTrue(wait_for(lambda: "rows 0" in program.driver("rows")[1], 10))
        self.assertIsNone(program.state("remove"), "Remove City ends after the removal")

        self.assertEqual(program.driver("exit")[0], 0)
        self.assertEqual(process.wait(timeout=30), 0)

    def test_with_the_weather_service_dead_every_row_shows_todays_forecast_of_the_other(self):
        self.service.get("/_control/mode?path=/data.aspx&mode=status:500")
        program = self.program()
        program.start()
        self.assertEqual(program.driver("wait-widget", "60")[0], 0, "the widget never appeared")

        def moved():
            cities = program.cities()
            return cities if cities and all(
                c.get("source") == "open-meteo" and len(c.findall("forecast")) == 7
                for c in cities) else None
        cities = wait_for(moved, 90)
        self.assertTrue(cities, "not every city moved: %r" % program.city_days())
        self.assertGreater(self.service.weather_requests(), 0)

        # Each city holds what the forecast service answers for its catalogue coordinates,
        # from today on.
        today = datetime.date.today()
        for (name, param), city in zip(CITIES, cities):
            lat, lon = catalogue_coordinates(param)
            answer = json.loads(self.service.get(
                "/v1/forecast?latitude=%.5f&longitude=%.5f&daily=weather_code,temperature_2m_max,"
                "temperature_2m_min,precipitation_probability_max&temperature_unit=fahrenheit"
                "&timezone=auto" % (lat, lon)))["daily"]
            days = city.findall("forecast")
            self.assertEqual([d.get("date") for d in days], answer["time"], name)
            self.assertEqual(days[0].get("date"), today.isoformat(), name)
            self.assertEqual(days[0].get("day"), today.strftime("%A"), name)
            self.assertEqual([int(d.get("high")) for d in days],
                             [half_up(t) for t in answer["temperature_2m_max"]], name)
            self.assertEqual([int(d.get("low")) for d in days],
                             [half_up(t) for t in answer["temperature_2m_min"]], name)

        # Every row shows its picture and no status word: neither "failure" nor "outdated".
        def rows_done():
            code, out = program.driver("rows")
            lines = [line for line in out.split("\n") if line.startswith("row ")]
            return out if code == 0 and len(lines) == len(CITIES) and all(
                "picture 1 status 0" in line for line in lines) else None
        self.assertTrue(wait_for(rows_done, 20, step=0.5),
                        "rows on screen: %s" % program.driver("rows")[1])

    def test_exit_during_a_refresh_keeps_the_forecasts_that_came_in(self):
        # The last city's answer takes a minute; Exit comes while it is still pending.
        slow = ("Lyon", "stall:60/wc:2996944&q=Lyon%2c+FRA")
        program = self.program(cities=CITIES[:2] + [slow])
        process = program.start()
        self.assertEqual(program.driver("wait-widget", "60")[0], 0)
        # One city at a time: the slow city's request means both others have their answers.
        self.assertTrue(wait_for(lambda: self.service.weather_requests() == 3, 60))
        self.assertEqual(program.driver("exit")[0], 0)
        self.assertEqual(process.wait(timeout=30), 0)
        self.assertEqual([len(days) for days in program.city_days()], [5, 5, 0])

    def test_manual_refresh_log_on_start_and_a_second_start(self):
        program = self.program(settings='<Settings><unit val="0" /><timeval timeval="0" />'
                                         '<days days="3" /><startonboot startonboot="0" /></Settings>')
        visible = lambda: program.driver("visible")[1].strip()
        first = program.start("-s")
        self.assertEqual(program.driver("wait-widget", "60")[0], 0)
        time.sleep(4)
        self.assertEqual(visible(), "0", "-s starts in the tray")
        self.assertEqual(self.service.weather_requests(), 0, "manual refresh fetches nothing")
        self.assertEqual(program.city_days(), [[], [], []])

        # A second start wakes the first and ends; Escape hides the widget again.
        self.assertEqual(program.start().wait(timeout=30), 0)
        self.assertTrue(wait_for(lambda: visible() == "1", 20))
        program.driver("escape")
        self.assertTrue(wait_for(lambda: visible() == "0", 10), "Escape hides the widget")
        self.assertIsNone(first.poll(), "the first instance goes on")

    def test_details_log_and_a_unit_change_in_settings(self):
        cities = [
            ("Z\u00fcrich", "wc:2657896&q=Z%c3%bcrich%2c+CHE"),
            ("Montr\u00e9al", "lang:fr/days:7/wc:6077243&q=Montr%c3%a9al%2c+CAN"),
            ("Lyon", "wc:2996944&q=Lyon%2c+FRA"),
        ]
        program = self.program(cities=cities)
        program.start()
        self.assertEqual(program.driver("wait-widget", "60")[0], 0, "the widget never appeared")
        self.assertTrue(wait_for(lambda: [len(c) for c in program.city_days() or []] == [5, 7, 5],
                                 90), "forecasts: %r" % program.city_days())
        self.assertTrue(wait_for(lambda: all(
            "picture 1 status 0" in line for line in program.driver("rows")[1].split("\n")
            if line.startswith("row ")), 20))
        before = program.driver("row-temperatures")[1].split("\n")

        # Enter on the second row opens its details: every day from today on, six of the
        # seven since the service's first is yesterday, in a window grown for them.
        program.driver("open-row", "1")
        shown = wait_for(lambda: shown_dialog(program, "Montr\u00e9al Forecast"), 20)
        self.assertTrue(shown, "no details window: %s" % program.driver("dialog")[1])
        time.sleep(0.5)
        out = program.driver("days")[1]
        places = [line for line in out.split("\n") if line.startswith("day ")]
        self.assertGreaterEqual(len(places), 6, out)
        for place in places[:6]:
            self.assertTrue(place.endswith("picture 1 text 1 temperatures 1"), out)
        for place in places[6:]:
            self.assertTrue(place.endswith("picture 0 text 0 temperatures 0"), out)
        screenshot(program, os.path.join(ARGS.work, "details.png"), shown)
        program.driver("escape-dialog")
        self.assertTrue(wait_for(lambda: program.driver("dialog")[0] == 3, 10))

        # The refresh log, opened by its command, holds the accented names as written.
        program.driver("command", "32792")
        self.assertTrue(wait_for(lambda: shown_dialog(program, "Log Details"), 20))
        log = bytes.fromhex(program.driver("text", "1002")[1].strip()).decode()
        self.assertIn("\r\nZ\u00fcrich success", log)
        self.assertIn("\r\nMontr\u00e9al success", log)
        program.driver("escape-dialog")
        self.assertTrue(wait_for(lambda: program.driver("dialog")[0] == 3, 10))

        # Celsius in Settings, Ok: every row is drawn again in the new unit, and it is kept.
        program.driver("press", "1023")
        shown = wait_for(lambda: shown_dialog(program, "Settings"), 20)
        self.assertTrue(shown, "no Settings dialog")
        self.assertEqual(program.driver("controls")[1].split(), ["0", "1", "1", "0"])
        program.driver("choose", "1010", "1")
        time.sleep(0.5)
        screenshot(program, os.path.join(ARGS.work, "settings.png"), shown)
        program.driver("click", "1016")
        self.assertTrue(wait_for(lambda: program.driver("dialog")[0] == 3, 10))
        settings = os.path.join(program.directory, "settings.xml")
        self.assertTrue(wait_for(lambda: os.path.exists(settings), 10))
        self.assertEqual(ET.parse(settings).getroot().find("unit").get("val"), "1")
        after = wait_for(lambda: (lambda rows: rows if rows != before else None)(
            program.driver("row-temperatures")[1].split("\n")), 10)
        self.assertTrue(after, "the rows did not change")
        for old, new in zip(before, after):
            if old.startswith("row "):
                self.assertNotEqual(old, new, "every row shows the new unit")

    def test_the_release_unzipped_into_a_folder_of_blanks_and_accents(self):
        with zipfile.ZipFile(ARGS.zip) as release:
            names = release.namelist()
            credits = release.read("Brisalune/licences/CREDITS.txt").decode("utf-8")
            parent = os.path.abspath(os.path.join(self.work, "Mes programmes",
                                                  "M\u00e9t\u00e9o \u00e0 Z\u00fcrich"))
            release.extractall(parent)
        # One folder, to unzip anywhere.
        self.assertEqual(sorted({name.split("/", 1)[0] + "/" + name.split("/")[1]
                                 for name in names} - {"Brisalune/"}),
                         ["Brisalune/Brisalune.exe", "Brisalune/README.txt", "Brisalune/img",
                          "Brisalune/licences"])
        for text in sorted(set(re.findall(r"[\w.-]+\.txt", credits))):
            self.assertIn("Brisalune/licences/" + text, names, "CREDITS.txt names " + text)

        # The first start opens Add City; the city added is refreshed and drawn with the
        # release's own pictures.
        program = self.program(directory=os.path.join(parent, "Brisalune"), cities=None,
                                install=False)
        self.addCleanup(program.driver, "run-entry", "remove")
        program.driver("run-entry", "remove")
        process = program.start()
        self.assertEqual(program.driver("wait-widget", "60")[0], 0, "the widget never appeared")
        self.assertEqual(program.driver("wait-dialog", "add", "30")[0], 0, "no Add City")
        open_by_keyboard(self, program, "switz", "Switzerland", "1")
        open_by_keyboard(self, program, "zur", "Switzerland -> Zurich", "1")
        program.driver("type", "zur")
        program.driver("key", "down")
        program.driver("key", "return")
        self.assertEqual(program.driver("wait-dialog", "query", "10")[0], 0, "no question")
        program.driver("key", "return")
        self.assertTrue(wait_for(lambda: (lambda d: d and len(d) == 1 and len(d[0]) == 5)(
            program.city_days()), 60), "citylist.xml: %r" % program.city_days())
        self.assertTrue(wait_for(lambda: "row 0 picture 1 status 0" in program.driver("rows")[1],
                                 20, step=0.5), program.driver("rows")[1])
        # The folder is writable, so the files stay beside the program.
        per_user = glob.glob(os.path.join(os.environ["WINEPREFIX"], "drive_c", "users", "*",
                                          "AppData", "Roaming", "Brisalune"))
        self.assertEqual(per_user, [])

        # Start on boot, ticked in Settings, is a quoted Run entry that starts in the tray.
        program.driver("press", "1023")
        self.assertTrue(wait_for(lambda: shown_dialog(program, "Settings"), 20))
        program.driver("click", "1018")
        program.driver("click", "1016")
        self.assertTrue(wait_for(lambda: program.driver("dialog")[0] == 3, 10))
        self.assertEqual(program.driver("exit")[0], 0)
        self.assertEqual(process.wait(timeout=30), 0)
        code, out = program.driver_detached("run-entry", "start")
        self.assertEqual(code, 0, out)
        self.assertEqual(bytes.fromhex(out.strip()).decode(),
                         '"%s\\Brisalune.exe" -s' % windows_path(program.directory))
        self.assertEqual(program.driver("wait-widget", "60")[0], 0)
        time.sleep(1)
        self.assertEqual(program.driver("visible")[1].strip(), "0")
        self.assertEqual(program.driver("exit")[0], 0)

    def test_share_from_the_more_menu_hands_the_forecast_to_the_mail_program(self):
        settings = ('<Settings><unit val="0" /><timeval timeval="1" /><days days="3" />'
                    '<startonboot startonboot="0" /></Settings>')
        program = self.program(cities=CITIES[1:2], settings=settings)
        mail = os.path.join(self.work, "mail.txt")
        program.catch_mail(self, mail)
        program.start()
        self.assertEqual(program.driver("wait-widget", "60")[0], 0)
        days = wait_for(lambda: (lambda d: d if d and len(d[0]) == 5 else None)(
            program.city_days()), 90)
        self.assertTrue(days, "no forecast arrived")

        # With one city, Share opens the mail at once: no dialog in between.
        self.assertEqual(program.driver("more-menu", "0")[0], 0)
        self.assertTrue(wait_for(lambda: os.path.exists(mail), 30), "no link reached the shell")
        self.assertEqual(program.driver("dialog")[0], 3, "a dialog showed")
        with open(mail, encoding="utf-8") as handed:
            link = re.search(r'"(mailto:[^"]*)"', handed.read()).group(1)
        self.assertLessEqual(len(link), 2048)
        query = link[len("mailto:?"):]
        self.assertRegex(query, r"^subject=[A-Za-z0-9%._~-]*&body=[A-Za-z0-9%._~-]*$")
        fields = dict(part.split("=", 1) for part in query.split("&"))
        # Three days from today on: the service's first day is yesterday.
        today = datetime.date.today().isoformat()
        text = " ".join("%s, %s, %s\u00b0F - %s\u00b0F;" % (
            d["day"], d["skytextday"], d["low"], d["high"])
            for d in [d for d in days[0] if d["date"] >= today][:3])
        self.assertEqual(urllib.parse.unquote(fields["subject"]), "Z\u00fcrich  Forecast")
        self.assertEqual(urllib.parse.unquote(fields["body"]),
                         "Z\u00fcrich Forecast: %s by Brisalune, see more at %s/pr/brisalune"
                         % (text, self.service.url))

    def test_check_latest_version_shows_the_news_of_a_newer_version(self):
        program = self.program(cities=CITIES[:1])
        program.start()
        self.assertEqual(program.driver("wait-widget", "60")[0], 0)
        program.driver("command", "32788")
        shown = wait_for(lambda: shown_dialog(program, "Check latest version"), 30)
        self.assertTrue(shown, "no news: %s" % program.driver("dialog")[1])
        self.assertEqual(dialog_text(program, 1008), "2.0 is available\r\n Sharper condition "
                         "pictures, quicker refreshes and more cities.")
        time.sleep(0.5)
        screenshot(program, os.path.join(ARGS.work, "version-result.png"), shown)
        program.driver("escape-dialog")
        self.assertTrue(wait_for(lambda: program.driver("dialog")[0] == 3, 10))

        # The version running is the latest once the site offers it.
        self.service.get("/_control/version?value=1.0&news=Same")
        program.driver("command", "32788")
        self.assertTrue(wait_for(lambda: shown_dialog(program, "Check latest version"), 30))
        self.assertEqual(dialog_text(program, 0xFFFF),
                         "No new version available, current version is lastest version.")
        program.driver("escape-dialog")

    def test_a_comment_waits_for_the_site_and_arrives_as_utf8(self):
        program = self.program(cities=CITIES[:1])
        program.start()
        self.assertEqual(program.driver("wait-widget", "60")[0], 0)
        self.service.get("/_control/mode?path=/submit-brisalune.php&mode=stall:4")
        program.driver("command", "32790")
        shown = wait_for(lambda: shown_dialog(program, "Leave a comment"), 30)
        self.assertTrue(shown, "no comment dialog")
        comment = "Gr\u00fc\u00dfe & merci, \u6771\u4eac"
        program.driver("set-text", "1002", comment)
        program.driver("click", "1004")
        time.sleep(1.3)
        self.assertTrue(dialog_text(program, 1001).startswith(
            "\r\n Submit your comment, please wait . ."), dialog_text(program, 1001))
        screenshot(program, os.path.join(ARGS.work, "comment-waiting.png"), shown)

        self.assertTrue(wait_for(lambda: shown_dialog(program, "Success"), 15))
        posts = json.loads(self.service.get("/_control/posts"))
        self.assertEqual(len(posts), 1)
        body = bytes.fromhex(posts[0]["body_hex"]).rstrip(b"\0").decode("ascii")
        fields = [pair.split("=", 1) for pair in body.split("&") if pair]
        self.assertEqual([name for name, _ in fields], ["name", "comment", "agent"])
        self.assertEqual(urllib.parse.unquote_plus(fields[1][1], encoding="utf-8"), comment)
        self.assertTrue(urllib.parse.unquote_plus(fields[2][1]).startswith(
            "brisalune 1.0 / windows"))
        program.driver("escape-dialog")


def open_by_keyboard(test, program, typed, title, rows):
    """Types into Add City, goes down into the list and opens its first row with Enter."""
    test.assertEqual(program.driver("type", typed)[0], 0)
    test.assertEqual(program.state("add")["rows"], rows, "after typing " + typed)
    program.driver("key", "down")
    state = program.state("add")
    test.assertEqual((state["selected"], state["focus"]), ("0", "1"),
                     "Down leads into the list onto its first row")
    program.driver("key", "return")
    test.assertTrue(wait_for(lambda: program.state("add")["title"] == title, 10),
                    "Enter opens the row: %r" % program.state("add"))


def shown_dialog(program, caption):
    """The rectangle of the dialog shown over the widget when its caption is `caption`."""
    code, out = program.driver("dialog")
    fields = out.split()
    if code != 0 or len(fields) != 5 or bytes.fromhex(fields[0]).decode() != caption:
        return None
    return [int(f) for f in fields[1:]]


def dialog_text(program, control):
    """The text of a control of the dialog shown over the widget."""
    code, out = program.driver("text", str(control))
    return bytes.fromhex(out.strip()).decode() if code == 0 else None


def screenshot(program, path, rect):
    """The screen around `rect` (left, top, right, bottom), for a person to look at. Taken
    through Wine's own screen: the X server's copy may show a dialog as a black box."""
    left, top, right, bottom = rect
    left, top = max(left - 20, 0), max(top - 20, 0)
    raw = path + ".ppm"
    if program.driver("screenshot", windows_path(raw))[0] != 0:
        raise RuntimeError("no screenshot")
    subprocess.run(["convert", raw, "-crop", "%dx%d+%d+%d" % (right - left + 20,
                    bottom - top + 20, left, top), "+repage", path], check=True)
    os.remove(raw)


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--mail-catcher", required=True)
    parser.add_argument("--zip", required=True, help="the release zip")
    parser.add_argument("--work", required=True)
    ARGS, rest = parser.parse_known_args()
    os.makedirs(ARGS.work, exist_ok=True)
    unittest.main(argv=[sys.argv[0], "-v", *rest])


if __name__ == "__main__":
    main()
