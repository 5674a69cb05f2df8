#!/usr/bin/env python3
"""Stand-in for the weather service and the maker's web site, for tests and the demo.

One threaded HTTP/1.1 server on 127.0.0.1. Python 3 standard library only.
"""

import argparse
import base64
import datetime
import hashlib
import json
import math
import os
import random
import re
import signal
import socket
import struct
import sys
import threading
import time
import unicodedata
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

HELP_TEXT = r"""
Stand-in for the outside weather service and the maker's web site.

It listens on 127.0.0.1 only and prints its base URL ("http://127.0.0.1:PORT") as the first line
of standard output, then logs one short line per request to standard error (--quiet silences
that). Every answer is HTTP/1.1 with a correct Content-Length (except the deliberate cut-off)
and "Connection: close" (unless --keep-alive). GET, HEAD and POST are served, several at once:
a stalled request does not hold up the others.

PATHS
  /data.aspx?weadegreetype=F&wealocations=LOCATION
      The weather answer: UTF-8 XML beginning with <?xml version="1.0"?>, one element per line,
      a final line feed. <weatherdata> holds one <weather> element (weatherlocationcode,
      weatherlocationname, zipcode, url, imagerelativeurl, degreetype, provider, attribution,
      lat, long, timezone, alert, entityid, encodedlocationname) with one <current> (temperature,
      skycode, skytext, date, observationtime, observationpoint, feelslike, humidity,
      winddisplay, day, shortday, windspeed), five <forecast> elements (low, high, skycodeday,
      skytextday, date, day, shortday, precip): yesterday with precip="", today and the next
      three days; then <toolbar timewindow="60" minversion="1.0.1965.0"/>.
      LOCATION is everything after "wealocations=" up to the end of the query, taken raw, so
      "wc:5913490&q=Calgary%2c+CAN" (and "...&amp;q=...") arrive whole. The forecast is
      deterministic: each day is seeded from the location and that day's date, so a date keeps
      its numbers from one day to the next. The text after "q=" (percent-decoded as UTF-8) is
      the place name, e.g. "Calgary, CAN". Some 65 well-known cities (and, from the last
      three-letter code, some 50 countries) get temperatures fit for their latitude, height and
      season; other places get an invented but plausible climate. Sky codes and texts follow
      the temperature and the chance of rain (snow only in the cold, storms in the heat),
      weadegreetype=C gives degrees Celsius. An empty LOCATION gets the errormessage answer.
  /dl/brisalune/ver/windows_version.xml
      The version document: <?xml ...?><version><value>V</value><news>TEXT</news></version>,
      one element per line. V and TEXT come from --announce and --news; see /_control/version.
  /submit-brisalune.php
      The comment script. Every POST body (to any path) is kept byte for byte, trailing zero
      byte included; read them back with /_control/posts. A POST answers
      "Thank you! Your comment has been received." and a line feed (text/plain); a GET answers a
      one-line note that comments come by POST.
  /pr/brisalune
      The product page: a small HTML page.
  /v1/forecast?latitude=LAT&longitude=LON&daily=LIST&temperature_unit=U&timezone=auto
      The keyless forecast service's answer, as its public documentation shows it: compact
      UTF-8 JSON {"latitude", "longitude", "generationtime_ms", "utc_offset_seconds",
      "timezone", "timezone_abbreviation", "elevation", "daily_units": {...}, "daily": {"time":
      [...], ...}} with one list per variable of LIST (weather_code, temperature_2m_max,
      temperature_2m_min, precipitation_probability_max), forecast_days days (default 7, at
      most 16) from today, past_days (0 to 2) before it. Temperatures have one decimal, in
      Fahrenheit with temperature_unit=fahrenheit, Celsius otherwise; timezone=auto names a
      zone from the longitude. A missing or bad latitude or longitude, or an unknown variable,
      answers 400 with {"error": true, "reason": "..."}. The forecast is deterministic per
      coordinates and date. For rules and counts, the location of this path is "LAT,LON" as
      written in the request (e.g. location=51.05011,-114.08529).
  /r/<path>
      Redirect targets (see "redirect"): the plain, well-behaved answer of <path> with the same
      query. Of the location's directives only sky:, lang: and days: count here; control rules
      never apply. A POST that arrives here is kept and answered "Comment received after a
      redirect."
  /   A short HTML index. Any other path answers 404 with an HTML page.

MISBEHAVIOUR DIRECTIVES
  A directive is written into the location, or set by /_control/mode for a location, a path or
  everything. In a location, directives and the place are separated by "/", in any order:
      wealocations=status:500
      wealocations=crlf/nofinallf/wc:5913490&q=Calgary%2c+CAN
      wealocations=fail:2:calgary/wc:5913490&q=Calgary%2c+CAN
  The segments that are not directives form the place, which names and seeds the forecast; a
  location made of directives alone ("sky:17") is its own place.

  Answers other than the normal one:
    status:N        status N (e.g. 404, 500, 503) with an HTML error page (not well-formed XML)
    html            200 with an HTML page instead of XML
    garbage         200 with lines of printable junk that is not XML
    binary          200 with 512 bytes of pseudo-random binary, NUL bytes included
    empty           200 with an empty body (Content-Length: 0)
    unknown         data.aspx only: 200 with <weather errormessage="..."/> and no forecasts
    strict          data.aspx only: like unknown, but only for places that are neither
                    "wc:<digits>..." nor a known city name
    redirect[:C]    status C (301, 302, 303, 307 or 308; default 302) with an absolute
                    Location: /r/<same path and query>, which serves the normal answer. The
                    redirect's own body is the text "Redirect answer of <path>: moved to
                    <target>" (text/plain), so a client that does not follow it (a POST) can
                    be told apart
    fail:N[:KEY]    the first N requests counted under KEY answer 500 with an HTML error page,
                    later ones answer normally (with any other directives)
    failempty:N[:KEY]  the same, but a failure is 200 with an empty body
                    KEY defaults to the path and the location (all of it, directives included)
                    for data.aspx, the path for the other paths; counters live until reset
  Shaping the normal forecast (data.aspx):
    sky:N           every day and the current conditions get sky code N (0..47) and its text;
                    sky:A,B,C,D,E gives the five forecast days those codes (the last repeats).
                    sky:0 ... sky:47 cover every code.
    lang:L          sky texts and day names in fr, de, ru, ja or zh (non-ASCII UTF-8 text);
                    place names are non-ASCII whenever q= carries such letters, e.g.
                    q=Montr%c3%a9al%2c+CAN or q=%e6%9d%b1%e4%ba%ac%2c+JPN
    days:N          N forecast elements instead of five (0 allowed)
    forecasts[:N]   N bare <forecast/> elements (default 1000000) in place of the whole forecast
    stale[:N]       data.aspx and /v1/forecast: every date N days earlier (default 10), so
                    with the usual five or seven days all of them lie in the past
  Shaping the normal forecast (/v1/forecast):
    wmo:A,B,C       the days get weather codes A, B, C (the last repeats)
    days:N          N days instead of forecast_days
    missing[:NAME]  the daily list NAME (time, weather_code, ...) is left out; without NAME
                    the whole "daily" object and its units are
    ragged          the last daily list is one day shorter than the others
    apierror        400 with the service's error object
  Shaping any answer:
    large[:N]       the body is padded with comment lines to exactly N bytes (default 5000000)
                    before crlf/nofinallf; the document stays valid XML
    longline[:N]    the same, but the padding is one single line (default 100000)
    crlf            CR LF line ends
    nofinallf       the last line ends without a line feed
  Delivery:
    stall[:S]       wait S seconds (default 8, fractions allowed) before sending anything
    stallbody[:S[:B]]  send the headers and the first B bytes (default: the lines making up
                    about half of the body), wait S seconds (default 8), then the rest
    truncate[:B]    send a Content-Length for the whole body, only B bytes (default: about half,
                    at a line end), then close the connection (FIN)
    reset[:B]       the same, but wait 0.5 s and abort the connection (TCP RST)
    trickle[:S[:B]] send the headers and the first B bytes (default 0), then the rest one byte
                    every S seconds (default 4, fractions allowed)

CONTROL REQUESTS (GET or POST; POST form fields are read like query fields; never counted,
never misbehave; answers are text/plain unless said otherwise)
  /_control/mode?mode=DIRECTIVES[&location=LOCATION | &path=PATH]
      Sets a rule until reset. DIRECTIVES are joined by "/" (e.g. mode=stall:7/crlf). With
      location=, data.aspx requests for that location (compared after percent-decoding, either
      the whole location or its place part); with path=, every request to that path; with
      neither, every request to every path except /r/ and /_control/. The most specific rule
      applies, added after the location's own directives. An empty mode or mode=normal removes
      the rule. Answers "ok"; an unknown directive answers 400.
  /_control/rules       the rules as JSON
  /_control/reset       forgets rules, fail counters, request counts, kept POST bodies and
                        version changes
  /_control/counts      JSON {"total": N, "paths": {path: N}, "locations": {location: N}}
                        (locations: raw location texts of /data.aspx and /r/data.aspx requests)
  /_control/count[?path=P | ?location=L]
                        one decimal number: requests to path P, requests for location L
                        (compared after percent-decoding), or all requests
  /_control/posts       JSON list of the kept POST bodies in arrival order, each
                        {"index", "path", "query", "headers": [[name, value]...], "length",
                        "body_hex", "body_b64", "fields": [[name, value]...]} where fields is
                        the body without its trailing NUL split at "&" and "=", percent-decoded
                        as Latin-1 (one character per byte)
  /_control/posts/I     the hex text of body I (0 is the first, -1 the last); 404 when missing
  /_control/posts.hex   one line per body: its hex text
  /_control/posts/clear forgets the kept POST bodies
  /_control/version?value=V&news=T | novalue | nonews | document=TEXT | default
      Changes the version document: value= and news= set the elements (an empty value gives an
      empty <value></value>), novalue/nonews leave an element out, document= serves TEXT as it
      is, default goes back to the start-up document; the answer is the document now served
      (so /_control/version alone reads it). The misbehaviours garbage, empty, html,
      status:N etc. come from /_control/mode?path=/dl/brisalune/ver/windows_version.xml&mode=...
  /_control/state       rules, counts, number of kept posts and the version document as JSON
  /_control/            this text
"""

