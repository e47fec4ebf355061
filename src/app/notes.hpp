// Notes on standard error: one line each, beginning "gyrolabium: ", that say
// in words what happened where the report alone would leave a user guessing.
// They never change standard output, the output file or the exit status.
#pragma once

#include <string>

#include "app/cmdline.hpp"
#include "structure/atoms.hpp"
#include "structure/reading.hpp"

namespace gyro {

// The arguments that play no part in the run, and why.
std::string ignored_note(const CmdLine& cl);

// Which file could not be opened (the input) or created (the output), and the
// system's reason for the errno `err`.
std::string open_failure_note(const std::string& name, bool output, int err);

// After the first pass, each only when it applies: atom records skipped, no
// atom with a known mass, several models (unless one was selected), alternate
// locations (or those left out), atom records cut short before their
// coordinates.
std::string first_pass_notes(const std::string& input, const AtomTable& t, const ReadNotes& n,
                             const Selection& selection = {});

// With --canonical: the axes (bits 1 and 2 of `unfixed`) whose sign the
// third moments could not fix; empty when none.
std::string unfixed_axes_note(const std::string& input, int unfixed);

// Why the eigensolver gave no principal frame, for its status code.
std::string solver_failure_note(const std::string& input, int status, bool in_double = false);

}  // namespace gyro
