exec "$BIN" in.pdb >/dev/full
