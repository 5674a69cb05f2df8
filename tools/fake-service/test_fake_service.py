#!/usr/bin/env python3
"""Tests of the stand-in service itself: python3 -m unittest test_fake_service (in this folder).

The program's tests read the stand-in's delivery faults (cut-off, reset, stalled, trickled,
redirected answers, kept posts, and the rules and counts that select them) through WinInet
and would fail on a wrong one; these check what they cannot: that the answers have the real
services' shape and that the misbehaviours those tests use are what they claim to be. Modes
only for trying things by hand go untested."""

import datetime
import http.client
import json
import os
import sys
import threading
import unittest
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fake_service as fs  # noqa: E402

TODAY = datetime.date(2026, 1, 15)
CALGARY = "wc:5913490&q=Calgary%2c+CAN"
OPEN_METEO = ("/v1/forecast?latitude=51.05011&longitude=-114.08529&daily=weather_code,"
              "temperature_2m_max,temperature_2m_min,precipitation_probability_max"
              "&temperature_unit=fahrenheit&timezone=auto")


class StandInTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = fs.Server(0, fs.State("2.0", "News", TODAY), quiet=True)
        threading.Thread(target=cls.server.serve_forever, daemon=True).start()

    @classmethod
    def tearDownClass(cls):
        cls.server.shutdown()
        cls.server.server_close()

    def setUp(self):
        self.get("/_control/reset")

    def get(self, path):
        """(status, body) without following redirects."""
        conn = http.client.HTTPConnection("127.0.0.1", self.server.server_address[1], timeout=20)
        conn.request("GET", path)
        answer = conn.getresponse()
        result = answer.status, answer.read()
        conn.close()
        return result

    def weather(self, location):
        return self.get("/data.aspx?weadegreetype=F&wealocations=" + location)

    def test_weather_answer_has_the_services_shape_and_stays_the_same(self):
        status, body = self.weather(CALGARY)
        self.assertEqual(status, 200)
        self.assertTrue(body.startswith(b'<?xml version="1.0"?>\n<weatherdata '))
        weather = ET.fromstring(body)[0]
        self.assertEqual(weather.get("weatherlocationname"), "Calgary, CAN")
        self.assertEqual([c.tag for c in weather], ["current"] + ["forecast"] * 5 + ["toolbar"])
        for offset, day in enumerate(weather.findall("forecast"), start=-1):
            date = TODAY + datetime.timedelta(days=offset)
            self.assertEqual(set(day.attrib), {"low", "high", "skycodeday", "skytextday", "date",
                                               "day", "shortday", "precip"})
            self.assertEqual((day.get("date"), day.get("day")),
                             (date.isoformat(), date.strftime("%A")))
            self.assertEqual(day.get("skytextday"), fs.SKY_TEXTS[int(day.get("skycodeday"))])
            self.assertLess(int(day.get("low")), int(day.get("high")))
            self.assertEqual(day.get("precip") == "", offset == -1)
        self.assertEqual(self.weather(CALGARY)[1], body)
        escaped = self.weather("wc:5913490&amp;q=Calgary%2c+CAN")[1]
        self.assertEqual(ET.fromstring(escaped)[0].get("weatherlocationname"), "Calgary, CAN")

    def test_open_meteo_answer_has_the_documented_shape_and_stays_the_same(self):
        status, body = self.get(OPEN_METEO)
        self.assertEqual(status, 200)
        answer = json.loads(body)
        self.assertEqual(answer["daily_units"]["temperature_2m_max"], "°F")
        daily = answer["daily"]
        self.assertEqual(list(daily), ["time"] + list(fs.OPEN_METEO_DAILY))
        self.assertEqual(daily["time"], [(TODAY + datetime.timedelta(days=i)).isoformat()
                                         for i in range(7)])
        for code, high, low, chance in zip(*(daily[name] for name in fs.OPEN_METEO_DAILY)):
            self.assertLess(low, high)
            self.assertIn(code, (0, 1, 2, 3, 45, 48, 51, 53, 55, 56, 57, 61, 63, 65, 66, 67, 71,
                                 73, 75, 77, 80, 81, 82, 85, 86, 95, 96, 99))
            self.assertTrue(0 <= chance <= 100)
        self.assertEqual(self.get(OPEN_METEO)[1], body)

    def test_misbehaviours_are_the_answers_they_claim_to_be(self):
        normal = self.weather(CALGARY)[1]
        for location, status in (("status:500", 500), ("html", 200), ("garbage", 200),
                                 ("binary", 200)):
            code, body = self.weather(location)
            self.assertEqual(code, status, location)
            with self.assertRaises(ET.ParseError, msg=location):
                ET.fromstring(body)
        self.assertEqual(self.weather("empty"), (200, b""))
        self.assertIn(b"\x00", self.weather("binary")[1])
        self.assertEqual(self.weather("crlf/nofinallf/" + CALGARY)[1],
                         normal.replace(b"\n", b"\r\n")[:-2])
        for location, size, longest in (("large", 5000000, 100), ("longline:50000", 50000, 40000)):
            body = self.weather(location + "/" + CALGARY)[1]
            self.assertEqual(len(body), size)
            self.assertGreaterEqual(max(len(line) for line in body.split(b"\n")), longest)
            self.assertEqual(len(ET.fromstring(body)[0].findall("forecast")), 5)


if __name__ == "__main__":
    unittest.main()
