// The run sequence: options, opening, reading, analysis, report, writing.
// Every stop writes its message where it is met and returns the exit status;
// only main ends the process.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>
#include <string_view>
#include <variant>

#include "analysis/rigid.hpp"
#include "app/cmdline.hpp"
#include "formats/format.hpp"
#include "structure/atoms.hpp"
#include "structure/reading.hpp"
#include "text/records.hpp"
#include "text/sink.hpp"

namespace gyro {

inline constexpr int exit_ok = 0;
inline constexpr int exit_failure = 1;  // open, read, write, conversion, solver failures
inline constexpr int exit_usage = 2;    // usage text and unknown flag

// The results of the analysis, in the run's precision.
template <class Real>
struct Analysis {
  Real total_mass = 0;
  BasicVec3<Real> centre;           // in the input frame
  Real moments[3] = {0, 0, 0};      // principal moments, largest first
  BasicMat3<Real> axes;             // rows: the principal axes
};

// All state of one run, alive until it ends.
struct RunContext {
  explicit RunContext(const ReadingRules& chosen = {}, bool use_double = false)
      : rules(chosen), atoms(chosen.limit(), use_double), double_precision(use_double) {
    if (use_double) result = Analysis<double>{};
  }
  Mode mode = Mode::report_only;
  ReadingRules rules;
  std::string input_path, output_path;
  AtomTable atoms;
  Format format = Format::pdb;  // found from the input's first lines
  bool json = false;       // the report as one line of JSON
  bool canonical = false;  // axis signs from the third moments
  // --double: the atoms and every result in double precision instead.
  const bool double_precision;
  std::variant<Analysis<float>, Analysis<double>> result;  // in the run's precision
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
