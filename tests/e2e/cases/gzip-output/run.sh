# An output name ending in .gz is written gzip-compressed; decompressed it is
# byte for byte the plain output.
"$BIN" -r in.pdb plain.pdb >/dev/null 2>&1
"$BIN" -r in.pdb out.pdb.gz
status=$?
gzip -dc out.pdb.gz | cmp -s - plain.pdb && echo "decompresses to the plain output" || echo "DIFFERS"
exit $status
