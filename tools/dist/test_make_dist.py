#!/usr/bin/env python3
"""The release zip: the same bytes from the same inputs whenever they were made, and texts that
Notepad shows right."""
import os
import tempfile
import unittest
import zipfile

import make_dist


class MakeDist(unittest.TestCase):
    def setUp(self):
        scratch = tempfile.TemporaryDirectory()
        self.addCleanup(scratch.cleanup)
        self.root = scratch.name
        os.environ["SOURCE_DATE_EPOCH"] = "1700000000"
        self.addCleanup(os.environ.pop, "SOURCE_DATE_EPOCH")
        files = {
            "Brisalune.exe": b"MZ program",
            "README.txt": b"Brisalune @VERSION@\nline two\n\n",
            "img/fc_32.gif": b"GIF89a",
            "img/ad.png": b"\x89PNG",
            "img/2x/fc_32.gif": b"GIF89a 2x",
            "licences/b.txt": "\ufeffZ\u00fcrich \u00a9\r\nend".encode(),
            "licences/a.txt": b"plain",
            "extra/copyright": b"by others\n",
        }
        for name, data in files.items():
            path = os.path.join(self.root, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as out:
                out.write(data)

    def pack(self, name):
        output = os.path.join(self.root, name)
        join = lambda name: os.path.join(self.root, name)
        make_dist.main(["--output", output, "--exe", join("Brisalune.exe"), "--img", join("img"),
                        "--version", "1.2.3", "--readme", join("README.txt"),
                        "--licences", join("licences"),
                        "--licence", "other.txt=" + join("extra/copyright")])
        with open(output, "rb") as packed:
            return packed.read()

    def test_the_same_inputs_give_the_same_bytes_in_one_folder_with_windows_texts(self):
        first = self.pack("first.zip")
        # A file touched since, as a fresh checkout or build touches every file.
        os.utime(os.path.join(self.root, "img", "ad.png"), (2e9, 2e9))
        self.assertEqual(self.pack("second.zip"), first)

        with zipfile.ZipFile(os.path.join(self.root, "first.zip")) as release:
            self.assertEqual(release.namelist(), [
                "Brisalune/", "Brisalune/Brisalune.exe", "Brisalune/README.txt",
                "Brisalune/img/", "Brisalune/img/2x/", "Brisalune/img/2x/fc_32.gif",
                "Brisalune/img/ad.png", "Brisalune/img/fc_32.gif",
                "Brisalune/licences/", "Brisalune/licences/a.txt", "Brisalune/licences/b.txt",
                "Brisalune/licences/other.txt"])
            self.assertEqual({info.date_time for info in release.infolist()},
                             {(2023, 11, 14, 22, 13, 20)})
            self.assertEqual(release.read("Brisalune/README.txt"),
                             b"Brisalune 1.2.3\r\nline two\r\n")
            self.assertEqual(release.read("Brisalune/licences/a.txt"), b"plain\r\n")
            self.assertEqual(release.read("Brisalune/licences/b.txt"),
                             "\ufeffZ\u00fcrich \u00a9\r\nend\r\n".encode())
            self.assertEqual(release.read("Brisalune/img/ad.png"), b"\x89PNG")


if __name__ == "__main__":
    unittest.main()
