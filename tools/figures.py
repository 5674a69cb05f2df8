#!/usr/bin/env python3
"""Figures of the whole program under Wine, printed for `make figures`; nothing here passes or
fails on a figure.

- start to the first painted row with 50 cities on disk, beside a bare dialog built the same
  way (bench/win), several runs each, min and median;
- private memory with 1, 100 and 1,000 cities, and after 10,000 refreshes against the stand-in;
- GDI, USER and kernel object counts after 1,000 repaints and 100 openings of each dialog;
- wake-ups of every thread while idle for 60 s with refreshes set to manual, beside the bare
  dialog.

Runs inside an X server with the project's Wine prefix ready and its wineserver up (the
Makefile's figures target does both):
    figures.py --build build/mingw [--runs N] [--refreshes N] [--repaints N] [--openings N]
               [--dialog NAME] [--idle SECONDS]
"""
import argparse
import glob
import os
import re
import shutil
import statistics
import subprocess
import sys
import time
import xml.etree.ElementTree as ET
from xml.sax.saxutils import quoteattr

from standin import ROOT, WINE, Service, wait_for, windows_path

STRIP = "x86_64-w64-mingw32-strip"
REFRESH = "32774"  # the tray menu's Refresh
IDC_REFRESH = "1022"  # the widget's Refresh button
IDCANCEL = "2"  # the bare dialog's Close button
MANUAL = ('<Settings><unit val="0" /><timeval timeval="0" /><days days="3" />'
          '<startonboot startonboot="0" /></Settings>\n')


def catalogue_cities(count):
    """The first `count` cities of the catalogue, country by country, as (name, param)."""
    cities = []
    for document in sorted(glob.glob(os.path.join(ROOT, "res", "catalogue", "*.xml"))):
        if os.path.basename(document) == "countrylist.xml":
            continue
        for city in ET.parse(document).getroot().iter("city"):
            cities.append((city.get("name"), city.get("param")))
            if len(cities) == count:
                return cities
    return cities


