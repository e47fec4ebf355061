# --model=N: only model N counts; the atoms before the first MODEL and between
# models count in nothing (and their unknown names are not warned about). The
# report equals that of the file cut to model N, and the copy keeps every
# record, each atom moved by the same frame.
cp "$REPO"/tests/data/{models,altloc,elements,serials,worked}.pdb .
"$BIN" --model=2 -r models.pdb out.pdb; echo "status $?"
awk '/^MODEL/ { m = $2 } /^ENDMDL/ { m = 0 } m == 2 && /^ATOM/' models.pdb > cut.pdb
"$BIN" cut.pdb 2>/dev/null | tail -n +3 > cut.out
"$BIN" --model=2 models.pdb 2>/dev/null | tail -n +3 | cmp -s - cut.out &&
  echo "model 2 gives the report of the file cut to model 2"
# Options anywhere before the arguments, after them, through gzip and a pipe.
gzip -c models.pdb | "$BIN" -r /dev/stdin piped.pdb.gz --model=2 > /dev/null 2>&1
gzip -dc piped.pdb.gz | cmp -s - out.pdb && echo "the same copy from a gzip pipe"
rm -f cut.pdb cut.out piped.pdb.gz
# Model 1 of a file without MODEL records is the whole file.
"$BIN" --model=1 worked.pdb | tail -n +3 | cmp -s - <("$BIN" worked.pdb | tail -n +3) &&
  echo "model 1 of a file without models is the whole file"
