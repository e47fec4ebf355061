// The second pass: a record-for-record copy of the input, every record 80
// bytes, with the coordinates of the atom records moved into the new frame.
// Columns written in an atom record: 31-38 x, 39-46 y, 47-54 z (8 columns,
// 3 decimals); every other byte is the input's.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/rigid.hpp"
#include "structure/atoms.hpp"
#include "structure/passes.hpp"
#include "structure/reading.hpp"
#include "text/records.hpp"
#include "text/sink.hpp"

namespace gyro {

// Copies the records of `input` from its first line on, every atom record
// moved by `frame`: the k-th atom record that `masses` gives a mass from the
// table's atom k (as the first pass read it), any other from its own fields. With no accepted atoms there is no
// frame and every record is copied as read. Stops when reading fails, or where
// the text cannot be the one the first pass read (a field that does not
// convert, another number of accepted atoms).
WriteResult write_structure(RecordCursor& input, const AtomTable& t, const Frame& frame, Sink& out,
                            MassSource masses);

// The same copy for a run that selected what it analysed: every atom record
// is moved from its own fields (a second reading is known to meet the first
// one's text by its checksum). `has_frame`: there were accepted atoms.
WriteResult write_every_record(RecordCursor& input, bool has_frame, const Frame& frame, Sink& out);
// The same in double precision (--double): each coordinate read as the double
// nearest to its text, moved in double and rounded once to 3 decimals.
WriteResult write_every_record(RecordCursor& input, bool has_frame, const FrameD& frame, Sink& out);

// The copy of a series (--each-model): the atom records of each model moved by
// its own frame, in the order of the MODEL records (`by_model_records`
// false: the file has none, and frames[0] moves every atom record); records
// outside every model as read.
WriteResult write_models(RecordCursor& input, const std::vector<ModelFrame<Frame>>& frames,
                         bool by_model_records, Sink& out);
WriteResult write_models(RecordCursor& input, const std::vector<ModelFrame<FrameD>>& frames,
                         bool by_model_records, Sink& out);

// The copy made whole (--whole): each residue (consecutive atom records with
// the same columns 18-27) placed together across its model's periodic box
// (each frame's joining), then moved; `analysed_lines` the lines of the atom
// records the first pass analysed, in order. Models as for write_models.
WriteResult write_whole(RecordCursor& input, const std::vector<ModelFrame<Frame>>& frames,
                        bool by_model_records, const std::vector<long>& analysed_lines, Sink& out);
WriteResult write_whole(RecordCursor& input, const std::vector<ModelFrame<FrameD>>& frames,
                        bool by_model_records, const std::vector<long>& analysed_lines, Sink& out);

}  // namespace gyro
