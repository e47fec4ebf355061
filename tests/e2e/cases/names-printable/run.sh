# Names with escape sequences, BEL and C1 controls (c2 9b, a lone 9b) reach
# standard error as "?" in every message that quotes them; valid UTF-8 stays.
n=$(printf 'x\033[2J\007\302\233\233\303\221')
cp "$REPO/tests/data/skipped.pdb" "$n.pdb"
cp "$REPO/tests/data/bad_field.pdb" "$n-bad.pdb"
"$BIN" "$n.pdb" > /dev/null
"$BIN" "$n-missing.pdb" > /dev/null
"$BIN" -r "$n.pdb" "$n.pdb" > /dev/null
"$BIN" "$n-bad.pdb"
"$BIN" "$n.pdb" "$n" > /dev/null
"$BIN" "|$n"
cat "$n.pdb" | TMPDIR="/no$n" "$BIN" -r /dev/stdin out.pdb
rm -f "$n.pdb" "$n-bad.pdb"