SKY_TEXTS = [
    "Tornado", "Tropical Storm", "Hurricane", "Strong Storms", "Thunderstorms",
    "Rain and Snow", "Rain and Sleet", "Wintry Mix", "Freezing Drizzle", "Drizzle",
    "Freezing Rain", "Showers", "Rain", "Flurries", "Snow Showers",
    "Blowing Snow", "Snow", "Hail", "Sleet", "Dust",
    "Fog", "Haze", "Smoke", "Breezy", "Windy",
    "Frigid", "Cloudy", "Mostly Cloudy", "Mostly Cloudy", "Partly Cloudy",
    "Partly Sunny", "Clear", "Sunny", "Fair", "Mostly Sunny",
    "Rain and Hail", "Hot", "Isolated Thunderstorms", "Scattered Thunderstorms",
    "Scattered Showers", "Heavy Rain", "Scattered Snow Showers", "Heavy Snow", "Blizzard",
    "Not Available", "Scattered Showers", "Scattered Snow Showers", "Scattered Thunderstorms",
]

# Translations go by kind of weather rather than by code: the service's own translations were
# coarser than its code table too.
SKY_KIND = {
    0: "storm", 1: "storm", 2: "storm", 3: "storm", 4: "thunder", 5: "mix", 6: "mix", 7: "mix",
    8: "freezing", 9: "drizzle", 10: "freezing", 11: "showers", 12: "rain", 13: "snowshowers",
    14: "snowshowers", 15: "snow", 16: "snow", 17: "hail", 18: "mix", 19: "dust", 20: "fog",
    21: "haze", 22: "haze", 23: "wind", 24: "wind", 25: "frigid", 26: "cloudy", 27: "cloudy",
    28: "cloudy", 29: "partly", 30: "partly", 31: "clear", 32: "clear", 33: "clear",
    34: "clear", 35: "hail", 36: "hot", 37: "thunder", 38: "thunder", 39: "showers",
    40: "rain", 41: "snowshowers", 42: "snow", 43: "snow", 44: "na", 45: "showers",
    46: "snowshowers", 47: "thunder",
}

KIND_TEXTS = {
    "fr": {"storm": "Tempête", "thunder": "Orages", "mix": "Pluie et neige",
           "freezing": "Pluie verglaçante", "drizzle": "Bruine", "showers": "Averses",
           "rain": "Pluie", "snowshowers": "Averses de neige", "snow": "Neige",
           "hail": "Grêle", "dust": "Poussière", "fog": "Brouillard", "haze": "Brume sèche",
           "wind": "Venteux", "frigid": "Glacial", "cloudy": "Nuageux",
           "partly": "Éclaircies", "clear": "Ensoleillé", "hot": "Très chaud",
           "na": "Non disponible"},
    "de": {"storm": "Sturm", "thunder": "Gewitter", "mix": "Schneeregen",
           "freezing": "Gefrierender Regen", "drizzle": "Nieselregen", "showers": "Schauer",
           "rain": "Regen", "snowshowers": "Schneeschauer", "snow": "Schnee", "hail": "Hagel",
           "dust": "Staub", "fog": "Nebel", "haze": "Dunst", "wind": "Windig",
           "frigid": "Eisig", "cloudy": "Bewölkt", "partly": "Heiter bis wolkig",
           "clear": "Sonnig", "hot": "Heiß", "na": "Nicht verfügbar"},
    "ru": {"storm": "Буря", "thunder": "Гроза", "mix": "Дождь со снегом",
           "freezing": "Ледяной дождь", "drizzle": "Морось", "showers": "Ливни",
           "rain": "Дождь", "snowshowers": "Небольшой снег", "snow": "Снег", "hail": "Град",
           "dust": "Пыльная буря", "fog": "Туман", "haze": "Дымка", "wind": "Ветрено",
           "frigid": "Сильный мороз", "cloudy": "Облачно",
           "partly": "Переменная облачность", "clear": "Ясно", "hot": "Жара",
           "na": "Нет данных"},
    "ja": {"storm": "嵐", "thunder": "雷雨", "mix": "みぞれ", "freezing": "着氷性の雨",
           "drizzle": "霧雨", "showers": "にわか雨", "rain": "雨", "snowshowers": "にわか雪",
           "snow": "雪", "hail": "ひょう", "dust": "砂塵", "fog": "霧", "haze": "もや",
           "wind": "強風", "frigid": "極寒", "cloudy": "曇り", "partly": "晴れ時々曇り",
           "clear": "晴れ", "hot": "猛暑", "na": "データなし"},
    "zh": {"storm": "暴风雨", "thunder": "雷阵雨", "mix": "雨夹雪", "freezing": "冻雨",
           "drizzle": "毛毛雨", "showers": "阵雨", "rain": "雨", "snowshowers": "阵雪",
           "snow": "雪", "hail": "冰雹", "dust": "沙尘", "fog": "雾", "haze": "霾",
           "wind": "大风", "frigid": "严寒", "cloudy": "多云", "partly": "晴间多云",
           "clear": "晴", "hot": "炎热", "na": "无数据"},
}

DAY_NAMES = {
    "en": (["Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"],
           ["Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"]),
    "fr": (["lundi", "mardi", "mercredi", "jeudi", "vendredi", "samedi", "dimanche"],
           ["lun.", "mar.", "mer.", "jeu.", "ven.", "sam.", "dim."]),
    "de": (["Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag", "Sonntag"],
           ["Mo", "Di", "Mi", "Do", "Fr", "Sa", "So"]),
    "ru": (["понедельник", "вторник", "среда", "четверг", "пятница", "суббота", "воскресенье"],
           ["Пн", "Вт", "Ср", "Чт", "Пт", "Сб", "Вс"]),
    "ja": (["月曜日", "火曜日", "水曜日", "木曜日", "金曜日", "土曜日", "日曜日"],
           ["月", "火", "水", "木", "金", "土", "日"]),
    "zh": (["星期一", "星期二", "星期三", "星期四", "星期五", "星期六", "星期日"],
           ["周一", "周二", "周三", "周四", "周五", "周六", "周日"]),
}

# The night variants that the current conditions use after dark.
NIGHT_CODE = {28: 27, 30: 29, 32: 31, 34: 33, 39: 45, 41: 46, 38: 47, 37: 47}

