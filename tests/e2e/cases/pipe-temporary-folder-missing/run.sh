# A pipe read twice needs a temporary file; without one the run stops cleanly.
cat in.pdb | TMPDIR=missing "$BIN" -r /dev/stdin out.pdb
