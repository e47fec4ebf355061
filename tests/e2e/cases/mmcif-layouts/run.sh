# mmCIF as other programs write it: columns in another order, no group_PDB,
# values quoted with blanks inside, a text field and comments before the loop,
# a lower-case symbol, an element not in the table, CRLF line ends; read from
# a pipe; and the -t copy of it, which keeps the CRLF line ends.
printf '%s\r\n' '# written by hand' 'data_other' '_cell.length_a 10.0' '_struct.title' \
  ';two lines of text' 'loop_ _atom_site.Cartn_x' ';' \
  'loop_' '_atom_site.Cartn_z' '_atom_site.auth_atom_id' '_atom_site.type_symbol' \
  '_atom_site.Cartn_x' '_atom_site.Cartn_y' '_atom_site.label_alt_id' \
  "1.5 'C A' c 0.25 -2 ." '-0.5 "N 1" N 1.75 0.5 A' '2.0 ZZ Xx 3 3 .' \
  '0 O2 O -1.125e0 1 ?' '#' > in.cif
"$BIN" in.cif; echo "status $?"
"$BIN" -t /dev/stdin out.cif < in.cif > /dev/null; echo "status $?"
cat out.cif
rm -f out.cif
