trap '' XFSZ
ulimit -f 64
exec "$BIN" -r in.pdb out.pdb
