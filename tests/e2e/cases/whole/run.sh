# --whole on a structure put into a periodic box smaller than twice its
# extent, shifted across faces and wrapped (orthorhombic and triclinic boxes,
# PDB, mmCIF and GRO): the report of the unwrapped structure (the centre up
# to a lattice vector), and with -r the copy of the unwrapped structure (every
# residue whole). No box, the placeholder cell, a box too small.
wrap="$REPO/tests/e2e/wrap_in_box.py" crn="$REPO/examples/1crn.pdb"
same_report() {  # wrapped.json unwrapped.json scale: moments equal, centre up to the lattice
  python3 - "$@" <<'PY'
import json, sys
w, u = (json.loads(open(n).read()) for n in sys.argv[1:3])
scale = float(sys.argv[3])
assert w["atoms"] == u["atoms"]
for a, b in zip(w["moments"], u["moments"]):
    assert abs(a * scale * scale - b) <= (2e-4 if scale > 1 else 2e-5) * b, (a, b)
for a, b in zip(w["axes"], u["axes"]):  # the same axes up to sign
    dot = sum(x * y for x, y in zip(a, b))
    assert abs(abs(dot) - 1) < 1e-4, (a, b)
print("  the unwrapped structure's moments and axes")
PY
}
for box in "40 42 38 90 90 90 30 -5 20" "40 42 45 70 80 100 -12 25 3" "46 46 46 75 75 85 23 23 23"; do
  echo "== box $box"
  python3 "$wrap" "$crn" w $box
  "$BIN" --json w.unwrapped.pdb > u.json
  for f in w.pdb w.cif w.gro; do
    "$BIN" --json --whole "$f" > w.json; echo "$f --whole: status $?"
    scale=1; [ "$f" = w.gro ] && scale=10
    same_report w.json u.json $scale
    "$BIN" --json "$f" | python3 -c 'import json,sys; print("  without --whole, largest moment", round(json.load(sys.stdin)["moments"][0]))'
  done
  # -r --whole: the copy of the unwrapped structure, within the rounding of the last decimal.
  rm -f o.pdb u.pdb o.gro
  "$BIN" -r --whole w.pdb o.pdb > /dev/null; echo "-r --whole: status $?"
  "$BIN" -r w.unwrapped.pdb u.pdb > /dev/null
  paste <(grep ^ATOM o.pdb | cut -c31-54) <(grep ^ATOM u.pdb | cut -c31-54) |
    awk '{ for (i = 1; i <= 3; i++) { d = $i - $(i + 3); if (d < 0) d = -d; if (d > m) m = d } }
         END { print "  largest difference from the unwrapped copy: " (m <= 0.002 ? "<= 0.002" : m) }'
  rm -f o.cif; "$BIN" -r --whole w.cif o.cif > /dev/null; echo "mmCIF -r --whole: status $?"
  paste <(grep ^ATOM u.pdb | cut -c31-54) <(grep ^ATOM o.cif | awk '{print $8, $9, $10}') |
    awk '{ for (i = 1; i <= 3; i++) { d = $i - $(i + 3); if (d < 0) d = -d; if (d > m) m = d } }
         END { print "  mmCIF: largest difference from the unwrapped copy: " (m <= 0.002 ? "<= 0.002" : m) }'
  "$BIN" -r --whole w.gro o.gro > /dev/null; echo "GRO -r --whole: status $?"
  python3 - <<'PY'
import math
res = {}
for line in open("o.gro").read().split("\n")[2:-2]:
    res.setdefault(line[:10], []).append([float(line[20 + 8 * k:28 + 8 * k]) for k in range(3)])
far = max(math.dist(a[0], p) for a in res.values() for p in a)
print("  GRO: %d residues, every one whole (%s 0.8 nm from its first atom)" % (len(res), "<=" if far <= 0.8 else ">"))
PY
done
# A structure the box does not cut: the same report with and without --whole.
{ echo "CRYST1  200.000  200.000  200.000  90.00  90.00  90.00 P 1           1"; cat w.unwrapped.pdb; } > uncut.pdb
cmp <("$BIN" uncut.pdb) <("$BIN" --whole uncut.pdb) && echo "uncut: the same report"
# A selection made whole, the other residues placed whole beside it: every
# residue's atoms within 8 Å of its first atom.
python3 "$wrap" "$crn" w 34 36 32 90 90 90 17 -3 9
rm -f o.pdb
"$BIN" -r --whole --select='resid 1-20' w.pdb o.pdb | sed -n 4p; echo "--select -r --whole: status ${PIPESTATUS[0]}"
python3 - <<'PY'
import math
res = {}
for line in open("o.pdb"):
    if line.startswith("ATOM"):
        r = [float(line[30 + 8 * k:38 + 8 * k]) for k in range(3)]
        res.setdefault(line[17:27], []).append(r)
