#!/usr/bin/python3
"""Every line tidemark prints with --json, across the jobs that end well and
those that do not, is valid UTF-8 JSON and matches docs/cli-events.schema.json.

Exit 77 (skipped) when the jsonschema module is not installed.
"""
import argparse
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

try:
    import jsonschema
except ImportError:
    print("python3-jsonschema is not installed: skipped")
    sys.exit(77)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tidemark", required=True)
    parser.add_argument("--library", required=True)
    parser.add_argument("--schema", required=True)
    args = parser.parse_args()
    with open(args.schema, encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft7Validator.check_schema(schema)
    validator = jsonschema.Draft7Validator(schema)

    work = tempfile.mkdtemp(prefix="tidemark-json-")
    env = dict(os.environ)
    env.update({
        "TIDEMARK_VREC_DIR": os.path.join(work, "state"),
        "TIDEMARK_VREC_SPEED": "fast",
        "TIDEMARK_ASPI_LIBRARY": args.library,
        "XDG_CONFIG_HOME": os.path.join(work, "config"),
        "LC_ALL": "C.UTF-8",
    })
    checked = {"lines": 0, "failures": []}
    seen = set()

    def check(name, data):
        for raw in data.splitlines():
            if not raw.strip():
                continue
            checked["lines"] += 1
            try:
                text = raw.decode("utf-8")
                obj = json.loads(text)
            except (UnicodeDecodeError, ValueError) as e:
                checked["failures"].append(f"{name}: not UTF-8 JSON ({e}): {raw[:200]!r}")
                continue
            errors = sorted(validator.iter_errors(obj), key=lambda e: list(e.path))
            if errors:
                checked["failures"].append(f"{name}: {errors[0].message}: {text[:300]}")
            kind = obj.get("event")
            if kind == "result":
                kind += ":ok" if obj.get("ok") else (":aborted" if obj.get("aborted") else ":failed")
            seen.add(kind)

    def run(name, *argv, expect=None, stdin=None):
        p = subprocess.run([args.tidemark, *argv], cwd=work, env=env, capture_output=True,
                           timeout=240)
        if expect is not None and p.returncode != expect:
            checked["failures"].append(f"{name}: exit {p.returncode}, wanted {expect}: "
                                       f"{p.stderr.decode('utf-8', 'replace')[-500:]}")
        if "--json" in argv:
            check(name, p.stdout)
        return p

    try:
        src = os.path.join(work, "src")
        os.makedirs(os.path.join(src, "sub"))
        with open(os.path.join(src, "a.txt"), "w") as f:
            f.write("alpha\n")
        with open(os.path.join(src, "sub", "b.bin"), "wb") as f:
            f.write(b"b" * 3_000_000)
        huge = os.path.join(work, "huge")
        os.makedirs(huge)
        with open(os.path.join(huge, "big.bin"), "wb") as f:
            f.truncate(4 << 30)
        odd = os.path.join(work, "odd")
        os.makedirs(odd)
        with open(os.path.join(odd.encode(), b"n\xffme.txt"), "w") as f:
            f.write("odd\n")

        run("devices", "devices", "--json", expect=0)
        run("info", "info", "--json", expect=0)
        run("mkiso refused", "mkiso", "--json", "-o", "x.iso", "src", "huge", expect=2)
        run("mkiso skip", "mkiso", "--json", "--skip-unadded", "-o", "x.iso", "src", "huge",
            "odd", expect=0)
        run("burn", "burn", "--json", "--volume", "ABCDEFGHIJKLMNOPQRST", "src", "odd", expect=0)
        run("disc", "disc", "--json", expect=0)
        run("ls", "ls", "--json", "-l", expect=0)

        # A burn that fails, and how it left the disc.
        run("insert", "vrec", "insert", "CD-R", expect=0)
        run("fault", "vrec", "fault", "add", "2A@200=03/0C/00", expect=0)
        run("failed burn", "burn", "--json", "src", expect=1)
        run("clear", "vrec", "fault", "clear", expect=0)

        # A burn interrupted as Ctrl-C would, at an emulated speed, with
        # more data than the recorder's buffer holds.
        run("insert", "vrec", "insert", "CD-R", expect=0)
        run("speed", "vrec", "speed", "8x", expect=0)
        slow = {k: v for k, v in env.items() if k != "TIDEMARK_VREC_SPEED"}
        big = os.path.join(work, "big")
        os.makedirs(big)
        with open(os.path.join(big, "c.bin"), "wb") as f:
            f.write(os.urandom(24 << 20))
        p = subprocess.Popen([args.tidemark, "burn", "--json", "big"], cwd=work, env=slow,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        first = p.stdout.readline()
        while first and b'"progress"' not in first:
            first = p.stdout.readline()
        p.send_signal(signal.SIGINT)
        rest, _ = p.communicate(timeout=240)
        check("aborted burn", first + rest)
        if p.returncode != 1:
            checked["failures"].append(f"aborted burn: exit {p.returncode}")
        run("speed", "vrec", "speed", "fast", expect=0)

        # At an emulated speed the closing steps take time: the events say
        # so between the last block and the result.
        run("insert", "vrec", "insert", "CD-R", expect=0)
        run("speed", "vrec", "speed", "16x", expect=0)
        p = subprocess.run([args.tidemark, "burn", "--json", "src"], cwd=work, env=slow,
                           capture_output=True, timeout=240)
        check("emulated burn", p.stdout)
        events = [json.loads(l) for l in p.stdout.splitlines() if l.strip()]
        done = [i for i, e in enumerate(events) if e.get("event") == "progress" and
                e["written"] == e["total"] and e.get("phase") != "writing"]
        results = [i for i, e in enumerate(events) if e.get("event") == "result"]
        if not done or not results or done[0] > results[0] or not events[results[0]].get("ok"):
            checked["failures"].append("emulated burn: no closing phase between 100 % and the "
                                       "result")
        run("speed", "vrec", "speed", "fast", expect=0)

        # An erase.
        run("insert", "vrec", "insert", "CD-RW", expect=0)
        run("erase", "erase", "--json", expect=0)

        # An extract that meets unreadable sectors.
        run("insert", "vrec", "insert", "CD-R", expect=0)
        run("burn", "burn", "--quiet", "src", expect=0)
        listing = run("ls", "ls", "-l", "/src/sub/b.bin", expect=0)
        sector = listing.stdout.split()[4].decode()
        run("fault", "vrec", "fault", "add", f"28@{sector}=03/11/00", expect=0)
        run("extract", "extract", "--json", "/src", "out", expect=1)
        run("clear", "vrec", "fault", "clear", expect=0)

        # The virtual recorder's status with a name that is not UTF-8.
        shutil.copy(os.path.join(work, "x.iso"), os.path.join(work.encode(), b"\xff\xfe.iso"))
        run("insert-image", "vrec", "insert-image", b"\xff\xfe.iso".decode("utf-8",
                                                                           "surrogateescape"),
            expect=0)
        status = run("vrec status", "vrec", "status", "--json", expect=0)
        if b'"image_hex":"' not in status.stdout:
            checked["failures"].append("vrec status: no image_hex for a name that is not UTF-8")
    finally:
        shutil.rmtree(work, ignore_errors=True)

    wanted = {"device", "result:ok", "result:failed", "result:aborted", "progress", "count",
              "warning", "omitted", "entry", "vrec-status"}
    missing = wanted - seen
    if missing:
        checked["failures"].append(f"never seen: {sorted(missing)}")
    print(f"{checked['lines']} lines checked; events seen: {sorted(seen)}")
    for f in checked["failures"]:
        print("FAIL:", f)
    return 1 if checked["failures"] else 0


if __name__ == "__main__":
    sys.exit(main())
