#!/usr/bin/env python3
"""The whole program on a scaled display: Brisalune.exe under Wine at 144 and 192 DPI (150 %
and 200 %), with screenshots of the widget, the details window and Add City for a person to
look at. Wine reads the DPI from the registry when a process starts; the test sets it for its
programs and puts it back afterwards, so the tests after it run at 96 DPI again.

Run by CTest like e2e_test.py:
    e2e_dpi_test.py --exe Brisalune.exe --driver driver.exe --mail-catcher catcher.exe --work DIR
"""
import os
import re
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_test as e2e  # noqa: E402

DESKTOP = "HKCU\\Control Panel\\Desktop"


def read_dpi():
    """The LogPixels value as it stands, or None when there is none."""
    query = subprocess.run([e2e.WINE, "reg", "query", DESKTOP, "/v", "LogPixels"],
                           capture_output=True, text=True)
    found = re.search(r"LogPixels\s+REG_DWORD\s+0x([0-9a-fA-F]+)", query.stdout)
    return int(found.group(1), 16) if found else None


def write_dpi(dpi):
    if dpi is None:
        subprocess.run([e2e.WINE, "reg", "delete", DESKTOP, "/v", "LogPixels", "/f"],
                       capture_output=True)
    else:
        subprocess.run([e2e.WINE, "reg", "add", DESKTOP, "/v", "LogPixels", "/t", "REG_DWORD",
                        "/d", str(dpi), "/f"], capture_output=True, check=True)


def whole_screen(program, path):
    raw = path + ".ppm"
    if program.driver("screenshot", e2e.windows_path(raw))[0] != 0:
        raise RuntimeError("no screenshot")
    subprocess.run(["convert", raw, path], check=True)
    os.remove(raw)


class DisplayScaling(unittest.TestCase):
    def setUp(self):
        self.work = os.path.join(e2e.ARGS.work, "display-scaling")
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        self.service = e2e.Service(self.work)
        self.addCleanup(self.service.stop)

    def program(self, directory):
        program = e2e.Program(os.path.join(self.work, directory), self.service)
        self.addCleanup(program.stop)
        return program

    def test_widget_details_and_add_city_at_150_and_200_percent(self):
        before = read_dpi()
        self.addCleanup(write_dpi, before)
        for dpi in (144, 192):
            with self.subTest(dpi=dpi):
                write_dpi(dpi)
                self.run_at(dpi)

    def run_at(self, dpi):
        program = self.program("program-%d" % dpi)
        process = program.start()
        self.assertEqual(program.driver("wait-widget", "60")[0], 0, "the widget never appeared")

        # Every row shows its picture once the forecasts are in.
        def rows_done():
            code, out = program.driver("rows")
            lines = [line for line in out.split("\n") if line.startswith("row ")]
            done = code == 0 and len(lines) == 3 and all("picture 1" in line for line in lines)
            return out if done else None
        self.assertTrue(e2e.wait_for(rows_done, 90, step=0.5),
                        "rows on screen: %s" % program.driver("rows")[1])
        time.sleep(1)
        whole_screen(program, os.path.join(e2e.ARGS.work, "widget-%d.png" % dpi))

        program.driver("open-row", "1")
        shown = e2e.wait_for(lambda: e2e.shown_dialog(program, "Z\u00fcrich Forecast"), 20)
        self.assertTrue(shown, "no details window: %s" % program.driver("dialog")[1])
        time.sleep(0.5)
        e2e.screenshot(program, os.path.join(e2e.ARGS.work, "details-%d.png" % dpi), shown)
        program.driver("escape-dialog")
        self.assertTrue(e2e.wait_for(lambda: program.driver("dialog")[0] == 3, 10))

        program.driver("command", "32772")
        self.assertEqual(program.driver("wait-dialog", "add", "30")[0], 0, "no Add City")
        self.assertEqual(program.state("add")["rows"], "237")
        time.sleep(0.5)
        shown = e2e.wait_for(lambda: e2e.shown_dialog(program, "Add City"), 10)
        self.assertTrue(shown, "Add City is not over the widget")
        e2e.screenshot(program, os.path.join(e2e.ARGS.work, "add-city-%d.png" % dpi), shown)
        program.driver("escape-dialog")
        self.assertTrue(e2e.wait_for(lambda: program.driver("dialog")[0] == 3, 10))

        self.assertEqual(program.driver("exit")[0], 0)
        self.assertEqual(process.wait(timeout=30), 0)


if __name__ == "__main__":
    import argparse
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--mail-catcher", required=True)
    parser.add_argument("--work", required=True)
    e2e.ARGS, rest = parser.parse_known_args()
    os.makedirs(e2e.ARGS.work, exist_ok=True)
    unittest.main(argv=[sys.argv[0], "-v", *rest])
