# Serial numbers past 99 999 (hexadecimal, hybrid-36, asterisks) are read
# with --max-atoms, and the limit's stop says how to read more.
cp "$REPO"/tests/data/{models,altloc,elements,serials,worked}.pdb .
"$BIN" serials.pdb; echo "status $?"
"$BIN" --max-atoms=6 serials.pdb; echo "status $?"
"$BIN" --max-atoms=5 serials.pdb; echo "status $?"
# Anything else in the serial field is still a conversion failure.
sed '3s/^\(ATOM  \).\{5\}/\11x2-3/' serials.pdb > odd.pdb
"$BIN" --max-atoms=6 odd.pdb; echo "status $?"
rm -f odd.pdb
