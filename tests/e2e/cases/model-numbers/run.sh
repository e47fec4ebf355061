# A MODEL record's number is the first word after the record name, a whole
# number from 1 of any width; anything else stops the run with its line. A
# number at two MODEL records: a note, and with --model of that number a stop.
atom() { printf 'ATOM  %5d  CA  ALA A   1    %8.3f   0.000   0.000  1.00  0.00           C\n' "$1" "$2"; }
{ echo 'MODEL        1'; atom 1 1; echo ENDMDL; echo 'MODEL    10000'; atom 2 3; echo ENDMDL; } > wide.pdb
"$BIN" --model=10000 wide.pdb | sed -n 3,5p; echo "wide: status $?"
for bad in '      -1' '       0' '      A1' '       ?'; do
  { echo "MODEL   $bad"; atom 1 1; echo ENDMDL; echo 'MODEL        2'; atom 2 3; echo ENDMDL; } > bad.pdb
  "$BIN" bad.pdb; echo "\"$bad\": status $?"
  "$BIN" --model=2 bad.pdb; echo "\"$bad\" --model=2: status $?"
done
{ echo 'MODEL'; atom 1 1; echo ENDMDL; } > bare.pdb
"$BIN" --model=1 bare.pdb | sed -n 3p; echo "no number: status $?"
{ echo 'MODEL        1'; atom 1 1; echo ENDMDL; echo 'MODEL        2'; atom 2 2; echo ENDMDL;
  echo 'MODEL        1'; atom 3 5; echo ENDMDL; } > twice.pdb
"$BIN" twice.pdb | sed -n 3p; echo "twice: status $?"
"$BIN" --model=2 twice.pdb | sed -n 3p; echo "twice --model=2: status $?"
"$BIN" --model=1 twice.pdb; echo "twice --model=1: status $?"
rm -f ./*.pdb
