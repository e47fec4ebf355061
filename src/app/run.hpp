// The run sequence: options, opening, reading, analysis, report, writing.
// Every stop writes its message where it is met and returns the exit status;
// only main ends the process.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <utility>
#include <optional>
#include <string>
#include <vector>
#include <string_view>
#include <variant>

#include "analysis/periodic.hpp"
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
  bool shape = false;      // the shape descriptors after the report
  // --double: the atoms and every result in double precision instead.
  const bool double_precision;
  std::variant<Analysis<float>, Analysis<double>> result;  // in the run's precision
  std::map<std::string, std::int64_t> skipped_names;  // with json: skipped records by name
  // What a report shows: the counts of the atoms analysed, and with
  // --each-model the model's number.
  struct Shown {
    std::int64_t read = 0, skipped = 0;
    std::optional<std::int64_t> model;
    const std::string* name = nullptr;  // the record's title (molecule formats)
  } shown;
  std::string json_lines;  // --each-model with --json: a line a model
  Sink* json_out = nullptr;   // where a series streams its JSON lines, if anywhere
  bool json_streamed = false;  // the series's lines went there
  bool failures_said = false;  // every failure of the series has its line there
  std::int64_t not_selected = 0;  // --select: the atom records it left out
  std::optional<Joining> joining;  // --whole: how the atoms were joined
  std::vector<long> analysed_lines;  // --whole, PDB: the lines of the analysed atom records
};

// How the phases ended: the exit status, and whether the output file was
// written whole (it is kept then, even with a failure status for coordinates
// that did not fit their fields).
struct Outcome {
  int status = exit_ok;
  bool output_complete = false;
};

// The pieces of a run that the series (--each-model) shares with the single
// report.
Outcome failed();
// The frame that moves the atoms to the centre (and rotates them into the
// principal axes), in the analysis's precision.
Frame frame_of(const Analysis<float>& a, bool rotated);
FrameD frame_of(const Analysis<double>& a, bool rotated);
// The notes after an analysis: single precision far from the origin; with
// --canonical, equal moments.
std::string far_from_origin_note(const RunContext& ctx, const Analysis<float>& a,
                                 std::span<const Atom> atoms);
inline std::string far_from_origin_note(const RunContext&, const Analysis<double>&,
                                        std::span<const AtomD>) {
  return {};
}
// The atoms of `part` (first, count) of the table in the analysis's precision.
inline std::span<const Atom> atoms_for(const AtomTable& t, const Analysis<float>&,
                                       std::pair<std::int64_t, std::int64_t> part) {
  return std::span<const Atom>(t.accepted())
      .subspan(static_cast<std::size_t>(part.first), static_cast<std::size_t>(part.second));
}
inline std::span<const AtomD> atoms_for(const AtomTable& t, const Analysis<double>&,
                                        std::pair<std::int64_t, std::int64_t> part) {
  return t.accepted_double().subspan(static_cast<std::size_t>(part.first),
                                     static_cast<std::size_t>(part.second));
}
template <class Real>
std::string equal_moments_note(const RunContext& ctx, const Analysis<Real>& a);
// --whole: the atoms of segment `s` made whole under `box` (the table's atoms
// moved in place), `joining` how; the note when they fill the box. The
// message that stops the analysis when there is no box (else empty), said
// on `err` too. `model`: the model's number in a series, for the note.
std::string join_atoms(RunContext& ctx, const Segment& s, const std::optional<Box>& box,
                       std::optional<Joining>& joining, Sink& err,
                       std::optional<std::int64_t> model = std::nullopt);
// The second pass: `copy` writes the copy from the rewound text, which must
// be the one the first pass read (`first`); the output is closed and judged.
Outcome write_phase(RunContext& ctx, RecordCursor& records, const Checksum& first, Sink& err,
                    Sink& output, const std::function<WriteResult()>& copy);
// --each-model: every model analysed, reported and (with an output file)
// moved on its own.
Outcome run_each_model(RunContext& ctx, RecordCursor& records, const Checksum& first,
                       const ReadNotes& notes, Sink& out, Sink& err, Sink* output);

// Molecule and simulation text: each record read, analysed and reported in
// turn; then the notes and, with an output file, the copy.
Outcome run_records(RunContext& ctx, RecordCursor& records, const ReadingRules& rules,
                    ReadNotes& notes, Sink& out, Sink& err, Sink* output);

// A whole run for the command line argv; returns the exit status.
int run(int argc, const char* const* argv, Sink& out, Sink& err);

// The phases after the files are open: the first pass reads `records`; with an
// output file (flags only, closed here) the second pass rewinds them and copies
// them into it, and must meet the same text. Without a flag `output` is null.
Outcome run_phases(RunContext& ctx, RecordCursor& records, Sink& out, Sink& err, Sink* output);

}  // namespace gyro
