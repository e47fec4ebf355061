// The first pass over PDB records: every atom record that the reading rules
// accept into the atom table.
#pragma once

#include "structure/atoms.hpp"
#include "structure/passes.hpp"
#include "structure/reading.hpp"
#include "text/records.hpp"
#include "text/sink.hpp"

namespace gyro {

// Fills the table (in its precision) from the ATOM/HETATM records of the
// input that the rules select; an atom whose name (or element) gives no mass
// is counted in `skipped` and warned about on `err`. With a model selected,
// the atoms outside it, those before the first MODEL record included, count
// in nothing; without, every atom record counts. `every_record`: the fields of
// the records left out are converted too (they are moved in an output file),
// so that one that does not convert stops the run. Stops at a field that does
// not convert, at an accepted atom that finds the table full, when reading
// fails, or at the end when the selected model is not in the file.
PassFault read_pdb_atoms(RecordCursor& input, AtomTable& t, ReadNotes& notes, Sink& err,
                         const ReadingRules& rules, bool every_record);

}  // namespace gyro
