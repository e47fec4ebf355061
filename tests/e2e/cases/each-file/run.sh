# Many files in one run: each as a run of its own would report it, in order;
# a file that fails in the middle gives its message and the others go on
# (status 1); a list from standard input with CR LF ends, blank lines and
# names with blanks and odd bytes; copies into --out-dir, where an existing
# file is never touched and counts as failed.
cp "$REPO/tests/data/worked.pdb" "a b.pdb"
cp "$REPO/tests/data/skipped.pdb" "$(printf 'odd\001name.pdb')"
printf 'ATOM      1  C   GLY A   1       1.0x0   0.000   0.000\n' > bad.pdb
for f in "a b.pdb" bad.pdb missing.pdb; do "$BIN" "$f" > "out-$f.txt" 2> "err-$f.txt"; done
"$BIN" --each-file "a b.pdb" bad.pdb missing.pdb "a b.pdb" > out.txt 2> err.txt; echo "each-file: status $?"
for s in out err; do
  cmp -s $s.txt <(cat "$s-a b.pdb.txt" "$s-bad.pdb.txt" "$s-missing.pdb.txt" "$s-a b.pdb.txt") \
    && echo "each-file: standard $s as the single runs write it, one after another"
done
printf 'a b.pdb\r\n\n%s\nbad.pdb\n' "$(printf 'odd\001name.pdb')" \
  | "$BIN" --json --files-from=/dev/stdin; echo "files-from: status $?"
mkdir out
: > "out/a b.pdb"
"$BIN" --each-file -r --out-dir=out "a b.pdb" "$(printf 'odd\001name.pdb')"; echo "out-dir: status $?"
ls out | od -c | head -n 2; wc -c < "out/a b.pdb"
"$BIN" --each-file -r "a b.pdb"; echo "no out-dir: status $?"
"$BIN" --each-file --out-dir=nowhere -r "a b.pdb"; echo "out-dir missing: status $?"
rm -rf out ./*.pdb ./*.txt "$(printf 'odd\001name.pdb')"
