mkfifo fifo
cp "$REPO/tests/data/skipped.pdb" feed.pdb
