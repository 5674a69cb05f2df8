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
WEATHER_ATTRS = {"weatherlocationcode", "weatherlocationname", "zipcode", "url",
                 "imagerelativeurl", "degreetype", "provider", "attribution", "lat", "long",
                 "timezone", "alert", "entityid", "encodedlocationname"}
CURRENT_ATTRS = {"temperature", "skycode", "skytext", "date", "observationtime",
                 "observationpoint", "feelslike", "humidity", "winddisplay", "day", "shortday",
                 "windspeed"}
FORECAST_ATTRS = {"low", "high", "skycodeday", "skytextday", "date", "day", "shortday",
                  "precip"}
SNOWY = {5, 6, 7, 8, 10, 13, 14, 15, 16, 18, 25, 41, 42, 43, 46}


class ServiceCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = fs.Server(0, fs.State("2.0", "News", TODAY), quiet=True)
        cls.thread = threading.Thread(target=cls.server.serve_forever, daemon=True)
        cls.thread.start()
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

    def weather(self, location, **kwargs):
        return self.get("/data.aspx?weadegreetype=F&wealocations=" + location, **kwargs)

    def forecasts(self, body):
        return ET.fromstring(body)[0].findall("forecast")

    def raw(self, path):
        """Every byte the server sends for a GET, up to its closing the connection."""
        sock = socket.create_connection(self.server.server_address, timeout=10)
        sock.sendall(("GET %s HTTP/1.1\r\nHost: x\r\n\r\n" % path).encode())
        data = b""
        try:
            while True:
                chunk = sock.recv(65536)
                if not chunk:
                    break
                data += chunk
        finally:
            sock.close()
        head, _, body = data.partition(b"\r\n\r\n")
        return head.decode(), body


