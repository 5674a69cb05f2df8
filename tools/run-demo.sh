#!/usr/bin/env bash
# `make run`: the widget under Wine against the stand-in weather services, in a demo program
# directory under build/ that the first run seeds with three cities: Calgary, served by the
# weather service; Zürich, which moved to Open-Meteo before; and Sydney, whose weather service
# answers only errors, so it is served by Open-Meteo too. On a display it runs until you exit
# it; without one it runs in Xvfb, waits for the first forecasts, saves a screenshot, prints
# its path and where each city's forecast came from, and ends.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/mingw"
demo="$root/build/demo"
source "$root/tools/wine-env.sh"

mkdir -p "$demo"
cp "$build/Brisalune.exe" "$demo/"
rm -rf "$demo/img" && cp -r "$build/img" "$demo/img"
# A demo directory seeded before there were two sources is seeded again, once.
if [ ! -f "$demo/citylist.xml" ] || [ ! -f "$demo/.seeded-2" ]; then
  cat > "$demo/citylist.xml" <<'CITIES'
<citylist>
    <city name="Calgary" param="wc:5913490&amp;q=Calgary%2c+CAN" />
    <city name="Zürich" param="wc:2657896&amp;q=Z%c3%bcrich%2c+CHE" source="open-meteo" />
    <city name="Sydney" param="wc:2147714&amp;q=Sydney%2c+AUS" />
</citylist>
CITIES
  touch "$demo/.seeded-2"
fi
dead_city="wc:2147714&q=Sydney%2c+AUS"

cleanup() {
  [ -n "${widget_pid:-}" ] && kill "$widget_pid" 2>/dev/null || true
  [ -n "${service_pid:-}" ] && kill "$service_pid" 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  wine_finish
}
trap cleanup EXIT

rm -f "$demo/service.url"
"$root/tools/fake-service/fake-service" --quiet --url-file "$demo/service.url" >/dev/null &
service_pid=$!
for _ in $(seq 100); do [ -s "$demo/service.url" ] && break; sleep 0.1; done
export BRISALUNE_WEATHER_URL=$(cat "$demo/service.url")
export BRISALUNE_FORECAST_URL=$BRISALUNE_WEATHER_URL BRISALUNE_SITE_URL=$BRISALUNE_WEATHER_URL
echo "stand-in weather services: $BRISALUNE_WEATHER_URL"
# Sydney's weather service is dead: every answer is an error page.
python3 - "$BRISALUNE_WEATHER_URL" "$dead_city" <<'DEAD'
import sys, urllib.parse, urllib.request
query = urllib.parse.urlencode({"location": sys.argv[2], "mode": "status:500"})
urllib.request.urlopen(sys.argv[1] + "/_control/mode?" + query).read()
DEAD

if [ -n "${DISPLAY:-}" ]; then
  wine_prepare
  echo "Brisalune runs in $demo; choose Exit in its menus to end it."
  (cd "$demo" && "$wine_loader" Brisalune.exe)
  exit 0
fi

# The X server picks a free display itself and writes its number once it is ready, so a
# display another program uses at the same time is never taken.
rm -f "$demo/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$demo/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$demo/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n 1 "$demo/display")
wine_prepare
(cd "$demo" && exec "$wine_loader" Brisalune.exe) >/dev/null 2>&1 &
widget_pid=$!

# Forecasts have arrived when every city in the list holds its days.
for _ in $(seq 120); do
  if python3 - "$demo/citylist.xml" <<'CHECK'
import sys, xml.etree.ElementTree as ET
try:
    cities = ET.parse(sys.argv[1]).getroot().findall("city")
except Exception:
    sys.exit(1)
sys.exit(0 if cities and all(c.findall("forecast") for c in cities) else 1)
CHECK
  then
    arrived=1
    break
  fi
  sleep 0.5
done
sleep 1.5
shot="$demo/screenshot.png"
xwd -root -silent -display "$DISPLAY" | convert xwd:- "$shot"
if [ -z "${arrived:-}" ]; then
  echo "no forecast arrived within a minute; screenshot of what showed: $shot" >&2
  exit 1
fi
echo "forecasts arrived; screenshot: $shot"
python3 - "$demo/citylist.xml" <<'SOURCES'
import sys, xml.etree.ElementTree as ET
for city in ET.parse(sys.argv[1]).getroot().findall("city"):
    days = city.findall("forecast")
    source = "Open-Meteo" if city.get("source") == "open-meteo" else "the weather service"
    print("  %-8s from %s, %d days from %s" % (city.get("name"), source, len(days),
                                               days[0].get("date") if days else "-"))
SOURCES
