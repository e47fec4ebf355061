# Compressed input through a pipe, with the output written: the pipe's bytes
# are kept for the second reading, and the moved structure is the one made
# from the plain file.
gzip -n -c in.pdb > in.pdb.gz
"$BIN" -r in.pdb plain.pdb >/dev/null 2>&1
mkfifo fifo
cat in.pdb.gz > fifo &
"$BIN" -r fifo out.pdb
status=$?
cmp -s out.pdb plain.pdb && echo "the same as from the plain file" || echo "DIFFERS from the plain file"
exit $status
