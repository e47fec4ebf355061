# --canonical: crambin and a copy moved by a rigid motion (rotated, shifted)
# come out of -r in the same pose within rounding; without it the eigensolver's
# signs turn the copy otherwise. A symmetric shape keeps the solver's signs
# with a note.
cp "$REPO/examples/1crn.pdb" in.pdb
awk 'BEGIN { a = -2.5; b = 1.1; c = 0.9; ca = cos(a); sa = sin(a); cb = cos(b); sb = sin(b)
  cc = cos(c); sc = sin(c)
  r11 = cb*cc; r12 = -cb*sc; r13 = sb; r21 = sa*sb*cc + ca*sc; r22 = -sa*sb*sc + ca*cc
  r23 = -sa*cb; r31 = -ca*sb*cc + sa*sc; r32 = ca*sb*sc + sa*cc; r33 = ca*cb }
  /^(ATOM  |HETATM)/ { x = substr($0, 31, 8); y = substr($0, 39, 8); z = substr($0, 47, 8)
    $0 = substr($0, 1, 30) sprintf("%8.3f%8.3f%8.3f", r11*x + r12*y + r13*z + 12.5,
      r21*x + r22*y + r23*z - 40.25, r31*x + r32*y + r33*z + 7) substr($0, 55) } { print }' \
  in.pdb > moved.pdb
# The largest distance between the same atom in two files.
farthest() {
  paste -d '\n' <(grep '^ATOM' "$1" | cut -c31-54) <(grep '^ATOM' "$2" | cut -c31-54) |
    awk 'NR % 2 { x = substr($0, 1, 8); y = substr($0, 9, 8); z = substr($0, 17, 8); next }
      { d = (x - substr($0, 1, 8))^2 + (y - substr($0, 9, 8))^2 + (z - substr($0, 17, 8))^2
        if (d > m) m = d } END { print (sqrt(m) < 0.005 ? "the same pose" : "another pose") }'
}
"$BIN" -r --canonical in.pdb out.pdb | tail -n 3
"$BIN" -r --canonical moved.pdb moved-out.pdb > /dev/null
echo "canonical: $(farthest out.pdb moved-out.pdb)"
"$BIN" -r in.pdb plain.pdb > /dev/null
"$BIN" -r moved.pdb moved-plain.pdb > /dev/null
echo "without: $(farthest plain.pdb moved-plain.pdb)"
rm -f moved.pdb moved-out.pdb plain.pdb moved-plain.pdb
printf 'ATOM  %5d  C   GLY A   1    %8.3f%8.3f%8.3f  1.00  0.00\n' 1 3 0 0 2 -3 0 0 3 0 2 0 \
  4 0 -2 0 5 0 0 1 6 0 0 -1 > symmetric.pdb
"$BIN" --canonical symmetric.pdb | tail -n 3
rm -f symmetric.pdb
