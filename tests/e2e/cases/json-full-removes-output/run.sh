# With --json, a standard output that cannot be written removes the output
# file, as it does without --json.
"$BIN" --json -r in.pdb out.pdb > /dev/full; echo "status $?"
ls out.pdb 2>/dev/null || echo "no out.pdb"
