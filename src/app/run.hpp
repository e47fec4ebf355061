// The run sequence: options, opening, reading, analysis, report, writing.
// Every stop writes its message where it is met and returns the exit status;
// only main ends the process.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>
#include <string_view>

#include "analysis/rigid.hpp"
#include "app/cmdline.hpp"
#include "structure/atoms.hpp"
#include "text/records.hpp"
#include "text/sink.hpp"

namespace gyro {

inline constexpr int exit_ok = 0;
inline constexpr int exit_failure = 1;  // open, read, write, conversion, solver failures
inline constexpr int exit_usage = 2;    // usage text and unknown flag

// All state of one run, alive until it ends.
struct RunContext {
  explicit RunContext(const Selection& chosen = {}, bool use_double = false)
      : selection(chosen),
        atoms(chosen.max_atoms.value_or(max_atoms), use_double),
        double_precision(use_double) {}
  Mode mode = Mode::report_only;
  Selection selection;
  std::string input_path, output_path;
  AtomTable atoms;
  float total_mass = 0;
  Vec3 centre;       // in the input frame
  float moments[3] = {0, 0, 0};  // principal moments, largest first
  Mat3 axes;         // rows: the principal axes
  bool json = false;  // the report as one line of JSON
  bool canonical = false;  // axis signs from the third moments
  bool mmcif = false;      // the input is mmCIF text, not PDB records
  // --double: the atoms and every result in double precision instead.
  const bool double_precision;
  struct {
    double total_mass = 0;
    Vec3d centre;
    double moments[3] = {0, 0, 0};
    Mat3d axes;
  } in_double;
  std::map<std::string, std::int64_t> skipped_names;  // with json: skipped records by name
};

// How the phases ended: the exit status, and whether the output file was
// written whole (it is kept then, even with a failure status for coordinates
// that did not fit their fields).
struct Outcome {
  int status = exit_ok;
  bool output_complete = false;
};

// A whole run for the command line argv; returns the exit status.
int run(int argc, const char* const* argv, Sink& out, Sink& err);

// The phases after the files are open: the first pass reads `records`; with an
// output file (flags only, closed here) the second pass rewinds them and copies
// them into it, and must meet the same text. Without a flag `output` is null.
Outcome run_phases(RunContext& ctx, RecordCursor& records, Sink& out, Sink& err, Sink* output);

}  // namespace gyro
