"""Writes the atom records of a PDB file as an mmCIF _atom_site loop, the
columns in the archive's order, with a few items and a text field before the
loop, for the tests of the mmCIF reader. Usage: pdb_to_mmcif.py IN.pdb OUT.cif"""
import sys

columns = ["group_PDB", "id", "type_symbol", "label_atom_id", "label_alt_id", "label_comp_id",
           "label_asym_id", "label_seq_id", "Cartn_x", "Cartn_y", "Cartn_z", "occupancy",
           "B_iso_or_equiv", "auth_atom_id", "pdbx_PDB_model_num"]
out = ["data_TEST", "#", "_entry.id TEST", "_struct.title", ";A text field", "loop_ that is text",
       "data_ inside it too", ";", "_struct.pdbx_descriptor 'a \"quoted\" value'", "#", "loop_"]
out += ["_atom_site." + c for c in columns]
model = 1
for line in open(sys.argv[1]):
    if line.startswith("MODEL "):
        model = int(line[10:14])
    if not line.startswith(("ATOM  ", "HETATM")):
        continue
    line = line.rstrip("\n").ljust(80)
    name = line[12:16].strip()
    symbol = line[76:78].strip() or "?"
    alt = line[16].strip() or "."
    # Quoted as the archive quotes: only names that need it (primes, blanks).
    quoted = '"' + name + '"' if "'" in name else "'" + name + "'" if " " in name else name
    out.append(" ".join([line[:6].strip(), str(len(out)), symbol, quoted, alt, line[17:20].strip(),
                         line[21].strip() or "A", line[22:26].strip(), line[30:38].strip(),
                         line[38:46].strip(), line[46:54].strip(), line[54:60].strip() or "1.0",
                         line[60:66].strip() or "0.0", quoted, str(model)]))
out.append("#")
out.append("data_SECOND")
out.append("loop_\n_atom_site.Cartn_x\n_atom_site.Cartn_y\n_atom_site.Cartn_z\n_atom_site.type_symbol\n1 2 3 C")
open(sys.argv[2], "w").write("\n".join(out) + "\n")
