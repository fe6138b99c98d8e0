#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Compares the answers of two lumivo-lookup builds on a million seeded lines,
from a file and from a pipe, in every format: random mobile numbers (which
must come out byte for byte the same) and a mix of odd lines (numbers written
with separators, country codes, tel:, letters, marks, control and format
characters, long lines, CR LF) read as UTF-8.

  bench/compare-answers.py OLD NEW DB.dat [--lines N] [--seed S]

For the mix, tsv and csv must be the same byte for byte too (the first lines
that differ are shown: a form the older build refused and the newer answers
would show there); jsonl may differ in "refusal" only. Exit status 1 when
anything differs otherwise.
"""

import argparse
import json
import random
import subprocess
import sys
import tempfile

PIECES = ["0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "9", "0", "0", "8", "7", " ", "-",
          "\u2010", "\u30fc", "\uff10", "\uff19", ".", "(", ")", "+", "81", "0081", "010", "tel:",
          "TEL:", "/", "~", "_", "a", "Z", "\t", "\r", "\"", "\\", "\x01", "\u202e", "\u3000",
          "\U000E0001", "\uff0b", "\xff", ",", "=", "@"]


def write_corpus(path, lines, seed, mixed):
    rng = random.Random(seed)
    with open(path, "wb") as f:
        for _ in range(lines):
            r = rng.random() if mixed else 0
            if r < 0.5:
                s = rng.choice(("090", "080", "070")) + "%08d" % rng.randrange(10 ** 8)
                if mixed and rng.random() < 0.3:
                    s = s[:3] + rng.choice("- .") + s[3:7] + rng.choice("- ") + s[7:]
            elif r < 0.999:
                s = "".join(rng.choice(PIECES) for _ in range(rng.randrange(0, 20)))
            else:
                s = "090" + "5" * rng.randrange(1000, 3000)
            f.write(s.encode() + (b"\r\n" if mixed and rng.random() < 0.1 else b"\n"))


def answers(exe, db, corpus, fmt, pipe, extra=()):
    cmd = [exe, "--db", db, "--format", fmt, *extra]
    with open(corpus, "rb") as f:
        if pipe:
            done = subprocess.run(cmd, input=f.read(), capture_output=True)
        else:
            done = subprocess.run(cmd, stdin=f, capture_output=True)
    if done.returncode not in (0, 1):
        sys.exit(f"{exe} failed: {done.stderr.decode(errors='replace')}")
    return done.stdout


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("old")
    ap.add_argument("new")
    ap.add_argument("db")
    ap.add_argument("--lines", type=int, default=1000000)
    ap.add_argument("--seed", type=int, default=7)
    args = ap.parse_args()
    failed = False
    with tempfile.TemporaryDirectory(prefix="lumivo-compare-") as work:
        numbers, mixed = work + "/numbers.txt", work + "/mixed.txt"
        write_corpus(numbers, args.lines, args.seed, False)
        write_corpus(mixed, args.lines, args.seed, True)
        for fmt in ("tsv", "csv", "jsonl"):
            old = answers(args.old, args.db, numbers, fmt, False)
            for pipe in (False, True):
                same = answers(args.new, args.db, numbers, fmt, pipe) == old
                failed |= not same
                print(f"numbers, {fmt}, {'pipe' if pipe else 'file'}: "
                      f"{'the same' if same else 'DIFFERENT'} ({len(old)} bytes)")
        for fmt in ("tsv", "csv", "jsonl"):
            old = answers(args.old, args.db, mixed, fmt, False).splitlines(keepends=True)
            new = answers(args.new, args.db, mixed, fmt, True, ["--input-encoding", "utf-8"])
            new = new.splitlines(keepends=True)
            differ = refusal = 0
            for a, b in zip(old, new):
                if a == b:
                    continue
                if fmt == "jsonl":
                    x, y = json.loads(a), json.loads(b)
                    x.pop("refusal"), y.pop("refusal")
                    if x == y:
                        refusal += 1
                        continue
                differ += 1
                if differ <= 5:
                    print(f"  {a!r} -> {b!r}")
            failed |= differ > 0 or len(old) != len(new)
            print(f"mixed, {fmt}: {len(old)} and {len(new)} lines, {differ} differ"
                  + (f", {refusal} in the refusal only" if fmt == "jsonl" else ""))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
