#include "formats/format.hpp"

#include "formats/mmcif/mmcif.hpp"
#include "formats/pdb/reader.hpp"

namespace gyro {

Format detect_format(RecordCursor& input) {
  return input.begins_like_cif() ? Format::mmcif : Format::pdb;
}

PassFault read_structure(Format format, RecordCursor& input, AtomTable& t, ReadNotes& notes,
                         Sink& err, const ReadingRules& rules, bool every_record) {
  // mmCIF lines are read whole, however long (a long title, a long value);
  // PDB records are 80 columns, and a longer line is cut.
  if (format == Format::mmcif) input.keep_whole_lines();
  PassFault fault = format == Format::mmcif
                        ? read_mmcif_atoms(input, t, notes, err, rules.selection, every_record)
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
                         Sink& out) {
  if (format == Format::mmcif) return write_mmcif_models(input, frames, out);
  return write_models(input, frames, by_model_records, out);
}
WriteResult write_series(Format format, RecordCursor& input,
                         const std::vector<ModelFrame<FrameD>>& frames, bool by_model_records,
                         Sink& out) {
  if (format == Format::mmcif) return write_mmcif_models(input, frames, out);
  return write_models(input, frames, by_model_records, out);
}

}  // namespace gyro