# name: (latitude, longitude, time zone, mean adjustment °F, seasonal swing factor, wetness)
# The adjustments correct the plain latitude rule for height, deserts and sea climates.
CITIES = {
    "calgary": (51.05, -114.08, -7, -8, 1.0, -0.1),
    "toronto": (43.65, -79.38, -5, -2, 1.1, 0.0),
    "vancouver": (49.28, -123.12, -8, 3, 0.6, 0.3),
    "montreal": (45.50, -73.57, -5, -3, 1.3, 0.0),
    "new york": (40.71, -74.01, -5, -2, 1.2, 0.0),
    "chicago": (41.88, -87.63, -6, -4, 1.3, 0.0),
    "los angeles": (34.05, -118.24, -8, 0, 0.5, -0.5),
    "miami": (25.77, -80.19, -5, 2, 0.9, 0.3),
    "anchorage": (61.22, -149.90, -9, -1, 0.9, 0.0),
    "phoenix": (33.45, -112.07, -7, 8, 1.3, -0.8),
    "honolulu": (21.31, -157.86, -10, -2, 0.6, 0.0),
    "seattle": (47.61, -122.33, -8, 1, 0.6, 0.4),
    "denver": (39.74, -104.99, -7, -10, 1.2, -0.3),
    "houston": (29.76, -95.37, -6, 0, 1.3, 0.2),
    "mexico city": (19.43, -99.13, -6, -17, 1.0, 0.0),
    "havana": (23.11, -82.37, -5, 0, 1.0, 0.2),
    "bogota": (4.71, -74.07, -5, -24, 1.0, 0.4),
    "lima": (-12.05, -77.04, -5, -12, 2.0, -0.7),
    "sao paulo": (-23.55, -46.63, -3, -8, 0.9, 0.3),
    "rio de janeiro": (-22.91, -43.17, -3, 0, 0.9, 0.2),
    "buenos aires": (-34.60, -58.38, -3, 0, 1.0, 0.0),
    "santiago": (-33.45, -70.67, -4, -5, 1.0, -0.5),
    "london": (51.51, -0.13, 0, 3, 0.5, 0.2),
    "dublin": (53.35, -6.26, 0, 1, 0.4, 0.4),
    "paris": (48.86, 2.35, 1, 2, 0.6, 0.1),
    "berlin": (52.52, 13.40, 1, 1, 0.8, 0.0),
    "madrid": (40.42, -3.70, 1, -1, 1.1, -0.4),
    "rome": (41.90, 12.50, 1, 4, 0.9, -0.2),
    "zurich": (47.37, 8.54, 1, -2, 0.8, 0.2),
    "vienna": (48.21, 16.37, 1, 0, 0.9, 0.0),
    "stockholm": (59.33, 18.07, 1, 3, 0.8, 0.1),
    "oslo": (59.91, 10.75, 1, 2, 0.9, 0.1),
    "helsinki": (60.17, 24.94, 2, 1, 1.0, 0.1),
    "reykjavik": (64.15, -21.94, 0, 5, 0.3, 0.4),
    "athens": (37.98, 23.73, 2, 3, 0.9, -0.5),
    "istanbul": (41.01, 28.98, 3, 0, 0.9, 0.0),
    "moscow": (55.76, 37.62, 3, -2, 1.0, 0.1),
    "krakow": (50.06, 19.94, 1, -1, 0.9, 0.0),
    "encamp": (42.53, 1.58, 1, -12, 0.9, 0.1),
    "cairo": (30.04, 31.24, 2, 2, 1.1, -1.0),
    "lagos": (6.52, 3.38, 1, 1, 1.0, 0.4),
    "nairobi": (-1.29, 36.82, 3, -15, 1.0, 0.1),
    "johannesburg": (-26.20, 28.05, 2, -10, 1.0, 0.0),
    "cape town": (-33.92, 18.42, 2, -4, 0.7, -0.1),
    "dubai": (25.20, 55.27, 4, 8, 1.2, -1.0),
    "riyadh": (24.71, 46.68, 3, 8, 1.5, -1.0),
    "tehran": (35.69, 51.39, 3.5, -3, 1.5, -0.6),
    "new delhi": (28.61, 77.21, 5.5, 5, 1.3, -0.2),
    "delhi": (28.61, 77.21, 5.5, 5, 1.3, -0.2),
    "mumbai": (19.08, 72.88, 5.5, 2, 0.5, 0.3),
    "bangkok": (13.76, 100.50, 7, 3, 1.0, 0.3),
    "singapore": (1.35, 103.82, 8, 1, 1.0, 0.5),
    "hong kong": (22.32, 114.17, 8, 0, 1.0, 0.3),
    "beijing": (39.90, 116.41, 8, -5, 1.6, -0.2),
    "shanghai": (31.23, 121.47, 8, -5, 1.5, 0.2),
    "seoul": (37.57, 126.98, 9, -5, 1.6, 0.0),
    "tokyo": (35.68, 139.69, 9, -2, 1.3, 0.1),
    "osaka": (34.69, 135.50, 9, -1, 1.3, 0.1),
    "sydney": (-33.87, 151.21, 10, 0, 0.7, 0.1),
    "melbourne": (-37.81, 144.96, 10, -2, 0.7, 0.0),
    "perth": (-31.95, 115.86, 8, 0, 0.8, -0.3),
    "auckland": (-36.85, 174.76, 12, 0, 0.5, 0.3),
    "ulaanbaatar": (47.89, 106.91, 8, -20, 1.9, -0.5),
    "yakutsk": (62.03, 129.73, 9, -20, 1.9, -0.3),
    "jakarta": (-6.21, 106.85, 7, 2, 1.0, 0.5),
    "manila": (14.60, 120.98, 8, 2, 1.0, 0.3),
    "montréal": (45.50, -73.57, -5, -3, 1.3, 0.0),
    "москва": (55.76, 37.62, 3, -2, 1.0, 0.1),
    "東京": (35.68, 139.69, 9, -2, 1.3, 0.1),
    "北京": (39.90, 116.41, 8, -5, 1.6, -0.2),
}

# Countries by ISO alpha-3 code, for places that are not in the city table.
COUNTRIES = {
    "CAN": (53, -100, -6, -8, 1.3, 0.0), "USA": (39, -96, -6, 0, 1.1, 0.0),
    "MEX": (23, -102, -6, 0, 0.9, -0.3), "BRA": (-12, -50, -3, 0, 0.8, 0.3),
    "ARG": (-34, -64, -3, -2, 1.0, -0.1), "CHL": (-33, -71, -4, -5, 0.9, -0.3),
    "COL": (4, -74, -5, -10, 1.0, 0.3), "PER": (-10, -76, -5, -10, 1.0, 0.0),
    "GBR": (53, -2, 0, 2, 0.5, 0.3), "IRL": (53, -8, 0, 1, 0.4, 0.4),
    "FRA": (46, 2, 1, 1, 0.7, 0.0), "DEU": (51, 10, 1, 0, 0.8, 0.0),
    "ESP": (40, -4, 1, 1, 1.0, -0.3), "PRT": (39, -8, 0, 3, 0.6, -0.1),
    "ITA": (42, 12, 1, 2, 0.9, -0.1), "CHE": (47, 8, 1, -6, 0.8, 0.2),
    "AUT": (47, 14, 1, -4, 0.9, 0.1), "NLD": (52, 5, 1, 2, 0.5, 0.2),
    "BEL": (50, 4, 1, 1, 0.5, 0.2), "POL": (52, 19, 1, -1, 0.9, 0.0),
    "SWE": (62, 15, 1, 0, 1.0, 0.1), "NOR": (61, 9, 1, -1, 0.9, 0.2),
    "FIN": (64, 26, 2, -1, 1.1, 0.1), "ISL": (65, -19, 0, 4, 0.3, 0.4),
    "GRC": (39, 22, 2, 2, 0.9, -0.4), "TUR": (39, 35, 3, -3, 1.1, -0.2),
    "RUS": (60, 90, 7, -8, 1.6, 0.0), "UKR": (49, 32, 2, 0, 1.0, 0.0),
    "EGY": (27, 30, 2, 4, 1.1, -1.0), "NGA": (9, 8, 1, 1, 1.0, 0.2),
    "KEN": (0, 38, 3, -5, 1.0, 0.0), "ZAF": (-29, 24, 2, -3, 0.9, -0.2),
    "SAU": (24, 45, 3, 8, 1.4, -1.0), "ARE": (24, 54, 4, 8, 1.2, -1.0),
    "IRN": (32, 53, 3.5, 0, 1.4, -0.6), "IND": (22, 79, 5.5, 3, 1.0, 0.0),
    "CHN": (35, 105, 8, -4, 1.5, 0.0), "JPN": (36, 138, 9, -2, 1.2, 0.2),
    "KOR": (36, 128, 9, -4, 1.5, 0.1), "MNG": (47, 104, 8, -18, 1.9, -0.5),
    "THA": (15, 101, 7, 3, 1.0, 0.2), "VNM": (16, 107, 7, 1, 1.0, 0.3),
    "IDN": (-2, 118, 8, 1, 1.0, 0.5), "PHL": (13, 122, 8, 2, 1.0, 0.3),
    "SGP": (1, 104, 8, 1, 1.0, 0.5), "AUS": (-25, 134, 10, 2, 0.9, -0.4),
    "NZL": (-41, 174, 12, 1, 0.6, 0.3), "AND": (42.5, 1.5, 1, -12, 0.9, 0.1),
    "CUB": (22, -80, -5, 0, 1.0, 0.2), "ISR": (31, 35, 2, 2, 1.0, -0.6),
}

