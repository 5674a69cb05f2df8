#!/usr/bin/env python3
"""Whole-program tests: Brisalune.exe under Wine, in a program directory of its own, against the
stand-in weather service, driven from outside with window messages and keys. Each test starts
the program as few times as its stories allow: a start under Wine is the slow part.

Run by CTest from the MinGW build (inside xvfb-run, with the project's Wine prefix):
    e2e_test.py --exe Brisalune.exe --driver driver.exe --mail-catcher catcher.exe --zip ZIP
                --work DIR
"""
import argparse
import datetime
import glob
import os
import re
import shutil
import subprocess
import sys
import time
import unittest
import urllib.parse
import zipfile
import xml.etree.ElementTree as ET
from xml.sax.saxutils import quoteattr

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from standin import ROOT, WINE, Service, wait_for, windows_path  # noqa: E402

ARGS = None
CITIES = [
    ("Calgary", "wc:5913490&q=Calgary%2c+CAN"),
    ("Z\u00fcrich", "wc:2657896&q=Z%c3%bcrich%2c+CHE"),
    ("Lyon", "wc:2996944&q=Lyon%2c+FRA"),
]
REMOVE_CITY, REFRESH, SETTINGS, SHARE = "32773", "32774", "32781", "32780"
CHECK_VERSION = "32788"


def run_wine(*arguments, **options):
    return subprocess.run([WINE, *arguments], capture_output=True, text=True, **options)


