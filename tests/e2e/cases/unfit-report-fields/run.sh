# Principal moments too wide for the report's fields print as asterisks, and
# a note names them.
for i in $(seq 400); do
  printf 'ATOM  %5d  C   GLY A   1    %8.3f%8.3f%8.3f  1.00  0.00\n' "$i" 9999.999 999.999 "$i"
  printf 'ATOM  %5d  C   GLY A   1    %8.3f%8.3f%8.3f  1.00  0.00\n' "$i" -999.999 -999.999 "$i"
done > far.pdb
"$BIN" far.pdb; echo "status $?"
rm -f far.pdb
