// mmCIF text (PDBx/mmCIF), the archive's own format: the atoms of the first
// data block's _atom_site loop, in whatever column order the file declares,
// and a copy of the text with those atoms moved.
//   Values are separated by blanks; a value holding blanks is quoted with '
//   or "; a line beginning with ";" opens a text field that the next such
//   line closes; "#" begins a comment. A loop is "loop_", its tags, then its
//   rows, one value a column, row after row.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "analysis/rigid.hpp"
#include "structure/atoms.hpp"
#include "structure/passes.hpp"
#include "structure/reading.hpp"
#include "text/records.hpp"
#include "text/sink.hpp"

namespace gyro {

// One value of a line: the bytes begin..end of the line (quotes excluded).
struct CifValue {
  std::size_t begin = 0, end = 0;
  bool quoted = false;
};

// The values of one line outside a text field, up to a comment. False when a
// quoted value is not closed on the line.
bool cif_values(std::string_view line, std::vector<CifValue>& values);

// The first pass over mmCIF text: the atoms of the _atom_site loop into the
// table (in its precision). The mass comes from type_symbol (the element
// table); the name for messages from auth_atom_id, else label_atom_id; the
// model from pdbx_PDB_model_num (none: 1); the location from label_alt_id
// ("." and "?": none). Damage (no loop, a coordinate or type_symbol column
// missing, a row of another length, a coordinate that is not a number) stops
// the run with the line where it was met. `number_analysed`: the places of
// the analysed rows among all the loop's rows (from 0) go to
// notes.analysed_lines, for the copy made whole.
PassFault read_mmcif_atoms(RecordCursor& input, AtomTable& t, ReadNotes& notes, Sink& err,
                           const Selection& selection, bool every_record,
                           bool number_analysed = false);

// The second pass: every line copied as it is (ended by a line feed), but in
// each row of the _atom_site loop the three coordinate values replaced by the
// moved ones with 3 decimals. With no frame every line is copied unchanged.
WriteResult write_mmcif(RecordCursor& input, bool has_frame, const Frame& frame, Sink& out);
WriteResult write_mmcif(RecordCursor& input, bool has_frame, const FrameD& frame, Sink& out);

// The copy of a series (--each-model): each row moved by its model's frame
// (none: the row as it is).
WriteResult write_mmcif_models(RecordCursor& input, const std::vector<ModelFrame<Frame>>& frames,
                               Sink& out);
WriteResult write_mmcif_models(RecordCursor& input, const std::vector<ModelFrame<FrameD>>& frames,
                               Sink& out);

// The copy made whole (--whole): the rows of each residue (the same model,
// label_asym_id and label_seq_id; where label_seq_id is "." or "?", as for
// waters and ligands, also the same auth_seq_id) placed together across the
// periodic box of their frame's joining, then moved. `analysed_rows`: the
// places of the analysed rows among all rows, in order. `by_model`: each row
// takes the frame of its model number, else frames[0] serves every row.
WriteResult write_mmcif_whole(RecordCursor& input, const std::vector<ModelFrame<Frame>>& frames,
                              bool by_model, const std::vector<long>& analysed_rows, Sink& out);
WriteResult write_mmcif_whole(RecordCursor& input, const std::vector<ModelFrame<FrameD>>& frames,
                              bool by_model, const std::vector<long>& analysed_rows, Sink& out);

}  // namespace gyro
