# --altloc=B: atoms with a blank alternate location or B; the report equals
# that of the file without the other locations, and a note counts them.
cp "$REPO"/tests/data/{models,altloc,elements,serials,worked}.pdb .
"$BIN" --altloc=B altloc.pdb; echo "status $?"
awk 'substr($0, 17, 1) == " " || substr($0, 17, 1) == "B"' altloc.pdb > cut.pdb
"$BIN" cut.pdb 2>/dev/null | tail -n +3 > cut.out
"$BIN" --altloc=B altloc.pdb 2>/dev/null | tail -n +3 | cmp -s - cut.out &&
  echo "the report of the file without the other locations"
rm -f cut.pdb cut.out
