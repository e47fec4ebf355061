# --masses=element: calcium named CA, selenium, lower-case sodium from the
# element column; a blank column leaves the name to decide; a symbol that is
# no element is skipped. A file whose element column agrees with its names
# gives the same report as without the option.
cp "$REPO"/tests/data/{models,altloc,elements,serials,worked}.pdb .
cp "$REPO/examples/1crn.pdb" .
"$BIN" --masses=element elements.pdb; echo "status $?"
"$BIN" --masses=element 1crn.pdb | cmp -s - <("$BIN" 1crn.pdb) &&
  echo "crambin: the same report by element as by name"
"$BIN" --masses=name 1crn.pdb | cmp -s - <("$BIN" 1crn.pdb) &&
  echo "crambin: --masses=name is the default"
