#!/usr/bin/env python3
"""Tests of the stand-in service itself: python3 -m unittest test_fake_service (in this folder)."""

import datetime
import http.client
import json
import os
import socket
import subprocess
import sys
import threading
import time
import unittest
import urllib.parse
import urllib.request
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fake_service as fs  # noqa: E402

TODAY = datetime.date(2026, 1, 15)
CALGARY = "wc:5913490&q=Calgary%2c+CAN"
FORECAST_ATTRS = {"low", "high", "skycodeday", "skytextday", "date", "day", "shortday",
                  "precip"}
SNOWY = {5, 6, 7, 8, 10, 13, 14, 15, 16, 18, 25, 41, 42, 43, 46}


class ServiceCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = fs.Server(0, fs.State("2.0", "News", TODAY), quiet=True)
        threading.Thread(target=cls.server.serve_forever, daemon=True).start()
        cls.base = cls.server.base_url

    @classmethod
    def tearDownClass(cls):
        cls.server.shutdown()
        cls.server.server_close()

    def setUp(self):
        self.get("/_control/reset")

    def get(self, path, data=None):
        """(status, body) without following redirects."""
        conn = http.client.HTTPConnection("127.0.0.1", self.server.server_address[1], timeout=20)
        conn.request("POST" if data is not None else "GET", path, body=data)
        answer = conn.getresponse()
        result = answer.status, answer.read()
        conn.close()
        return result

    def weather(self, location):
        return self.get("/data.aspx?weadegreetype=F&wealocations=" + location)

    def forecasts(self, body):
        return ET.fromstring(body)[0].findall("forecast")

    def connect(self, location, timeout=10):
        sock = socket.create_connection(self.server.server_address, timeout=timeout)
        sock.sendall(b"GET /data.aspx?weadegreetype=F&wealocations=" + location.encode()
                     + b" HTTP/1.1\r\nHost: x\r\n\r\n")
        return sock

    def raw(self, location):
        """Every byte the server sends, up to its closing the connection."""
        sock, data = self.connect(location), b""
        try:
            for chunk in iter(lambda: sock.recv(65536), b""):
                data += chunk
        finally:
            sock.close()
        head, _, body = data.partition(b"\r\n\r\n")
        return head.decode(), body


