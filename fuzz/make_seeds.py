#!/usr/bin/env python3
"""Writes the level-file seed corpus: a few hand-made files that reach every
reading rule, and generated well-formed files of random sizes and contents.
Usage: make_seeds.py DIR [COUNT]"""
import os
import random
import sys


def level_file(rng, levels, w, h, brk="\n"):
    lines = [f"{levels} last level", f"{w} {h}"]
    for l in range(levels + 1):
        lines += [f"story {l}.1.{k}" for k in range(1, 5)]
    for l in range(levels, 0, -1):
        lines += [f"back {l}.2.{k}" for k in range(1, 5)]
    for l in range(levels + 1):
        lines.append(str(rng.randint(1, 3000)))
        rows = [[rng.choice("   x") for _ in range(w)] for _ in range(h)]
        for letter in "ioe" if l == 0 else "io":
            rows[rng.randrange(h)][rng.randrange(w)] = letter
        lines += ["".join(r) for r in rows]
    return brk.join(lines) + brk


HAND = {
    "small": "1\n4 3\na\nb\nc\nd\ne\nf\ng\nh\ni\nj\nk\nl\n3\nxxxx\nxiox\nxxxx\n5\nxxxx\nxoix\nxxxx\n",
    "crlf": "0\r\n4 3\r\na\r\nb\r\nc\r\nd\r\n1\r\nxxxx\r\nxioe\r\nxxxx\r\n",
    "cr": "0\r4 3\ra\rb\rc\rd\r1\rxxxx\rxiox\rxxxx\r",
    "ctrlz": "0\n4 3\na\nb\x1a\nc\nd\n1\nxx\x1axx\nxiox\nxxxx\n\x1a9 trailing",
    "short_rows": "0\n5 3\n\n\n\n\n   +7 words\nxx\nxiox\nxx\n",
    "long_text": "0\n3 3\n" + "q" * 300 + "\n\n\nlast\n1\nxxx\nxix\nxxx\n",
    "signs": "+0\n+3 -0\na\nb\nc\nd\n4294967295\nxxx\n",
    "zero_board": "0\n0 0\na\nb\nc\nd\n1\n",
    "too_many_levels": "26\n1 1\n" + "t\n" * 200,
    "width_only": "0\n5 0\na\nb\nc\nd\n1\n",
    "bad_number": "0\n4 3x\n",
    "nul_bytes": "0\n4 3\na\x00b\nb\nc\nd\n1\nx\x00xx\nxiox\nxxxx\n",
    "big_number": "99999999999999999999\n",
    "high_bytes": "0\n4 3\n\xba\xda\xcc\xe5\nb\nc\nd\n1\nxxxx\nx\xffox\nxxxx\n",
}


def main():
    out = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 16
    os.makedirs(out, exist_ok=True)
    for name, text in HAND.items():
        with open(os.path.join(out, name + ".dat"), "wb") as f:
            f.write(text.encode("latin-1"))
    rng = random.Random(6)
    for n in range(count):
        levels = rng.randint(1, 25) if n % 4 else rng.randint(0, 3)
        w, h = rng.randint(3, 40), rng.randint(3, 30)
        brk = ["\n", "\r\n", "\r"][n % 3]
        with open(os.path.join(out, f"generated_{n:02}.dat"), "wb") as f:
            f.write(level_file(rng, levels, w, h, brk).encode())


if __name__ == "__main__":
    main()
