# A model the file does not have: status 1, nothing on standard output, no
# output file.
cp "$REPO"/tests/data/{models,worked}.pdb .
mv models.pdb in.pdb
"$BIN" --model=4 in.pdb; echo "status $?"
"$BIN" -r --model=7 in.pdb out.pdb; echo "status $?"
"$BIN" --model=2 worked.pdb; echo "status $?"
