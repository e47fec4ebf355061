# The forms of CIF text that other programs write give the report of the same
# atoms in the usual layout (one row a line, after a data_ line): rows that
# share a line or take several, numbers with a standard uncertainty, "?" and
# "." as model number, "stop_" after the loop, a text that begins with
# "loop_" or a tag, a single atom as item/value pairs; and every form keeps
# the lines of its copy.
python3 "$REPO/tests/e2e/pdb_to_mmcif.py" "$REPO/examples/1crn.pdb" usual.cif
python3 - <<'PY'
text = open("usual.cif").read()
head, rows = text.split("_atom_site.pdbx_PDB_model_num\n")
rows, tail = rows.split("\n#\n", 1)
rows = rows.split("\n")
h = head + "_atom_site.pdbx_PDB_model_num\n"
def write(name, body, end="\n#\n" + tail):
    open(name, "w").write(h + body + end)
write("paired.cif", "\n".join(" ".join(rows[i:i + 2]) for i in range(0, len(rows), 2)))
write("split.cif", "\n".join(r.replace(" ", "\n", 3) for r in rows))
def uncertain(row):
    v = row.split(" ")
    for k in (8, 9, 10):
        v[k] += "(3)"
    return " ".join(v)
write("uncertain.cif", "\n".join(uncertain(r) for r in rows))
write("unknown-model.cif", "\n".join(r[:-1] + ("?" if i % 2 else ".") for i, r in enumerate(rows)))
write("stop.cif", "\n".join(rows) + "\nstop_")
no_data = text.replace("data_TEST\n", "", 1)
open("no-data.cif", "w").write(no_data[no_data.index("loop_\n_atom_site"):])
open("tag-first.cif", "w").write("_entry.id TEST\n" + no_data[no_data.index("loop_\n_atom_site"):])
# One atom: as a one-row loop and as item/value pairs (in other lines' company).
names = [l for l in head.split("\n") if l.startswith("_atom_site.")] + ["_atom_site.pdbx_PDB_model_num"]
values = rows[0].split(" ")
open("one-loop.cif", "w").write("data_one\nloop_\n" + "\n".join(names) + "\n" + rows[0] + "\n")
open("one-items.cif", "w").write("data_one\n_entry.id ONE\n" +
    "\n".join(n + " " + v for n, v in zip(names, values)) + "\n_cell.length_a 10\n")
PY
for f in paired split uncertain unknown-model stop no-data tag-first; do
  cmp -s <("$BIN" usual.cif | tail -n +3) <("$BIN" "$f.cif" | tail -n +3) && echo "$f: same report"
  "$BIN" -r "$f.cif" "$f.out" >/dev/null; echo "$f -r: status $?, $(wc -l < "$f.cif") lines in, $(wc -l < "$f.out") out"
done
cmp -s <("$BIN" one-loop.cif | tail -n +3) <("$BIN" one-items.cif | tail -n +3) && echo "one atom as items: same report"
"$BIN" -t one-items.cif one.out > /dev/null; echo "one atom -t: status $?"
cat one.out
# A last line without a line feed stays so in the copy.
printf 'data_x\nloop_\n_atom_site.type_symbol\n_atom_site.Cartn_x\n_atom_site.Cartn_y\n_atom_site.Cartn_z\nC 1 2 3\nO 2 3 4' > unended.cif
"$BIN" -t unended.cif unended.out > /dev/null; tail -c 12 unended.out | od -c | head -n 2
rm -f ./*.cif ./*.out
