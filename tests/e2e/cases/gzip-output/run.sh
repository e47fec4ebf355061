# An output name ending in .gz is written gzip-compressed; decompressed it is
# byte for byte the plain output: a small copy, one of many blocks (a member
# each) and one whose atoms were all skipped. The same input gives the same
# bytes (no name, MTIME 0 in the headers), and gzip -t accepts them.
"$BIN" -r in.pdb plain.pdb >/dev/null 2>&1
"$BIN" -r in.pdb out.pdb.gz
status=$?
gzip -dc out.pdb.gz | cmp -s - plain.pdb && echo "decompresses to the plain output" || echo "DIFFERS"
python3 - "$REPO/examples/1crn.pdb" <<'PY'
import sys  # crambin 40 times over, shifted: about 1 MB of copy
lines = [l for l in open(sys.argv[1]) if l.startswith("ATOM")]
with open("big.pdb", "w") as out:
    for k in range(40):
        for l in lines:
            out.write(l[:30] + "%8.3f" % (float(l[30:38]) + 3 * k) + l[38:])
    out.write("END\n")
PY
sed 's/^\(ATOM  .\{6\}\) ..../\1 QQQ/' in.pdb > unknown.pdb
for f in big unknown; do
  "$BIN" -r --max-atoms=20000 $f.pdb $f.out.pdb > /dev/null 2>&1
  "$BIN" -r --max-atoms=20000 $f.pdb $f.out.pdb.gz > /dev/null 2>&1; echo "$f: status $?"
  gzip -t $f.out.pdb.gz && gzip -dc $f.out.pdb.gz | cmp -s - $f.out.pdb && echo "  decompresses to the plain output"
done
mv big.out.pdb.gz first.gz
"$BIN" -r --max-atoms=20000 big.pdb big.out.pdb.gz > /dev/null 2>&1
cmp -s first.gz big.out.pdb.gz && echo "the same bytes again"
python3 -c '
d = open("first.gz", "rb").read()
print("members:", d.count(b"\x1f\x8b\x08\x00\x00\x00\x00\x00") > 1, "flags and MTIME zero:", d[3:8] == bytes(5))'
rm -f big.pdb big.out.pdb big.out.pdb.gz first.gz unknown.pdb unknown.out.pdb unknown.out.pdb.gz
exit $status
