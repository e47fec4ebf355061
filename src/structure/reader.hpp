// The first pass: every atom record of the input into the atom table.
#pragma once

#include <string_view>

#include "structure/atoms.hpp"
#include "structure/passes.hpp"
#include "text/sink.hpp"

namespace gyro {

// Fills the table from the ATOM/HETATM records of `input`; an atom whose name
// gives no mass is counted in iskip and warned about on `err`. Stops at a field
// that does not convert, or at an atom record that finds the table full.
PassFault read_atoms(std::string_view input, AtomTable& t, Sink& err);

}  // namespace gyro