class ForecastTest(ServiceCase):
    def test_answer_has_the_services_shape(self):
        status, body = self.weather(CALGARY)
        self.assertEqual(status, 200)
        self.assertTrue(body.startswith(b'<?xml version="1.0"?>\n<weatherdata '))
        self.assertTrue(body.endswith(b"</weatherdata>\n"))
        weather = ET.fromstring(body)[0]
        self.assertEqual(set(weather.attrib), WEATHER_ATTRS)
        self.assertEqual(weather.get("weatherlocationcode"), "wc:5913490")
        self.assertEqual(weather.get("weatherlocationname"), "Calgary, CAN")
        self.assertEqual([c.tag for c in weather], ["current"] + ["forecast"] * 5 + ["toolbar"])
        self.assertEqual(set(weather.find("current").attrib), CURRENT_ATTRS)
        for offset, day in enumerate(weather.findall("forecast"), start=-1):
            date = TODAY + datetime.timedelta(days=offset)
            self.assertEqual(set(day.attrib), FORECAST_ATTRS)
            self.assertEqual(day.get("date"), date.isoformat())
            self.assertEqual(day.get("day"), date.strftime("%A"))
            self.assertEqual(day.get("shortday"), date.strftime("%a"))
            self.assertLess(int(day.get("low")), int(day.get("high")))
            self.assertEqual(day.get("skytextday"), fs.SKY_TEXTS[int(day.get("skycodeday"))])
            if offset == -1:
                self.assertEqual(day.get("precip"), "")
            else:
                self.assertTrue(0 <= int(day.get("precip")) <= 100)

    def test_same_place_same_answer_and_the_escaped_query_form_is_understood(self):
        first, second = self.weather(CALGARY)[1], self.weather(CALGARY)[1]
        self.assertEqual(first, second)
        escaped = self.weather("wc:5913490&amp;q=Calgary%2c+CAN")[1]
        self.assertEqual(ET.fromstring(escaped)[0].get("weatherlocationname"), "Calgary, CAN")
        self.assertNotEqual(first, self.weather("wc:6167865&q=Toronto%2c+CAN")[1])

    def test_temperatures_fit_latitude_and_season(self):
        def highs(place, day):
            body = fs.build_forecast(place, day, [])
            return [int(f.get("high")) for f in ET.fromstring(body)[0].findall("forecast")]
        january, july = datetime.date(2026, 1, 15), datetime.date(2026, 7, 15)
        self.assertTrue(all(h < 10 for h in highs("wc:1&q=Yakutsk%2c+RUS", january)))
        self.assertTrue(all(h > 55 for h in highs("wc:1&q=Yakutsk%2c+RUS", july)))
        self.assertTrue(all(78 <= h <= 95 for h in highs("wc:2&q=Singapore%2c+SGP", january)))
        self.assertTrue(all(h > 65 for h in highs("wc:3&q=Sydney%2c+AUS", january)))
        # Tomorrow's numbers for a date stay what they were today.
        self.assertEqual(highs(CALGARY, january)[2:], highs(CALGARY, january.replace(day=16))[1:4])

    def test_sky_codes_cover_all_codes_and_match_the_weather(self):
        for code in range(48):
            days = self.forecasts(self.weather("sky:%d" % code)[1])
            self.assertEqual({int(d.get("skycodeday")) for d in days}, {code})
            self.assertEqual({d.get("skytextday") for d in days}, {fs.SKY_TEXTS[code]})
        days = self.forecasts(self.weather("sky:1,2,3/" + CALGARY)[1])
        self.assertEqual([d.get("skycodeday") for d in days], ["1", "2", "3", "3", "3"])
        seen = set()
        for n in range(300):
            for day in self.forecasts(fs.build_forecast("wc:%d&q=Place+%d" % (n, n), TODAY, [])):
                code = int(day.get("skycodeday"))
                seen.add(code)
                self.assertEqual(day.get("skytextday"), fs.SKY_TEXTS[code])
                if code in SNOWY:
                    self.assertLessEqual(int(day.get("low")), 32, day.attrib)
        self.assertGreater(len(seen), 25)

    def test_non_ascii_texts(self):
        body = self.weather("lang:ru/wc:3&q=%e6%9d%b1%e4%ba%ac%2c+JPN")[1]
        weather = ET.fromstring(body)[0]
        self.assertEqual(weather.get("weatherlocationname"), "東京, JPN")
        day = weather.find("forecast")
        self.assertIn(day.get("skytextday"), fs.KIND_TEXTS["ru"].values())
        self.assertIn(day.get("day"), fs.DAY_NAMES["ru"][0])
        self.assertIn("東京".encode("utf-8"), body)

    def test_error_answer_and_day_count(self):
        weather = ET.fromstring(self.weather("unknown/" + CALGARY)[1])[0]
        self.assertEqual(list(weather), [])
        self.assertIn("errormessage", weather.attrib)
        self.assertEqual(len(self.forecasts(self.weather("")[1])), 0)
        self.assertEqual(len(self.forecasts(self.weather("strict/nowhere")[1])), 0)
        self.assertEqual(len(self.forecasts(self.weather("strict/" + CALGARY)[1])), 5)
        self.assertEqual(len(self.forecasts(self.weather("days:0/" + CALGARY)[1])), 0)
        self.assertEqual(len(self.forecasts(self.weather("days:8/" + CALGARY)[1])), 8)