WIND_DIRECTIONS = ["N", "NE", "E", "SE", "S", "SW", "W", "NW"]

XMLNS = ('xmlns:xsd="http://www.w3.org/2001/XMLSchema" '
         'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"')

DEFAULT_ANNOUNCE = "2.0"
DEFAULT_NEWS = "Sharper condition pictures, quicker refreshes and more cities."
ERROR_MESSAGE = "Error retrieving the weather information. Please try again later."
COMMENT_ANSWER = b"Thank you! Your comment has been received.\n"


def seeded(*parts):
    """A random generator that depends only on its parts, never on the process."""
    digest = hashlib.sha256("\x1f".join(str(p) for p in parts).encode("utf-8")).digest()
    return random.Random(int.from_bytes(digest[:8], "big"))


def normalise_location(text):
    return urllib.parse.unquote_plus(text.replace("&amp;", "&"), errors="replace")


def fold(text):
    decomposed = unicodedata.normalize("NFKD", text)
    return "".join(c for c in decomposed if not unicodedata.combining(c)).strip().lower()


def xml_attr(value):
    text = str(value)
    return (text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace('"', "&quot;"))


def element(name, attributes):
    return "<%s %s/>" % (name, " ".join('%s="%s"' % (k, xml_attr(v)) for k, v in attributes))


# --------------------------------------------------------------------------------------------
# Directives


class DirectiveError(ValueError):
    pass


def _number(text, kind, name):
    try:
        value = kind(text)
    except ValueError:
        raise DirectiveError("%s: %r is not a number" % (name, text)) from None
    if value < 0:
        raise DirectiveError("%s: %r is negative" % (name, text))
    return value


def parse_directive(segment):
    """Returns (name, args) for a directive segment, None for a segment that is a place."""
    name, _, rest = segment.partition(":")
    args = rest.split(":") if rest else []
    simple = {"html", "garbage", "binary", "empty", "unknown", "strict", "crlf", "nofinallf",
              "ragged", "apierror"}
    if name in simple:
        if args:
            raise DirectiveError("%s takes no argument" % name)
        return name, {}
    if name == "status":
        if len(args) != 1:
            raise DirectiveError("status needs a code, e.g. status:500")
        code = _number(args[0], int, name)
        if not 100 <= code <= 599:
            raise DirectiveError("status: %d is no HTTP status" % code)
        return name, {"code": code}
    if name == "redirect":
        code = _number(args[0], int, name) if args else 302
        if code not in (301, 302, 303, 307, 308):
            raise DirectiveError("redirect: %d is no redirect status" % code)
        return name, {"code": code}
    if name in ("fail", "failempty"):
        if not args:
            raise DirectiveError("%s needs a count, e.g. %s:2" % (name, name))
        return name, {"count": _number(args[0], int, name), "key": ":".join(args[1:]) or None}
    if name == "sky":
        if len(args) != 1:
            raise DirectiveError("sky needs codes, e.g. sky:17 or sky:1,2,3,4,5")
        codes = [_number(c, int, name) for c in args[0].split(",") if c != ""]
        if not codes or any(c > 47 for c in codes):
            raise DirectiveError("sky: codes run from 0 to 47")
        return name, {"codes": codes}
    if name == "wmo":
        if len(args) != 1:
            raise DirectiveError("wmo needs codes, e.g. wmo:0 or wmo:95,3,0")
        codes = [_number(c, int, name) for c in args[0].split(",") if c != ""]
        if not codes:
            raise DirectiveError("wmo: at least one code")
        return name, {"codes": codes}
    if name == "stale":
        return name, {"days": _number(args[0], int, name) if args else 10}
    if name == "missing":
        if len(args) > 1 or (args and args[0] not in ("time",) + OPEN_METEO_DAILY):
            raise DirectiveError("missing: one of time, %s" % ", ".join(OPEN_METEO_DAILY))
        return name, {"list": args[0] if args else None}
    if name == "lang":
        if len(args) != 1 or args[0] not in KIND_TEXTS:
            raise DirectiveError("lang: one of %s" % ", ".join(sorted(KIND_TEXTS)))
        return name, {"lang": args[0]}
    if name == "days":
        if len(args) != 1:
            raise DirectiveError("days needs a count")
        return name, {"count": _number(args[0], int, name)}
    if name in ("large", "longline"):
        default = 5000000 if name == "large" else 100000
        return name, {"size": _number(args[0], int, name) if args else default}
    if name == "forecasts":
        return name, {"count": _number(args[0], int, name) if args else 1000000}
    if name == "trickle":
        seconds = _number(args[0], float, name) if args else 4.0
        return name, {"seconds": seconds, "at": _number(args[1], int, name) if len(args) > 1 else 0}
    if name in ("stall", "stallbody"):
        seconds = _number(args[0], float, name) if args else 8.0
        at = _number(args[1], int, name) if len(args) > 1 else None
        return name, {"seconds": seconds, "at": at}
    if name in ("truncate", "reset"):
        return name, {"at": _number(args[0], int, name) if args else None}
    return None


def split_location(raw):
    """Splits a location into its directives and its place (the other "/" segments)."""
    directives, place = [], []
    for segment in raw.split("/"):
        try:
            parsed = parse_directive(segment)
        except DirectiveError:
            parsed = None
        if parsed is None:
            place.append(segment)
        else:
            directives.append(parsed)
    return directives, "/".join(place)


def parse_mode(text):
    """A control request's mode: directives joined by "/"; every segment must be one."""
    result = []
    for segment in text.split("/"):
        if segment in ("", "normal"):
            continue
        parsed = parse_directive(segment)
        if parsed is None:
            raise DirectiveError("unknown directive %r" % segment)
        result.append(parsed)
    return result


def directive_text(directives):
    parts = []
    for name, args in directives:
        values = [v for v in args.values() if v is not None]
        if name in ("sky", "wmo"):
            values = [",".join(str(c) for c in args["codes"])]
        parts.append(":".join([name] + [str(v) for v in values]))
    return "/".join(parts)


# --------------------------------------------------------------------------------------------
# The forecast


def place_parts(place):
    """(location code or None, place name, country code or None) from a raw place text."""
    text = place.replace("&amp;", "&")
    code, name = None, None
    match = re.match(r"\s*(wc:[A-Za-z0-9]+)", text)
    if match:
        code = match.group(1)
    query = re.search(r"(?:^|&)q=(.*)$", text)
    if query:
        name = urllib.parse.unquote_plus(query.group(1), errors="replace").strip()
    elif code is None:
        name = urllib.parse.unquote_plus(text, errors="replace").strip()
    if code is not None and not name:
        name = "Station %s" % code[3:]
    country = None
    pieces = [p.strip() for p in (name or "").split(",")]
    if len(pieces) > 1 and re.fullmatch(r"[A-Za-z]{3}", pieces[-1]):
        country = pieces[-1].upper()
    return code, name or "", country


def climate_for(place):
    """(lat, lon, tz, mean adjustment, swing factor, wetness) for a place text."""
    _, name, country = place_parts(place)
    city = name.split(",")[0].strip()
    for key in (city.lower(), fold(city)):
        if key in CITIES:
            return CITIES[key], True
    rng = seeded("climate", place)
    if country in COUNTRIES:
        lat, lon, tz, adj, swing, wet = COUNTRIES[country]
        return (lat + rng.uniform(-4, 4), lon + rng.uniform(-6, 6), tz, adj + rng.uniform(-3, 3),
                swing, wet + rng.uniform(-0.2, 0.2)), False
    lat = rng.choice([-1, 1, 1, 1]) * rng.uniform(5, 58)
    lon = rng.uniform(-150, 150)
    return (round(lat, 2), round(lon, 2), round(lon / 15), rng.uniform(-6, 4),
            rng.uniform(0.6, 1.4), rng.uniform(-0.5, 0.4)), False


