# Every byte value, NUL included, on lines that are not atom records, then an
# atom record whose name holds a NUL and a valid one.
{
  for i in $(seq 0 255); do printf "\\x$(printf %02x "$i")"; done
  printf '\n\0\0\0ATOM\n'
  printf 'HETATM    1 \0N   HOH     1       1.000   2.000   3.000\n'
  cat "$REPO/tests/data/worked.pdb"
} > in.pdb
