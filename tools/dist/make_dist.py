#!/usr/bin/env python3
"""Packs the release zip a Windows user unzips and runs: one folder, Brisalune, holding the
program (its debugging data stripped), its img folder, the read-me and the licences.

The zip is the same byte for byte for the same inputs: entries in one fixed order, every entry
dated with the source's commit time (or SOURCE_DATE_EPOCH), fixed attributes. Texts get Windows
line ends, and a UTF-8 byte-order mark when they are not plain ASCII, so that Notepad shows them
right on every Windows version.

    make_dist.py --output Brisalune-1.0.0-win64.zip --exe Brisalune.exe --img img
                 --version 1.0.0 --readme README.txt --licences DIR [--licence NAME=FILE ...]
                 [--strip x86_64-w64-mingw32-strip]
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time
import zipfile

TOP = "Brisalune"
# The earliest time a zip entry can carry.
EARLIEST = 315532800  # 1980-01-01 00:00:00 UTC


def source_time(root):
    """Seconds since 1970 to date every entry with: SOURCE_DATE_EPOCH, else the last commit's
    time, else the earliest a zip holds."""
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return max(int(os.environ["SOURCE_DATE_EPOCH"]), EARLIEST)
    try:
        out = subprocess.run(["git", "-C", root, "log", "-1", "--format=%ct"],
                             capture_output=True, text=True, check=True).stdout.strip()
        return max(int(out), EARLIEST)
    except (OSError, subprocess.CalledProcessError, ValueError):
        return EARLIEST


def windows_text(data):
    """The text with CR LF line ends, a final line end, and a byte-order mark when it is not
    ASCII."""
    text = data.decode("utf-8").lstrip("\ufeff").replace("\r\n", "\n").rstrip("\n") + "\n"
    text = text.replace("\n", "\r\n")
    return ("\ufeff" + text if not text.isascii() else text).encode("utf-8")


def entries(args, stamp):
    """(name inside the zip, bytes) of every file, in the order they are written."""
    with open(args.exe, "rb") as exe:
        program = exe.read()
    if args.strip:
        with tempfile.TemporaryDirectory() as scratch:
            stripped = os.path.join(scratch, "Brisalune.exe")
            # The PE header's time stamp is the source's time too, not the time of the strip.
            subprocess.run([args.strip, "--strip-all", "-o", stripped, args.exe], check=True,
                           env=dict(os.environ, SOURCE_DATE_EPOCH=str(stamp)))
            with open(stripped, "rb") as exe:
                program = exe.read()
    yield TOP + "/Brisalune.exe", program

    with open(args.readme, "rb") as readme:
        yield TOP + "/README.txt", windows_text(
            readme.read().replace(b"@VERSION@", args.version.encode()))

    pictures = []
    for folder, _, files in os.walk(args.img):
        relative = os.path.relpath(folder, args.img).replace(os.sep, "/")
        pictures += [name if relative == "." else relative + "/" + name for name in files]
    for name in sorted(pictures):
        with open(os.path.join(args.img, *name.split("/")), "rb") as picture:
            yield TOP + "/img/" + name, picture.read()

    licences = {name: os.path.join(args.licences, name) for name in os.listdir(args.licences)}
    for pair in args.licence:
        name, path = pair.split("=", 1)
        licences[name] = path
    for name in sorted(licences):
        with open(licences[name], "rb") as text:
            yield TOP + "/licences/" + name, windows_text(text.read())


def write_zip(args):
    stamp = source_time(os.path.dirname(os.path.abspath(args.readme)))
    date = time.gmtime(stamp)[:6]
    temporary = args.output + ".tmp"
    with zipfile.ZipFile(temporary, "w") as archive:
        folders = set()
        for name, data in entries(args, stamp):
            # Each folder gets its own entry before its first file, as Windows' own zips do.
            parts = name.split("/")[:-1]
            for depth in range(1, len(parts) + 1):
                folder = "/".join(parts[:depth]) + "/"
                if folder not in folders:
                    folders.add(folder)
                    info = zipfile.ZipInfo(folder, date)
                    info.external_attr = (0o40755 << 16) | 0x10  # directory, for Unix and DOS
                    info.create_system = 3
                    archive.writestr(info, b"")
            info = zipfile.ZipInfo(name, date)
            info.external_attr = 0o100644 << 16
            info.create_system = 3
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)
    os.replace(temporary, args.output)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--output", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--img", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--readme", required=True)
    parser.add_argument("--licences", required=True, help="folder of licence texts to ship")
    parser.add_argument("--licence", action="append", default=[], metavar="NAME=FILE",
                        help="one more licence text, shipped as licences/NAME")
    parser.add_argument("--strip", help="the strip program of the exe's toolchain")
    args = parser.parse_args(argv)
    os.makedirs(os.path.dirname(os.path.abspath(args.output)), exist_ok=True)
    write_zip(args)
    print("%s: %d bytes" % (args.output, os.path.getsize(args.output)))


if __name__ == "__main__":
    sys.exit(main())
