// The command line: `gyrolabium [--option...] [-rt] pdb.in [pdb.out]`, its
// modes and options, and the texts of the stops that come before any record is
// read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "structure/reading.hpp"

namespace gyro {

// What a run makes: the report only, or also a copy of the structure moved to
// its centre of mass, or moved and rotated into its principal frame.
enum class Mode { report_only, centred, rotated };

struct CmdLine {
  enum class Stop { none, usage, flag_error, option_error, help, version } stop = Stop::none;
  Mode mode = Mode::report_only;
  ReadingRules rules;  // which atoms, their masses, the limit
  bool json = false;         // the report as one line of JSON
  bool canonical = false;    // axes signs from the third moments
  bool shape = false;        // the shape descriptors after the report
  bool double_precision = false;  // every sum in double precision
  std::string option_error;  // option_error: what is wrong, for the note
  std::string usage_reason;  // usage and flag_error: why, for the note
  std::string input_path, output_path;  // the arguments less their trailing blanks
  bool input_refused = false, output_refused = false;  // begins with "<", ">" or "|"
  std::vector<std::string> ignored;  // arguments after the input (no flag) or the output
  // Many files in one run: --each-file (every name is an input) or
  // --files-from=LIST (the names of LIST after those of the command line).
  bool each_file = false;
  std::string files_from;  // empty: none
  std::string out_dir;     // --out-dir=DIR: where the copies of many files go
  std::vector<std::string> inputs;  // with each_file: the command line's names
};

// Long options (`--name` or `--name=value`, anywhere before an argument
// `--`) are taken out first; the other arguments give the mode and names, flag
// first. With no flag output_path stays empty.
CmdLine parse_command_line(int argc, const char* const* argv);

// A name as an 80-column field: blank-filled to 80, a longer name whole.
std::string name_field(const std::string& name);

// " Usage: ..." for standard error, with its line feed.
std::string usage_text();
// Why a name is refused: it begins with a shell redirection character.
std::string refused_name_reason(const std::string& name);
// The unknown-flag line that precedes the usage text.
std::string flag_error_text();
// The open failure for standard output: an empty line, then the name field.
std::string open_failure_text(const std::string& name);
// --help and --version, for standard output.
std::string help_text();
std::string version_text();

}  // namespace gyro