def daily_mean(lat, adj, swing, day):
    """Mean temperature in °F: warm near the equator, cooler and more seasonal further out."""
    alat = abs(lat)
    annual = 80 - max(0.0, alat - 20) + adj
    amplitude = max(2.0, (alat - 10) * 0.55) * swing
    phase = math.cos(2 * math.pi * (day.timetuple().tm_yday - 18) / 365.25)
    return annual - amplitude * phase if lat >= 0 else annual + amplitude * phase


def choose_sky(rng, low, high, precip):
    if precip < 15:
        if high >= 98:
            return rng.choice([36, 36, 32, 21])
        if high <= 5:
            return rng.choice([25, 32, 34])
        if rng.random() < 0.2:
            return rng.choice([32, 34, 24, 23] + ([21, 19] if high >= 75 else []))
        return rng.choice([32, 34])
    if precip < 35:
        family = [30, 30, 30, 34, 23]
        if low > 28 and high < 75:
            family.append(20)
        if high <= 10:
            family.append(25)
        return rng.choice(family)
    if precip < 55:
        return rng.choice([28, 28, 26, 30])
    if high <= 33:
        family = [13, 41, 14, 14] if precip < 75 else [16, 16, 16, 16, 42, 42, 15, 43]
    elif low <= 32 and high <= 40:
        family = [5, 7, 9] if precip < 75 else [6, 18, 10, 8, 7]
    elif high >= 80:
        family = [37, 38, 39, 11] if precip < 75 else [4, 4, 4, 4, 40, 40, 40, 3, 35, 17]
    else:
        family = [11, 39, 9, 39] if precip < 75 else [12, 12, 40, 11]
    return rng.choice(family)


def build_forecast(place, today, directives, degree="F", base_url=""):
    """The weather answer's text for one place; directives shape sky, language and days."""
    opts = {name: args for name, args in directives}
    if "forecasts" in opts:
        return (b'<?xml version="1.0"?>\n<weatherdata>\n  <weather>\n'
                + b"    <forecast/>\n" * opts["forecasts"]["count"]
                + b"  </weather>\n</weatherdata>\n")
    if "stale" in opts:
        today -= datetime.timedelta(days=opts["stale"]["days"])
    lang = opts.get("lang", {}).get("lang", "en")
    names, shorts = DAY_NAMES[lang]
    sky_codes = opts.get("sky", {}).get("codes")
    day_count = opts.get("days", {}).get("count", 5)

    def sky_text(code):
        if lang == "en":
            return SKY_TEXTS[code]
        return KIND_TEXTS[lang][SKY_KIND[code]]

    def temp(f):
        return round(f) if degree != "C" else round((f - 32) * 5 / 9)

    code, name, _ = place_parts(place)
    (lat, lon, tz, adj, swing, wetness), _ = climate_for(place)
    loc_rng = seeded("place", place)
    if code is None:
        code = "wc:%d" % loc_rng.randrange(1000000, 9999999)
    # Days and nights differ little in the humid tropics and a lot in deserts.
    spread = loc_rng.uniform(10, 20) * (0.55 + 0.45 * min(1.0, abs(lat) / 30))
    if wetness < -0.5:
        spread *= 1.3
    periods = (loc_rng.uniform(5, 9), loc_rng.uniform(2.5, 4), loc_rng.uniform(4, 7))
    phases = [loc_rng.uniform(0, 2 * math.pi) for _ in range(3)]
    wobble = 2 + 0.15 * abs(lat)

    days = []
    for offset in range(-1, day_count - 1):
        day = today + datetime.timedelta(days=offset)
        rng = seeded("day", place, day.isoformat())
        t = day.toordinal()
        anomaly = wobble * (0.7 * math.sin(2 * math.pi * t / periods[0] + phases[0])
                            + 0.3 * math.sin(2 * math.pi * t / periods[1] + phases[1]))
        mean = daily_mean(lat, adj, swing, day) + anomaly + rng.uniform(-2, 2)
        width = max(6.0, spread + rng.uniform(-3, 3))
        low, high = round(mean - width / 2), round(mean + width / 2)
        wet = (0.75 * math.sin(2 * math.pi * t / periods[2] + phases[2])
               + rng.uniform(-0.45, 0.45) + wetness)
        precip = max(0, min(100, int(round((wet + 1) * 50 / 10.0)) * 10))
        if sky_codes:
            sky = sky_codes[min(len(days), len(sky_codes) - 1)]
        else:
            sky = choose_sky(rng, low, high, precip)
        days.append({"day": day, "low": low, "high": high, "sky": sky,
                     "precip": "" if offset == -1 else str(precip)})

    cur_rng = seeded("current", place, today.isoformat())
    today_entry = next((d for d in days if d["day"] == today), None)
    if today_entry is None:
        mean = daily_mean(lat, adj, swing, today)
        today_entry = {"low": round(mean - 7), "high": round(mean + 7),
                       "sky": sky_codes[0] if sky_codes else 30, "precip": "20"}
    hour = cur_rng.randrange(6, 23)
    shape = max(0.0, math.sin(math.pi * (hour - 5) / 20))
    current = today_entry["low"] + (today_entry["high"] - today_entry["low"]) * shape
    current_sky = today_entry["sky"]
    if not sky_codes and (hour >= 20 or hour < 7):
        current_sky = NIGHT_CODE.get(current_sky, current_sky)
    wind = cur_rng.randrange(2, 18) + (15 if current_sky in (23, 24, 15, 43) else 0)
    humidity = max(15, min(98, int(35 + int(today_entry["precip"] or 30) * 0.55
                                   + cur_rng.uniform(-10, 10))))
    feels = current
    if current <= 50 and wind >= 3:
        v = wind ** 0.16
        feels = 35.74 + 0.6215 * current - 35.75 * v + 0.4275 * current * v
    elif current >= 80:
        feels = current + (humidity - 40) / 8
    wind_text = "%d mph %s" % (wind, cur_rng.choice(WIND_DIRECTIONS))

    weekday = today.weekday()
    lines = ['<?xml version="1.0"?>', "<weatherdata %s>" % XMLNS]
    weather = [
        ("weatherlocationcode", code), ("weatherlocationname", name), ("zipcode", ""),
        ("url", base_url + "/pr/brisalune"), ("imagerelativeurl", base_url + "/img/"),
        ("degreetype", degree), ("provider", "Brisalune stand-in"),
        ("attribution", "Invented forecasts for tests and demonstrations"),
        ("lat", "%.2f" % lat), ("long", "%.2f" % lon), ("timezone", "%g" % tz), ("alert", ""),
        ("entityid", str(loc_rng.randrange(10000, 99999))),
        ("encodedlocationname", urllib.parse.quote_plus(name)),
    ]
    lines.append("  " + element("weather", weather)[:-2] + ">")
    lines.append("    " + element("current", [
        ("temperature", temp(current)), ("skycode", current_sky),
        ("skytext", sky_text(current_sky)), ("date", today.isoformat()),
        ("observationtime", "%02d:00:00" % hour), ("observationpoint", name.split(",")[0]),
        ("feelslike", temp(feels)), ("humidity", humidity), ("winddisplay", wind_text),
        ("day", names[weekday]), ("shortday", shorts[weekday]), ("windspeed", "%d mph" % wind),
    ]))
    for d in days:
        wd = d["day"].weekday()
        lines.append("    " + element("forecast", [
            ("low", temp(d["low"])), ("high", temp(d["high"])), ("skycodeday", d["sky"]),
            ("skytextday", sky_text(d["sky"])), ("date", d["day"].isoformat()),
            ("day", names[wd]), ("shortday", shorts[wd]), ("precip", d["precip"]),
        ]))
    lines.append('    <toolbar timewindow="60" minversion="1.0.1965.0"/>')
    lines.append("  </weather>")
    lines.append("</weatherdata>")
    return ("\n".join(lines) + "\n").encode("utf-8")


def build_error_answer():
    return ('<?xml version="1.0"?>\n<weatherdata %s>\n  <weather errormessage="%s"/>\n'
            "</weatherdata>\n" % (XMLNS, xml_attr(ERROR_MESSAGE))).encode("utf-8")


def is_known_place(place):
    code, _, _ = place_parts(place)
    return bool(code and re.fullmatch(r"wc:\d+", code)) or climate_for(place)[1]


# --------------------------------------------------------------------------------------------
# The keyless forecast service (/v1/forecast)

