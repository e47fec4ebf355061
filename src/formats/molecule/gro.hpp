// GRO files: frames one after another, each a title line, the atom count,
// that many atom lines and the box line. An atom line: residue number
// (columns 1-5), residue name (6-10), atom name (11-15), atom number
// (16-20), then x, y, z in nm and optionally the three velocities (nm/ps),
// fixed-width fields from column 21 whose width is the distance between
// their decimal points (8 in the usual files, wider for more decimals).
//   Masses: a residue of one atom named as simulation programs name ions
// takes that ion's element; any other atom the element of the first letter
// of its name after leading digits (CA: carbon), and none where that letter
// is no element (virtual sites: MW, LP).
#pragma once

#include <string>
#include <string_view>

#include "formats/molecule/molecule.hpp"

namespace gyro::gro {

// The element of a one-atom residue named as an ion; empty for other names.
std::string_view ion_element(std::string_view resname);

// The element that an atom name begins with: its first letter after leading
// digits, as a one-letter symbol; empty where that is no element.
inline std::string_view element_of_name(std::string_view name) {
  static constexpr std::string_view letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::size_t k = 0;
  while (k < name.size() && name[k] >= '0' && name[k] <= '9') ++k;
  if (k == name.size()) return {};
  char c = name[k];
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (c < 'A' || c > 'Z') return {};
  const std::string_view symbol = letters.substr(static_cast<std::size_t>(c - 'A'), 1);
  return element_symbol_mass(symbol) > 0 ? symbol : std::string_view{};
}

// The width of the coordinate fields of an atom line: the distance between
// the first two decimal points from column 21; 0 when there are not two.
inline std::size_t field_width(std::string_view line) {
  if (line.size() <= 20) return 0;
  const std::size_t first = line.find('.', 20);
  if (first == std::string_view::npos) return 0;
  const std::size_t second = line.find('.', first + 1);
  if (second == std::string_view::npos || second - first < 4) return 0;
  return second - first;
}

template <class Real, class Visitor>
class Walk {
 public:
  Walk(LineReader& in, Visitor& v) : in_(in), v_(v) {}

  PassFault walk() {
    std::string_view line;
    while (!v_.stopped() && in_.next(line)) {
      if (trimmed(line).empty()) {  // blank lines after the last frame
        v_.line(line, in_.end());
        continue;
      }
      v_.record(++record_, trimmed(line));
      v_.line(line, in_.end());
      if (!frame()) break;
    }
    return in_.failure();
  }

 private:
  bool stop(std::string reason) {
    v_.damaged(in_.lineno(), std::move(reason), true);
    return false;
  }
  // The atoms and the box line of a frame after its title.
  bool frame() {
    std::string_view line;
    std::int64_t atoms = 0;
    if (!in_.next(line)) return stop("the frame ends before its atom count");
    if (!parse_count(line, atoms) || atoms < 0) return stop("cannot read the atom count");
    v_.line(line, in_.end());
    width_ = 0;
    bool pending = false;
    for (std::int64_t k = 0; k < atoms; ++k) {
      if (!in_.next(line))
        return stop("the frame ends after " + std::to_string(k) + " of its " +
                    std::to_string(atoms) + " atom lines");
      if (width_ == 0 && (width_ = field_width(line)) == 0)
        return stop("no coordinate fields (x, y, z with decimal points) from column 21");
      const std::string_view key = line.substr(0, 10);
      if (pending && !emit(key)) return false;
      previous_key_.assign(pending ? std::string_view(pending_).substr(0, 10) : std::string_view{});
      pending_.assign(line);
      pending_end_ = in_.end();
      pending_lineno_ = in_.lineno();
      pending = true;
    }
    if (pending && !emit({})) return false;
    if (!in_.next(line)) return stop("the frame ends before its box line");
    v_.line(line, in_.end());
    return true;
  }
  // The atom line held back until the next one showed whether its residue
  // has one atom (`next_key`: the next line's residue columns, empty at the
  // frame's end).
  bool emit(std::string_view next_key) {
    const std::string_view line = pending_, key = line.substr(0, std::min<std::size_t>(10, line.size()));
    MoleculeAtom<Real> a;
    a.lines = &line;
    a.ends = &pending_end_;
    a.field_width = static_cast<int>(width_);
    const std::size_t w = width_;
    const bool velocities = trimmed(line.substr(std::min(line.size(), 20 + 3 * w))).size() > 0;
    for (int i = 0; i < (velocities ? 6 : 3); ++i) {
      const std::size_t at = 20 + static_cast<std::size_t>(i) * w;
      const std::string_view field = line.size() > at ? line.substr(at, w) : std::string_view{};
      Real& value = i < 3 ? a.xyz[i] : a.velocity[i - 3];
      if (!parse_number(field, value)) {
        v_.damaged(pending_lineno_, "cannot read \"" + std::string(field) + "\" as a " +
                                        (i < 3 ? "coordinate" : "velocity"), true);
        return false;
      }
      a.spans[i] = {0, at, at + w};
    }
    a.has_velocity = velocities;
    std::int64_t resid = 0;
    a.fields.has_resid = parse_count(line.substr(0, 5), resid);
    a.fields.resid = resid;
    a.fields.resname = trimmed(line.substr(5, 5));
    a.fields.name = a.shown = trimmed(line.substr(std::min<std::size_t>(10, line.size()), 5));
    const bool alone = key != previous_key_ && key != next_key;
    a.element = alone ? ion_element(a.fields.resname) : std::string_view{};
    if (a.element.empty()) a.element = element_of_name(a.fields.name);
    a.fields.element = a.element;
    v_.atom(a);
    return true;
  }

  LineReader& in_;
  Visitor& v_;
  std::int64_t record_ = 0;
  std::size_t width_ = 0;
  std::string pending_, previous_key_;
  std::string_view pending_end_;
  long pending_lineno_ = 0;
};

template <class Real, class Visitor>
PassFault walk(LineReader& in, Visitor& v) {
  return Walk<Real, Visitor>(in, v).walk();
}

}  // namespace gyro::gro
