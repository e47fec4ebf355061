# --each-model: each model's report is the --model=N report (after its MODEL
# line), in PDB and mmCIF alike; with --json a line a model; with -r each
# model's part of the copy is that model's own -r copy. With --canonical the
# models of an ensemble put in unrelated poses come out in one pose.
gzip -dc "$REPO/tests/data/1l2y_8models.pdb.gz" > nmr.pdb
python3 "$REPO/tests/e2e/pdb_to_mmcif.py" nmr.pdb nmr.cif
for f in nmr.pdb nmr.cif; do
  "$BIN" --each-model "$f" > each.txt 2>/dev/null; echo "$f: status $?"
  same=0
  for m in 1 2 3 4 5 6 7 8; do
    awk -v m="$m" '/^MODEL/ { p = ($2 == m); next } p' each.txt > part.txt
    "$BIN" --model="$m" "$f" 2>/dev/null | cmp -s - part.txt && same=$((same + 1))
  done
  echo "$f: $same of 8 model reports the same as --model=N"
  "$BIN" --each-model --json "$f" 2>/dev/null | python3 -c '
import json, sys
print([json.loads(l)["model"] for l in sys.stdin])'
done
"$BIN" --each-model -r nmr.pdb all.pdb > /dev/null 2>&1; echo "-r: status $?"
same=0
for m in 1 2 3 4 5 6 7 8; do
  "$BIN" --model="$m" -r nmr.pdb one.pdb > /dev/null 2>&1
  cmp -s <(awk -v m="$m" '/^MODEL/ { k++ } k == m' all.pdb | sed '/^ENDMDL/q') \
         <(awk -v m="$m" '/^MODEL/ { k++ } k == m' one.pdb | sed '/^ENDMDL/q') && same=$((same + 1))
  rm -f one.pdb
done
echo "-r: $same of 8 models as their own copies; other records as read: $(cmp -s <(grep -v '^ATOM' all.pdb) <(cut -c1-80 nmr.pdb | awk '{ printf "%-80s\n", $0 }' | grep -v '^ATOM') && echo yes)"
# The ensemble with every model turned and moved at random: one pose after.
python3 - <<'PY'
import math, random
random.seed(7)
out, rot, shift = [], None, None
for line in open("nmr.pdb"):
    if line.startswith("MODEL"):
        a, b, c = (random.uniform(0, 2 * math.pi) for _ in range(3))
        ca, sa, cb, sb, cc, sc = math.cos(a), math.sin(a), math.cos(b), math.sin(b), math.cos(c), math.sin(c)
        rot = [[cb * cc, -cb * sc, sb], [sa * sb * cc + ca * sc, -sa * sb * sc + ca * cc, -sa * cb],
               [-ca * sb * cc + sa * sc, ca * sb * sc + sa * cc, ca * cb]]
        shift = [random.uniform(-30, 30) for _ in range(3)]
    if line.startswith("ATOM"):
        p = [float(line[30 + 8 * k:38 + 8 * k]) for k in range(3)]
        q = [sum(rot[i][j] * p[j] for j in range(3)) + shift[i] for i in range(3)]
        line = line[:30] + "%8.3f%8.3f%8.3f" % tuple(q) + line[54:]
    out.append(line)
open("posed.pdb", "w").write("".join(out))
PY
"$BIN" --each-model -r --canonical posed.pdb oriented.pdb > /dev/null 2>&1; echo "--canonical: status $?"
python3 - <<'PY'
import math
models = []
for line in open("oriented.pdb"):
    if line.startswith("MODEL"):
        models.append([])
    elif line.startswith("ATOM"):
        models[-1].append([float(line[30 + 8 * k:38 + 8 * k]) for k in range(3)])
def rmsd(a, b):
    return math.sqrt(sum(sum((x - y) ** 2 for x, y in zip(p, q)) for p, q in zip(a, b)) / len(a))
print("largest RMSD to model 1 under 3 A:", max(rmsd(models[0], m) for m in models[1:]) < 3)
PY
# --model and --each-model contradict each other.
"$BIN" --each-model --model=2 nmr.pdb; echo "both: status $?"
# --max-atoms counts the atoms of a model (304 each here), not of the file.
for f in nmr.pdb nmr.cif; do
  "$BIN" --each-model --max-atoms=304 --json "$f" 2>/dev/null | wc -l | sed "s/^/$f --max-atoms=304: reports: /"
  "$BIN" --each-model --max-atoms=303 "$f" > /dev/null; echo "$f --max-atoms=303: status $?"
done
rm -f nmr.pdb nmr.cif posed.pdb oriented.pdb all.pdb each.txt part.txt
