#!/usr/bin/env python3
"""The source entries deps.sh makes from a machine's apt configuration: python3 -m unittest
test_deps (in this folder)."""

import os
import subprocess
import tempfile
import unittest

DEPS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "deps.sh")


class SourceEntriesTest(unittest.TestCase):
    def derive(self, files):
        with tempfile.TemporaryDirectory() as work:
            etc = os.path.join(work, "etc")
            os.makedirs(os.path.join(etc, "sources.list.d"))
            for name, text in files.items():
                with open(os.path.join(etc, name), "w") as handle:
                    handle.write(text)
            out = os.path.join(work, "out")
            subprocess.run(["bash", DEPS, "--source-entries", etc, out], check=True)
            with open(os.path.join(out, "sources.list")) as lines, \
                    open(os.path.join(out, "sources.list.d", "derived.sources")) as stanzas:
                return lines.read(), stanzas.read()

    def test_follow_the_machines_own_binary_entries_in_both_formats(self):
        lines, stanzas = self.derive({
            "sources.list":
                "deb http://mirror.example.org/debian trixie main contrib\n"
                "# deb http://commented.example.org/debian trixie main\n"
                "deb-src http://already.example.org/debian trixie main\n"
                "  deb [arch=amd64 signed-by=/k.gpg] http://mirror.example.org/debian sid main\n",
            "sources.list.d/extra.list": "deb file:/srv/local ./\n",
            "sources.list.d/old.list.disabled": "deb http://disabled.example.org/ x main\n",
            "sources.list.d/debian.sources":
                "Types: deb\n"
                "# a comment\n"
                "URIs: http://mirror.example.net/debian\n"
                "Suites: trixie trixie-updates\n"
                "Components: main\n"
                "Signed-By:\n"
                " -----BEGIN PGP PUBLIC KEY BLOCK-----\n"
                " .\n"
                " -----END PGP PUBLIC KEY BLOCK-----\n"
                "\n"
                "types: deb deb-src\n"
                "URIs: http://both.example.net/debian\n"
                "Suites: trixie\n"
                "\n"
                "Types: deb\n"
                "Enabled: no\n"
                "URIs: http://off.example.net/debian\n"
                "\n\n"
                "Types: deb-src\n"
                "URIs: http://sources-only.example.net/debian\n",
        })
        self.assertEqual(
            lines,
            "deb-src http://mirror.example.org/debian trixie main contrib\n"
            "deb-src [arch=amd64 signed-by=/k.gpg] http://mirror.example.org/debian sid main\n"
            "deb-src file:/srv/local ./\n")
        self.assertEqual(
            stanzas,
            "Types: deb-src\n"
            "URIs: http://mirror.example.net/debian\n"
            "Suites: trixie trixie-updates\n"
            "Components: main\n"
            "Signed-By:\n"
            " -----BEGIN PGP PUBLIC KEY BLOCK-----\n"
            " .\n"
            " -----END PGP PUBLIC KEY BLOCK-----\n"
            "\n"
            "Types: deb-src\n"
            "URIs: http://both.example.net/debian\n"
            "Suites: trixie\n"
            "\n")

    def test_no_host_of_its_own(self):
        self.assertEqual(self.derive({}), ("", ""))
        with open(DEPS) as script:
            self.assertNotRegex(script.read(), r"(https?|ftp)://")


if __name__ == "__main__":
    unittest.main()