class ForecastTest(ServiceCase):
    def test_answer_has_the_services_shape_and_stays_the_same(self):
        status, body = self.weather(CALGARY)
        self.assertEqual(status, 200)
        self.assertTrue(body.startswith(b'<?xml version="1.0"?>\n<weatherdata '))
        weather = ET.fromstring(body)[0]
        self.assertEqual(weather.get("weatherlocationname"), "Calgary, CAN")
        self.assertEqual([c.tag for c in weather], ["current"] + ["forecast"] * 5 + ["toolbar"])
        for offset, day in enumerate(weather.findall("forecast"), start=-1):
            date = TODAY + datetime.timedelta(days=offset)
            self.assertEqual(set(day.attrib), FORECAST_ATTRS)
            self.assertEqual((day.get("date"), day.get("day")),
                             (date.isoformat(), date.strftime("%A")))
            self.assertLess(int(day.get("low")), int(day.get("high")))
            self.assertEqual(day.get("precip") == "", offset == -1)
        self.assertEqual(self.weather(CALGARY)[1], body)
        escaped = self.weather("wc:5913490&amp;q=Calgary%2c+CAN")[1]
        self.assertEqual(ET.fromstring(escaped)[0].get("weatherlocationname"), "Calgary, CAN")

    def test_temperatures_and_skies_fit_place_and_season(self):
        def days(place, day):
            return ET.fromstring(fs.build_forecast(place, day, []))[0].findall("forecast")
        january, july = datetime.date(2026, 1, 15), datetime.date(2026, 7, 15)
        for place, day, low, high in (("wc:1&q=Yakutsk%2c+RUS", january, -100, 10),
                                      ("wc:1&q=Yakutsk%2c+RUS", july, 55, 120),
                                      ("wc:2&q=Singapore%2c+SGP", january, 78, 95)):
            for forecast in days(place, day):
                self.assertTrue(low <= int(forecast.get("high")) <= high, (place, day))
        # Tomorrow's numbers for a date stay what they were today.
        self.assertEqual([d.attrib for d in days(CALGARY, january)[2:]],
                         [d.attrib for d in days(CALGARY, january.replace(day=16))[1:4]])
        seen = set()
        for n in range(300):
            for day in days("wc:%d&q=Place+%d" % (n, n), TODAY):
                code = int(day.get("skycodeday"))
                seen.add(code)
                self.assertEqual(day.get("skytextday"), fs.SKY_TEXTS[code])
                if code in SNOWY:
                    self.assertLessEqual(int(day.get("low")), 32, day.attrib)
        self.assertGreater(len(seen), 25)

    def test_directives_that_shape_the_forecast(self):
        for code in (0, 17, 47):
            days = self.forecasts(self.weather("sky:%d" % code)[1])
            self.assertEqual({(int(d.get("skycodeday")), d.get("skytextday")) for d in days},
                             {(code, fs.SKY_TEXTS[code])})
        days = self.forecasts(self.weather("sky:1,2,3/" + CALGARY)[1])
        self.assertEqual([d.get("skycodeday") for d in days], ["1", "2", "3", "3", "3"])
        body = self.weather("lang:ru/wc:3&q=%e6%9d%b1%e4%ba%ac%2c+JPN")[1]
        weather = ET.fromstring(body)[0]
        self.assertEqual(weather.get("weatherlocationname"), "東京, JPN")
        self.assertIn(weather.find("forecast").get("day"), fs.DAY_NAMES["ru"][0])
        for location, count in (("", 0), ("unknown/" + CALGARY, 0), ("strict/nowhere", 0),
                                ("strict/" + CALGARY, 5), ("days:0/" + CALGARY, 0),
                                ("days:8/" + CALGARY, 8), ("forecasts:3/" + CALGARY, 3)):
            self.assertEqual(len(self.forecasts(self.weather(location)[1])), count, location)
        self.assertEqual(self.weather("forecasts")[1].count(b"<forecast/>"), 1000000)


class OpenMeteoTest(ServiceCase):
    QUERY = ("/v1/forecast?latitude=51.05011&longitude=-114.08529&daily=weather_code,"
             "temperature_2m_max,temperature_2m_min,precipitation_probability_max"
             "&temperature_unit=fahrenheit&timezone=auto")
    PLACE = "51.05011,-114.08529"

    def forecast(self, mode=None, query=QUERY):
        if mode is not None:
            self.get("/_control/mode?location=%s&mode=%s" % (self.PLACE, mode))
        return self.get(query)

    def test_answer_has_the_documented_shape_and_stays_the_same(self):
        status, body = self.forecast()
        self.assertEqual(status, 200)
        answer = json.loads(body)
        self.assertEqual(answer["daily_units"]["temperature_2m_max"], "°F")
        self.assertEqual(answer["timezone"], "Etc/GMT+8")
        daily = answer["daily"]
        self.assertEqual(list(daily), ["time"] + list(fs.OPEN_METEO_DAILY))
        self.assertEqual(daily["time"], [(TODAY + datetime.timedelta(days=i)).isoformat()
                                         for i in range(7)])
        for low, high, code, chance in zip(daily["temperature_2m_min"],
                                           daily["temperature_2m_max"], daily["weather_code"],
                                           daily["precipitation_probability_max"]):
            self.assertLess(low, high)
            self.assertIn(code, (0, 1, 2, 3, 45, 51, 53, 56, 57, 61, 63, 65, 66, 67, 71, 73, 75,
                                 77, 80, 81, 82, 85, 86, 95, 96, 99))
            self.assertTrue(0 <= chance <= 100)
        self.assertEqual(self.forecast()[1], body)
        celsius = json.loads(self.get(self.QUERY.replace("fahrenheit", "celsius"))[1])
        self.assertEqual(celsius["daily"]["temperature_2m_max"][0],
                         round((daily["temperature_2m_max"][0] - 32) * 5 / 9, 1))
        self.assertEqual(self.get("/_control/count?location=" + self.PLACE)[1], b"3\n")

    def test_misbehaviours_of_the_json_answer(self):
        def daily(mode):
            status, body = self.forecast(mode)
            self.assertEqual(status, 200, mode)
            return json.loads(body).get("daily")
        self.assertIsNone(daily("missing"))
        self.assertNotIn("weather_code", daily("missing:weather_code"))
        ragged = daily("ragged")
        self.assertEqual([len(v) for v in ragged.values()], [7, 7, 7, 7, 6])
        self.assertEqual(daily("stale:9")["time"][-1],
                         (TODAY - datetime.timedelta(days=3)).isoformat())
        self.assertEqual(daily("wmo:95,0")["weather_code"], [95] + [0] * 6)
        self.assertEqual(len(daily("days:16/large:200000")["time"]), 16)
        self.assertEqual(len(self.forecast("large:200000")[1]), 200000)
        status, body = self.forecast("apierror")
        self.assertEqual((status, json.loads(body)["error"]), (400, True))
        self.get("/_control/reset")
        for query in ("/v1/forecast?latitude=91&longitude=0&daily=weather_code",
                      "/v1/forecast?longitude=0", "/v1/forecast?latitude=1&longitude=2&daily=x"):
            status, body = self.get(query)
            self.assertEqual((status, json.loads(body)["error"]), (400, True), query)


