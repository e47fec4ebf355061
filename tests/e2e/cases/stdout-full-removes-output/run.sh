exec "$BIN" -r in.pdb out.pdb >/dev/full