class Program:
    """Brisalune.exe in a program directory of its own, and the driver to steer it."""

    def __init__(self, directory, service, cities=CITIES, install=True):
        """Without `install` the directory already holds a program, as an unpacked release."""
        self.directory = directory
        os.makedirs(directory, exist_ok=True)
        if install:
            shutil.copy(ARGS.exe, os.path.join(directory, "Brisalune.exe"))
            shutil.copytree(os.path.join(os.path.dirname(ARGS.exe), "img"),
                            os.path.join(directory, "img"), dirs_exist_ok=True)
        if cities is not None:
            with open(os.path.join(directory, "citylist.xml"), "w", encoding="utf-8") as out:
                out.write("<citylist>%s</citylist>\n" % "".join(
                    "<city name=%s param=%s />" % (quoteattr(n), quoteattr(p)) for n, p in cities))
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
        result = run_wine(ARGS.driver, *arguments, env=self.env, timeout=120)
        return result.returncode, result.stdout

    def ok(self, *arguments):
        return self.driver(*arguments)[0] == 0

    def dialog(self, caption):
        """Whether the dialog shown over the widget has that caption."""
        code, out = self.driver("dialog")
        return code == 0 and bytes.fromhex(out.strip() or "00").decode() == caption

    def closed(self):
        return wait_for(lambda: self.driver("dialog")[0] == 3, 10)

    def text(self, control):
        code, out = self.driver("text", str(control))
        return bytes.fromhex(out.strip()).decode() if code == 0 else None

    def state(self, kind):
        """Add City's or Remove City's title, row count, selection and focus."""
        code, out = self.driver("state", kind)
        if code != 0:
            return None
        state = dict(line.split(" ", 1) for line in out.splitlines() if " " in line)
        state["title"] = bytes.fromhex(state.get("title", "")).decode("utf-8")
        return state

    def rows(self, count):
        """The rows' lines once there are `count` rows, each with its picture and no status."""
        def done():
            code, out = self.driver("rows")
            lines = [line for line in out.splitlines() if line.startswith("row ")]
            return lines if code == 0 and len(lines) == count and all(
                " picture 1 status 0" in line for line in lines) else None
        return wait_for(done, 30, step=0.5)

    def cities(self):
        """The city elements of citylist.xml, or None while it cannot be read."""
        try:
            return ET.parse(os.path.join(self.directory, "citylist.xml")).getroot().findall("city")
        except (ET.ParseError, OSError):
            return None

    def days(self):
        cities = self.cities()
        return None if cities is None else [[d.attrib for d in c.findall("forecast")]
                                            for c in cities]

    def catch_mail(self, test, output):
        """Makes the mail catcher the mailto handler for the test: it writes every link the
        shell hands it into `output`."""
        key = "HKCR\\mailto\\shell\\open\\command"
        found = re.search(r"REG_SZ\s+(.*\S)", run_wine("reg", "query", key, "/ve").stdout)
        before = found.group(1) if found and "mail_catcher" not in found.group(1) else \
            '"C:\\windows\\system32\\winebrowser.exe" "%1"'
        run_wine("reg", "add", key, "/ve", "/d", '"%s" "%%1"' % windows_path(ARGS.mail_catcher),
                 "/f", check=True)
        test.addCleanup(run_wine, "reg", "add", key, "/ve", "/d", before, "/f")
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

    def started(self, program, *arguments):
        process = program.start(*arguments)
        self.assertTrue(program.ok("wait-widget", "60"), "the widget never appeared")
        return process

    def exits(self, program, process):
        self.assertTrue(program.ok("exit"))
        self.assertEqual(process.wait(timeout=30), 0)

    def test_three_cities_through_a_day_and_a_start_in_the_tray(self):
        program = self.program()
        mail = os.path.join(self.work, "mail.txt")
        program.catch_mail(self, mail)
        process = self.started(program)

        # The forecasts arrive, are kept as the service gave them and are drawn.
        days = wait_for(lambda: (lambda d: d if d and all(len(c) == 5 for c in d) else None)(
            program.days()), 90)
        self.assertTrue(days, "citylist.xml: %r" % program.days())
        fields = ("low", "high", "skycodeday", "skytextday", "day")
        for (name, param), saved in zip(CITIES, days):
            self.assertEqual([[d[f] for f in fields] for d in saved],
                             [[d[f] for f in fields] for d in self.service.forecast(param)], name)
        self.assertTrue(program.rows(3), program.driver("rows")[1])

        # Enter on a row opens its details.
        self.assertTrue(program.ok("open-row", "1"))
        shown = wait_for(lambda: program.dialog("Z\u00fcrich Forecast"), 20)
        self.assertTrue(shown, program.driver("dialog")[1])
        program.driver("escape-dialog")
        self.assertTrue(program.closed())

        # Share hands the first city's next three days to the mail program as one link.
        self.assertTrue(program.ok("command", SHARE))
        self.assertTrue(wait_for(lambda: os.path.exists(mail), 30), "no link reached the shell")
        with open(mail, encoding="utf-8") as handed:
            link = re.search(r'"(mailto:[^"]*)"', handed.read()).group(1)
        self.assertRegex(link, r"^mailto:\?subject=[A-Za-z0-9%._~-]*&body=[A-Za-z0-9%._~-]*$")
        subject, body = [urllib.parse.unquote(f.split("=", 1)[1]) for f in link[8:].split("&")]
        today = datetime.date.today().isoformat()
        text = " ".join("%s, %s, %s\u00b0F - %s\u00b0F;" % (
            d["day"], d["skytextday"], d["low"], d["high"])
            for d in [d for d in days[0] if d["date"] >= today][:3])
        self.assertEqual(subject, "Calgary  Forecast")
        self.assertEqual(body, "Calgary Forecast: %s by Brisalune, see more at %s/pr/brisalune"
                         % (text, self.service.url))

        # The site announces a newer version with its news.
        self.assertTrue(program.ok("command", CHECK_VERSION))
        shown = wait_for(lambda: program.dialog("Check latest version"), 30)
        self.assertTrue(shown, program.driver("dialog")[1])
        self.assertEqual(program.text(1008), "2.0 is available\r\n Sharper condition pictures, "
                                             "quicker refreshes and more cities.")
        program.driver("escape-dialog")
        self.assertTrue(program.closed())

        # Exit while a refresh waits for the last city: the answers that came in are kept.
        self.service.get("/_control/mode", mode="sky:17")
        self.service.get("/_control/mode", location=CITIES[2][1], mode="stall:60")
        self.assertTrue(program.ok("command", REFRESH))
        # One city at a time: the last city's request means both others have their answers.
        self.assertTrue(wait_for(lambda: self.service.count(location=CITIES[2][1]) >= 2, 30))
        self.exits(program, process)
        kept = program.days()
        self.assertEqual([{d["skycodeday"] for d in city} for city in kept[:2]], [{"17"}] * 2)
        self.assertEqual(kept[2], days[2])

        # Started in the tray with the weather service dead: every city moves to the other
        # service, from today on; a second start wakes the first and shows its rows.
        self.service.get("/_control/reset")
        self.service.get("/_control/mode", path="/data.aspx", mode="status:500")
        first = self.started(program, "-s")
        time.sleep(1)
        self.assertEqual(program.driver("visible")[1].strip(), "0", "-s starts in the tray")
        cities = wait_for(lambda: (lambda c: c if c and all(
            city.get("source") == "open-meteo" and len(city.findall("forecast")) == 7
            for city in c) else None)(program.cities()), 90)
        self.assertTrue(cities, "not every city moved: %r" % program.days())
        self.assertEqual([c.find("forecast").get("date") for c in cities], [today] * 3)
        self.assertEqual(program.start().wait(timeout=30), 0)
        self.assertTrue(wait_for(lambda: program.driver("visible")[1].strip() == "1", 20))
        self.assertTrue(program.rows(3), program.driver("rows")[1])
        self.assertIsNone(first.poll(), "the first instance goes on")
        self.exits(program, first)

    def test_the_release_unzipped_adds_and_removes_a_city_by_keys_and_starts_on_boot(self):
        with zipfile.ZipFile(ARGS.zip) as release:
            names = release.namelist()
            credits = release.read("Brisalune/licences/CREDITS.txt").decode("utf-8")
            parent = os.path.abspath(os.path.join(self.work, "Mes programmes",
                                                  "M\u00e9t\u00e9o \u00e0 Z\u00fcrich"))
            release.extractall(parent)
        # One folder, to unzip anywhere, with every licence its credits name.
        self.assertEqual(sorted({"/".join(name.split("/")[:2]) for name in names} -
                                {"Brisalune/"}),
                         ["Brisalune/Brisalune.exe", "Brisalune/README.txt",
                          "Brisalune/img", "Brisalune/licences"])
        for text in sorted(set(re.findall(r"[\w.-]+\.txt", credits))):
            self.assertIn("Brisalune/licences/" + text, names, "CREDITS.txt names " + text)

        # The first start opens Add City; the city added is refreshed and drawn with the
        # release's own pictures.
        program = self.program(os.path.join(parent, "Brisalune"), cities=None, install=False)
        self.addCleanup(program.driver, "run-entry", "remove")
        program.driver("run-entry", "remove")
        process = self.started(program)
        self.assertTrue(program.ok("wait-dialog", "add", "30"), "no Add City at the first start")
        self.assertEqual(program.state("add"),
                         {"title": "Add City", "rows": "237", "selected": "-1", "focus": "0"})
        for typed, title in [("switz", "Switzerland"), ("zur", "Switzerland -> Zurich")]:
            self.assertTrue(program.ok("type", typed))
            self.assertEqual(program.state("add")["rows"], "1", "after typing " + typed)
            program.driver("key", "down")
            state = program.state("add")
            self.assertEqual((state["selected"], state["focus"]), ("0", "1"),
                             "Down leads into the list onto its first row")
            program.driver("key", "return")
            self.assertTrue(wait_for(lambda: program.state("add")["title"] == title, 10),
                            "Enter opens the row: %r" % program.state("add"))
        # Typed without the accent, the city is found all the same.
        program.driver("type", "zur")
        self.assertEqual(program.state("add")["rows"], "1")
        program.driver("key", "down")
        program.driver("key", "return")
        self.assertTrue(program.ok("wait-dialog", "query", "10"), "no question")
        program.driver("key", "return")
        self.assertTrue(wait_for(lambda: (lambda d: d and len(d) == 1 and len(d[0]) == 5)(
            program.days()), 60), "citylist.xml: %r" % program.days())
        self.assertEqual([(c.get("name"), c.get("param")) for c in program.cities()],
                         [CITIES[1]])
        self.assertTrue(program.rows(1), program.driver("rows")[1])
        # The folder is writable, so the files stay beside the program.
        self.assertEqual(glob.glob(os.path.join(os.environ["WINEPREFIX"], "drive_c", "users", "*",
                                                "AppData", "Roaming", "Brisalune")), [])

        # Remove City, again with keys alone.
        self.assertTrue(program.ok("command", REMOVE_CITY))
        self.assertTrue(program.ok("wait-dialog", "remove", "20"))
        program.driver("key", "down")
        self.assertEqual(program.state("remove")["selected"], "0")
        program.driver("key", "return")
        self.assertTrue(program.ok("wait-dialog", "query", "10"), "no question")
        program.driver("key", "return")
        self.assertTrue(wait_for(lambda: program.days() == [], 20), program.days())
        self.assertTrue(wait_for(lambda: "rows 0" in program.driver("rows")[1], 10))
        self.assertIsNone(program.state("remove"), "Remove City ends after the removal")

        # Start on boot, ticked in Settings, is a quoted Run entry that starts in the tray.
        self.assertTrue(program.ok("command", SETTINGS))
        self.assertTrue(wait_for(lambda: program.dialog("Settings"), 20))
        program.driver("click", "1018")
        program.driver("click", "1016")
        self.assertTrue(program.closed())
        self.exits(program, process)
        # Through a file: the program the driver starts would keep a pipe of ours open.
        with open(os.path.join(self.work, "run-entry.txt"), "w+") as out:
            subprocess.run([WINE, ARGS.driver, "run-entry", "start"], env=program.env,
                           stdout=out, stderr=subprocess.DEVNULL, timeout=120)
            out.seek(0)
            line = out.read().strip()
        self.assertEqual(bytes.fromhex(line).decode(),
                         '"%s\\Brisalune.exe" -s' % windows_path(program.directory))
        self.assertTrue(program.ok("wait-widget", "60"))
        time.sleep(1)
        self.assertEqual(program.driver("visible")[1].strip(), "0")
        self.assertTrue(program.ok("exit"))


def main():
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__)
    for option in ("--exe", "--driver", "--mail-catcher", "--zip", "--work"):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    os.makedirs(ARGS.work, exist_ok=True)
    unittest.main(argv=[sys.argv[0], "-v", *rest])


if __name__ == "__main__":
    main()
