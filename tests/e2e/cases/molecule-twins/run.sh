# A PDB structure written as SDF (V2000 and V3000), MOL2, XYZ (plain and
# extended) and GRO gives the report of the PDB file read with element
# masses: the same numbers exactly, and in GRO (nanometres) the centre a
# tenth and the moments a hundredth. Each twin is found by its content, also
# gzip-compressed and from a pipe, and named by --format.
conv="$REPO/tests/e2e/pdb_to_molecules.py"
pdb="$REPO/tests/data/1lcd_dna.pdb"
"$BIN" --json --masses=element "$pdb" > pdb.json
for f in sdf sdf3000 mol2 xyz extxyz gro; do
  python3 "$conv" $f "$pdb" > twin.$f
  "$BIN" --json twin.$f > twin.json; echo "$f: status $?"
  gzip -c twin.$f | "$BIN" --json /dev/stdin > piped.json; echo "$f gzip piped: status $?"
  name=${f%3000}; name=${name#ext}
  "$BIN" --json --format=$name twin.$f > named.json; echo "$f --format=$name: status $?"
  python3 - "$f" <<'PY'
import json, sys
fmt = sys.argv[1]
p = json.load(open("pdb.json"))
for name in ("twin.json", "piped.json", "named.json"):
    t = json.loads(open(name).read())
    scale = 10.0 if fmt == "gro" else 1.0
    assert t["atoms"] == p["atoms"] and t["model"] == 1, (name, t)
    assert t["length_unit"] == ("nm" if fmt == "gro" else "\u00c5"), t["length_unit"]
    if fmt == "gro":
        close = lambda a, b, tol: abs(a - b) <= tol * max(1.0, abs(b))
        assert close(t["mass"], p["mass"], 1e-6)
        assert all(close(a * scale, b, 1e-5) for a, b in zip(t["centre"], p["centre"]))
        assert all(close(a * scale * scale, b, 1e-4) for a, b in zip(t["moments"], p["moments"]))
    else:
        for key in ("mass", "centre", "moments", "axes", "radius_of_gyration"):
            assert t[key] == p[key], (fmt, key, t[key], p[key])
print("  the same report as the PDB file (" + fmt + ")")
PY
done
