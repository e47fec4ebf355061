# --canonical on a threefold arrangement (three copies of one chain turned by
# 120 degrees about z): two moments are equal, and a note says that their
# axes may turn within their plane; on a cube of atoms no axis is fixed.
python3 - > trimer.pdb <<'PY'
import math
atoms = [l for l in open("in.pdb") if l.startswith("ATOM  ")]
n = 0
for k in range(3):
    c, s = math.cos(2 * math.pi * k / 3), math.sin(2 * math.pi * k / 3)
    for l in atoms:
        x, y, z = (float(l[c0:c0 + 8]) for c0 in (30, 38, 46))
        x += 20
        n += 1
        print("%s%5d%s%8.3f%8.3f%8.3f%s" % (l[:6], n % 100000, l[11:30], c * x - s * y, s * x + c * y, z, l[54:].rstrip("\n")))
PY
"$BIN" -r --canonical trimer.pdb out.pdb | sed -n 7p; echo "trimer: status $?"
rm -f out.pdb
for x in -1 1; do for y in -1 1; do for z in -1 1; do
  printf 'ATOM      1  C   GLY A   1    %8.3f%8.3f%8.3f  1.00  0.00           C\n' "$x" "$y" "$z"
done; done; done > cube.pdb
"$BIN" -r --canonical cube.pdb out.pdb > /dev/null; echo "cube: status $?"
"$BIN" -r cube.pdb out2.pdb > /dev/null; echo "cube without --canonical: status $?"
rm -f trimer.pdb cube.pdb out.pdb out2.pdb
