# mmCIF and PDB text of the same atoms give the same report (the PDB file read
# with --masses=element, as mmCIF masses come from type_symbol), with models,
# locations and gzip alike; -r changes only the coordinate values of the
# atom rows, each the value the PDB copy has.
conv=$REPO/tests/e2e/pdb_to_mmcif.py
cp "$REPO/examples/1crn.pdb" "$REPO"/tests/data/{1a8o,models,altloc}.pdb .
for f in 1crn 1a8o models altloc; do python3 "$conv" "$f.pdb" "$f.cif"; done
same() {  # the reports of the two runs, past the file-name lines
  cmp -s <("$BIN" "$@" --masses=element "$pdb" 2>/dev/null | grep -v 'pdb file:') \
         <("$BIN" "$@" "$cif" 2>/dev/null | grep -v 'pdb file:') && echo "$cif $*: same"
}
pdb=1crn.pdb cif=1crn.cif same
pdb=1crn.pdb cif=1crn.cif same --double --canonical
pdb=1a8o.pdb cif=1a8o.cif same
pdb=models.pdb cif=models.cif same --model=2
pdb=altloc.pdb cif=altloc.cif same --altloc=B
gzip -c 1crn.cif > 1crn.cif.gz
cmp -s <("$BIN" 1crn.cif.gz | tail -n +3) <("$BIN" 1crn.cif | tail -n +3) && echo "gzip: same"
"$BIN" -r 1crn.cif 1crn-r.cif > /dev/null
"$BIN" -r --masses=element 1crn.pdb 1crn-r.pdb > /dev/null
python3 - <<'PY'
import shlex
before, after = open("1crn.cif").read().split("\n"), open("1crn-r.cif").read().split("\n")
pdb = [l[30:54].split() for l in open("1crn-r.pdb") if l.startswith(("ATOM  ", "HETATM"))]
rows = changed = 0
for b, a in zip(before, after):
    if b.startswith(("ATOM ", "HETATM ")):
        vb, va = shlex.split(b), shlex.split(a)
        assert [x for i, x in enumerate(vb) if i not in (8, 9, 10)] == \
               [x for i, x in enumerate(va) if i not in (8, 9, 10)], a
        assert va[8:11] == pdb[rows], (va[8:11], pdb[rows])
        rows += 1
    else:
        assert a == b, a
print(len(before) == len(after), rows, "rows: only their coordinates changed, as in the PDB copy")
PY
rm -f ./*.cif ./*.cif.gz 1crn-r.pdb 1a8o.pdb
