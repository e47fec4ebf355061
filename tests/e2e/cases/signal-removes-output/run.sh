# Interrupt, terminate, hang-up and quit while the output file is open (the
# input is a FIFO whose writer stays open): the file is removed and the run
# ends by the same signal. A signal the caller ignores stays ignored.
cp "$REPO/tests/data/worked.pdb" in.pdb
exec 2>/dev/null  # the shell's own reports of jobs ended by signals
# Background jobs of a script ignore interrupt and quit; the run gets the
# default actions back.
defaults() { exec perl -e '$SIG{INT} = $SIG{QUIT} = "DEFAULT"; exec @ARGV' "$@"; }
mkfifo fifo
exec 3<>fifo
for sig in INT TERM HUP QUIT; do
  for out in out.pdb out.pdb.gz; do
    defaults "$BIN" -r fifo "$out" > /dev/null 2>&1 3>&- &
    pid=$!
    for _ in $(seq 500); do [ -e "$out" ] && break; sleep 0.01; done
    head -c 100 in.pdb >&3
    sleep 0.05
    kill -s "$sig" "$pid"
    wait "$pid"
    echo "$sig $out: status $?, $([ -e "$out" ] && echo "file left" || echo "no file")"
  done
done
# Ignored by the caller: the run goes on and completes.
(trap '' TERM; exec "$BIN" -r fifo kept.pdb > /dev/null 2>&1 3>&-) &
pid=$!
for _ in $(seq 500); do [ -e kept.pdb ] && break; sleep 0.01; done
kill -s TERM "$pid"
sleep 0.05
cat in.pdb >&3
exec 3>&-
wait "$pid"
echo "TERM ignored: status $?, $(wc -l < kept.pdb) lines"
rm -f fifo kept.pdb
