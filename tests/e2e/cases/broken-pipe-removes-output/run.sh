# The reader of standard output is gone before the report is written: with an
# output file that is a write failure (status 1, the file removed), not a
# signal that ends the run.
( sleep 0.5; exec "$BIN" -r in.pdb out.pdb 2>err.txt; ) | true
echo "status ${PIPESTATUS[0]}"
cat err.txt >&2