far = max(math.dist(a[0], p) for a in res.values() for p in a)
print("  %d residues, every one whole (largest distance from its first atom %s 8)" % (len(res), "<=" if far <= 8 else ">"))
PY
# No box, the 1 Å placeholder, a box too small, a crystal's unit cell.
grep -v CRYST1 w.pdb > nobox.pdb
"$BIN" --whole nobox.pdb; echo "no CRYST1: status $?"
sed 's/^CRYST1.*/CRYST1    1.000    1.000    1.000  90.00  90.00  90.00 P 1           1/' w.pdb > one.pdb
"$BIN" --whole one.pdb; echo "placeholder: status $?"
cp "$REPO/tests/data/mol/cdk2.sdf" .
"$BIN" --whole --json cdk2.sdf --model=1; echo "SDF: status $?"
python3 "$wrap" "$crn" small 20 42 38 90 90 90 0 0 0
"$BIN" --whole small.pdb | sed -n 4p; echo "too small: status ${PIPESTATUS[0]}"
# mmCIF rows that take two lines, or two rows on a line, and a selection:
# the copy's coordinates those of the PDB copy.
python3 - <<'PY'
text = open("w.cif").read().split("\n")
rows = [l for l in text if l.startswith("ATOM")]
head = text[:text.index(rows[0])]
with open("split.cif", "w") as f:
    f.write("\n".join(head) + "\n" + "".join(" ".join(r.split()[:8]) + "\n " + " ".join(r.split()[8:]) + "\n" for r in rows))
with open("pairs.cif", "w") as f:
    f.write("\n".join(head) + "\n" + "".join("  ".join(rows[i:i + 2]) + "\n" for i in range(0, len(rows), 2)))
PY
same_values() {  # copy.pdb copy.cif
  python3 - "$@" <<'PY'
import sys
p = [l[30:54].split() for l in open(sys.argv[1]) if l.startswith("ATOM")]
t = open(sys.argv[2]).read().split("_atom_site.Cartn_z")[1].split()
c = [t[i + 7:i + 10] for i in range(0, len(t), 10)]
print("  %s: %s" % (sys.argv[2], "the PDB copy's coordinates" if p == c else "OTHER coordinates"))
PY
}
rm -f o.pdb; "$BIN" -r --whole --select='resid 1-20' w.pdb o.pdb > /dev/null 2>&1
for f in w split pairs; do
  rm -f o.cif; "$BIN" -r --whole --select='resid 1-20' $f.cif o.cif > /dev/null 2>&1
  echo "mmCIF $f -r --whole --select: status $?"; same_values o.pdb o.cif
done
# Each model its own box: the last CRYST1 before its MODEL record.
{ sed -n 1p w.pdb; echo "MODEL        1"; grep ^ATOM w.pdb; echo "ENDMDL";
  python3 "$wrap" "$crn" v 40 42 45 70 80 100 -12 25 3; sed -n 1p v.pdb; echo "MODEL        2"; grep ^ATOM v.pdb; echo "ENDMDL"; } > models.pdb
"$BIN" --json --whole --each-model models.pdb | cut -c1-90
# Two models in one box, PDB and mmCIF: the same reports and copies.
python3 "$wrap" "$crn" p 40 42 45 70 80 100 -12 25 3
python3 "$wrap" "$crn" q 40 42 45 70 80 100 5 -7 11
{ sed -n 1p p.pdb; echo "MODEL        1"; grep ^ATOM p.pdb; echo "ENDMDL"; echo "MODEL        2"; grep ^ATOM q.pdb; echo "ENDMDL"; } > one-box.pdb
python3 "$REPO/tests/e2e/pdb_to_mmcif.py" one-box.pdb m.cif
{ sed -n 1p m.cif; sed -n 2,7p p.cif; tail -n +2 m.cif; } > one-box.cif
rm -f o.pdb o.cif
cmp <("$BIN" --each-model -r --whole one-box.pdb o.pdb | grep -v "file:") \
    <("$BIN" --each-model -r --whole one-box.cif o.cif | grep -v "file:") && echo "one box, mmCIF: the PDB reports"
python3 - <<'PY'
p = [l[30:54].split() for l in open("o.pdb") if l.startswith("ATOM")]
c = [l.split()[8:11] for l in open("o.cif") if l.startswith("ATOM")]
print("  %d rows, %s" % (len(c), "the PDB copy's coordinates" if p == c else "OTHER coordinates"))
PY
