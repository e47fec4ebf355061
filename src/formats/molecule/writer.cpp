// The copy of molecule and simulation text: every byte as read but the
// atoms' coordinate values (and velocities), each record's moved by its own
// frame.
#include <algorithm>
#include <charconv>
#include <string>
#include <type_traits>
#include <vector>

#include "formats/molecule/walks.hpp"
#include "text/numtext.hpp"

namespace gyro {
namespace {

// The decimals of a value's text: the digits after its point.
int decimals_of(std::string_view text) {
  text = trimmed(text);
  const std::size_t point = text.find('.');
  if (point == std::string_view::npos) return 0;
  std::size_t k = point + 1;
  while (k < text.size() && text[k] >= '0' && text[k] <= '9') ++k;
  return static_cast<int>(k - point - 1);
}

// A moved value in place of the text `old`: in a fixed field of the same
// width with as many decimals, or (between blanks) with as many decimals but
// at least `min_decimals`. False when it does not fit its field.
template <class Real>
bool value_text(std::string& out, Real v, std::string_view old, int field_width, int min_decimals) {
  const int decimals = field_width > 0 ? decimals_of(old) : std::max(decimals_of(old), min_decimals);
  char buf[400];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  std::string_view text = ec == std::errc() ? std::string_view(buf, static_cast<std::size_t>(end - buf))
                                            : std::string_view("nan");
  if (std::isnan(v)) text = "nan";
  if (field_width == 0) {
    out += text;
    return std::isfinite(v);
  }
  const auto w = static_cast<std::size_t>(field_width);
  if (text.size() > w || !std::isfinite(v)) {
    out.append(w, '*');
    return false;
  }
  out.append(w - text.size(), ' ');
  out += text;
  return true;
}

template <class FrameT>
class Copier {
 public:
  using Real = std::conditional_t<std::is_same_v<FrameT, Frame>, float, double>;
  Copier(const std::vector<ModelFrame<FrameT>>& frames, const SelectExpression* selection,
         Sink& out)
      : frames_(frames), selection_(selection), out_(out) {}

  void record(std::int64_t number, std::string_view) {
    flush_residue();
    while (next_ < frames_.size() && frames_[next_].model < number) ++next_;
    const bool found = next_ < frames_.size() && frames_[next_].model == number;
    frame_ = found && frames_[next_].has_frame ? &frames_[next_].frame : nullptr;
    joining_ = found && frames_[next_].joining ? &*frames_[next_].joining : nullptr;
  }
  void name(std::string_view) {}
  void line(std::string_view text, std::string_view end) {
    flush_residue();
    put(text, end);
  }
  void atom(const MoleculeAtom<Real>& a) {
    if (frame_ != nullptr && joining_ != nullptr) return hold(a);
    write_atom(a, a.xyz);
  }
  // The atom's lines with its position `xyz` (and its velocities) moved.
  void write_atom(const MoleculeAtom<Real>& a, const Real (&xyz)[3]) {
    if (frame_ == nullptr) {
      for (int k = 0; k < a.line_count; ++k) put(a.lines[k], a.ends[k]);
      return;
    }
    Real values[6];
    moved(xyz, values, true);
    // Velocities turn with the atoms (they are left as read when nothing turns).
    const bool velocities = a.has_velocity && frame_->rotated();
    if (velocities) moved(a.velocity, values + 3, false);
    for (int k = 0; k < a.line_count; ++k) {
      const std::string_view text = a.lines[k];
      text_.clear();
      std::size_t from = 0;
      for (const auto& [at, value] : edits_on(a, k, velocities)) {
        const ValueSpan& s = at;
        text_.append(text.substr(from, s.begin - from));
        if (value >= 0)
          unfit_ += !value_text(text_, values[value], text.substr(s.begin, s.end - s.begin),
                                a.field_width, a.min_decimals);
        from = s.end;
      }
      text_.append(text.substr(from));
      put(text_, a.ends[k]);
    }
  }
  void isotope(std::int64_t, double) {}
  void flat() {}
  void box(const std::optional<Box>&) {}
  void damaged(long lineno, std::string reason, bool) {
    if (!fault_) fault_ = {PassFault::Kind::damaged, lineno, 0, 0, std::move(reason)};
  }
  bool stopped() const { return static_cast<bool>(fault_); }
  bool wants_fields() const { return selection_ != nullptr; }
  WriteResult result(PassFault walked) {
    flush_residue();
    return {walked ? walked : fault_, unfit_};
  }

