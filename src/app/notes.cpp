#include "app/notes.hpp"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "text/numtext.hpp"

namespace gyro {
namespace {

// "1 atom record" or "N atom records".
std::string atom_records(std::int64_t n) {
  return std::to_string(n) + (n == 1 ? " atom record" : " atom records");
}

}  // namespace

std::string ignored_note(const CmdLine& cl) {
  std::string note = "gyrolabium: ignored:";
  bool looks_like_flag = false;
  for (const std::string& arg : cl.ignored) {
    note += " " + printable(arg);
    looks_like_flag = looks_like_flag || (!arg.empty() && arg[0] == '-');
  }
  if (cl.mode == Mode::report_only)
    note += looks_like_flag ? " (a flag must come first)"
                            : " (without a flag only the report is made)";
  return note + "\n";
}

std::string open_failure_note(const std::string& name, bool output, int err) {
  return std::string("gyrolabium: cannot ") +
         (output ? "create the output file " : "open the input file ") + printable(name) + ": " +
         std::strerror(err) + "\n";
}

namespace {

// The notes of a reading of molecule or simulation records: atoms without an
// element, a file without atoms, what --select kept.
std::string record_notes(const std::string& file, const AtomTable& t, const ReadNotes& n,
                         const Selection& selection) {
  std::string notes;
  if (t.skipped > 0)
    notes += file + std::to_string(t.skipped) +
             (t.skipped == 1 ? " atom skipped: it names" : " atoms skipped: they name") +
             " no element\n";
  if (n.records_accepted + t.skipped + n.unselected + n.not_selected == 0 && n.damaged.empty())
    notes += file + "no atoms in any record\n";
  if (selection.expression)
    notes += file + "--select kept " + std::to_string(n.records_accepted + t.skipped) +
             " atoms and left out " +
             std::to_string(n.not_selected) + "\n";
  return notes;
}

}  // namespace

std::string first_pass_notes(const std::string& input, const AtomTable& t, const ReadNotes& n,
                             const Selection& selection) {
  const std::string file = about(input);
  if (n.molecules) return record_notes(file, t, n, selection);
  std::string notes;
  if (t.skipped > 0)
    notes += file + atom_records(t.skipped) + " skipped: " +
             (n.mmcif ? (t.skipped == 1 ? "its type_symbol gives" : "their type_symbols give")
                      : (t.skipped == 1 ? "its atom name gives" : "their atom names give")) +
             " no mass\n";
  if (n.first_line_carriage_returns > 0)
    notes += file + "line 1 holds " + std::to_string(n.first_line_carriage_returns) +
             (n.first_line_carriage_returns == 1 ? " carriage return" : " carriage returns") +
             ": are its lines ended by CR alone?\n";
  if (t.count + t.skipped + n.unselected == 0)
    notes += file + "no ATOM or HETATM records: is it PDB text?\n";
  else if (t.count == 0)
    notes += file +
             "no atom has a known mass, so there is no centre of mass and no principal frame: "
             "the numbers of the report are not a result\n";
  if (n.repeated_model != 0 && selection.model != n.repeated_model && !selection.each_model)
    notes += file + "model " + std::to_string(n.repeated_model) + " stands at two MODEL records (lines " +
             std::to_string(n.repeated_at[0]) + " and " + std::to_string(n.repeated_at[1]) + ")\n";
  if (n.models > 1 && !selection.model && !selection.each_model)
    notes += file + std::to_string(n.models) +
             (n.mmcif ? " models (pdbx_PDB_model_num)" : " MODEL records") +
             ": all models were read together as one structure\n";
  if (selection.altloc && n.other_locations > 0)
    notes += file + atom_records(n.other_locations) + " of alternate locations other than " +
             *selection.altloc + (n.other_locations == 1 ? " was" : " were") + " left out\n";
  if (n.alternate_locations > 0 && !selection.altloc)
    notes += file + atom_records(n.alternate_locations) +
             (n.mmcif ? " with an alternate location (label_alt_id)"
                      : " with an alternate location (column 17)") +
             ": all were counted\n";
  if (selection.expression)
    notes += file + "--select kept " + atom_records(t.count + t.skipped) + " and left out " +
             std::to_string(n.not_selected) + "\n";
  if (n.skipped_with_element > 0)
    notes += file + std::to_string(n.skipped_with_element) +
             (n.skipped_with_element == 1 ? " skipped atom record names its"
                                          : " skipped atom records name their") +
             " element in columns 77-78; --masses=element reads " +
             (n.skipped_with_element == 1 ? "it\n" : "them\n");
  if (n.short_records > 0)
    notes += file + atom_records(n.short_records) +
             (n.short_records == 1 ? " ends before column 54" : " end before column 54") +
             ": the missing columns count as blanks\n";
  return notes;
}

std::string unfixed_axes_note(const std::string& input, int unfixed) {
  if (unfixed == 0) return {};
  const std::string which = unfixed == 3   ? "moments of the atoms along axes 1 and 2 are"
                            : unfixed == 1 ? "moment of the atoms along axis 1 is"
                                           : "moment of the atoms along axis 2 is";
  return about(input) + "--canonical: the third " + which +
         " zero within rounding (a symmetric shape): " +
         (unfixed == 3 ? "their signs are" : "its sign is") + " the eigensolver's\n";
}

std::string two_digits(double v) {
  if (!(v > 0) || !std::isfinite(v)) return "0";
  const int exponent = static_cast<int>(std::floor(std::log10(v)));
  char buf[64];
  if (exponent >= 1) {
    const double unit = std::pow(10.0, exponent - 1);
    std::snprintf(buf, sizeof buf, "%.0f", std::round(v / unit) * unit);
  } else {
    std::snprintf(buf, sizeof buf, "%.*f", 1 - exponent, v);
  }
  return buf;
}

std::string far_from_origin_text(const std::string& input, double largest, double drift) {
  return about(input) + "coordinates up to " + two_digits(largest) +
         " Å from the origin: single precision moves the centre by about " + two_digits(drift) +
         " Å here; --double sums in double precision\n";
}

std::string equal_moments_text(const std::string& input, bool first_two, bool last_two,
                               bool in_double) {
  if (!first_two && !last_two) return {};
  const std::string within = in_double ? "0.0000001 %" : "0.01 %";
  if (first_two && last_two)
    return about(input) + "--canonical: the three principal moments differ by less than " +
           within + ": no axis is fixed\n";
  return about(input) + "--canonical: moments " + (first_two ? "1 and 2" : "2 and 3") +
         " differ by less than " + within + ": their axes may turn within their plane\n";
}

std::string solver_failure_note(const std::string& input, int status, bool in_double) {
  const std::string file = about(input);
  if (status == -4)
    return file +
           (in_double ? "the coordinates are too large for double precision: the inertia tensor "
                        "overflowed\n"
                      : "the coordinates are too large for single precision: the inertia tensor "
                        "overflowed\n");
  if (status > 0)
    return file + "the eigensolver did not converge on the inertia tensor\n";
  return file + "the eigensolver refused its argument " + std::to_string(-status) + "\n";
}

}  // namespace gyro