class Figures:
    def __init__(self, args):
        self.args = args
        self.build = os.path.abspath(args.build)
        self.work = os.path.join(self.build, "figures")
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        self.service = Service(self.work)
        self.env = dict(os.environ, BRISALUNE_WEATHER_URL=self.service.url,
                        BRISALUNE_SITE_URL=self.service.url)
        for proxy in ("http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY"):
            self.env.pop(proxy, None)
        self.exe = os.path.join(self.build, "Brisalune.exe")
        self.bare = os.path.join(self.build, "bench", "win", "bare_dialog.exe")
        self.probe_exe = os.path.join(self.build, "bench", "win", "figures_probe.exe")
        self.driver_exe = os.path.join(self.build, "tests", "e2e", "e2e_driver.exe")
        self.forecasts = {}
        self.processes = []

    # ---- programs ----------------------------------------------------------------------

    @staticmethod
    def install(exe, directory):
        """The exe as the release carries it: its debugging data stripped. Wine copies the
        whole image into private memory, and the build's 20-odd megabytes of debugging data
        would count as the program's."""
        subprocess.run([STRIP, "--strip-all", "-o", os.path.join(directory, os.path.basename(exe)),
                        exe], check=True)

    def forecast_of(self, param):
        """The stand-in's days for a city, as the program keeps them on disk."""
        if param not in self.forecasts:
            self.forecasts[param] = self.service.forecast(param)
        return self.forecasts[param]

    def program(self, name, cities, settings=None):
        """A program directory with `cities` on disk, each with the forecast the stand-in
        would bring, so a refresh changes nothing on the screen."""
        directory = os.path.join(self.work, name)
        os.makedirs(directory)
        self.install(self.exe, directory)
        shutil.copytree(os.path.join(self.build, "img"), os.path.join(directory, "img"))
        lines = ["<citylist>"]
        for city_name, param in cities:
            lines.append("<city name=%s param=%s>" % (quoteattr(city_name), quoteattr(param)))
            for day in self.forecast_of(param):
                lines.append("<forecast %s />" % " ".join(
                    "%s=%s" % (key, quoteattr(day.get(key, ""))) for key in
                    ("low", "high", "skycodeday", "skytextday", "date", "day", "shortday",
                     "precip")))
            lines.append("</city>")
        lines.append("</citylist>")
        with open(os.path.join(directory, "citylist.xml"), "w", encoding="utf-8") as out:
            out.write("\n".join(lines) + "\n")
        if settings is not None:
            with open(os.path.join(directory, "settings.xml"), "w") as out:
                out.write(settings)
        return directory

    def start(self, directory, exe_name="Brisalune.exe"):
        process = subprocess.Popen([WINE, exe_name], cwd=directory, env=self.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(process)
        return process

    def wine(self, exe, *arguments, timeout=3600):
        result = subprocess.run([WINE, exe, *arguments], env=self.env, capture_output=True,
                                text=True, timeout=timeout)
        return result.returncode, result.stdout

    def driver(self, *arguments):
        return self.wine(self.driver_exe, *arguments, timeout=120)

    def probe(self, *arguments):
        return self.wine(self.probe_exe, *arguments)

    def stop(self, process):
        if self.driver("exit")[0] == 0:
            try:
                process.wait(timeout=15)
            except subprocess.TimeoutExpired:
                pass
        if process.poll() is None:
            process.kill()
            process.wait(timeout=10)

    def start_widget(self, directory, refreshed):
        """Starts the program and waits for its window and, when `refreshed` cities are due
        at start, for the stand-in to have answered them all and the program to go quiet."""
        self.service.get("/_control/reset")
        process = self.start(directory)
        if self.driver("wait-widget", "60")[0] != 0:
            raise RuntimeError("the widget did not appear")
        if refreshed and not wait_for(lambda: self.service.count(path="/data.aspx") >= refreshed,
                                      600, 0.5):
            raise RuntimeError("the refresh at start did not reach every city")
        time.sleep(3)
        return process

    def unix_pid(self, directory, exe_name):
        """The Linux process that runs the exe of this program directory: the one that has that
        very file mapped."""
        path = os.path.join(directory, exe_name)
        for maps in glob.glob("/proc/[0-9]*/maps"):
            try:
                with open(maps) as text:
                    if path in text.read():
                        return int(maps.split("/")[2])
            except OSError:
                continue
        raise RuntimeError("no process runs " + path)

    # ---- the figures -------------------------------------------------------------------

    def start_figures(self):
        cities = catalogue_cities(50)
        widget = self.program("start-widget", cities)
        bare = os.path.join(self.work, "start-bare")
        os.makedirs(bare)
        self.install(self.bare, bare)
        code, out = self.probe("start", windows_path(os.path.join(widget, "Brisalune.exe")),
                               windows_path(widget),
                               windows_path(os.path.join(bare, "bare_dialog.exe")),
                               windows_path(bare), str(self.args.runs))
        times = {"bare": [], "widget": []}
        shown = {"bare": [], "widget": []}
        for line in out.splitlines():
            found = re.match(r"start (\w+) ([\d.]+) shown ([\d.]+)$", line)
            if found:
                times[found.group(1)].append(float(found.group(2)))
                shown[found.group(1)].append(float(found.group(3)))
        if code != 0 or not times["bare"] or not times["widget"]:
            raise RuntimeError("start figures failed:\n" + out)
        bare_median = statistics.median(times["bare"])
        widget_median = statistics.median(times["widget"])
        print("Start to the first painted row, %d runs each (the widget with %d cities on disk)"
              % (len(times["widget"]), len(cities)))
        print("  %-12s %9s %9s" % ("", "min", "median"))
        print("  %-12s %6.0f ms %6.0f ms" % ("bare dialog", min(times["bare"]), bare_median))
        print("  %-12s %6.0f ms %6.0f ms" % ("Brisalune", min(times["widget"]), widget_median))
        print("  %-12s %9.2f %9.2f" % ("ratio", min(times["widget"]) / min(times["bare"]),
                                        widget_median / bare_median))
        print("  (window shown, median: bare dialog %.0f ms, Brisalune %.0f ms)"
              % (statistics.median(shown["bare"]), statistics.median(shown["widget"])))
        print("  runs (ms): bare dialog %s" % " ".join("%.0f" % t for t in times["bare"]))
        print("             Brisalune   %s" % " ".join("%.0f" % t for t in times["widget"]))
        print(flush=True)

    @staticmethod
    def memory(pid):
        """(RssAnon, VmRSS) of a Linux process in KiB."""
        with open("/proc/%d/status" % pid) as text:
            fields = dict(line.split(":", 1) for line in text if ":" in line)
        return (int(fields["RssAnon"].split()[0]), int(fields["VmRSS"].split()[0]))

    def refresh_rounds(self, rounds, cities):
        """`rounds` refreshes of every city from the tray's Refresh, one after the other."""
        for _ in range(rounds):
            before = self.service.count(path="/data.aspx")
            self.driver("command", REFRESH)
            if not wait_for(lambda: self.service.count(path="/data.aspx") >= before + cities, 300,
                            0.05):
                raise RuntimeError("a refresh did not reach every city")
        time.sleep(3)

    def log_size(self):
        code, out = self.probe("log-size")
        found = re.search(r"log (\d+)", out)
        return int(found.group(1)) if code == 0 and found else None

    def refreshes(self, pid, cities, at_start):
        """Private memory every tenth of the refreshes, all cities each time, and what the
        refresh log and Wine's WinInet alone account for."""
        rounds = max(self.args.refreshes // cities, 10)
        samples = []
        logs = []
        for _ in range(10):
            self.refresh_rounds(rounds // 10, cities)
            samples.append(self.memory(pid)[0])
            if not logs:
                logs.append(self.log_size())
        logs.append(self.log_size())
        done = rounds // 10 * 10 * cities
        print("  %-36s %7.1f MiB" % ("after %d more refreshes" % done, samples[-1] / 1024))
        print("  private every %d refreshes (MiB): %s" % (
            done // 10, " ".join("%.2f" % (sample / 1024) for sample in samples)))
        print("  change over the %d refreshes: %+.2f %% from start, %+.2f %% from the first "
              "%d on" % (done, 100.0 * (samples[-1] - at_start) / at_start,
                         100.0 * (samples[-1] - samples[0]) / samples[0], done // 10))
        later = done - done // 10
        print("  growth after the first %d: %.0f bytes per refresh" % (
            done // 10, (samples[-1] - samples[0]) * 1024.0 / later))
        if None not in logs:
            print("  of which the refresh log's text: %.0f bytes per refresh (%d characters "
                  "now; it keeps the newest 1 MiB)" % ((logs[1] - logs[0]) / later, logs[1]))
        requests = max(done // 5, 100)
        code, out = self.probe("wininet", str(requests))
        found = re.search(r"wininet \d+ answered \d+ private (\d+) (\d+)", out)
        if code == 0 and found:
            print("  Wine's WinInet alone, %d plain GETs in a process of their own: %.0f bytes "
                  "per request" % (requests, (int(found.group(2)) - int(found.group(1))) * 1024.0
                                   / requests))
        else:
            print("  (the plain WinInet GETs failed: %s)" % out.strip())
        sys.stdout.flush()

    def memory_figures(self):
        print("Private memory: RssAnon of the Wine process (Wine reports it as PagefileUsage "
              "and leaves PrivateUsage 0); VmRSS beside it")
        print("  %-36s %10s %10s" % ("", "private", "VmRSS"))
        for count in (1, 100, 1000):
            directory = self.program("memory-%d" % count, catalogue_cities(count))
            process = self.start_widget(directory, count)
            pid = self.unix_pid(directory, "Brisalune.exe")
            private, rss = self.memory(pid)
            label = "%d cit%s, refreshed at start" % (count, "y" if count == 1 else "ies")
            print("  %-36s %7.1f MiB %7.1f MiB" % (label, private / 1024, rss / 1024), flush=True)
            if count == 100:
                self.refreshes(pid, count, private)
            self.stop(process)
        print(flush=True)

    def objects_figures(self):
        cities = catalogue_cities(50)
        directory = self.program("objects", cities)
        process = self.start_widget(directory, len(cities))
        code, out = self.probe("counts")
        system = re.search(r"system-calls (.*)", out)
        code, out = self.probe("handles", str(self.args.repaints), str(self.args.openings),
                               *([self.args.dialog] if self.args.dialog else []))
        self.stop(process)
        rows = re.findall(r"counts (\S+) (-?\d+) (-?\d+) (-?\d+) (-?\d+)", out)
        if code != 0 or not rows:
            raise RuntimeError("object counts failed:\n" + out)
        print("Objects of the widget: GDI = live entries of its GDI handle table, USER = its "
              "windows (top-level, message-only, children), kernel = its handles in Wine's "
              "list of all handles")
        if system:
            print("  (Wine's own answers: %s)" % system.group(1))
        print("  %-36s %6s %6s %6s %9s" % ("", "GDI", "USER", "kernel", "private"))
        labels = {"start": "at start",
                  "warm": "after one opening of each dialog",
                  "repaints": "after %d repaints" % self.args.repaints}
        firsts = [row for row in rows if row[0].startswith("first-")]
        rows = [row for row in rows if not row[0].startswith("first-")]
        kept = []
        previous = rows[0]
        for row in firsts:
            change = [int(now) - int(was) for now, was in zip(row[1:4], previous[1:4])]
            if any(change):
                kept.append("%s %s" % (row[0][len("first-"):],
                                       "/".join("%+d" % value for value in change)))
            previous = row
        growth = []
        for number, (phase, gdi, user, kernel, private) in enumerate(rows):
            label = labels.get(phase, "after %d openings of %s" % (self.args.openings, phase))
            print("  %-36s %6s %6s %6s %5.2f MiB" % (label, gdi, user, kernel,
                                                      int(private) / 1024))
            if number >= 3:
                per_opening = (int(private) - int(rows[number - 1][4])) * 1024.0 / \
                    self.args.openings
                if per_opening >= 100:
                    growth.append("%s %+.0f B" % (phase, per_opening))
        warm = next(row for row in rows if row[0] == "warm")[1:4]
        last = rows[-1][1:4]
        print("  GDI, USER and kernel unchanged from the first openings to the end: %s"
              % ("yes" if warm == last else "no (%s -> %s)" % (" ".join(warm), " ".join(last))))
        came = re.search(r"handles-came(.*)", out)
        went = re.search(r"handles-went (\d+)", out)
        if came and went and (came.group(1).strip() or went.group(1) != "0"):
            print("  kernel handles since the first openings: came %s; went %s"
                  % (came.group(1).strip() or "none", went.group(1)))
        print("  kept by the first opening of a dialog (GDI/USER/kernel): %s"
              % (", ".join(kept) or "none"))
        print("  private memory per opening, where 100 bytes or more: %s"
              % (", ".join(growth) or "none"))
        code, box = self.probe("edit-box", str(self.args.openings))
        found = re.search(r"edit-box (\d+) private (\d+) (\d+)", box)
        if code == 0 and found:
            print("  Wine's multi-line text box alone, made with the Help text and destroyed "
                  "%s times in a process of its own: %+.0f B each" % (
                      found.group(1), (int(found.group(3)) - int(found.group(2))) * 1024.0
                      / int(found.group(1))))
        for line in out.splitlines():
            if line.startswith(("repaints ", "openings ")):
                print("  (%s)" % line)
        print(flush=True)

    @staticmethod
    def switches(pid):
        """Per thread: voluntary and involuntary context switches so far."""
        counts = {}
        for status in glob.glob("/proc/%d/task/*/status" % pid):
            try:
                with open(status) as text:
                    fields = dict(line.split(":", 1) for line in text if ":" in line)
            except OSError:
                continue
            counts[int(status.split("/")[4])] = (int(fields["voluntary_ctxt_switches"]),
                                                 int(fields["nonvoluntary_ctxt_switches"]))
        return counts

    def idle(self, pid):
        before = self.switches(pid)
        time.sleep(self.args.idle)
        after = self.switches(pid)
        woken = {}
        for tid, (voluntary, involuntary) in after.items():
            was = before.get(tid, (0, 0))
            woken[tid] = (voluntary - was[0], involuntary - was[1])
        return woken

    def rest_pointer(self, point):
        self.probe("pointer", *[str(value) for value in point])
        # Time for a button under it to light up, and for a window it left to hear of it.
        time.sleep(2)

    def wakeups_figures(self):
        print("Wake-ups while idle for %d s: context switches (voluntary + involuntary) of every "
              "thread of the Wine process, refreshes set to manual" % self.args.idle)
        away = (5, 5)  # the empty desktop
        directory = self.program("idle-widget", catalogue_cities(50), settings=MANUAL)
        process = self.start_widget(directory, 0)
        pid = self.unix_pid(directory, "Brisalune.exe")
        found = re.search(r"at (-?\d+) (-?\d+)", self.probe("where", IDC_REFRESH)[1])
        if not found:
            raise RuntimeError("the Refresh button was not found")
        on_button = (int(found.group(1)), int(found.group(2)))
        self.rest_pointer(away)
        widget = [self.idle(pid)]
        self.rest_pointer(on_button)
        widget.append(self.idle(pid))
        self.stop(process)

        bare_directory = os.path.join(self.work, "idle-bare")
        os.makedirs(bare_directory)
        self.install(self.bare, bare_directory)
        process = self.start(bare_directory, "bare_dialog.exe")
        time.sleep(5)
        pid = self.unix_pid(bare_directory, "bare_dialog.exe")
        found = re.search(r"at (-?\d+) (-?\d+)", self.probe("where", IDCANCEL, "bare")[1])
        if not found:
            raise RuntimeError("the bare dialog's Close button was not found")
        self.rest_pointer(away)
        bare = [self.idle(pid)]
        self.rest_pointer((int(found.group(1)), int(found.group(2))))
        bare.append(self.idle(pid))
        process.kill()
        process.wait(timeout=10)

        print("  %-12s %22s %34s" % ("", "pointer on the desktop",
                                     "pointer resting on a button"))
        for label, runs in (("bare dialog", bare), ("Brisalune", widget)):
            print("  %-12s %22d %34d" % (label, *[sum(v + i for v, i in woken.values())
                                                  for woken in runs]))
        for label, runs in (("bare dialog", bare), ("Brisalune", widget)):
            for where, woken in zip(("the desktop", "a button"), runs):
                print("  (%s, pointer on %s, per thread oldest first, voluntary+involuntary: %s)"
                      % (label, where, " ".join("%d+%d" % woken[tid] for tid in sorted(woken))))
        print(flush=True)

    def close(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait(timeout=10)
        self.service.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True, help="the MinGW build directory")
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("--refreshes", type=int, default=10000)
    parser.add_argument("--repaints", type=int, default=1000)
    parser.add_argument("--openings", type=int, default=100)
    parser.add_argument("--idle", type=int, default=60)
    parser.add_argument("--dialog", help="the openings of this dialog alone (the probe's name)")
    parser.add_argument("--only", choices=("start", "memory", "objects", "wakeups"),
                        action="append", help="only these figures (repeatable)")
    args = parser.parse_args()
    figures = Figures(args)
    try:
        version = subprocess.run([WINE, "--version"], capture_output=True, text=True).stdout
        print("Brisalune figures under %s in Xvfb, %s" % (version.strip() or "Wine",
                                                          time.strftime("%Y-%m-%d %H:%M")))
        print(flush=True)
        for name in ("start", "memory", "objects", "wakeups"):
            if args.only is None or name in args.only:
                getattr(figures, name + "_figures")()
    finally:
        figures.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
