# Too little memory for the atom table is a clean stop: a message, status 1,
# no output file, never an abort.
ulimit -v 3600
exec "$BIN" -r in.pdb out.pdb
