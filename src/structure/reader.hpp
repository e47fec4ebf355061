// The first pass: every atom record of the input into the atom table.
#pragma once

#include <cstdint>

#include "structure/atoms.hpp"
#include "structure/passes.hpp"
#include "text/records.hpp"
#include "text/sink.hpp"

namespace gyro {

// What the first pass saw besides the atoms, for the notes after it.
struct ReadNotes {
  std::int64_t models = 0;               // MODEL records
  std::int64_t alternate_locations = 0;  // atom records with column 17 not blank
  std::int64_t short_records = 0;        // atom records whose line ends before column 54
};

// Fills the table from the ATOM/HETATM records of the input; an atom whose
// name gives no mass is counted in `skipped` and warned about on `err`. Stops
// at a field that does not convert, at an accepted atom that finds the table
// full, or when reading fails.
PassFault read_atoms(RecordCursor& input, AtomTable& t, ReadNotes& notes, Sink& err);

}  // namespace gyro
