# The input is changed in place (same file, same inode) while the run sits
# between its two readings, held there by the debugger at the rewind: every x
# shifted by 10 A (as when the next frame of a simulation is written over the
# file), a few digits changed so that a CRC-32C of the file stays the same,
# the file grown, shrunk or emptied. Each run stops, says so, and
# leaves no output file.
# Leak checking cannot work under the debugger (sanitizer builds).
export ASAN_OPTIONS=detect_leaks=0
cp in.pdb original.pdb
awk '/^(ATOM  |HETATM)/ { $0 = substr($0, 1, 30) sprintf("%8.3f", substr($0, 31, 8) + 10) substr($0, 39) } { print }' \
  original.pdb > shifted.pdb
python3 "$REPO/tests/e2e/crc32c_keeping_change.py" original.pdb crafted.pdb
change() {
  cp original.pdb in.pdb
  gdb -q -batch -ex 'catch syscall lseek' -ex 'run -t in.pdb out.pdb >stdout.txt 2>stderr.txt' \
      -ex "shell $1" -ex continue -ex continue -ex 'print $_exitcode' --args "$BIN" \
      2>/dev/null | sed -n 's/^\$1 = /status /p'
  tail -n 1 stderr.txt >&2
  if [ -e out.pdb ]; then echo "out.pdb left"; else echo "no out.pdb"; fi
  rm -f out.pdb
}
change "dd if=shifted.pdb of=in.pdb conv=notrunc status=none"
change "dd if=crafted.pdb of=in.pdb conv=notrunc status=none"
change "echo 'ATOM  99999  C   GLY A   1       0.000   0.000   0.000' >> in.pdb"
change "truncate -s -81 in.pdb"
change "truncate -s 0 in.pdb"
# Unchanged, the same run succeeds.
change "true"
