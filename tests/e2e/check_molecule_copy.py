#!/usr/bin/env python3
"""Checks a copy written with -r (or -t) of molecule or simulation text, read
here on its own: every line the same as the input's but the atoms' coordinate
values (and, with -r, GRO velocities), and each of those the input's value
moved by its record's frame (the centre and axes of the run's JSON lines),
written with the input's decimals (at least 3, 4 in SDF V3000).

usage: check_molecule_copy.py FORMAT in out json-lines [-t]"""
import json
import re
import sys

fmt, src, dst, js = sys.argv[1:5]
translate_only = "-t" in sys.argv[5:]
frames = {}
for line in open(js):
    j = json.loads(line)
    if "centre" in j and j["centre"] is not None:
        frames[j["model"]] = (j["centre"], j["axes"])

a_lines = open(src).read().split("\n")
b_lines = open(dst).read().split("\n")
assert len(a_lines) == len(b_lines), "line counts differ"


def decimals(text):
    return len(text.split(".")[1]) if "." in text else 0


def moved(record, xyz, velocity=False):
    c, axes = frames[record]
    d = list(xyz) if velocity else [xyz[i] - c[i] for i in range(3)]
    if translate_only:
        return d
    return [sum(axes[i][k] * d[k] for k in range(3)) for i in range(3)]


checked = 0


def check_values(record, old, new, velocity=False, minimum=3):
    """old, new: the value texts of one atom (x, y, z)."""
    global checked
    want = moved(record, [float(v) for v in old], velocity)
    for o, n, w in zip(old, new, want):
        d = decimals(o) if minimum == 0 else max(decimals(o), minimum)
        assert decimals(n) == d, (o, n)
        assert abs(float(n) - w) <= 0.5 * 10 ** -d + 2e-5 * max(1, abs(w)), (record, o, n, w)
        checked += 1


def tokens_differ_only(a, b, where):
    ta, tb = a.split(), b.split()
    assert len(ta) == len(tb), (a, b)
    for k, (x, y) in enumerate(zip(ta, tb)):
        if k not in where:
            assert x == y, (a, b)
    return [ta[k] for k in where], [tb[k] for k in where]


record = 0
k = 0
while k < len(a_lines):
    a, b = a_lines[k], b_lines[k]
    if fmt == "sdf":
        if k == 0 or a_lines[k - 1].startswith("$$$$"):
            record += 1
        if a.startswith("M  V30 ") and re.match(r"M  V30 \d+ \S+ \S+ \S+ \S+", a) and \
                not a.startswith("M  V30 COUNTS") and record in frames:
            old, new = tokens_differ_only(a, b, [4, 5, 6])
            check_values(record, old, new, minimum=4)
        elif len(a) >= 34 and re.match(r"^[ \d.-]{30} \S", a) and record in frames and \
                not a.rstrip().endswith(("V2000", "V3000")):
            assert a[30:] == b[30:], (a, b)
            old = [a[i:i + 10] for i in (0, 10, 20)]
            new = [b[i:i + 10] for i in (0, 10, 20)]
            check_values(record, old, new, minimum=0)
        else:
            assert a == b, (k, a, b)
    elif fmt == "mol2":
        if a.strip() == "@<TRIPOS>MOLECULE":
            record += 1
            section = None
        if a.startswith("@<TRIPOS>"):
            section = a.strip()
        if record and section == "@<TRIPOS>ATOM" and not a.startswith("@") and a.strip() \
                and record in frames:
            old, new = tokens_differ_only(a, b, [2, 3, 4])
            check_values(record, old, new)
        else:
            assert a == b, (k, a, b)
    elif fmt == "xyz":
        if a.strip() and a.strip().isdigit():
            record += 1
            n = int(a)
            assert a == b and a_lines[k + 1] == b_lines[k + 1]
            m = re.search(r"Properties=(\S+)", a_lines[k + 1])
            pos = 1
            if m:
                parts, col = m.group(1).split(":"), 0
                for i in range(0, len(parts), 3):
                    if parts[i] == "pos":
                        pos = col
                    col += int(parts[i + 2])
            for i in range(n):
                old, new = tokens_differ_only(a_lines[k + 2 + i], b_lines[k + 2 + i],
                                              [pos, pos + 1, pos + 2])
                check_values(record, old, new)
            k += 2 + n
            continue
        assert a == b
    elif fmt == "gro":
        if not a.strip():
            assert a == b
            k += 1
            continue
        record += 1
        assert a == b and a_lines[k + 1] == b_lines[k + 1]
        n = int(a_lines[k + 1])
        first = a_lines[k + 2]
        p1 = first.index(".", 20)
        w = first.index(".", p1 + 1) - p1
        for i in range(n):
            x, y = a_lines[k + 2 + i], b_lines[k + 2 + i]
            assert x[:20] == y[:20] and len(x) == len(y), (x, y)
            fields = lambda s, at: [s[at + j * w: at + (j + 1) * w] for j in range(3)]
            check_values(record, fields(x, 20), fields(y, 20), minimum=0)
            if x[20 + 3 * w:].strip():
                if translate_only:
                    assert x[20 + 3 * w:] == y[20 + 3 * w:]
                else:
                    check_values(record, fields(x, 20 + 3 * w), fields(y, 20 + 3 * w), True, 0)
        assert a_lines[k + 2 + n] == b_lines[k + 2 + n]  # the box line
        k += 3 + n
        continue
    k += 1
print("%s: %d values checked, every other byte the same" % (fmt, checked))
