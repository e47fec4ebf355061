#include "app/cmdline.hpp"

#include <charconv>
#include <string_view>
#include <utility>

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

namespace {

// A whole number from 1, digits only.
std::optional<std::int64_t> count_from_one(std::string_view text) {
  std::int64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || text[0] == '+' || ec != std::errc() || end != text.data() + text.size() ||
      v < 1)
    return std::nullopt;
  return v;
}

// The format of a --format value.
std::optional<Format> format_named(std::string_view word) {
  static constexpr std::pair<std::string_view, Format> formats[] = {
      {"pdb", Format::pdb}, {"mmcif", Format::mmcif}, {"sdf", Format::sdf},
      {"mol2", Format::mol2}, {"xyz", Format::xyz}, {"gro", Format::gro}};
  for (const auto& [name, format] : formats)
    if (word == name) return format;
  return std::nullopt;
}

// One long option into cl; false with cl.option_error set when it is unknown
// or its value is missing or malformed.
bool take_long_option(std::string_view arg, CmdLine& cl) {
  const std::size_t eq = arg.find('=');
  const std::string name(arg.substr(0, eq));
  const bool has_value = eq != std::string_view::npos;
  const std::string value = has_value ? std::string(arg.substr(eq + 1)) : std::string();
  auto wrong = [&](const std::string& why) {
    cl.option_error = name + " " + why + (has_value ? ": \"" + printable(value) + "\"" : "");
    return false;
  };
  ReadingRules& r = cl.rules;
  if (name == "--help" || name == "--version") {
    if (has_value) return wrong("takes no value");
    if (cl.stop == CmdLine::Stop::none)
      cl.stop = name == "--help" ? CmdLine::Stop::help : CmdLine::Stop::version;
    return true;
  }
  if (name == "--each-file") {
    if (has_value) return wrong("takes no value");
    cl.each_file = true;
    return true;
  }
  if (name == "--files-from" || name == "--out-dir") {
    if (value.empty()) return wrong("needs a file name");
    (name == "--files-from" ? cl.files_from : cl.out_dir) = value;
    cl.each_file = cl.each_file || name == "--files-from";
    return true;
  }
  if (name == "--select") {
    std::string error;
    r.selection.expression = SelectExpression::parse(value, error);
    if (!r.selection.expression) {
      cl.option_error = "--select: " + error;
      return false;
    }
    return true;
  }
  if (name == "--shape" || name == "--whole") {
    if (has_value) return wrong("takes no value");
    (name == "--shape" ? cl.shape : r.whole) = true;
    return true;
  }
  if (name == "--each-model") {
    if (has_value) return wrong("takes no value");
    r.selection.each_model = true;
    return true;
  }
  if (name == "--json" || name == "--canonical" || name == "--double") {
    if (has_value) return wrong("takes no value");
    (name == "--json" ? cl.json : name == "--canonical" ? cl.canonical : cl.double_precision) = true;
    return true;
  }
  if (name == "--model" || name == "--max-atoms") {
    const auto n = count_from_one(value);
    if (!n) return wrong("needs a whole number from 1");
    (name == "--model" ? r.selection.model : r.max_atoms) = *n;
    return true;
  }
  if (name == "--altloc") {
    if (value.size() != 1 || value[0] <= ' ' || value[0] > '~')
      return wrong("needs one printable character");
    r.selection.altloc = value[0];
    return true;
  }
  if (name == "--format") {
    r.format = format_named(value);
    return r.format ? true : wrong("needs pdb, mmcif, sdf, mol2, xyz or gro");
  }
  if (name == "--masses") {
    if (value != "name" && value != "element" && value != "unit")
      return wrong("needs name, element or unit");
    r.masses = value == "element" ? MassSource::element
               : value == "unit"  ? MassSource::unit
                                  : MassSource::atom_name;
    return true;
  }
  cl.option_error = "unknown option " + printable(name);
  return false;
}

// The arguments that are not long options, with the options taken into cl;
// false at the first option that is wrong. `names_from`: the first of `rest`
// that came after "--" (a name, even where it begins with "-").
bool take_long_options(int argc, const char* const* argv, CmdLine& cl,
                       std::vector<const char*>& rest, std::size_t& names_from) {
  bool options_end = false;
  names_from = static_cast<std::size_t>(argc);
  for (int k = 1; k < argc; ++k) {
    const std::string arg = less_trailing_blanks(argv[k]);
    if (!options_end && arg == "--") {
      options_end = true;
      names_from = rest.size();
    } else if (!options_end && arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      if (!take_long_option(arg, cl)) return false;
    } else {
      rest.push_back(argv[k]);
    }
  }
  return true;
}

// The flag of a run over many files, if any, then every name an input; with
// a flag the copies go to --out-dir.
CmdLine many_files(CmdLine& cl, const std::vector<const char*>& args, std::size_t names_from) {
  std::size_t first = 0;
  if (!args.empty() && args[0][0] == '-' && names_from > 0) {
    const std::string flag = less_trailing_blanks(args[0]);
    if (flag != "-t" && flag != "-r" && flag != "-rt" && flag != "-tr") {
      cl.stop = CmdLine::Stop::flag_error;
      cl.usage_reason = "unknown flag " + printable(flag) + " (the flags are -t, -r, -rt and -tr)";
      return cl;
    }
    cl.mode = flag == "-t" ? Mode::centred : Mode::rotated;
    first = 1;
  }
  for (std::size_t k = first; k < args.size(); ++k) cl.inputs.push_back(less_trailing_blanks(args[k]));
  if (cl.inputs.empty() && cl.files_from.empty()) {
    cl.stop = CmdLine::Stop::usage;
    cl.usage_reason = "no input file named";
  } else if (cl.mode != Mode::report_only && cl.out_dir.empty()) {
    cl.stop = CmdLine::Stop::usage;
    cl.usage_reason = "with many files, -t and -r write their copies into --out-dir=DIR";
  }
  return cl;
}

}  // namespace

