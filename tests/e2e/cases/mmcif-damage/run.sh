# Damaged mmCIF stops the run: status 1, nothing on standard output, no
# output file, the line and what is wrong.
loop() { printf 'data_x\nloop_\n'; for t in "$@"; do printf '_atom_site.%s\n' "$t"; done; }
loop Cartn_x Cartn_y type_symbol > no-z.cif; echo '1 2 C' >> no-z.cif
loop Cartn_x Cartn_y Cartn_z > no-symbol.cif; echo '1 2 3' >> no-symbol.cif
loop Cartn_x Cartn_y Cartn_z type_symbol > fewer.cif; printf '1 2 3 C\n1 2 3\n#\n' >> fewer.cif
loop Cartn_x Cartn_y Cartn_z type_symbol > more.cif; printf '1 2 3 C\n1 2 3 C 4\n' >> more.cif
loop Cartn_x Cartn_y Cartn_z type_symbol > unknown.cif; printf '1 2 3 C\n1 ? 3 C\n' >> unknown.cif
printf 'data_x\n_cell.length_a 10\n' > no-loop.cif
loop Cartn_x Cartn_y Cartn_z type_symbol > quote.cif; printf "1 2 3 'C\n" >> quote.cif
for f in no-z no-symbol fewer more unknown no-loop quote; do
  "$BIN" -r "$f.cif" out.cif; echo "$f: status $?"
  rm -f "$f.cif"
done
# The same within a long loop of aligned rows, which are read in batches of
# 64: a coordinate that is not a number in the first row, the last of a
# batch, the first of the next and one further on; an element without mass
# there (a note, not a stop).
rows() {  # 200 rows; row $1 has x "?", row $2 the symbol Q
  loop Cartn_x Cartn_y Cartn_z type_symbol auth_atom_id
  for i in $(seq 1 200); do
    x=1.000 s=C
    if [ "$i" = "$1" ]; then x='?    '; fi
    if [ "$i" = "$2" ]; then s=Q; fi
    printf '%s 2.000 3.000 %s CA%-3s\n' "$x" "$s" "$i"
  done
}
for k in 1 64 65 130; do
  rows "$k" 0 > long.cif; "$BIN" long.cif > /dev/null; echo "row $k of 200: status $?"
done
rows 0 100 > long.cif; "$BIN" long.cif | grep -e Unknown -e skipped; echo "Q in row 100: status $?"
rm -f long.cif
# Beyond single precision: a stop that says so; with --double the tensor
# overflows, and that stop says so too.
loop Cartn_x Cartn_y Cartn_z type_symbol > huge.cif; printf '1e200 0 0 C\n-1e200 0 0 C\n' >> huge.cif
"$BIN" huge.cif; echo "huge: status $?"
"$BIN" --double huge.cif; echo "huge, --double: status $?"
rm -f huge.cif
