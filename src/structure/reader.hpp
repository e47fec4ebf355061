// The first pass: every atom record of the input into the atom table.
#pragma once

#include "structure/atoms.hpp"
#include "structure/passes.hpp"
#include "text/records.hpp"
#include "text/sink.hpp"

namespace gyro {

// Fills the table from the ATOM/HETATM records of the input; an atom whose
// name gives no mass is counted in skipped and warned about on `err`. Stops at a
// field that does not convert, at an atom record that finds the table full, or
// at a read error.
PassFault read_atoms(RecordCursor& input, AtomTable& t, Sink& err);

}  // namespace gyro