CmdLine parse_command_line(int argc, const char* const* argv) {
  CmdLine cl;
  std::vector<const char*> args;
  std::size_t names_from = 0;
  if (!take_long_options(argc, argv, cl, args, names_from)) {
    cl.stop = CmdLine::Stop::option_error;
    return cl;
  }
  if (cl.stop != CmdLine::Stop::none) return cl;  // --help, --version
  if (cl.rules.selection.each_model && cl.rules.selection.model) {
    cl.stop = CmdLine::Stop::option_error;
    cl.option_error = "--model and --each-model contradict each other: choose one";
    return cl;
  }
  const auto n = static_cast<int>(args.size());
  if (cl.each_file) return many_files(cl, args, names_from);
  if (!cl.out_dir.empty()) {
    cl.stop = CmdLine::Stop::option_error;
    cl.option_error = "--out-dir goes with --each-file or --files-from";
    return cl;
  }
  if (n < 1) {
    cl.stop = CmdLine::Stop::usage;
    cl.usage_reason = "no input file named";
    return cl;
  }
  int iarg = 0;
  if (args[0][0] == '-' && names_from > 0) {
    iarg = 1;
    const std::string flag = less_trailing_blanks(args[0]);
    const bool known = flag == "-t" || flag == "-r" || flag == "-rt" || flag == "-tr";
    cl.usage_reason = known ? printable(flag) + " needs an input and an output file name"
                            : "unknown flag " + printable(flag) +
                                  " (the flags are -t, -r, -rt and -tr)";
    if (n < 3) {  // the count is tested before the flag text
      cl.stop = CmdLine::Stop::usage;
      return cl;
    }
    if (!known) {
      cl.stop = CmdLine::Stop::flag_error;
      return cl;
    }
    cl.usage_reason.clear();
    cl.mode = flag == "-t" ? Mode::centred : Mode::rotated;
  }
  cl.input_path = less_trailing_blanks(args[iarg]);
  cl.input_refused = refused_name(args[iarg]);
  int last = iarg;
  if (cl.mode != Mode::report_only) {
    cl.output_path = less_trailing_blanks(args[2]);
    cl.output_refused = refused_name(args[2]);
    last = 2;
  }
  for (int k = last + 1; k < n; ++k) cl.ignored.emplace_back(args[k]);
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

std::string refused_name_reason(const std::string& name) {
  return "a file name may not begin with \"" + name.substr(0, 1) + "\": " + printable(name);
}

std::string flag_error_text() { return FreeLine().text("Error: unknown input flag").str(); }

std::string open_failure_text(const std::string& name) {
  return "\n Error opening file: " + name_field(name) + "\n";
}

std::string help_text() {
  return "Usage: gyrolabium [option...] [-rt] pdb.in [pdb.out]\n"
         "       gyrolabium --each-file [option...] [-rt] pdb.in... (--out-dir=DIR with -rt)\n"
         "Mass, centre of mass, principal moments and principal axes of a PDB structure.\n"
         "\n"
         "  (no flag)         only the report, on standard output\n"
         "  -t                also write pdb.out with the centre of mass at the origin\n"
         "  -r, -rt, -tr      also write pdb.out moved into the principal frame\n"
         "  --model=N         only the atoms of MODEL N (no MODEL records: model 1)\n"
         "  --altloc=X        only atoms whose alternate location is blank or X\n"
         "  --select=EXPR     only the atom records EXPR selects (fields, keywords, and,\n"
         "                    or, not; see the manual); -r moves every record\n"
         "  --masses=element  masses from the element symbol (columns 77-78) if any\n"
         "  --masses=name     masses from the atom name (the default)\n"
         "  --masses=unit     every atom the name rules accept weighs 1 (geometric shape)\n"
         "  --shape           shape descriptors after the report (see the manual)\n"
         "  --whole           join the analysed atoms across the file's periodic box\n"
         "                    (CRYST1, _cell, the GRO box line, Lattice=) first\n"
         "  --max-atoms=N     accept up to N atoms (default 64000); read hexadecimal\n"
         "                    and hybrid-36 serial numbers\n"
         "  --canonical       axis signs from the atoms' third moments: one pose\n"
         "                    whatever the input pose\n"
         "  --double          read and compute in double precision\n"
         "  --json            the report as one line of JSON, numbers in full\n"
         "  --each-model      every model (MODEL records, mmCIF model numbers) on its own\n"
         "  --each-file       every name is an input, each analysed on its own\n"
         "  --format=F        read the input as F: pdb, mmcif, sdf, mol2, xyz or gro\n"
         "                    (without it the format is found from the text)\n"
         "  --files-from=LIST the inputs named in LIST, one a line (/dev/stdin: standard\n"
         "                    input), after those of the command line\n"
         "  --out-dir=DIR     with many files, -t and -r write DIR/NAME for each input\n"
         "  --help            this text\n"
         "  --version         the version\n"
         "  --                end of the options: a name after it may begin with -\n"
         "\n"
         "Options may stand anywhere before --. pdb.in is PDB text, mmCIF, SDF/MOL,\n"
         "MOL2, XYZ or GRO (each molecule or frame reported on its own), plain or\n"
         "gzip-compressed, and /dev/stdin reads standard input (with -t and -r too);\n"
         "pdb.out is written gzip-compressed when its name ends in .gz.\n"
         "See the manual page: man gyrolabium\n";
}

std::string version_text() { return "gyrolabium " GYRO_VERSION "\n"; }

}  // namespace gyro
