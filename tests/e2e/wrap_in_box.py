#!/usr/bin/env python3
"""Puts the atoms of a PDB file into a periodic box the way a simulation
writes a snapshot: the structure shifted, then every atom wrapped into the
box (fractional coordinates in [0, 1)). Writes the wrapped file with the box
(PDB CRYST1, mmCIF _cell and GRO box line; GRO in nm, one residue an atom
record), and the shifted structure unwrapped beside it (in.unwrapped.pdb).

usage: wrap_in_box.py in.pdb out-stem a b c alpha beta gamma dx dy dz
Writes out-stem.pdb, out-stem.cif, out-stem.gro, out-stem.unwrapped.pdb."""
import math
import sys

src, stem = sys.argv[1], sys.argv[2]
a, b, c, al, be, ga, dx, dy, dz = map(float, sys.argv[3:12])
rad = math.pi / 180
ca, cb, cg, sg = math.cos(al * rad), math.cos(be * rad), math.cos(ga * rad), math.sin(ga * rad)
cy = (ca - cb * cg) / sg
edges = [[a, 0, 0], [b * cg, b * sg, 0], [c * cb, c * cy, c * math.sqrt(1 - cb * cb - cy * cy)]]


def det3(m):
    return (m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
            m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
            m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]))


cols = [[edges[j][i] for j in range(3)] for i in range(3)]  # r = cols . f


def fractional(r):
    d = det3(cols)
    out = []
    for k in range(3):
        m = [row[:] for row in cols]
        for i in range(3):
            m[i][k] = r[i]
        out.append(det3(m) / d)  # Cramer's rule
    return out


atoms, unwrapped, wrapped = [], [], []
for line in open(src):
    if not line.startswith(("ATOM  ", "HETATM")):
        continue
    r = [float(line[30:38]) + dx, float(line[38:46]) + dy, float(line[46:54]) + dz]
    f = [v - math.floor(v) for v in fractional(r)]
    w = [sum(cols[i][k] * f[k] for k in range(3)) for i in range(3)]
    atoms.append(line)
    unwrapped.append(line[:30] + "%8.3f%8.3f%8.3f" % tuple(r) + line[54:])
    wrapped.append((line, w))

cryst = "CRYST1%9.3f%9.3f%9.3f%7.2f%7.2f%7.2f P 1           1\n" % (a, b, c, al, be, ga)
with open(stem + ".pdb", "w") as out:
    out.write(cryst)
    for line, w in wrapped:
        out.write(line[:30] + "%8.3f%8.3f%8.3f" % tuple(w) + line[54:])
    out.write("END\n")
with open(stem + ".unwrapped.pdb", "w") as out:
    out.writelines(unwrapped)
with open(stem + ".cif", "w") as out:
    out.write("data_wrapped\n_cell.length_a %.3f\n_cell.length_b %.3f\n_cell.length_c %.3f\n"
              "_cell.angle_alpha %.2f\n_cell.angle_beta %.2f\n_cell.angle_gamma %.2f\n" %
              (a, b, c, al, be, ga))
    out.write("loop_\n_atom_site.group_PDB\n_atom_site.id\n_atom_site.type_symbol\n"
              "_atom_site.label_atom_id\n_atom_site.label_comp_id\n_atom_site.label_asym_id\n"
              "_atom_site.label_seq_id\n_atom_site.Cartn_x\n_atom_site.Cartn_y\n_atom_site.Cartn_z\n")
    for k, (line, w) in enumerate(wrapped, 1):
        element = line[76:78].strip() or line[12:14].strip()
        out.write("ATOM %d %s %s %s A %d %.3f %.3f %.3f\n" % (
            k, element, line[12:16].strip(), line[17:20].strip(), int(line[22:26]), *w))
with open(stem + ".gro", "w") as out:
    out.write("wrapped\n%5d\n" % len(wrapped))
    for k, (line, w) in enumerate(wrapped, 1):
        element = (line[76:78].strip() or line[12:14].strip())[:1]
        out.write("%5d%-5s%5s%5d%8.3f%8.3f%8.3f\n" % (
            int(line[22:26]), line[17:20].strip(), element + line[13:16].strip()[:4], k % 100000,
            w[0] / 10, w[1] / 10, w[2] / 10))
    e = [[v / 10 for v in row] for row in edges]
    out.write("%10.5f%10.5f%10.5f%10.5f%10.5f%10.5f%10.5f%10.5f%10.5f\n" % (
        e[0][0], e[1][1], e[2][2], e[0][1], e[0][2], e[1][0], e[1][2], e[2][0], e[2][1]))
