// The run sequence: options, opening, reading, analysis, report, writing.
// Every stop writes its message where it is met and returns the exit status;
// only main ends the process.
#pragma once

#include <string>
#include <string_view>

#include "structure/atoms.hpp"
#include "text/records.hpp"
#include "text/sink.hpp"

namespace gyro {

inline constexpr int exit_ok = 0;
inline constexpr int exit_failure = 1;  // open, read, write, conversion, solver failures
inline constexpr int exit_usage = 2;    // usage text and unknown flag

// All state of one run, alive until it ends.
struct RunContext {
  int rflag = 0, tflag = 0;
  std::string pdbin, pdbout;
  AtomTable atoms;
  float mtot = 0, xcen = 0, ycen = 0, zcen = 0;  // centre in the input frame
  float pmom[3] = {0, 0, 0};                     // principal moments, largest first
  float pvec[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};   // rows: principal axes; column-major
};

// A whole run for the command line argv; returns the exit status.
int run(int argc, const char* const* argv, Sink& out, Sink& err);

// The phases after the files are open: the first pass reads `records`; with an
// output file (flags only, closed here) the second pass rewinds them and copies
// them into it. Without a flag pdbout is null.
int run_phases(RunContext& ctx, RecordCursor& records, Sink& out, Sink& err, Sink* pdbout);

}  // namespace gyro