OPEN_METEO_DAILY = ("weather_code", "temperature_2m_max", "temperature_2m_min",
                    "precipitation_probability_max")
OPEN_METEO_UNITS = {"weather_code": "wmo code", "precipitation_probability_max": "%"}


def open_meteo_error(reason):
    return Answer(400, json.dumps({"error": True, "reason": reason}).encode("utf-8"),
                  "application/json; charset=utf-8")


def choose_wmo(rng, low, high, precip):
    """A WMO weather code that fits the day's temperatures (°F) and chance of rain."""
    if precip < 15:
        return rng.choice([0, 0, 1])
    if precip < 35:
        return rng.choice([1, 2, 2] + ([45] if low > 28 and high < 70 else []))
    if precip < 55:
        return rng.choice([2, 3, 3])
    if high <= 33:
        return rng.choice([71, 73, 85] if precip < 75 else [73, 75, 86, 77])
    if low <= 32 and high <= 40:
        return rng.choice([56, 66, 51] if precip < 75 else [57, 67, 73])
    if high >= 80:
        return rng.choice([80, 81, 95] if precip < 75 else [82, 95, 96, 99])
    return rng.choice([51, 61, 80, 53] if precip < 75 else [63, 65, 81])


def coordinate(fields, name, limit):
    """The value of a coordinate field, or an error answer."""
    text = fields.get(name, [""])[-1]
    try:
        value = float(text)
    except ValueError:
        return None, open_meteo_error("Parameter '%s' is missing or not a number" % name)
    if not -limit <= value <= limit:
        return None, open_meteo_error("%s must be in range of -%d to %d. Given: %s."
                                      % (name.capitalize(), limit, limit, text))
    return value, None


def build_open_meteo(query, today, opts):
    """The answer of /v1/forecast: JSON of the documented shape, or the service's error."""
    if "apierror" in opts:
        return open_meteo_error("The stand-in was asked to refuse this request.")
    fields = urllib.parse.parse_qs(query, keep_blank_values=True)
    lat, error = coordinate(fields, "latitude", 90)
    if error is None:
        lon, error = coordinate(fields, "longitude", 180)
    if error is not None:
        return error
    variables = [v for v in ",".join(fields.get("daily", [])).split(",") if v]
    for variable in variables:
        if variable not in OPEN_METEO_DAILY:
            return open_meteo_error("Cannot initialize ForecastVariableDaily from invalid "
                                    "String value %s for key daily" % variable)
    fahrenheit = fields.get("temperature_unit", ["celsius"])[-1] == "fahrenheit"
    try:
        count = min(16, max(0, int(fields.get("forecast_days", ["7"])[-1])))
        past = min(2, max(0, int(fields.get("past_days", ["0"])[-1])))
    except ValueError:
        return open_meteo_error("forecast_days and past_days are whole numbers")
    count = opts.get("days", {}).get("count", count)
    start = today - datetime.timedelta(days=past + opts.get("stale", {}).get("days", 0))
    offset = round(lon / 15) if fields.get("timezone", [""])[-1] == "auto" else 0
    wmo = opts.get("wmo", {}).get("codes")

    place_rng = seeded("open-meteo place", "%.4f" % lat, "%.4f" % lon)
    wetness = place_rng.uniform(-0.4, 0.4)
    daily = {"time": []}
    for variable in variables:
        daily[variable] = []
    for i in range(past + count):
        day = start + datetime.timedelta(days=i)
        rng = seeded("open-meteo day", "%.4f" % lat, "%.4f" % lon, day.isoformat())
        mean = daily_mean(lat, 0, 1.0, day) + rng.uniform(-4, 4)
        width = rng.uniform(8, 20)
        high, low = mean + width / 2, mean - width / 2
        precip = int(max(0, min(100, round((rng.uniform(-0.6, 0.6) + wetness + 0.5) * 100))))
        code = wmo[min(i, len(wmo) - 1)] if wmo else choose_wmo(rng, low, high, precip)

        def degrees(f):
            return round(f if fahrenheit else (f - 32) * 5 / 9, 1)
        values = {"weather_code": code, "temperature_2m_max": degrees(high),
                  "temperature_2m_min": degrees(low), "precipitation_probability_max": precip}
        daily["time"].append(day.isoformat())
        for variable in variables:
            daily[variable].append(values[variable])
    unit = "\u00b0F" if fahrenheit else "\u00b0C"
    units = {"time": "iso8601"}
    for variable in variables:
        units[variable] = OPEN_METEO_UNITS.get(variable, unit)
    missing = opts.get("missing")
    if missing is not None and missing["list"] is not None:
        daily.pop(missing["list"], None)
    if "ragged" in opts and len(daily) > 1:
        last = list(daily)[-1]
        daily[last] = daily[last][:-1]
    answer = {
        "latitude": round(lat * 50) / 50, "longitude": round(lon * 50) / 50,
        "generationtime_ms": 0.04, "utc_offset_seconds": offset * 3600,
        "timezone": "GMT" if offset == 0 else "Etc/GMT%+d" % -offset,
        "timezone_abbreviation": "GMT" if offset == 0 else "GMT%+d" % offset,
        "elevation": round(place_rng.uniform(0, 1500)),
    }
    if missing is None or missing["list"] is not None:
        answer["daily_units"] = units
        answer["daily"] = daily
    body = json.dumps(answer, ensure_ascii=False, separators=(",", ":")).encode("utf-8")
    return Answer(200, body, "application/json; charset=utf-8")


# --------------------------------------------------------------------------------------------
# Other bodies


def html_page(title, text):
    # Deliberately loose HTML (void elements left open), so it is not well-formed XML.
    return ("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>%s</title>\n"
            "</head>\n<body>\n<h1>%s</h1>\n<p>%s<br>\n<hr>\n</body>\n</html>\n"
            % (title, title, text)).encode("utf-8")


def error_page(code):
    from http import HTTPStatus
    try:
        phrase = HTTPStatus(code).phrase
    except ValueError:
        phrase = "Error"
    return html_page("%d %s" % (code, phrase), "The stand-in was asked to answer %d." % code)


def garbage_body():
    rng = seeded("garbage")
    alphabet = "abcdefghijklmnopqrstuvwxyz0123456789 {}[]()#$;:!?"
    lines = ["}}} this is not XML {{{ <<<< >> </>< &&&"]
    for _ in range(12):
        lines.append("".join(rng.choice(alphabet) for _ in range(60)))
    return ("\n".join(lines) + "\n").encode("ascii")


def binary_body():
    rng = seeded("binary")
    data = bytearray(rng.randrange(256) for _ in range(512))
    data[0:4] = b"\x00\xff\x00\xfe"
    return bytes(data)


PRODUCT_PAGE = html_page(
    "Brisalune - Forecast of international cities",
    "Brisalune is a free desktop weather widget: keep a list of cities from all over the world "
    "and see their forecasts at a glance.")

INDEX_PAGE = html_page(
    "Brisalune stand-in service",
    "Paths: /data.aspx?weadegreetype=F&amp;wealocations=..., "
    "/dl/brisalune/ver/windows_version.xml, /submit-brisalune.php, /pr/brisalune. "
    "Control: /_control/ (plain text help).")


def version_document(value, news):
    lines = ['<?xml version="1.0" encoding="utf-8"?>', "<version>"]
    if value is not None:
        lines.append("  <value>%s</value>" % xml_attr(value))
    if news is not None:
        lines.append("  <news>%s</news>" % xml_attr(news))
    lines.append("</version>")
    return ("\n".join(lines) + "\n").encode("utf-8")


