#!/usr/bin/env python3
"""Generates the trees that bench/mkiso/run.sh saves as images.

small/  20,000 files of 1 to 16 KiB (about 170 MiB), nested: 20 folders of
        10 subfolders of 100 files
large/  4 files of 512 MiB (2 GiB in all)

The contents are pseudo-random bytes from a fixed seed, written out in full
(not sparse), so every run and every tool reads the same real data. A tree
is made once and reused while its stamp file is there.
"""
import os
import random
import sys

NAME_FORMS = ["IMG_{:05d}.JPG", "notes-{}.txt", "Document number {}.docx", "F{:06d}.DAT"]


def make_small(root, rng):
    n = 0
    for a in range(20):
        for b in range(10):
            folder = os.path.join(root, "Folder {:02d}".format(a), "sub{:02d}".format(b))
            os.makedirs(folder)
            for _ in range(100):
                size = rng.randrange(1024, 16 * 1024 + 1)
                name = NAME_FORMS[n % len(NAME_FORMS)].format(n)
                with open(os.path.join(folder, name), "wb") as f:
                    f.write(rng.randbytes(size))
                n += 1


def make_large(root, rng):
    os.makedirs(root)
    chunk = 8 << 20
    for i in range(4):
        with open(os.path.join(root, "large-{}.bin".format(i)), "wb") as f:
            for _ in range((512 << 20) // chunk):
                f.write(rng.randbytes(chunk))


def main():
    base = sys.argv[1]
    os.makedirs(base, exist_ok=True)
    for name, maker in (("small", make_small), ("large", make_large)):
        root = os.path.join(base, name)
        stamp = root + ".done"
        if os.path.exists(stamp):
            continue
        if os.path.exists(root):
            os.system("rm -rf '{}'".format(root))
        print("generating {} ...".format(root), flush=True)
        maker(root, random.Random(name))
        open(stamp, "w").close()


if __name__ == "__main__":
    main()
