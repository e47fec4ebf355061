cat feed.pdb > fifo &
exec "$BIN" -r fifo out.pdb
