# Every member of a multi-member file is read, as gzip -dc does; the regular
# file and a pipe give the same result.
{ head -n 700 in.pdb | gzip -n; tail -n +701 in.pdb | gzip -n -9; } > multi.gz
"$BIN" -t in.pdb plain.pdb >/dev/null 2>&1
"$BIN" -t multi.gz out.pdb
status=$?
cmp -s out.pdb plain.pdb && echo "file: the same as from the plain file" || echo "file: DIFFERS"
cat multi.gz | "$BIN" -t /dev/stdin piped.pdb >/dev/null 2>&1
cmp -s piped.pdb plain.pdb && echo "pipe: the same as from the plain file" || echo "pipe: DIFFERS"
exit $status
