# --select: each field and keyword on a crafted file (the atom records kept,
# by serial number), precedence, PDB and mmCIF twins giving the same
# selection, a selection's report equal to that of a file holding only the
# selected records, -r moving every record, malformed expressions and a
# selection that keeps nothing.
kept() {  # how many atom records --select=$1 keeps (--json "atoms" + "skipped")
  printf '%-40s ' "$1"
  "$BIN" --json --select="$1" in.pdb 2>/dev/null | python3 -c '
import json, sys
j = json.loads(sys.stdin.read())
print(j["atoms"] + j["skipped"] if "atoms" in j else j["error"])'
}
for e in all none protein backbone nucleic water ion hetero hydrogen heavy \
         'chain A' 'chain A B' 'segid SEGB' 'segid W*' 'resname TIP3' 'resname G?Y' \
         'resid 10' 'resid 20A' 'resid 10-20' 'resid -5:-1' 'resid 1 2' 'name CA' 'name C*' \
         'name ?A' 'element na' 'element C P' 'altloc A' \
         'not protein and not water or ion' 'not (protein and not water) or ion' \
         '(chain A or chain B) and name CA' 'protein and not hydrogen'; do
  kept "$e"
done
# Malformed: a usage stop naming the word.
for e in '' 'resid x' 'chain' 'name CA and' 'protein or (water' 'colour red' 'not'; do
  "$BIN" --select="$e" in.pdb; echo "\"$e\": status $?"
done
# Nothing kept: status 1, nothing on standard output, no output file.
"$BIN" -r --select='chain Z' in.pdb out.pdb; echo "nothing: status $?"; ls out.pdb 2>/dev/null
"$BIN" --json --select='chain Z' in.pdb; echo "nothing, JSON: status $?"
# Twins and the filtered file, on real structures.
python3 "$REPO/tests/e2e/pdb_to_mmcif.py" "$REPO/tests/data/1npc.pdb" 1npc.cif
python3 - "$BIN" "$REPO/tests/data/1npc.pdb" <<'PY'
import subprocess, sys
b, pdb = sys.argv[1], sys.argv[2]
def report(*args):
    out = subprocess.run([b, *args], capture_output=True, text=True).stdout
    return [l for l in out.split("\n") if "pdb file:" not in l]
lines = open(pdb).read().split("\n")
for sel, keep in [("chain A", lambda l: l[21] == "A"), ("water", lambda l: l[17:20] == "HOH"),
                  ("not water and not ion", lambda l: l[17:20] not in ("HOH", " CA", " ZN")),
                  ("name CA and resid 10-50", lambda l: l[12:16] == " CA " and 10 <= int(l[22:26]) <= 50)]:
    only = [l for l in lines if not l.startswith(("ATOM  ", "HETATM")) or keep(l.ljust(80))]
    open("only.pdb", "w").write("\n".join(only))
    same = report("--select=" + sel, pdb) == report("only.pdb")
    twins = report("--masses=element", "--select=" + sel, pdb)[1:] == report("--select=" + sel, "1npc.cif")[1:]
    print("%-26s filtered file: %s, mmCIF twin: %s" % (sel, same, twins))
# -r with a selection: every record written, the selected atoms as the
# filtered file's own copy puts them.
subprocess.run([b, "-r", "--select=chain A", pdb, "all.pdb"], capture_output=True)
only = [l for l in lines if not l.startswith(("ATOM  ", "HETATM")) or l.ljust(80)[21] == "A"]
open("only.pdb", "w").write("\n".join(only))
subprocess.run([b, "-r", "only.pdb", "part.pdb"], capture_output=True)
every = [l for l in open("all.pdb").read().split("\n") if l.startswith(("ATOM", "HETATM"))]
part = [l for l in open("part.pdb").read().split("\n") if l.startswith(("ATOM", "HETATM"))]
print("-r: records", len(every), "of", sum(l.startswith(("ATOM  ", "HETATM")) for l in lines),
      "; chain A as its own copy:", [l for l in every if l[21] == "A"] == part)
PY
rm -f only.pdb all.pdb part.pdb out.pdb 1npc.cif