class MisbehaviourTest(ServiceCase):
    def test_other_answers(self):
        for location, status in (("status:404", 404), ("status:500", 500), ("html", 200),
                                 ("garbage", 200), ("binary", 200)):
            code, body = self.weather(location)
            self.assertEqual(code, status, location)
            with self.assertRaises(ET.ParseError, msg=location):
                ET.fromstring(body)
        self.assertEqual(self.weather("empty"), (200, b""))
        normal = self.weather(CALGARY)[1]
        self.assertEqual(self.weather("crlf/" + CALGARY)[1], normal.replace(b"\n", b"\r\n"))
        self.assertEqual(self.weather("crlf/nofinallf/" + CALGARY)[1],
                         normal.replace(b"\n", b"\r\n")[:-2])
        for location, size, longest in (("large", 5000000, 100), ("longline:50000", 50000, 40000)):
            body = self.weather(location + "/" + CALGARY)[1]
            self.assertEqual(len(body), size)
            self.assertGreaterEqual(max(len(line) for line in body.split(b"\n")), longest)
            self.assertEqual(len(self.forecasts(body)), 5)

    def test_cut_off_stalled_and_trickled_bodies(self):
        head, body = self.raw("truncate/" + CALGARY)
        self.assertLess(len(body), int(head.split("Content-Length: ")[1].split("\r\n")[0]))
        self.assertTrue(body.endswith(b"\n"))
        self.assertEqual(self.raw("truncate:10/" + CALGARY)[1], b'<?xml vers')
        with self.assertRaises(ConnectionResetError):
            self.raw("reset/" + CALGARY)
        sock, received = self.connect("stallbody:1.5/" + CALGARY, timeout=0.8), b""
        with self.assertRaises(socket.timeout):
            while True:
                received += sock.recv(65536)
        self.assertIn(b"<weather ", received)
        self.assertNotIn(b"</weatherdata>", received)
        sock.close()
        sock, received = self.connect("trickle:0.3:5/" + CALGARY), b""
        while not received.endswith(b"\r\n\r\n<?xml"):
            received += sock.recv(65536)
        start = time.monotonic()
        self.assertEqual([sock.recv(65536) for _ in range(3)], [b" ", b"v", b"e"])
        self.assertGreater(time.monotonic() - start, 0.8)
        sock.close()

    def test_a_stall_holds_up_only_its_own_request(self):
        results = {}

        def slow():
            start = time.monotonic()
            results["body"] = self.weather("stall:1.5/" + CALGARY)[1]
            results["took"] = time.monotonic() - start
        worker = threading.Thread(target=slow)
        worker.start()
        time.sleep(0.2)
        start = time.monotonic()
        self.assertEqual(self.weather(CALGARY)[0], 200)
        self.assertLess(time.monotonic() - start, 1.0)
        worker.join()
        self.assertGreaterEqual(results["took"], 1.4)
        self.assertEqual(results["body"], self.weather(CALGARY)[1])

    def test_redirects_and_failures_that_pass(self):
        request = "/data.aspx?weadegreetype=F&wealocations=redirect/" + CALGARY
        with urllib.request.urlopen(self.base + request) as answer:
            self.assertEqual(answer.url, self.base + "/r" + request)
            self.assertEqual(answer.read(), self.weather(CALGARY)[1])
        answers = [self.weather("fail:2:a/" + CALGARY) for _ in range(3)]
        self.assertEqual([a[0] for a in answers], [500, 500, 200])
        answers = [self.weather("failempty:1/" + CALGARY) for _ in range(2)]
        self.assertEqual([a[1][:5] for a in answers], [b"", b"<?xml"])
        self.assertEqual(self.get("/_control/count?location=" + urllib.parse.quote(
            "fail:2:a/" + CALGARY))[1], b"3\n")


