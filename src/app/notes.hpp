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

// Single precision moved the centre by `drift` Å for atoms up to `largest` Å
// from the origin (both with 2 significant digits).
std::string far_from_origin_text(const std::string& input, double largest, double drift);

// With --canonical: which principal moments are nearly equal (1 and 2, 2 and
// 3, or all three), so that their axes are not fixed; empty when none.
std::string equal_moments_text(const std::string& input, bool first_two, bool last_two,
                               bool in_double);

// `v` with 2 significant digits, without an exponent ("13000000", "1.3", "0.017").
std::string two_digits(double v);

// Why the eigensolver gave no principal frame, for its status code.
std::string solver_failure_note(const std::string& input, int status, bool in_double = false);

}  // namespace gyro
