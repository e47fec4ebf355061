# The notes say what they mean: no asterisk note under --json (the numbers
# are there in full); one quantity that does not fit is singular; a limit of
# 1 atom is singular; the line end's CR is not part of line 1.
for i in $(seq 400); do
  printf 'ATOM  %5d  C   GLY A   1    %8.3f%8.3f%8.3f  1.00  0.00\n' "$i" 9999.999 999.999 "$i"
  printf 'ATOM  %5d  C   GLY A   1    %8.3f%8.3f%8.3f  1.00  0.00\n' "$i" -999.999 -999.999 "$i"
done > far.pdb
"$BIN" --json far.pdb > /dev/null; echo "json: status $?"
printf 'data_x\nloop_\n_atom_site.type_symbol\n_atom_site.Cartn_x\n_atom_site.Cartn_y\n_atom_site.Cartn_z\nC 1e11 0 0\n' > centre.cif
"$BIN" centre.cif > /dev/null; echo "centre: status $?"
head -n 2 far.pdb > two.pdb
"$BIN" --max-atoms=1 two.pdb; echo "limit 1: status $?"
{ printf '%-79s\r\r\n' 'HEADER    CR BEFORE THE LINE END'; tail -n +3 far.pdb | head -n 3; } > crcrlf.pdb
"$BIN" crcrlf.pdb > /dev/null; echo "CR CR LF: status $?"
rm -f far.pdb centre.cif two.pdb crcrlf.pdb
