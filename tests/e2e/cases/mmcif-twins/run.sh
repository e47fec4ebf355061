# mmCIF and PDB text of the same atoms give the same report (the PDB file read
# with --masses=element, as mmCIF masses come from type_symbol), with models,
# locations, quoted names (DNA: O5' and the like) and gzip alike; -r changes
# only the coordinate values of the atom rows, each the value the PDB copy has.
conv=$REPO/tests/e2e/pdb_to_mmcif.py
cp "$REPO/examples/1crn.pdb" "$REPO"/tests/data/{1a8o,1lcd_dna,models,altloc}.pdb .
for f in 1crn 1a8o 1lcd_dna models altloc; do python3 "$conv" "$f.pdb" "$f.cif"; done
same() {  # the reports of the two runs, past the file-name lines
  cmp -s <("$BIN" "$@" --masses=element "$pdb" 2>/dev/null | grep -v 'pdb file:') \
         <("$BIN" "$@" "$cif" 2>/dev/null | grep -v 'pdb file:') && echo "$cif $*: same"
}
pdb=1crn.pdb cif=1crn.cif same
pdb=1crn.pdb cif=1crn.cif same --double --canonical
pdb=1a8o.pdb cif=1a8o.cif same
pdb=1lcd_dna.pdb cif=1lcd_dna.cif same
pdb=models.pdb cif=models.cif same --model=2
pdb=altloc.pdb cif=altloc.cif same --altloc=B
gzip -c 1crn.cif > 1crn.cif.gz
cmp -s <("$BIN" 1crn.cif.gz | tail -n +3) <("$BIN" 1crn.cif | tail -n +3) && echo "gzip: same"
for f in 1crn 1lcd_dna; do
  "$BIN" -r "$f.cif" "$f-r.cif" > /dev/null
  "$BIN" -r --masses=element "$f.pdb" "$f-r.pdb" > /dev/null
  python3 - "$f" <<'PY'
import shlex, sys
f = sys.argv[1]
before, after = open(f + ".cif").read().split("\n"), open(f + "-r.cif").read().split("\n")
pdb = [l[30:54].split() for l in open(f + "-r.pdb") if l.startswith(("ATOM  ", "HETATM"))]
rows = 0
for b, a in zip(before, after):
    if b.startswith(("ATOM ", "HETATM ")):
        vb, va = shlex.split(b), shlex.split(a)
        assert [x for i, x in enumerate(vb) if i not in (8, 9, 10)] == \
               [x for i, x in enumerate(va) if i not in (8, 9, 10)], a
        assert va[8:11] == pdb[rows], (va[8:11], pdb[rows])
        rows += 1
    else:
        assert a == b, a
print(f, len(before) == len(after), rows, "rows: only their coordinates changed, as in the PDB copy")
PY
done
rm -f ./*.cif ./*.cif.gz ./*-r.pdb 1a8o.pdb 1lcd_dna.pdb
