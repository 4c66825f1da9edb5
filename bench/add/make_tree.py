#!/usr/bin/env python3
"""Generates the trees that bench/add/run.sh times.

flat/  one folder of 100,000 files
tree/  20,000 folders (the root included) and 600,000 entries in all, the
       application's table sizes: 99 folders, each holding 201 folders, and
       580,001 files spread over every folder

Names mix valid 8.3 names with long ones (which need alternate names);
sizes are random up to 256 KiB, in sparse files, so the trees cost inodes
and hardly any disk space. A tree is made once and reused while its stamp
file is there.
"""
import os
import random
import sys

NAME_FORMS = [
    "IMG_{:05d}.JPG",
    "F{:06d}.DAT",
    "Document number {}.docx",
    "notes-{}.txt",
    "{}",
    "Quarterly report {} final version.pdf",
]


def make_file(path, size):
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    try:
        if size:
            os.ftruncate(fd, size)
    finally:
        os.close(fd)


def fill(folder, count, rng, start):
    for i in range(count):
        name = NAME_FORMS[(start + i) % len(NAME_FORMS)].format(start + i)
        make_file(os.path.join(folder, name), rng.randrange(0, 256 * 1024))


def make_flat(root, rng):
    os.makedirs(root)
    fill(root, 100_000, rng, 0)


def make_tree(root, rng):
    os.makedirs(root)
    folders = [root]
    for a in range(99):
        top = os.path.join(root, "Folder {:02d}".format(a))
        os.mkdir(top)
        folders.append(top)
        for b in range(201):
            sub = os.path.join(top, "sub{:03d}".format(b))
            os.mkdir(sub)
            folders.append(sub)
    files = 580_001
    per, extra = divmod(files, len(folders))
    n = 0
    for i, folder in enumerate(folders):
        count = per + (1 if i < extra else 0)
        fill(folder, count, rng, n)
        n += count


def main():
    base = sys.argv[1]
    os.makedirs(base, exist_ok=True)
    for name, maker in (("flat", make_flat), ("tree", make_tree)):
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
