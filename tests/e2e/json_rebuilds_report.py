"""Checks that a --json line rebuilds the text report of the same run: every
number of the report is the JSON number (read as the float it stands for)
printed with 4 decimals in 15 columns. Usage: json_rebuilds_report.py JSON TEXT"""
import json
import struct
import sys


def as_float(x):
    # The float the shortest decimal stands for, widened exactly to a double.
    return struct.unpack("f", struct.pack("f", x))[0]


def field(x):
    if x is None:
        return "%15s" % "NaN"
    return "%15.4f" % as_float(x)


def row(values):
    return "  ".join(field(v) for v in values)


# Whole numbers as floats, so that "-0" keeps its sign.
run = json.loads(open(sys.argv[1]).read(), parse_int=float)
text = open(sys.argv[2]).read().split("\n")
want = [" # atoms read%12d      # atoms skipped%12d" % (int(run["atoms"]), int(run["skipped"])), "",
        " mass" + " " * 16 + field(run["mass"])]
if run["centre"] is not None:
    want += [" center of mass      " + row(run["centre"]),
             " principle moments   " + row(run["moments"]),
             " relative moments    " + row(run["relative_moments"]), "",
             " " * 27 + "rotation matrix"]
    want += ["     " + row(axis) for axis in run["axes"]]
got = [line for line in text if not line.startswith(("Input pdb", "Output pdb"))][1:]
got = got[:len(want)]
if got != want:
    for g, w in zip(got, want):
        if g != w:
            print("report: %r\njson:   %r" % (g, w))
    sys.exit(1)