def pad(body, size, single_line):
    """Pads a body to exactly `size` bytes with comment lines; never shortens it."""
    if size <= len(body):
        return body
    missing = size - len(body)
    if body.startswith(b"{") and body.endswith(b"}"):
        # White space before the closing brace keeps the document JSON.
        filler = b" " * missing if single_line else (b" " * 99 + b"\n") * (missing // 100)
        return body[:-1] + filler + b" " * (missing - len(filler)) + b"}"
    head, tail = body, b""
    closing = body.rstrip().rfind(b"\n")
    if body.lstrip().startswith(b"<") and closing > 0:
        # Inside the root element, so the padded document is still well-formed.
        head, tail = body[:closing + 1], body[closing + 1:]
    if single_line:
        if missing < 10:
            return head + b" " * (missing - 1) + b"\n" + tail
        return head + b"<!-- " + b"x" * (missing - 10) + b" -->\n" + tail
    lines, n = [], 0
    while missing > 0:
        line = b"  <!-- padding %07d " % n
        n += 1
        if missing >= 100:
            line += b"." * (100 - len(line) - 5) + b" -->\n"
        elif missing >= len(line) + 5:
            line += b"." * (missing - len(line) - 5) + b" -->\n"
        else:
            line = b" " * (missing - 1) + b"\n"
        lines.append(line)
        missing -= len(line)
    return head + b"".join(lines) + tail


# --------------------------------------------------------------------------------------------
# Shared state


class State:
    def __init__(self, announce, news, today):
        self.lock = threading.Lock()
        self.default_version = version_document(announce, news)
        self.fixed_today = today
        self.reset()

    def reset(self):
        with self.lock:
            self.rules = {}          # ("location", norm) / ("path", p) / ("all", "") -> list
            self.fail_counters = {}
            self.path_counts = {}
            self.location_counts = {}
            self.total = 0
            self.posts = []
            self.version = self.default_version

    def today(self):
        return self.fixed_today or datetime.date.today()

    def count(self, path, location):
        with self.lock:
            self.total += 1
            self.path_counts[path] = self.path_counts.get(path, 0) + 1
            if location is not None:
                self.location_counts[location] = self.location_counts.get(location, 0) + 1

    def next_attempt(self, key):
        with self.lock:
            self.fail_counters[key] = self.fail_counters.get(key, 0) + 1
            return self.fail_counters[key]

    def rule_for(self, path, location, place):
        with self.lock:
            if location is not None:
                for text in (location, place):
                    rule = self.rules.get(("location", normalise_location(text)))
                    if rule is not None:
                        return rule
            rule = self.rules.get(("path", path))
            if rule is not None:
                return rule
            return self.rules.get(("all", ""), [])


# --------------------------------------------------------------------------------------------
# The server


class Answer:
    def __init__(self, status=200, body=b"", content_type="text/plain; charset=utf-8",
                 headers=None):
        self.status = status
        self.body = body
        self.content_type = content_type
        self.headers = headers or []


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "BrisaluneStandIn/1.0"

    def version_string(self):
        return self.server_version

    # -- plumbing ----------------------------------------------------------------------------

    # Long enough for any stall, short enough that silent clients do not pile up threads.
    timeout = 300

    def log_message(self, fmt, *args):
        pass

    def note(self, status, length, extra=""):
        if self.server.quiet:
            return
        target = self.path if len(self.path) <= 110 else self.path[:107] + "..."
        line = "%s %s %s -> %d %dB%s" % (time.strftime("%H:%M:%S"), self.command, target,
                                        status, length, extra)
        try:
            sys.stderr.write(line + "\n")
            sys.stderr.flush()
        except (OSError, ValueError):
            pass

    def read_body(self):
        if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
            chunks = []
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while self.rfile.readline() not in (b"\r\n", b"\n", b""):
                        pass
                    return b"".join(chunks)
                chunks.append(self.rfile.read(size))
                self.rfile.readline()
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def do_GET(self):
        self.dispatch(b"")

    def do_HEAD(self):
        self.dispatch(b"")

    def do_POST(self):
        self.dispatch(self.read_body())

    def do_PUT(self):
        self.dispatch(self.read_body())

    def do_DELETE(self):
        self.dispatch(self.read_body())

    def dispatch(self, body):
        path, _, query = self.path.partition("?")
        if "://" in path:  # absolute form, as sent through a proxy
            path = "/" + path.split("://", 1)[1].partition("/")[2]
        try:
            if path == "/_control" or path.startswith("/_control/"):
                answer = self.control(path, query, body)
                self.send(answer, [])
            else:
                self.serve(path, query, body)
        except (BrokenPipeError, ConnectionResetError, ConnectionAbortedError):
            self.close_connection = True

    # -- the public paths --------------------------------------------------------------------

    def serve(self, path, query, body):
        state = self.server.state
        redirected = path.startswith("/r/")
        inner = path[2:] if redirected else path
        location = None
        if inner == "/data.aspx":
            match = re.search(r"(?:^|&)wealocations=", query)
            location = query[match.end():] if match else ""
        elif inner == "/v1/forecast":
            fields = urllib.parse.parse_qs(query, keep_blank_values=True)
            location = "%s,%s" % (fields.get("latitude", [""])[-1],
                                  fields.get("longitude", [""])[-1])
        state.count(path, location)
        if self.command in ("POST", "PUT"):
            with state.lock:
                state.posts.append({"path": path, "query": query, "body": body,
                                    "headers": list(self.headers.items())})

        own, place = split_location(location) if location is not None else ([], "")
        if redirected:
            directives = [d for d in own if d[0] in ("sky", "lang", "days", "forecasts")]
        else:
            directives = own + state.rule_for(inner, location, place)
        opts = {}
        for name, args in directives:
            opts.setdefault(name, args)
        answer = None

        for name in ("fail", "failempty"):
            if name in opts and not redirected:
                key = opts[name]["key"]
                key = ("key", key) if key else ("auto", inner, normalise_location(location or ""))
                if state.next_attempt(key) <= opts[name]["count"]:
                    answer = Answer(500, error_page(500), "text/html; charset=utf-8") \
                        if name == "fail" else Answer(200, b"")
                    self.send(answer, [], " [%s, attempt %d]" % (name, state.fail_counters[key]))
                    return

        if "status" in opts:
            code = opts["status"]["code"]
            answer = Answer(code, error_page(code), "text/html; charset=utf-8")
        elif "redirect" in opts:
            target = "/r" + self.path
            absolute = self.server.base_url + target
            answer = Answer(opts["redirect"]["code"],
                            ("Redirect answer of %s: moved to %s\n" % (inner, target)).encode(),
                            headers=[("Location", absolute)])
        elif "html" in opts:
            answer = Answer(200, html_page("Service Unavailable",
                                           "The weather service is resting. Come back later."),
                            "text/html; charset=utf-8")
        elif "garbage" in opts:
            answer = Answer(200, garbage_body())
        elif "binary" in opts:
            answer = Answer(200, binary_body(), "application/octet-stream")
        elif "empty" in opts:
            answer = Answer(200, b"")
        else:
            answer = self.normal_answer(inner, query, location, place, opts, directives)

        if "large" in opts:
            answer.body = pad(answer.body, opts["large"]["size"], False)
        if "longline" in opts:
            answer.body = pad(answer.body, opts["longline"]["size"], True)
        if "crlf" in opts:
            answer.body = answer.body.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        if "nofinallf" in opts:
            if answer.body.endswith(b"\r\n"):
                answer.body = answer.body[:-2]
            elif answer.body.endswith(b"\n"):
                answer.body = answer.body[:-1]
        shown = directive_text(directives)
        self.send(answer, directives, " [%s]" % shown if shown else "")

    def normal_answer(self, inner, query, location, place, opts, directives):
        state = self.server.state
        if inner == "/data.aspx":
            degree = "C" if re.search(r"(?:^|&)weadegreetype=C(?:&|$)", query) else "F"
            if (location == "" or "unknown" in opts
                    or ("strict" in opts and not is_known_place(place))):
                return Answer(200, build_error_answer(), "text/xml; charset=utf-8")
            # A location made of directives alone still gets a forecast, named after itself.
            body = build_forecast(place or location, state.today(), directives, degree,
                                  self.server.base_url)
            return Answer(200, body, "text/xml; charset=utf-8")
        if inner == "/v1/forecast":
            return build_open_meteo(query, state.today(), opts)
        if inner == "/dl/brisalune/ver/windows_version.xml":
            with state.lock:
                return Answer(200, state.version, "text/xml; charset=utf-8")
        if inner == "/submit-brisalune.php":
            if self.command in ("POST", "PUT"):
                return Answer(200, COMMENT_ANSWER if self.path.startswith("/submit") else
                              b"Comment received after a redirect.\n")
            return Answer(200, b"This script takes comments sent by POST.\n")
        if inner == "/pr/brisalune":
            return Answer(200, PRODUCT_PAGE, "text/html; charset=utf-8")
        if inner in ("/", "/index.html"):
            return Answer(200, INDEX_PAGE, "text/html; charset=utf-8")
        return Answer(404, error_page(404), "text/html; charset=utf-8")

    # -- sending -----------------------------------------------------------------------------

    def send(self, answer, directives, extra=""):
        opts = dict((name, args) for name, args in reversed(directives))
        body = answer.body
        if "stall" in opts:
            time.sleep(opts["stall"]["seconds"])
        no_body = self.command == "HEAD" or answer.status in (204, 304) or answer.status < 200
        self.send_response(answer.status)
        self.send_header("Content-Type", answer.content_type)
        if not no_body or self.command == "HEAD":
            self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-cache")
        for name, value in answer.headers:
            self.send_header(name, value)
        keep = self.server.keep_alive and not ({"truncate", "reset"} & set(opts))
        if not keep:
            self.close_connection = True
            self.send_header("Connection", "close")
        self.end_headers()
        self.note(answer.status, len(body), extra)
        if no_body:
            return
        if "truncate" in opts or "reset" in opts:
            name = "truncate" if "truncate" in opts else "reset"
            cut = opts[name]["at"]
            cut = min(len(body), cut) if cut is not None else half_at_line(body)
            self.wfile.write(body[:cut])
            self.wfile.flush()
            if name == "reset":
                time.sleep(0.5)
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                           struct.pack("ii", 1, 0))
                self.connection.close()
            return
        if "trickle" in opts:
            cut = min(len(body), opts["trickle"]["at"])
            self.wfile.write(body[:cut])
            self.wfile.flush()
            for at in range(cut, len(body)):
                time.sleep(opts["trickle"]["seconds"])
                self.wfile.write(body[at:at + 1])
                self.wfile.flush()
            return
        if "stallbody" in opts:
            cut = opts["stallbody"]["at"]
            cut = min(len(body), cut) if cut is not None else half_at_line(body)
            self.wfile.write(body[:cut])
            self.wfile.flush()
            time.sleep(opts["stallbody"]["seconds"])
            body = body[cut:]
        self.wfile.write(body)
        self.wfile.flush()

    # -- control -----------------------------------------------------------------------------

    def control(self, path, query, body):
        state = self.server.state
        fields = urllib.parse.parse_qs(query, keep_blank_values=True)
        if body:
            form = body.rstrip(b"\0").decode("utf-8", "replace")
            for key, values in urllib.parse.parse_qs(form, keep_blank_values=True).items():
                fields.setdefault(key, []).extend(values)
        arg = {k: v[-1] for k, v in fields.items()}
        name = path[len("/_control"):].strip("/")

        def text(value, status=200):
            return Answer(status, (str(value) + "\n").encode("utf-8"))

        def as_json(value):
            return Answer(200, (json.dumps(value, ensure_ascii=False, indent=1) + "\n")
                          .encode("utf-8"), "application/json; charset=utf-8")

        if name == "":
            return text(HELP_TEXT.strip("\n"))
        if name == "reset":
            state.reset()
            return text("ok")
        if name == "mode":
            try:
                directives = parse_mode(arg.get("mode", ""))
            except DirectiveError as error:
                return text("bad mode: %s" % error, 400)
            if "location" in arg:
                key = ("location", normalise_location(arg["location"]))
            elif "path" in arg:
                key = ("path", arg["path"])
            else:
                key = ("all", "")
            with state.lock:
                if directives:
                    state.rules[key] = directives
                else:
                    state.rules.pop(key, None)
            return text("ok")
        if name == "rules":
            with state.lock:
                return as_json([{"scope": k[0], "target": k[1], "mode": directive_text(v)}
                                for k, v in state.rules.items()])
        if name == "counts":
            with state.lock:
                return as_json({"total": state.total, "paths": dict(state.path_counts),
                                "locations": dict(state.location_counts)})
        if name == "count":
            with state.lock:
                if "path" in arg:
                    return text(state.path_counts.get(arg["path"], 0))
                if "location" in arg:
                    wanted = normalise_location(arg["location"])
                    return text(sum(n for loc, n in state.location_counts.items()
                                    if normalise_location(loc) == wanted))
                return text(state.total)
        if name == "posts":
            with state.lock:
                return as_json([post_json(i, p) for i, p in enumerate(state.posts)])
        if name == "posts.hex":
            with state.lock:
                return Answer(200, "".join(p["body"].hex() + "\n" for p in state.posts).encode())
        if name == "posts/clear":
            with state.lock:
                state.posts = []
            return text("ok")
        if name.startswith("posts/"):
            with state.lock:
                try:
                    return text(state.posts[int(name[len("posts/"):])]["body"].hex())
                except (ValueError, IndexError):
                    return text("no such post", 404)
        if name == "version":
            with state.lock:
                if "default" in arg:
                    state.version = state.default_version
                elif "document" in arg:
                    state.version = arg["document"].encode("utf-8")
                else:
                    current = version_fields(state.version)
                    value = arg.get("value", current[0])
                    news = arg.get("news", current[1])
                    if "novalue" in arg:
                        value = None
                    if "nonews" in arg:
                        news = None
                    state.version = version_document(value, news)
                return Answer(200, state.version, "text/xml; charset=utf-8")
        if name == "state":
            with state.lock:
                return as_json({
                    "rules": [{"scope": k[0], "target": k[1], "mode": directive_text(v)}
                              for k, v in state.rules.items()],
                    "counts": {"total": state.total, "paths": dict(state.path_counts),
                               "locations": dict(state.location_counts)},
                    "posts": len(state.posts), "today": state.today().isoformat(),
                    "version": state.version.decode("utf-8", "replace")})
        return text("unknown control request %s" % path, 404)


