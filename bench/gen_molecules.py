"""Generated molecule and simulation files for the benchmark: an SDF of N
molecules of 30-60 atoms (or exactly A atoms each), V2000 with bonds, an
M  CHG line and a data item, as toolkits write them; or a GRO trajectory of
F frames of A atoms (waters and a chain, velocities absent).
Usage: gen_molecules.py sdf N [A] > file.sdf | gen_molecules.py gro F A > file.gro"""
import random
import sys

rng = random.Random(7)
out = sys.stdout
ELEMENTS = ["C"] * 12 + ["N"] * 2 + ["O"] * 2 + ["H"] * 14 + ["S", "F", "Cl"]


def sdf(n, atoms=None):
    for m in range(n):
        k = atoms or rng.randint(30, 60)
        lines = ["GEN%07d" % (m + 1), "  gyrobench3D", "",
                 "%3d%3d  0  0  0  0  0  0  0  0999 V2000" % (k, k - 1)]
        for _ in range(k):
            lines.append("%10.4f%10.4f%10.4f %-3s 0  0  0  0  0  0  0  0  0  0  0  0" % (
                rng.uniform(-8, 8), rng.uniform(-6, 6), rng.uniform(-4, 4), rng.choice(ELEMENTS)))
        for b in range(1, k):
            lines.append("%3d%3d  1  0" % (b, b + 1))
        lines += ["M  CHG  1   1   0", "M  END", "> <ID>", "GEN%07d" % (m + 1), "", "$$$$"]
        out.write("\n".join(lines) + "\n")


def gro(frames, atoms):
    for f in range(frames):
        out.write("generated frame t= %d.000\n%5d\n" % (f, atoms))
        for a in range(atoms):
            name = ("OW", "HW1", "HW2")[a % 3]
            out.write("%5d%-5s%5s%5d%8.3f%8.3f%8.3f\n" % (
                a // 3 + 1, "SOL", name, (a + 1) % 100000, rng.uniform(0, 9), rng.uniform(0, 9),
                rng.uniform(0, 9)))
        out.write("   9.00000   9.00000   9.00000\n")


if sys.argv[1] == "sdf":
    sdf(int(sys.argv[2]), int(sys.argv[3]) if len(sys.argv) > 3 else None)
else:
    gro(int(sys.argv[2]), int(sys.argv[3]))
