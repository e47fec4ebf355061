// The formats a structure may come in, found once by content, and the one
// place that hands a reading or a copy to the format's own reader or writer.
#pragma once

#include <vector>

#include "analysis/rigid.hpp"
#include "formats/pdb/writer.hpp"
#include "structure/atoms.hpp"
#include "structure/passes.hpp"
#include "structure/reading.hpp"
#include "text/records.hpp"
#include "text/sink.hpp"

namespace gyro {

// The format of the text ahead of the cursor (nothing is read away), tested
// in this order: mmCIF when the first line that is neither blank nor a
// comment begins with "data_", "loop_" or "_"; MOL2 when it begins with
// "@<TRIPOS>"; SDF/MOL when line 4 ends with "V2000" or "V3000"; XYZ when
// line 1 is a whole number alone and line 3 a symbol and three numbers (or
// line 2 names the columns with Properties=, or the count is 0); GRO when line 2 is a whole number alone; else PDB records.
Format detect_format(RecordCursor& input);

// The first pass in the format: the atoms the rules accept into the table.
// Molecule and simulation records go to `sink` as they are read (see
// read_molecule_atoms).
PassFault read_structure(Format format, RecordCursor& input, AtomTable& t, ReadNotes& notes,
                         Sink& err, const ReadingRules& rules, bool every_record,
                         RecordSink* sink = nullptr);

// The second pass in the format: the text again, its atoms moved by `frame`
// (in the run's precision); `t` the table the first pass filled.
WriteResult write_copy(Format format, RecordCursor& input, const AtomTable& t, const Frame& frame,
                       Sink& out, const ReadingRules& rules);
WriteResult write_copy(Format format, RecordCursor& input, const AtomTable& t, const FrameD& frame,
                       Sink& out, const ReadingRules& rules);

// The copy of a series (--each-model) in the format: each model's atoms moved
// by its own frame, the records outside every model as read
// (`by_model_records`: PDB text with MODEL records).
// `selection` (--select, or null): which atoms were analysed, for --whole.
WriteResult write_series(Format format, RecordCursor& input,
                         const std::vector<ModelFrame<Frame>>& frames, bool by_model_records,
                         const SelectExpression* selection, Sink& out);
WriteResult write_series(Format format, RecordCursor& input,
                         const std::vector<ModelFrame<FrameD>>& frames, bool by_model_records,
                         const SelectExpression* selection, Sink& out);

// The copy made whole (--whole, PDB or mmCIF text): each residue placed
// together across its frame's box, then moved. `analysed`: the first pass's
// notes.analysed_lines. `by_model`: several models, each with its frame.
WriteResult write_whole_copy(Format format, RecordCursor& input,
                             const std::vector<ModelFrame<Frame>>& frames, bool by_model,
                             bool by_model_records, const std::vector<long>& analysed, Sink& out);
WriteResult write_whole_copy(Format format, RecordCursor& input,
                             const std::vector<ModelFrame<FrameD>>& frames, bool by_model,
                             bool by_model_records, const std::vector<long>& analysed, Sink& out);

}  // namespace gyro