 private:
  void put(std::string_view text, std::string_view end) {
    out_.put(text);
    out_.put(end);
  }
  // --whole: the atoms of a residue (consecutive atoms with the same residue
  // columns; an atom without them is a residue of its own) are held until it
  // ends, then placed together (see place_residue) and written.
  struct Held {
    std::string line;
    std::string_view end;
    MoleculeAtom<Real> atom;
  };
  void hold(const MoleculeAtom<Real>& a) {
    if (!held_.empty() && (a.residue.empty() || a.residue != held_key_)) flush_residue();
    Held& h = held_.emplace_back(Held{std::string(a.lines[0]), a.ends[0], a});
    (void)h;
    held_key_.assign(a.residue);
    analysed_.push_back(!a.element.empty() && (!selection_ || selection_->selects(a.fields)));
    for (int i = 0; i < 3; ++i) positions_.push_back(static_cast<double>(a.xyz[i]));
  }
  void flush_residue() {
    if (held_.empty()) return;
    shifts_.assign(positions_.size(), 0.0);
    place_residue(*joining_, positions_, analysed_, shifts_);
    for (std::size_t k = 0; k < held_.size(); ++k) {
      Held& h = held_[k];
      const std::string_view line = h.line;
      h.atom.lines = &line;
      h.atom.ends = &h.end;
      h.atom.line_count = 1;
      Real xyz[3] = {h.atom.xyz[0], h.atom.xyz[1], h.atom.xyz[2]};
      shifted(joining_->box, &shifts_[3 * k], xyz);
      write_atom(h.atom, xyz);
    }
    held_.clear();
    analysed_.clear();
    positions_.clear();
  }

  // The values' places on line k in order, each with the value written there
  // (-1: the place is left empty).
  std::vector<std::pair<ValueSpan, int>>& edits_on(const MoleculeAtom<Real>& a, int k,
                                                    bool velocities) {
    edits_.clear();
    for (int i = 0; i < (velocities ? 6 : 3); ++i)
      if (a.spans[i].line == k) edits_.push_back({a.spans[i], i});
    for (int i = 0; i < a.erased_count; ++i)
      if (a.erased[i].line == k) edits_.push_back({a.erased[i], -1});
    std::sort(edits_.begin(), edits_.end(),
              [](const auto& x, const auto& y) { return x.first.begin < y.first.begin; });
    return edits_;
  }
  // Positions moved by the frame; velocities only turned.
  void moved(const Real (&v)[3], Real* out, bool position) const {
    if constexpr (std::is_same_v<Real, float>) {
      const Lanes in{v[0], v[1], v[2], 0.0f};
      const Lanes p = position ? frame_->moved(in) : frame_->turned(in);
      for (int i = 0; i < 3; ++i) out[i] = p[i];
    } else {
      const Vec3d in{v[0], v[1], v[2]};
      const Vec3d p = position ? frame_->moved(in) : frame_->turned(in);
      out[0] = p.x;
      out[1] = p.y;
      out[2] = p.z;
    }
  }

  const std::vector<ModelFrame<FrameT>>& frames_;
  const SelectExpression* selection_;
  Sink& out_;
  const Joining* joining_ = nullptr;
  std::vector<Held> held_;
  std::string held_key_;
  std::vector<char> analysed_;
  std::vector<double> positions_, shifts_;
  std::size_t next_ = 0;
  const FrameT* frame_ = nullptr;
  std::string text_;
  std::vector<std::pair<ValueSpan, int>> edits_;
  std::int64_t unfit_ = 0;
  PassFault fault_;
};

template <class FrameT>
WriteResult copy_in(Format format, RecordCursor& input, const std::vector<ModelFrame<FrameT>>& frames,
                    const SelectExpression* selection, Sink& out) {
  using Real = typename Copier<FrameT>::Real;
  LineReader in(input);
  Copier<FrameT> c(frames, selection, out);
  const PassFault walked = walk_records<Real>(format, in, c);
  return c.result(walked);
}

}  // namespace

WriteResult write_molecule_series(Format format, RecordCursor& input,
                                  const std::vector<ModelFrame<Frame>>& frames,
                                  const SelectExpression* selection, Sink& out) {
  return copy_in(format, input, frames, selection, out);
}
WriteResult write_molecule_series(Format format, RecordCursor& input,
                                  const std::vector<ModelFrame<FrameD>>& frames,
                                  const SelectExpression* selection, Sink& out) {
  return copy_in(format, input, frames, selection, out);
}

}  // namespace gyro
