# mmCIF lines of any length are read and copied whole, from a file, gzip or a
# pipe alike: a 200,000-byte comment, a quoted title and an atom row with a
# value as long.
python3 "$REPO/tests/e2e/pdb_to_mmcif.py" "$REPO/examples/1crn.pdb" short.cif
python3 - <<'PY'
lines = open("short.cif").read().split("\n")
at = lines.index("_atom_site.pdbx_PDB_model_num")
lines.insert(at + 1, "_atom_site.note")
for k in range(at + 2, len(lines)):
    if lines[k].startswith("ATOM"):
        lines[k] += " " + ("v" * 200000 if k == at + 2 else ".")
    elif lines[k] == "#":
        break
lines[1] = "# " + "c" * 200000
lines.insert(2, "_struct.title '" + "t" * 200000 + "'")
open("long.cif", "w").write("\n".join(lines))
PY
gzip -c long.cif > long.cif.gz
"$BIN" short.cif | tail -n +3 > short.report
for how in file gzip pipe; do
  case $how in
    file) "$BIN" -r long.cif out.cif > report ;;
    gzip) "$BIN" -r long.cif.gz out.cif > report ;;
    pipe) cat long.cif | "$BIN" -r /dev/stdin out.cif > report ;;
  esac
  echo "$how: status $?"
  cmp -s <(tail -n +4 report) <(tail -n +3 short.report) && echo "$how: the report of the short lines"
  python3 -c '
import sys
a, b = open("long.cif").read().split("\n"), open("out.cif").read().split("\n")
print("lines", len(a) == len(b), "longest", max(map(len, a)), max(map(len, b)),
      "same but the atom rows", all(x == y for x, y in zip(a, b) if not x.startswith("ATOM")))'
  rm -f out.cif
done
rm -f ./*.cif ./*.gz report short.report
