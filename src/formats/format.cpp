#include "formats/format.hpp"

#include "formats/mmcif/mmcif.hpp"
#include "formats/molecule/molecule.hpp"
#include "formats/pdb/reader.hpp"

namespace gyro {
namespace {

bool all_digits(std::string_view s) {
  s = trimmed(s);
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

// An XYZ atom line: a symbol (letters) or an atomic number, then three numbers.
bool xyz_atom_line(std::string_view line) {
  Token t[4];
  if (split_tokens(line, t, 4) < 4) return false;
  auto text = [&](int k) { return line.substr(t[k].begin, t[k].end - t[k].begin); };
  const std::string_view symbol = text(0);
  const bool letters = symbol.size() <= 3 && symbol.find_first_not_of(
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") == std::string_view::npos;
  double v;
  return (letters || all_digits(symbol)) && parse_number(text(1), v) && parse_number(text(2), v) &&
         parse_number(text(3), v);
}

}  // namespace

Format detect_format_of(std::string_view head) {
  std::string_view lines[4];
  int n = 0;
  std::string_view rest = head, first_meaningful;
  while (!rest.empty()) {
    const std::size_t lf = rest.find('\n');
    const std::string_view line = rest.substr(0, lf);
    if (n < 4) lines[n++] = line;
    const std::string_view word = trimmed(line);
    if (first_meaningful.empty() && !word.empty() && word[0] != '#') first_meaningful = word;
    if ((n == 4 && !first_meaningful.empty()) || lf == std::string_view::npos) break;
    rest.remove_prefix(lf + 1);
  }
  const std::string_view w = first_meaningful;
  if (w.starts_with("data_") || w.starts_with("loop_") || w.starts_with("_")) return Format::mmcif;
  if (w.starts_with("@<TRIPOS>")) return Format::mol2;
  const std::string_view counts = trimmed(lines[3]);
  if (n == 4 && (counts.ends_with("V2000") || counts.ends_with("V3000"))) return Format::sdf;
  if (n >= 1 && all_digits(lines[0])) {
    std::int64_t count = 0;
    parse_count(lines[0], count);
    const bool extended = n >= 2 && (lines[1].find("Properties=") != std::string_view::npos ||
                                     lines[1].find("properties=") != std::string_view::npos);
    if (count == 0 || extended || (n >= 3 && xyz_atom_line(lines[2]))) return Format::xyz;
  }
  if (n >= 2 && all_digits(lines[1])) return Format::gro;
  return Format::pdb;
}

Format detect_format(RecordCursor& input) { return detect_format_of(input.head(1 << 14)); }

PassFault read_structure(Format format, RecordCursor& input, AtomTable& t, ReadNotes& notes,
                         Sink& err, const ReadingRules& rules, bool every_record,
                         RecordSink* sink) {
  // mmCIF lines are read whole, however long (a long title, a long value);
  // PDB records are 80 columns, and a longer line is cut.
  t.limit_per_segment = rules.selection.each_model;  // (--max-atoms counts each model's atoms)
  if (holds_records(format)) return read_molecule_atoms(format, input, t, notes, err, rules, sink);
  if (format == Format::mmcif) input.keep_whole_lines();
  PassFault fault = format == Format::mmcif
                        ? read_mmcif_atoms(input, t, notes, err, rules.selection, every_record,
                                           rules.whole && every_record)
                        : read_pdb_atoms(input, t, notes, err, rules, every_record);
  if (fault) return fault;
  t.end_segments();
  // (PDB's reading gives unit masses itself; mmCIF's atoms get them after.)
  if (format == Format::mmcif && rules.masses == MassSource::unit) t.set_unit_masses();
  return fault;
}

WriteResult write_copy(Format format, RecordCursor& input, const AtomTable& t, const Frame& frame,
                       Sink& out, const ReadingRules& rules) {
  const bool has_frame = t.count > 0;
  if (format == Format::mmcif) return write_mmcif(input, has_frame, frame, out);
  // A selecting run pairs no record with the table: each is moved from its own
  // fields (the same values the first pass read).
  if (rules.selection.any())
    return write_every_record(input, has_frame, frame, out);
  return write_structure(input, t, frame, out, rules.masses);
}

WriteResult write_copy(Format format, RecordCursor& input, const AtomTable& t, const FrameD& frame,
                       Sink& out, const ReadingRules&) {
  // In double precision every record is moved from its own fields.
  const bool has_frame = t.count > 0;
  if (format == Format::mmcif) return write_mmcif(input, has_frame, frame, out);
  return write_every_record(input, has_frame, frame, out);
}

WriteResult write_series(Format format, RecordCursor& input,
                         const std::vector<ModelFrame<Frame>>& frames, bool by_model_records,
                         const SelectExpression* selection, Sink& out) {
  if (holds_records(format)) return write_molecule_series(format, input, frames, selection, out);
  if (format == Format::mmcif) return write_mmcif_models(input, frames, out);
  return write_models(input, frames, by_model_records, out);
}
WriteResult write_series(Format format, RecordCursor& input,
                         const std::vector<ModelFrame<FrameD>>& frames, bool by_model_records,
                         const SelectExpression* selection, Sink& out) {
  if (holds_records(format)) return write_molecule_series(format, input, frames, selection, out);
  if (format == Format::mmcif) return write_mmcif_models(input, frames, out);
  return write_models(input, frames, by_model_records, out);
}

template <class FrameT>
WriteResult write_whole_in(Format format, RecordCursor& input,
                           const std::vector<ModelFrame<FrameT>>& frames, bool by_model,
                           bool by_model_records, const std::vector<long>& analysed, Sink& out) {
  if (format == Format::mmcif) return write_mmcif_whole(input, frames, by_model, analysed, out);
  return write_whole(input, frames, by_model_records, analysed, out);
}
WriteResult write_whole_copy(Format format, RecordCursor& input,
                             const std::vector<ModelFrame<Frame>>& frames, bool by_model,
                             bool by_model_records, const std::vector<long>& analysed, Sink& out) {
  return write_whole_in(format, input, frames, by_model, by_model_records, analysed, out);
}
WriteResult write_whole_copy(Format format, RecordCursor& input,
                             const std::vector<ModelFrame<FrameD>>& frames, bool by_model,
                             bool by_model_records, const std::vector<long>& analysed, Sink& out) {
  return write_whole_in(format, input, frames, by_model, by_model_records, analysed, out);
}

}  // namespace gyro
