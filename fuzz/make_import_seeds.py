#!/usr/bin/env python3
"""Seeds of fuzz_import: small images written by tidemark mkiso, genisoimage
and xorriso (ISO 9660 only, Joliet, Rock Ridge, two sessions), in the
target's input form: a 3-byte header, then one chunk per sector that holds
anything (sector, byte count, the bytes up to the sector's last non-zero
byte).

    fuzz/make_import_seeds.py [build/bin/tidemark]
"""
import os
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(ROOT, "corpus", "fuzz_import")
TIDEMARK = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "..", "build", "bin", "tidemark")


def tree(base):
    files = {
        "readme.txt": b"read me\n",
        "Long Name With Spaces.txt": b"long\n",
        "docs/notes.txt": b"n" * 3000,
        "docs/deep/more/data.bin": bytes(range(256)) * 3,
        "empty.txt": b"",
        ".hidden": b"h",
    }
    for rel, content in files.items():
        path = os.path.join(base, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)
        os.utime(path, (1100000000, 1100000000))
    os.makedirs(os.path.join(base, "empty folder"), exist_ok=True)


def chunks(image, at=0):
    out = b""
    for n in range(len(image) // 2048):
        sector = image[n * 2048:(n + 1) * 2048].rstrip(b"\0")
        if sector:
            out += struct.pack("<HH", at + n, len(sector)) + sector
    return out


def seed(name, header, body):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(bytes(header) + body)


def run(*cmd):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main():
    os.makedirs(OUT, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        src, two = os.path.join(tmp, "src"), os.path.join(tmp, "two")
        tree(src)
        tree(two)
        images = {
            "tidemark-joliet": [TIDEMARK, "mkiso", "-q", "-o", "%I", src],
            "tidemark-iso": [TIDEMARK, "mkiso", "-q", "--no-joliet", "-o", "%I", src],
            "genisoimage-iso": ["genisoimage", "-quiet", "-o", "%I", src],
            "genisoimage-joliet-rr": ["genisoimage", "-quiet", "-J", "-r", "-o", "%I", src],
            "xorriso-rr": ["xorriso", "-outdev", "stdio:%I", "-map", src, "/", "-commit"],
        }
        for name, cmd in images.items():
            image = os.path.join(tmp, name + ".iso")
            run(*[image if a == "%I" else a.replace("%I", image) for a in cmd])
            data = open(image, "rb").read()
            seed(name, [0, 0, 2], chunks(data))
        # Two sessions: the second at sector 4 * 96 = 384.
        s1, s2 = os.path.join(tmp, "s1.iso"), os.path.join(tmp, "s2.iso")
        run("genisoimage", "-quiet", "-J", "-r", "-o", s1, src)
        run("genisoimage", "-quiet", "-J", "-r", "-C", "0,384", "-M", s1, "-o", s2, two)
        first, second = open(s1, "rb").read(), open(s2, "rb").read()
        assert len(first) <= 384 * 2048
        seed("genisoimage-two-sessions", [0, 96, 3], chunks(first) + chunks(second, 384))


main()