class MisbehaviourTest(ServiceCase):
    def test_non_xml_answers(self):
        for location, status in (("status:404", 404), ("status:500", 500), ("html", 200),
                                 ("garbage", 200), ("binary", 200)):
            code, body = self.weather(location)
            self.assertEqual(code, status, location)
            self.assertGreater(len(body), 0)
            with self.assertRaises(ET.ParseError, msg=location):
                ET.fromstring(body)
        self.assertEqual(self.weather("empty"), (200, b""))

    def test_line_ends_and_size(self):
        normal = self.weather(CALGARY)[1]
        self.assertEqual(self.weather("crlf/" + CALGARY)[1], normal.replace(b"\n", b"\r\n"))
        self.assertEqual(self.weather("nofinallf/" + CALGARY)[1], normal[:-1])
        self.assertEqual(self.weather("crlf/nofinallf/" + CALGARY)[1],
                         normal.replace(b"\n", b"\r\n")[:-2])
        for location, size, longest in (("large", 5000000, 100), ("large:200001", 200001, 100),
                                        ("longline:50000", 50000, 40000)):
            body = self.weather(location + "/" + CALGARY)[1]
            self.assertEqual(len(body), size)
            self.assertGreaterEqual(max(len(line) for line in body.split(b"\n")), longest)
            self.assertEqual(len(self.forecasts(body)), 5)

    def test_cut_off_bodies(self):
        head, body = self.raw("/data.aspx?weadegreetype=F&wealocations=truncate/" + CALGARY)
        length = int(head.split("Content-Length: ")[1].split("\r\n")[0])
        self.assertLess(len(body), length)
        self.assertTrue(body.endswith(b"\n"))
        head, body = self.raw("/data.aspx?weadegreetype=F&wealocations=truncate:10/" + CALGARY)
        self.assertEqual(body, b'<?xml vers')
        with self.assertRaises(ConnectionResetError):
            self.raw("/data.aspx?weadegreetype=F&wealocations=reset/" + CALGARY)

    def test_stalls_hold_up_only_their_own_request(self):
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

    def test_stall_in_the_middle_of_the_body(self):
        sock = socket.create_connection(self.server.server_address, timeout=0.8)
        sock.sendall(b"GET /data.aspx?weadegreetype=F&wealocations=stallbody:1.5/"
                     + CALGARY.encode() + b" HTTP/1.1\r\nHost: x\r\n\r\n")
        received = b""
        with self.assertRaises(socket.timeout):
            while True:
                received += sock.recv(65536)
        self.assertIn(b"<weather ", received)
        self.assertNotIn(b"</weatherdata>", received)
        sock.settimeout(5)
        while not received.endswith(b"</weatherdata>\n"):
            received += sock.recv(65536)
        sock.close()

    def test_trickle_sends_the_rest_one_byte_at_a_time(self):
        sock = socket.create_connection(self.server.server_address, timeout=5)
        sock.sendall(b"GET /data.aspx?weadegreetype=F&wealocations=trickle:0.3:5/"
                     + CALGARY.encode() + b" HTTP/1.1\r\nHost: x\r\n\r\n")
        received = b""
        while not received.endswith(b"\r\n\r\n<?xml"):
            received += sock.recv(65536)
        start = time.monotonic()
        pieces = [sock.recv(65536) for _ in range(3)]
        sock.close()
        self.assertEqual(pieces, [b" ", b"v", b"e"])
        self.assertGreater(time.monotonic() - start, 0.8)

    def test_a_million_bare_forecasts(self):
        body = self.weather("forecasts")[1]
        self.assertEqual(body.count(b"<forecast/>"), 1000000)
        self.assertEqual(len(self.forecasts(self.weather("forecasts:3/" + CALGARY)[1])), 3)

    def test_redirect_is_served_elsewhere(self):
        request = "/data.aspx?weadegreetype=F&wealocations=redirect/" + CALGARY
        with urllib.request.urlopen(self.base + request) as answer:
            self.assertEqual(answer.url, self.base + "/r" + request)
            self.assertEqual(answer.read(), self.weather(CALGARY)[1])
        counts = json.loads(self.get("/_control/counts")[1])
        self.assertEqual(counts["paths"]["/r/data.aspx"], 1)

    def test_fail_then_succeed_per_key(self):
        answers = [self.weather("fail:2:a/" + CALGARY) for _ in range(3)]
        self.assertEqual([a[0] for a in answers], [500, 500, 200])
        self.assertEqual(len(self.forecasts(answers[2][1])), 5)
        self.assertEqual(self.weather("fail:1:b")[0], 500)
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
        self.assertEqual(self.get("/_control/posts.hex")[1], form.hex().encode() + b"\n00\n")
        self.get("/_control/posts/clear")
        self.assertEqual(json.loads(self.get("/_control/posts")[1]), [])
        self.assertEqual(self.get("/_control/count?path=/r/submit-brisalune.php")[1], b"0\n")

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
        self.get("/_control/mode?mode=empty&path=" + path)
        self.assertEqual(self.get(path), (200, b""))


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
                     "crlf", "nofinallf", "redirect", "fail:N", "sky:N", "lang:L", "trickle", "forecasts",
                     "/_control/mode", "/_control/posts", "/_control/counts", "--port"):
            self.assertIn(word, usage)


if __name__ == "__main__":
    unittest.main()
