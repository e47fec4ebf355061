# --json: one line per run. For each structure the line parses and its
# numbers rebuild the text report exactly; a run that stops prints the file
# and the message instead (same status); usage stops print nothing there;
# names are escaped; the per-atom lines give way to skipped_names.
d=$REPO/tests/data
cp "$REPO/examples/1crn.pdb" "$d"/{1npc,worked,skipped,no_atoms,bad_field,overflow,too_wide}.pdb \
   "$d/worked.pdb.gz" .
check=$REPO/tests/e2e/json_rebuilds_report.py
for f in 1crn.pdb 1npc.pdb worked.pdb skipped.pdb no_atoms.pdb worked.pdb.gz; do
  "$BIN" --json "$f" > run.json 2>/dev/null
  "$BIN" "$f" > run.txt 2>/dev/null
  python3 -m json.tool run.json > /dev/null && python3 "$check" run.json run.txt &&
    echo "$f: the JSON parses and rebuilds the report"
done
"$BIN" --json skipped.pdb; echo "status $?"
"$BIN" -r skipped.pdb --json out.pdb; echo "status $?"
for args in "missing.pdb" "bad_field.pdb" "--model=2 worked.pdb" "-r overflow.pdb o.pdb" \
    "-t too_wide.pdb wide.pdb" "-r"; do
  "$BIN" --json $args; echo "status $?"
done
rm -f wide.pdb
name=$(printf 'odd\033"\\\377\303\221.pdb')
cp worked.pdb "$name"
"$BIN" --json "$name" | cut -c1-40; echo "status $?"
rm -f "$name" run.json run.txt
