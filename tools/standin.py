"""What the whole-program test and the figures share: the stand-in services on a free port,
Windows paths of Wine's Z: drive, and waiting for a condition."""
import os
import subprocess
import time
import urllib.parse
import urllib.request
import xml.etree.ElementTree as ET

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WINE = "/usr/lib/wine/wine64" if os.path.exists("/usr/lib/wine/wine64") else "wine"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wait_for(condition, seconds, step=0.1):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        result = condition()
        if result:
            return result
        time.sleep(step)
    return condition()


class Service:
    """The stand-in weather services and maker's site, started on a free port."""

    def __init__(self, work):
        url_file = os.path.join(work, "service.url")
        self.process = subprocess.Popen(
            [os.path.join(ROOT, "tools", "fake-service", "fake-service"), "--quiet",
             "--url-file", url_file], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        def url():
            if os.path.exists(url_file):
                with open(url_file) as text:
                    return text.read().strip()
        self.url = wait_for(url, 20)
        if not self.url:
            raise RuntimeError("the stand-in did not start")

    def get(self, address, **query):
        with urllib.request.urlopen(self.url + address + ("?" + urllib.parse.urlencode(query)
                                                       if query else ""), timeout=60) as answer:
            return answer.read()

    def count(self, **query):
        return int(self.get("/_control/count", **query))

    def forecast(self, param):
        """The weather service's days for the city, as the program asks for them."""
        answer = ET.fromstring(self.get("/data.aspx?weadegreetype=F&wealocations=" + param))
        return [dict(f.attrib) for f in answer.iter("forecast")]

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)
