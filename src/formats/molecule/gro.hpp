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

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "formats/molecule/molecule.hpp"
#include "text/fields.hpp"
#include "text/vectors.hpp"

namespace gyro::gro {

// The element of a one-atom residue named as an ion; empty for other names.
std::string_view ion_element(std::string_view resname);

// The element that an atom name begins with: its first letter after leading
// digits, as a one-letter symbol; empty where that is no element.
inline std::string_view element_of_name(std::string_view name) {
  // The one-letter element of each byte (either case), empty for the rest.
  static const auto by_byte = [] {
    static constexpr std::string_view letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::array<std::string_view, 256> table{};
    for (std::size_t k = 0; k < letters.size(); ++k) {
      const std::string_view symbol = letters.substr(k, 1);
      if (element_symbol_mass(symbol) == 0) continue;
      table[static_cast<unsigned char>(letters[k])] = symbol;
      table[static_cast<unsigned char>(letters[k] - 'A' + 'a')] = symbol;
    }
    return table;
  }();
  std::size_t k = 0;
  while (k < name.size() && name[k] == ' ') ++k;
  while (k < name.size() && name[k] >= '0' && name[k] <= '9') ++k;
  return k == name.size() ? std::string_view{} : by_byte[static_cast<unsigned char>(name[k])];
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
    previous_length_ = 0;
    for (std::int64_t k = 0; k < atoms; ++k) {
      if (k > 0) k += usual_lines_ahead(atoms - k - 1);
      if (!in_.next(line))
        return stop("the frame ends after " + std::to_string(k) + " of its " +
                    std::to_string(atoms) + " atom lines");
      if (width_ == 0 && (width_ = field_width(line)) == 0)
        return stop("no coordinate fields (x, y, z with decimal points) from column 21");
      if (!atom(line, k + 1 == atoms)) return false;
      previous_length_ = std::min<std::size_t>(10, line.size());
      if (previous_length_ == 10)
        std::memcpy(previous_key_, line.data(), 10);
      else
        std::memcpy(previous_key_, line.data(), previous_length_);
    }
    if (!in_.next(line)) return stop("the frame ends before its box line");
    v_.line(line, in_.end());
    box(line);
    return true;
  }
  // The box line: v1(x) v2(y) v3(z), then for a triclinic box v1(y) v1(z)
  // v2(x) v2(z) v3(x) v3(y) (nm).
  void box(std::string_view line) {
    Token t[10];
    const std::size_t n = split_tokens(line, t, 10);
    double v[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
    if (n != 3 && n != 9) return;
    for (std::size_t k = 0; k < n; ++k)
      if (!parse_number(line.substr(t[k].begin, t[k].end - t[k].begin), v[k])) return;
    const double edges[3][3] = {{v[0], v[3], v[4]}, {v[5], v[1], v[6]}, {v[7], v[8], v[2]}};
    if (v[0] > 0 && v[1] > 0 && v[2] > 0) v_.box(box_from_edges(edges));
  }
  // The element of the atom: a residue of one atom (its residue columns
  // unlike those of the lines before and after it) named as an ion takes
  // that ion's element, any other atom the first letter of its name.
  std::string_view element(std::string_view& line, std::string_view key, std::string_view name,
                           bool last) {
    if (!same_residue(key) && (last || !in_.next_begins_with(key, line, kept_))) {
      const std::string_view ion = ion_element(trimmed(line.substr(5, 5)));
      if (!ion.empty()) return ion;
    }
    return name.size() == 5 ? names_.element(name.data()).element : element_of_name(name);
  }
  // The elements of the atom names met, by their five bytes: a small table
  // in which the few names of a simulation's atom lines stay.
  class NameElements {
   public:
    struct Entry {
      std::string_view element;
      double mass = 0;  // the element's
    };
    const Entry& element(const char* name) {
      std::uint64_t key = 0;
      std::memcpy(&key, name, 5);
      const std::size_t slot = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 58);
      if (keys_[slot] != key + 1) {  // (+1: an empty slot holds 0)
        keys_[slot] = key + 1;
        entries_[slot].element = element_of_name({name, 5});
        entries_[slot].mass = element_symbol_mass(entries_[slot].element);
      }
      return entries_[slot];
    }

   private:
    std::uint64_t keys_[64] = {};
    Entry entries_[64];
  };
  // Whether `key` (columns 1-10) is that of the atom line before.
  bool same_residue(std::string_view key) const {
    if (key.size() != 10 || previous_length_ != 10)
      return key == std::string_view(previous_key_, previous_length_);
    std::uint64_t a, b;
    std::uint16_t c, d;
    std::memcpy(&a, key.data(), 8), std::memcpy(&b, previous_key_, 8);
    std::memcpy(&c, key.data() + 8, 2), std::memcpy(&d, previous_key_ + 8, 2);
    return a == b && c == d;
  }
  // The three positions in the usual layout (8 wide, 3 decimals), read at
  // once with 256-bit vectors where the processor has them: the floats nearest
  // to their decimals, as the field-by-field reading gives them.
  bool usual_positions(std::string_view line, float* xyz) const {
#if defined(__x86_64__)
    float quick[4];
    if (width_ != 8 || line.size() < 44 || !vectors::wide() ||
        !three_coordinate_fields_wide(line.data() + 20, quick))
      return false;
    std::memcpy(xyz, quick, 3 * sizeof(float));
    return true;
#else
    return false;
#endif
  }
  bool usual_positions(std::string_view, double*) const { return false; }
  // The atom lines ahead that have the usual layout (44 bytes ended by a line
  // feed, positions 8 wide, no velocities), read where they stand in the text
  // without looking for each line's end, for a visitor that wants only
  // positions and elements: how many were read (at most `most`, each with a
  // line after it). They read as the line-by-line reading reads them.
  std::int64_t usual_lines_ahead(std::int64_t most) {
#if defined(__x86_64__)
    if constexpr (std::is_same_v<Real, float> &&
                  requires(Real* xyz) { v_.position(xyz, "", "", 0.0); }) {
      if (width_ != 8 || most <= 0 || v_.wants_fields() || !vectors::wide()) return 0;
      const std::string_view text = in_.ahead();
      const char* const end = read_usual_lines(text.data(), text.data() + text.size(), most);
      const std::size_t bytes = static_cast<std::size_t>(end - text.data());
      if (bytes == 0) return 0;
      in_.pass_lines(bytes, static_cast<long>(bytes / 45));
      std::memcpy(previous_key_, end - 45, 10);
      previous_length_ = 10;
      return static_cast<std::int64_t>(bytes / 45);
    }
#endif
    (void)most;
    return 0;
  }
#if defined(__x86_64__)
  // The usual lines from `p` on, at most `most` of them, each followed by at
  // least 10 bytes before `end`: where the first line not read begins. (A
  // line of 44 bytes and a line feed; its fields after column 20 are checked
  // byte by byte.)
  [[gnu::target("avx2")]] const char* read_usual_lines(const char* p, const char* end,
                                                       std::int64_t most) {
    const char* previous = previous_length_ == 10 ? previous_key_ : nullptr;
    for (; most > 0 && end - p >= 55 && line_of_length_wide(p, 44); --most, previous = p, p += 45) {
      float xyz[4];
      if (!three_coordinate_fields_wide(p + 20, xyz)) break;
      const bool own_residue = (previous == nullptr || std::memcmp(p, previous, 10) != 0) &&
                               std::memcmp(p, p + 45, 10) != 0;
      const std::string_view ion =
          own_residue ? ion_element(trimmed({p + 5, 5})) : std::string_view{};
      if (ion.empty()) {
        const auto& e = names_.element(p + 10);
        v_.position(xyz, e.element, {p + 10, 5}, e.mass);
      } else {
        v_.position(xyz, ion, {p + 10, 5}, element_symbol_mass(ion));
      }
    }
    return p;
  }
#endif
  bool atom(std::string_view line, bool last) {
    const std::string_view key = line.substr(0, std::min<std::size_t>(10, line.size()));
    // A visitor that wants only positions and elements (the reading without
    // --select) gets them straight from a line in the usual layout without
    // velocities; every other line is taken field by field below.
    if constexpr (requires(Real* xyz) { v_.position(xyz, key, key); }) {
      Real xyz[4];
      if (!v_.wants_fields() && line.size() <= 20 + 3 * width_ && usual_positions(line, xyz)) {
        const std::string_view name = line.substr(10, 5);
        v_.position(xyz, element(line, key, name, last), name);
        return true;
      }
    }
    MoleculeAtom<Real>& a = atom_;  // one for all the lines: each sets what it gives
    a.shown = {};
    const std::size_t w = width_;
    const bool velocities = line.size() > 20 + 3 * w &&
                            !trimmed(line.substr(20 + 3 * w)).empty();
    const bool positions_read = usual_positions(line, a.xyz);
    for (int i = 0; i < (velocities ? 6 : 3); ++i) {
      const std::size_t at = 20 + static_cast<std::size_t>(i) * w;
      const std::string_view field = line.size() > at ? line.substr(at, w) : std::string_view{};
      Real& value = i < 3 ? a.xyz[i] : a.velocity[i - 3];
      const bool read =
          (i < 3 && positions_read) ||
          (field.size() == w &&
           fixed_decimal(field.data(), static_cast<int>(w), static_cast<int>(w) - 5, value)) ||
          parse_number(field, value);
      if (!read)
        return stop("cannot read \"" + std::string(field) + "\" as a " +
                    (i < 3 ? "coordinate" : "velocity"));
      a.spans[i] = {0, at, std::min(at + w, line.size())};  // (a last field may be cut short)
    }
    a.has_velocity = velocities;
    const std::string_view name = line.substr(std::min<std::size_t>(10, line.size()), 5);
    a.element = element(line, key, name, last);
    if (a.element.empty() || v_.wants_fields()) a.shown = trimmed(name);
    if (v_.wants_fields()) {
      std::int64_t resid = 0;
      a.fields.has_resid = parse_count(line.substr(0, 5), resid);
      a.fields.resid = resid;
      a.fields.resname = trimmed(line.substr(5, 5));
      a.fields.name = a.shown;
      a.fields.element = a.element;
    }
    const std::string_view end = in_.end();
    a.lines = &line;
    a.ends = &end;
    a.residue = line.substr(0, std::min<std::size_t>(10, line.size()));
    a.field_width = static_cast<int>(w);
    v_.atom(a);
    return true;
  }

  LineReader& in_;
  Visitor& v_;
  std::int64_t record_ = 0;
  std::size_t width_ = 0;
  char previous_key_[10] = {};  // the residue columns of the atom line before
  std::size_t previous_length_ = 0;
  std::string kept_;
  MoleculeAtom<Real> atom_;
  NameElements names_;
};

template <class Real, class Visitor>
PassFault walk(LineReader& in, Visitor& v) {
  return Walk<Real, Visitor>(in, v).walk();
}

}  // namespace gyro::gro
