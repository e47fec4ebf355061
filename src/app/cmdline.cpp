#include "app/cmdline.hpp"

#include <string_view>

#include "text/numtext.hpp"

#ifndef GYRO_VERSION
#define GYRO_VERSION "0.0.0"
#endif

namespace gyro {
namespace {

std::string less_trailing_blanks(std::string_view arg) {
  std::size_t end = arg.find_last_not_of(' ');
  return std::string(arg.substr(0, end == std::string_view::npos ? 0 : end + 1));
}

// Names starting with a shell redirection character are refused outright.
bool refused_name(std::string_view arg) {
  return !arg.empty() && (arg[0] == '<' || arg[0] == '>' || arg[0] == '|');
}

}  // namespace

CmdLine parse_command_line(int argc, const char* const* argv) {
  CmdLine cl;
  const int n = argc - 1;
  if (n < 1) {
    cl.stop = CmdLine::Stop::usage;
    return cl;
  }
  int iarg = 1;
  const std::string first = less_trailing_blanks(argv[1]);
  if (first == "--help" || first == "--version") {
    cl.stop = first == "--help" ? CmdLine::Stop::help : CmdLine::Stop::version;
    return cl;
  }
  if (argv[1][0] == '-') {
    iarg = 2;
    if (n < 3) {  // the count is tested before the flag text
      cl.stop = CmdLine::Stop::usage;
      return cl;
    }
    if (first == "-t") {
      cl.mode = Mode::centred;
    } else if (first == "-r" || first == "-rt" || first == "-tr") {
      cl.mode = Mode::rotated;
    } else {
      cl.stop = CmdLine::Stop::flag_error;
      return cl;
    }
  }
  cl.input_path = less_trailing_blanks(argv[iarg]);
  cl.input_refused = refused_name(argv[iarg]);
  int last = iarg;
  if (cl.mode != Mode::report_only) {
    cl.output_path = less_trailing_blanks(argv[3]);
    cl.output_refused = refused_name(argv[3]);
    last = 3;
  }
  for (int k = last + 1; k <= n; ++k) cl.ignored.emplace_back(argv[k]);
  return cl;
}

std::string name_field(const std::string& name) {
  std::string f = name;
  if (f.size() < 80) f.append(80 - f.size(), ' ');
  return f;
}

std::string usage_text() {
  return FreeLine().text("Usage: gyrolabium [-rt] pdb.in [pdb.out]").str();
}

std::string flag_error_text() { return FreeLine().text("Error: unknown input flag").str(); }

std::string open_failure_text(const std::string& name) {
  return "\n Error opening file: " + name_field(name) + "\n";
}

std::string help_text() {
  return "Usage: gyrolabium [-rt] pdb.in [pdb.out]\n"
         "Mass, centre of mass, principal moments and principal axes of a PDB structure.\n"
         "\n"
         "  (no flag)  only the report, on standard output\n"
         "  -t         also write pdb.out, moved so that the centre of mass is the origin\n"
         "  -r         also write pdb.out, moved and rotated into the principal frame\n"
         "  -rt, -tr   the same as -r\n"
         "  --help     this text\n"
         "  --version  the version\n"
         "\n"
         "pdb.in may be gzip-compressed; pdb.out is written gzip-compressed when its\n"
         "name ends in .gz. See the manual page: man gyrolabium\n";
}

std::string version_text() { return "gyrolabium " GYRO_VERSION "\n"; }

}  // namespace gyro