def version_fields(document):
    """(value, news) of a document this service made; None for a missing element."""
    import xml.etree.ElementTree as ET
    try:
        root = ET.fromstring(document)
    except ET.ParseError:
        return None, None
    value, news = root.find("value"), root.find("news")
    return (None if value is None else value.text or "",
            None if news is None else news.text or "")


def half_at_line(body):
    """About half of the body, ending after a line feed when there is one before the middle."""
    middle = len(body) // 2
    cut = body.rfind(b"\n", 0, middle)
    return cut + 1 if cut > 0 else middle


def post_json(index, post):
    body = post["body"]
    form = body[:-1] if body.endswith(b"\0") else body
    fields = []
    for pair in form.split(b"&"):
        if pair:
            key, _, value = pair.partition(b"=")
            fields.append([urllib.parse.unquote_plus(key.decode("latin-1"), "latin-1"),
                           urllib.parse.unquote_plus(value.decode("latin-1"), "latin-1")])
    return {"index": index, "path": post["path"], "query": post["query"],
            "headers": [list(h) for h in post["headers"]], "length": len(body),
            "body_hex": body.hex(), "body_b64": base64.b64encode(body).decode("ascii"),
            "fields": fields}


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 128

    def __init__(self, port, state, quiet=False, keep_alive=False):
        super().__init__(("127.0.0.1", port), Handler)
        self.state = state
        self.quiet = quiet
        self.keep_alive = keep_alive
        self.base_url = "http://127.0.0.1:%d" % self.server_address[1]

    def handle_error(self, request, client_address):
        # A client that hangs up mid-answer is an everyday event for this service.
        error = sys.exc_info()[1]
        if not isinstance(error, (ConnectionError, OSError)) and not self.quiet:
            super().handle_error(request, client_address)


def parse_args(argv):
    parser = argparse.ArgumentParser(
        prog="fake-service", description=HELP_TEXT,
        formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port", type=int, default=0,
                        help="port on 127.0.0.1 (default 0: any free port)")
    parser.add_argument("--quiet", action="store_true", help="no log line per request")
    parser.add_argument("--announce", default=DEFAULT_ANNOUNCE, metavar="VERSION",
                        help="version the version document announces (default %(default)s); "
                             "an empty text leaves the <value> element out")
    parser.add_argument("--news", default=DEFAULT_NEWS, metavar="TEXT",
                        help="text of the version document's <news> element")
    parser.add_argument("--today", metavar="YYYY-MM-DD",
                        type=lambda s: datetime.date.fromisoformat(s),
                        help="date the forecasts count as today (default: the local date)")
    parser.add_argument("--url-file", metavar="PATH",
                        help="also write the base URL into this file once listening")
    parser.add_argument("--keep-alive", action="store_true",
                        help="keep connections open between requests (default: close after "
                             "every answer)")
    return parser.parse_args(argv)


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    state = State(args.announce or None, args.news, args.today)
    server = Server(args.port, state, args.quiet, args.keep_alive)
    sys.stdout.write(server.base_url + "\n")
    sys.stdout.flush()
    if args.url_file:
        temp = args.url_file + ".tmp"
        with open(temp, "w") as handle:
            handle.write(server.base_url + "\n")
        os.replace(temp, args.url_file)

    def stop(signum, frame):
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
