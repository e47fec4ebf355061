#!/usr/bin/env python3
"""Writes the atom records of a PDB file (with element columns) in a molecule
or simulation format, the same coordinates to the same decimals, so that the
tests can compare their reports with the PDB file's.

usage: pdb_to_molecules.py FORMAT in.pdb > out
FORMAT: sdf (V2000), sdf3000 (V3000, atom lines continued with "-"), mol2,
xyz, extxyz (Properties= with the species column second), gro (nanometres:
the coordinates divided by 10, four decimals; grov: with velocities), records=N repeats the record
N times (models of one file)."""
import sys


def atoms(path):
    out = []
    for line in open(path):
        if line.startswith(("ATOM  ", "HETATM")):
            element = line[76:78].strip() or line[12:14].strip()
            out.append({
                "name": line[12:16].strip(), "resname": line[17:20].strip(),
                "resid": int(line[22:26]), "element": element.capitalize(),
                "x": line[30:38].strip(), "y": line[38:46].strip(), "z": line[46:54].strip(),
            })
    return out


def sdf(a, v3000=False, title="twin"):
    lines = [title, "  gyrotest          3D", ""]
    if not v3000:
        lines.append("%3d%3d  0  0  0  0  0  0  0  0999 V2000" % (len(a), 0))
        for t in a:
            lines.append("%10.4f%10.4f%10.4f %-3s 0  0  0  0  0  0  0  0  0  0  0  0" % (
                float(t["x"]), float(t["y"]), float(t["z"]), t["element"]))
    else:
        lines.append("  0  0  0     0  0            999 V3000")
        lines += ["M  V30 BEGIN CTAB", "M  V30 COUNTS %d 0 0 0 0" % len(a), "M  V30 BEGIN ATOM"]
        for k, t in enumerate(a, 1):
            # Every third atom's line is continued after its coordinates.
            body = "%d %s %s %s %s 0" % (k, t["element"], t["x"], t["y"], t["z"])
            if k % 3 == 0:
                lines += ["M  V30 " + body + " -", "M  V30 CHG=0"]
            else:
                lines.append("M  V30 " + body)
        lines += ["M  V30 END ATOM", "M  V30 END CTAB"]
    lines += ["M  END", "> <source>", "gyrotest", "", "$$$$"]
    return lines


def mol2(a, title="twin"):
    lines = ["@<TRIPOS>MOLECULE", title, "%d 0 1 0 0" % len(a), "SMALL", "NO_CHARGES", "",
             "@<TRIPOS>ATOM"]
    for k, t in enumerate(a, 1):
        lines.append("%7d %-8s %10s %10s %10s %-6s %4d %-6s 0.0000" % (
            k, t["name"], t["x"], t["y"], t["z"], t["element"], t["resid"], t["resname"]))
    return lines + ["@<TRIPOS>BOND"]


def xyz(a, extended=False, title="twin"):
    comment = 'Properties=id:I:1:species:S:1:pos:R:3 pbc="F F F"' if extended else title
    lines = [str(len(a)), comment]
    for k, t in enumerate(a, 1):
        lines.append(("%d %s %s %s %s" if extended else "%s%s %s %s %s") % (
            (k if extended else ""), t["element"], t["x"], t["y"], t["z"]))
    return lines


def gro(a, title="twin", velocities=False):
    lines = [title, "%5d" % len(a)]
    for k, t in enumerate(a, 1):
        # Names begin with their element (the way GRO masses are found).
        name = (t["element"].upper() + t["name"])[:5] if not t["name"].upper().startswith(
            t["element"].upper()) else t["name"]
        line = "%5d%-5s%5s%5d%9.4f%9.4f%9.4f" % (
            t["resid"], t["resname"], name, k, float(t["x"]) / 10, float(t["y"]) / 10,
            float(t["z"]) / 10)
        if velocities:  # made-up velocities, one decimal more
            line += "%9.5f%9.5f%9.5f" % (0.1 * (k % 7) - 0.3, 0.05 * (k % 5), -0.02 * (k % 3))
        lines.append(line)
    return lines + ["   5.00000   5.00000   5.00000"]


def main():
    fmt, path = sys.argv[1], sys.argv[2]
    records = int(sys.argv[3].split("=")[1]) if len(sys.argv) > 3 else 1
    a = atoms(path)
    make = {"sdf": lambda t: sdf(a, False, t), "sdf3000": lambda t: sdf(a, True, t),
            "mol2": lambda t: mol2(a, t), "xyz": lambda t: xyz(a, False, t),
            "extxyz": lambda t: xyz(a, True, t), "gro": lambda t: gro(a, t),
            "grov": lambda t: gro(a, t, True)}[fmt]
    for r in range(records):
        sys.stdout.write("\n".join(make("twin %d" % (r + 1))) + "\n")


main()