class ControlTest(ServiceCase):
    def test_rules_by_location_path_and_for_everything(self):
        self.get("/_control/mode?mode=status:503&location=" + urllib.parse.quote(CALGARY))
        self.assertEqual(self.weather(CALGARY)[0], 503)
        self.assertEqual(self.weather("wc:1&q=Oslo%2c+NOR")[0], 200)
        self.get("/_control/mode?mode=garbage")
        self.assertEqual(self.get("/pr/brisalune")[1], fs.garbage_body())
        self.assertEqual(self.weather(CALGARY)[0], 503)
        self.assertEqual(self.get("/_control/mode?mode=nonsense")[0], 400)
        self.get("/_control/reset")
        self.assertEqual(self.weather(CALGARY)[0], 200)

    def test_posts_are_kept_byte_exact_and_a_post_redirect_has_its_own_body(self):
        form = b"name=&comment=a%26b%3Dc+%25+%E9&agent=brisalune+1.0&\x00"
        self.assertEqual(self.get("/submit-brisalune.php", form), (200, fs.COMMENT_ANSWER))
        self.get("/_control/mode?mode=redirect&path=/submit-brisalune.php")
        status, body = self.get("/submit-brisalune.php", b"\x00")
        self.assertEqual(status, 302)
        self.assertTrue(body.startswith(b"Redirect answer of /submit-brisalune.php"))
        posts = json.loads(self.get("/_control/posts")[1])
        self.assertEqual(bytes.fromhex(posts[0]["body_hex"]), form)
        self.assertEqual(posts[0]["fields"], [["name", ""], ["comment", "a&b=c % \xe9"],
                                              ["agent", "brisalune 1.0"]])
        self.assertEqual(self.get("/_control/posts/-1")[1], b"00\n")

    def test_version_document(self):
        path = "/dl/brisalune/ver/windows_version.xml"
        root = ET.fromstring(self.get(path)[1])
        self.assertEqual((root.findtext("value"), root.findtext("news")), ("2.0", "News"))
        self.get("/_control/version?value=3.1&news=" + urllib.parse.quote("Größer & schöner"))
        root = ET.fromstring(self.get(path)[1])
        self.assertEqual((root.findtext("value"), root.findtext("news")),
                         ("3.1", "Größer & schöner"))
        self.get("/_control/version?novalue")
        self.assertIsNone(ET.fromstring(self.get(path)[1]).find("value"))


class CommandLineTest(unittest.TestCase):
    def test_prints_its_url_first_and_documents_every_directive(self):
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fake-service")
        with subprocess.Popen([script, "--quiet"], stdout=subprocess.PIPE) as proc:
            try:
                url = proc.stdout.readline().decode().strip()
                self.assertRegex(url, r"^http://127\.0\.0\.1:\d+$")
                with urllib.request.urlopen(url + "/pr/brisalune") as answer:
                    self.assertIn(b"Brisalune", answer.read())
            finally:
                proc.terminate()
        usage = subprocess.run([script, "--help"], capture_output=True, text=True).stdout
        for word in ("status:N", "html", "garbage", "truncate", "reset", "stallbody", "large",
                     "crlf", "nofinallf", "redirect", "fail:N", "sky:N", "lang:L", "trickle",
                     "/v1/forecast", "stale", "wmo:", "missing", "ragged", "apierror",
                     "forecasts", "/_control/mode", "/_control/posts", "--port"):
            self.assertIn(word, usage)


if __name__ == "__main__":
    unittest.main()
