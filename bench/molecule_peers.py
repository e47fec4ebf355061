"""Reads molecule and simulation files with independent readers (RDKit for
SDF/MOL and MOL2, MDAnalysis for GRO and XYZ, as Debian packages them) and
compares, record by record, what gyrolabium reads: the number of atoms, the
centre and the principal moments of the atoms with mass 1 (--masses=unit,
which leaves the mass tables out of it) and with element masses (the
libraries' own tables: agreement to about 1e-3; MDAnalysis keeps positions in
single precision, so 1e-6 with mass 1). Pseudo-atoms and virtual
sites (R#, MW) are left out on both sides.
Usage: /usr/bin/python3 bench/molecule_peers.py GYROLABIUM FILE...
Prints one line a file; the status is 1 when any record disagrees."""
import json
import subprocess
import sys

import numpy as np


def peer_records(path):
    """[(coordinates, masses)] a record, by the file's peer reader."""
    if path.endswith((".sdf", ".mol", ".mol2")):
        from rdkit import Chem
        from rdkit.Chem import Descriptors  # noqa: F401 (atomic masses)
        if path.endswith(".mol2"):
            text = open(path).read()
            blocks = ["@<TRIPOS>MOLECULE" + b for b in text.split("@<TRIPOS>MOLECULE")[1:]]
            mols = [Chem.MolFromMol2Block(b, sanitize=False, removeHs=False) for b in blocks]
        else:
            mols = list(Chem.SDMolSupplier(path, sanitize=False, removeHs=False))
        out = []
        for m in mols:
            if m is None:  # the peer refuses the record (RDKit: upper-case "BR" types)
                out.append(None)
                continue
            keep = [a.GetIdx() for a in m.GetAtoms() if a.GetAtomicNum() > 0]
            xyz = m.GetConformer().GetPositions()[keep]
            masses = np.array([m.GetAtomWithIdx(i).GetMass() for i in keep])
            out.append((xyz, masses))
        return out
    import MDAnalysis as mda
    import warnings
    warnings.filterwarnings("ignore")
    u = mda.Universe(path)
    atoms = u.atoms
    if path.endswith(".gro"):
        atoms = atoms[[not n.startswith(("MW", "LP")) for n in atoms.names]]
    out = []
    for _ in u.trajectory:
        xyz = atoms.positions.astype(float) / (10.0 if path.endswith(".gro") else 1.0)
        out.append((xyz, atoms.masses.astype(float)))
    return out


def centre_and_moments(xyz, masses):
    c = (masses[:, None] * xyz).sum(0) / masses.sum()
    d = xyz - c
    r2 = (d * d).sum(1)
    tensor = np.einsum("i,ij,ik->jk", masses, d, d)
    inertia = np.eye(3) * (masses * r2).sum() - tensor
    return c, np.sort(np.linalg.eigvalsh(inertia))[::-1]


def ours(gyro, path, unit):
    args = [gyro, "--json", "--double"] + (["--masses=unit"] if unit else []) + [path]
    run = subprocess.run(args, capture_output=True, text=True)
    return [json.loads(line) for line in run.stdout.splitlines()]


def main():
    gyro, paths = sys.argv[1], sys.argv[2:]
    bad = 0
    for path in paths:
        peer = peer_records(path)
        worst = 0.0
        for unit, tolerance in ((True, 1e-6), (False, 2e-3)):
            mine = ours(gyro, path, unit)
            # (MDAnalysis reads the first frame of a GRO file only.)
            assert len(mine) == len(peer) or path.endswith(".gro"), (path, len(mine), len(peer))
            for j, record in zip(mine, peer):
                if record is None:
                    continue
                xyz, masses = record
                assert j["atoms"] == len(xyz), (path, j["model"], j["atoms"], len(xyz))
                c, m = centre_and_moments(xyz, np.ones(len(xyz)) if unit else masses)
                scale = max(1.0, float(np.abs(m).max()))
                diff = max(np.abs(np.array(j["centre"]) - c).max(),
                           np.abs(np.array(j["moments"]) - m).max() / scale)
                worst = max(worst, diff)
                if diff > tolerance:
                    bad += 1
                    print("  %s record %d (%s masses): differs by %.3g" %
                          (path, j["model"], "unit" if unit else "element", diff))
        refused = sum(r is None for r in peer)
        print("%s: %d records%s, the same atoms; centre and moments agree (largest difference %.2g)"
              % (path, len(peer) - refused,
                 " (%d more the peer cannot read)" % refused if refused else "", worst))
    sys.exit(1 if bad else 0)


main()
