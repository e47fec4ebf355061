// The copy of PDB text made whole (--whole with -t/-r): each residue's atom
// records placed together across the periodic box (see place_residue), then
// moved by the frame.
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "analysis/periodic.hpp"
#include "formats/pdb/writer.hpp"
#include "text/numtext.hpp"
#include "text/vectors.hpp"

namespace gyro {
namespace {

// Columns 18-27: residue name, chain, residue number and insertion code.
std::string_view residue_of(const char* line) { return {line + 17, 10}; }

template <class FrameT>
class WholeCopy {
 public:
  using Real = std::conditional_t<std::is_same_v<FrameT, Frame>, float, double>;
  WholeCopy(const std::vector<long>& analysed_lines, Sink& out)
      : analysed_lines_(analysed_lines), out_(out) {}

  // An atom record of a model moved by `m`: held until its residue ends.
  bool hold(const char* line, long lineno, const ModelFrame<FrameT>& m) {
    if (!held_.empty() && (residue_of(line) != residue_of(held_.data() + held_.size() - reclen) ||
                           &m != model_))
      flush();
    model_ = &m;
    Real xyz[3];
    if (!coordinates(line, xyz)) return false;
    while (next_ < analysed_lines_.size() && analysed_lines_[next_] < lineno) ++next_;
    const bool analysed = next_ < analysed_lines_.size() && analysed_lines_[next_] == lineno;
    held_.append(line, reclen);
    analysed_.push_back(analysed);
    for (const Real v : xyz) positions_.push_back(static_cast<double>(v));
    return true;
  }
  // Any other record, or an atom record copied as read.
  void copy(const char* line) {
    flush();
    put(line);
  }
  // The held residue placed, moved and written.
  void flush() {
    if (held_.empty()) return;
    shifts_.assign(positions_.size(), 0.0);
    place_residue(*model_->joining, positions_, analysed_, shifts_);
    for (std::size_t k = 0; k < analysed_.size(); ++k) {
      char* rec = out_.claim(reclen + 1);
      std::memcpy(rec, held_.data() + k * reclen, reclen);
      rec[reclen] = '\n';
      Real xyz[3] = {static_cast<Real>(positions_[3 * k]), static_cast<Real>(positions_[3 * k + 1]),
                     static_cast<Real>(positions_[3 * k + 2])};
      shifted(model_->joining->box, &shifts_[3 * k], xyz);
      unfit_ += write_fields(rec + 30, xyz, model_->frame);
      out_.commit(reclen + 1);
    }
    held_.clear();
    analysed_.clear();
    positions_.clear();
  }
  std::int64_t unfit() const { return unfit_; }

 private:
  void put(const char* line) {
    char* rec = out_.claim(reclen + 1);
    std::memcpy(rec, line, reclen);
    rec[reclen] = '\n';
    out_.commit(reclen + 1);
  }
  static bool coordinates(const char* line, float xyz[3]) {
    float v[4];
    FieldFault bad;
    if (!any_atom_fields(line, v, bad, true)) return false;
    std::memcpy(xyz, v, 3 * sizeof(float));
    return true;
  }
  static bool coordinates(const char* line, double xyz[3]) {
    FieldFault bad;
    return atom_fields_double(line, xyz, bad, true);
  }
  static int write_fields(char* fields, const float xyz[3], const Frame& frame) {
    const Lanes moved = frame.moved(Lanes{xyz[0], xyz[1], xyz[2], 0.0f});
    float v[4];
    std::memcpy(v, &moved, sizeof v);
    return coordinate_fields(fields, v);
  }
  static int write_fields(char* fields, const double xyz[3], const FrameD& frame) {
    const Vec3d moved = frame.moved({xyz[0], xyz[1], xyz[2]});
    int unfit = 0;
    for (const double v : {moved.x, moved.y, moved.z}) {
      unfit += !coordinate_field(fields, v);
      fields += 8;
    }
    return unfit;
  }

  const std::vector<long>& analysed_lines_;
  Sink& out_;
  std::size_t next_ = 0;
  const ModelFrame<FrameT>* model_ = nullptr;
  std::string held_;
  std::vector<char> analysed_;
  std::vector<double> positions_, shifts_;
  std::int64_t unfit_ = 0;
};

template <class FrameT>
WriteResult write_whole_with(RecordCursor& cur, const std::vector<ModelFrame<FrameT>>& frames,
                             bool by_model_records, const std::vector<long>& analysed_lines,
                             Sink& out) {
  WholeCopy<FrameT> copy(analysed_lines, out);
  WriteResult res;
  std::size_t next = 0;
  const ModelFrame<FrameT>* current = !by_model_records && !frames.empty() ? &frames[0] : nullptr;
  while (const char* line = cur.next()) {
    if (is_atom_record(line) && current && current->has_frame && current->joining) {
      if (!copy.hold(line, cur.lineno(), *current)) {
        res.fault = {PassFault::Kind::changed, cur.lineno(), 0, 0, {}};
        return res;
      }
      continue;
    }
    if (by_model_records && std::memcmp(line, "MODEL ", 6) == 0)
      current = next < frames.size() ? &frames[next++] : nullptr;
    else if (by_model_records && std::memcmp(line, "ENDMDL", 6) == 0)
      current = nullptr;
    copy.copy(line);
  }
  copy.flush();
  res.unfit = copy.unfit();
  if (cur.failed()) res.fault = {PassFault::Kind::read_error, cur.lineno(), 0, 0, cur.failure()};
  return res;
}

}  // namespace

WriteResult write_whole(RecordCursor& cur, const std::vector<ModelFrame<Frame>>& frames,
                        bool by_model_records, const std::vector<long>& analysed_lines, Sink& out) {
  return write_whole_with(cur, frames, by_model_records, analysed_lines, out);
}
WriteResult write_whole(RecordCursor& cur, const std::vector<ModelFrame<FrameD>>& frames,
                        bool by_model_records, const std::vector<long>& analysed_lines, Sink& out) {
  return write_whole_with(cur, frames, by_model_records, analysed_lines, out);
}

}  // namespace gyro
