"""Runs the shape descriptors of well-known libraries (RDKit, MDAnalysis, as
Debian packages them) on the atoms gyrolabium reads, all of mass 1
(--masses=unit, RDKit's useAtomicMasses=False, MDAnalysis masses set to 1), and
prints each library quantity beside the gyrolabium quantity it is compared
with. Usage: /usr/bin/python3 bench/shape_peers.py GYROLABIUM FILE.pdb"""
import json
import math
import subprocess
import sys

gyro, path = sys.argv[1], sys.argv[2]
ours = json.loads(subprocess.run([gyro, "--json", "--shape", "--masses=unit", path],
                                 capture_output=True, text=True).stdout)
s = ours["shape"]
# The atoms gyrolabium accepted: those whose names the rules give a mass.
accepted = []
for line in open(path):
    if line.startswith(("ATOM  ", "HETATM")):
        name = line[12:16]
        first, second = name[0], name[1]
        element = second if first == " " else ("H" if second == "H" else first)
        if element in "HCNOSP" or name[:2] == "FE" or name[1:3] == "FE":
            accepted.append([float(line[30 + 8 * k:38 + 8 * k]) for k in range(3)])
assert len(accepted) == ours["atoms"], (len(accepted), ours["atoms"])
rows = [("gyrolabium", "value", "library quantity", "value")]

from rdkit import Chem
from rdkit.Chem import rdMolDescriptors as d
from rdkit.Geometry import Point3D
mol = Chem.RWMol()
for _ in accepted:
    mol.AddAtom(Chem.Atom(6))
conf = Chem.Conformer(len(accepted))
for k, p in enumerate(accepted):
    conf.SetAtomPosition(k, Point3D(*p))
mol.AddConformer(conf)
m = mol.GetMol()
kw = dict(useAtomicMasses=False)
rows += [("npr[0] (I3/I1)", s["npr"][0], "RDKit CalcNPR1", d.CalcNPR1(m, **kw)),
         ("npr[1] (I2/I1)", s["npr"][1], "RDKit CalcNPR2", d.CalcNPR2(m, **kw)),
         ("eccentricity", s["eccentricity"], "RDKit CalcEccentricity", d.CalcEccentricity(m, **kw)),
         ("inertial_shape_factor", s["inertial_shape_factor"], "RDKit CalcInertialShapeFactor",
          d.CalcInertialShapeFactor(m, **kw)),
         ("radius_of_gyration", ours["radius_of_gyration"], "RDKit CalcRadiusOfGyration",
          d.CalcRadiusOfGyration(m, **kw)),
         ("relative_shape_anisotropy", s["relative_shape_anisotropy"], "RDKit CalcAsphericity",
          d.CalcAsphericity(m, **kw))]

import MDAnalysis as mda
import numpy as np
u = mda.Universe.empty(len(accepted), trajectory=True)
u.atoms.positions = np.array(accepted)
u.add_TopologyAttr("masses", np.ones(len(accepted)))
g = u.atoms
rows += [("radius_of_gyration", ours["radius_of_gyration"], "MDAnalysis radius_of_gyration()",
          g.radius_of_gyration()),
         ("relative_shape_anisotropy", s["relative_shape_anisotropy"], "MDAnalysis asphericity()",
          g.asphericity()),
         ("shape_parameter", s["shape_parameter"], "MDAnalysis shape_parameter()",
          g.shape_parameter())]
for r in rows:
    print("%-26s %-14s %-34s %s" % tuple(str(x) if isinstance(x, str) else "%.6g" % x for x in r))
