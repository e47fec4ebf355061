# --shape: the descriptors after the report, in text and JSON (null where a
# descriptor has no value: a line of atoms); --masses=unit gives the shape of
# the same atoms all of one element; every option combines with it.
"$BIN" --shape "$REPO/examples/1crn.pdb" | tail -n 12
"$BIN" --shape --masses=unit "$REPO/examples/1crn.pdb" | sed -n 5p
sed 's/^\(ATOM  .\{6\}\).\{4\}/\1 C  /' "$REPO/examples/1crn.pdb" > carbon.pdb
python3 - "$BIN" "$REPO/examples/1crn.pdb" <<'PY'
import json, subprocess, sys
def run(*args):
    out = subprocess.run([sys.argv[1], "--json", "--shape", *args], capture_output=True, text=True).stdout
    return json.loads(out)
unit, carbon = run("--masses=unit", sys.argv[2]), run("carbon.pdb")
same = all(abs(unit["shape"][k] - carbon["shape"][k]) < 1e-5 * max(1, abs(carbon["shape"][k]))
           for k in ("asphericity", "acylindricity", "relative_shape_anisotropy", "shape_parameter"))
print("unit masses: mass", unit["mass"], "shape of all-carbon atoms:", same)
line = "".join("ATOM  %5d  C   GLY A   1    %8.3f   0.000   0.000  1.00  0.00\n" % (k, k) for k in range(1, 6))
open("line.pdb", "w").write(line)
print("line:", {k: v for k, v in run("line.pdb")["shape"].items() if v is None or k == "npr"})
PY
"$BIN" --shape line.pdb | tail -n 3
"$BIN" --shape --each-model --double "$REPO/tests/data/models.pdb" 2>/dev/null | grep -c 'shape parameter'
rm -f carbon.pdb line.pdb
