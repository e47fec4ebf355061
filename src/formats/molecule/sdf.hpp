// SDF and MOL files (V2000 and V3000 connection tables). A record: a title
// line, a program line (columns 21-22 "2D" for flat coordinates), a comment,
// the counts line, the atom block, the bonds and properties up to "M  END",
// then data items up to "$$$$" (a MOL file has one record and may end
// without it).
//   V2000 atom line: x, y, z in columns 1-10, 11-20, 21-30 (10.4), the
//   symbol in 32-34. "M  ISO" lines give atoms (numbered from 1) their
//   isotopes' mass numbers.
//   V3000: "M  V30 " lines, a line ending in "-" continued on the next; the
//   atoms between "M  V30 BEGIN ATOM" and "M  V30 END ATOM", each
//   "index type x y z map [KEY=VALUE ...]", MASS= an isotope's mass number.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "formats/molecule/molecule.hpp"
#include "text/fields.hpp"
#include "text/vectors.hpp"

namespace gyro::sdf {

// Symbols that stand for no atom: query atoms, R groups, lone pairs.
inline bool pseudo_symbol(std::string_view s) {
  return s == "*" || s == "R#" || s == "A" || s == "Q" || s == "L" || s == "LP" || s == "R" ||
         (s.size() > 1 && s.front() == '[');  // a V3000 atom list
}

// Whether `line` begins with the literal `word` (a comparison of known size,
// done in a few instructions).
template <std::size_t N>
inline bool starts(std::string_view line, const char (&word)[N]) {
  return line.size() >= N - 1 && std::memcmp(line.data(), word, N - 1) == 0;
}

// The walk of a record (one after another); the caller has its four header
// lines.
template <class Real, class Visitor>
class RecordWalk {
 public:
  RecordWalk(LineReader& in, Visitor& v) : in_(in), v_(v) {}

  // The atom block and all up to "$$$$" (or the end); false when the file
  // ended where the record still needed lines.
  void walk(std::string_view program_line, std::string_view counts) {
    symbols_.clear();
    at_end_ = ended_ = false;
    flat_ = program_line.size() >= 22 && program_line.substr(20, 2) == "2D";
    all_z_zero_ = true;
    const std::string_view c = trimmed(counts);
    const bool ok = c.ends_with("V3000") ? v3000() : v2000(counts);
    if (!ok) return skip_to_end();
    if (flat_ || (all_z_zero_ && !symbols_.empty())) v_.flat();
    skip_to_end();
  }
  bool ended() const { return ended_; }

 private:
  bool damage(std::string reason) {
    v_.damaged(in_.lineno(), std::move(reason), false);
    return false;
  }
  bool next(std::string_view& line) {
    if (in_.next(line)) return true;
    ended_ = true;
    return false;
  }
  void pass(std::string_view line) { v_.line(line, in_.end()); }
  // Every line up to "$$$$" as it is.
  void skip_to_end() {
    if (at_end_ || ended_) return;
    std::string_view line;
    while (next(line)) {
      pass(line);
      if (starts(line, "$$$$")) return;
    }
  }
  // The atom's mass from its symbol: empty element for a pseudo-atom; false
  // for a symbol that is no element.
  bool element_of(std::string_view symbol, MoleculeAtom<Real>& a) {
    a.shown = symbol;
    a.fields.name = a.fields.element = symbol;
    if (pseudo_symbol(symbol)) return true;
    if (element_symbol_mass(symbol) == 0)
      return damage("unknown element symbol \"" + std::string(symbol) + "\"");
    a.element = symbol;
    return true;
  }
  static std::array<char, 4> kept_symbol(std::string_view s) {
    std::array<char, 4> k{};
    for (std::size_t i = 0; i < s.size() && i < 3; ++i) k[i] = s[i];
    return k;
  }
  void keep_symbol(std::string_view s) { symbols_.push_back(kept_symbol(s)); }
  void isotope(std::int64_t index, std::int64_t mass_number) {
    if (index < 1 || index > static_cast<std::int64_t>(symbols_.size())) return;
    const auto& k = symbols_[static_cast<std::size_t>(index - 1)];
    const std::string_view symbol(k.data(), std::char_traits<char>::length(k.data()));
    if (element_symbol_mass(symbol) > 0) v_.isotope(index - 1, isotope_mass(symbol, mass_number));
  }

  bool v2000(std::string_view counts) {
    std::int64_t atoms = 0;
    if (counts.size() < 3 || !parse_count(counts.substr(0, 3), atoms) || atoms < 0)
      return damage("cannot read the atom count (columns 1-3) of the counts line");
    std::string_view line;
    // The length of the atom lines read at once: the first line's, then that
    // of the line before, where a line feed alone ended it.
    std::size_t length = in_.next_line_length();
    for (std::int64_t k = 0; k < atoms; ++k) {
      if ((k += usual_atom_lines_ahead(atoms - k, length)) == atoms) break;
      if (!next(line)) return damage("the record ends after " + std::to_string(k) + " of its " +
                                     std::to_string(atoms) + " atom lines");
      if (starts(line, "M  END") || starts(line, "$$$$")) {
        at_end_ = starts(line, "$$$$");
        pass(line);
        return damage("the counts line says " + std::to_string(atoms) + " atoms, the record has " +
                      std::to_string(k));
      }
      if (!v2000_atom(line)) return false;
      length = in_.end() == "\n" ? line.size() : 0;
    }
    // The bond lines the counts line announces (columns 4-6) are passed
    // without a look; any that are missing show as a record without "M  END".
    std::int64_t bonds = 0;
    if (counts.size() >= 6 && parse_count(counts.substr(3, 3), bonds)) {
      if constexpr (requires { Visitor::ignores_lines; })
        bonds -= in_.pass_lines_of_length(in_.next_line_length(), bonds);
      while (bonds > 0 && next(line)) {
        pass(line);
        --bonds;
        if constexpr (requires { Visitor::ignores_lines; })
          if (in_.end() == "\n") bonds -= in_.pass_lines_of_length(line.size(), bonds);
      }
    }
    return properties();
  }
  // The atom lines ahead in the usual layout (see v2000_atom), each of
  // `length` bytes and a line feed like the line before them, read where they
  // stand in the text without looking for each line's end, for a visitor that
  // wants only positions and elements: how many were read (at most `most`).
  std::int64_t usual_atom_lines_ahead(std::int64_t most, std::size_t length) {
#if defined(__x86_64__)
    if constexpr (std::is_same_v<Real, float> &&
                  requires(Real* xyz) { v_.position(xyz, "", "", 0.0); }) {
      if (length < 34 || v_.wants_fields() || !vectors::wide()) return 0;
      const std::string_view text = in_.ahead();
      const char* const end =
          read_usual_atom_lines(text.data(), text.data() + text.size(), most, length);
      const std::size_t bytes = static_cast<std::size_t>(end - text.data());
      in_.pass_lines(bytes, static_cast<long>(bytes / (length + 1)));
      return static_cast<std::int64_t>(bytes / (length + 1));
    }
#endif
    (void)most, (void)length;
    return 0;
  }
#if defined(__x86_64__)
  // The usual atom lines of `length` bytes from `p` on, at most `most` of
  // them: where the first line not read begins.
  [[gnu::target("avx2")]] const char* read_usual_atom_lines(const char* p, const char* end,
                                                            std::int64_t most, std::size_t length) {
    for (; most > 0 && static_cast<std::size_t>(end - p) > length && line_of_length_wide(p, length);
         --most, p += length + 1) {
      float xyz[4];
      if (!sdf_coordinate_fields_wide(p, xyz)) break;
      const SymbolMet& met = symbol_met(p, length);
      if (met.mass == 0) break;  // (no pseudo-atom's symbol is an element's)
      const std::string_view symbol(p + 31 + met.at, met.size);
      all_z_zero_ = all_z_zero_ && xyz[2] == 0;
      symbols_.push_back(met.kept);
      v_.position(xyz, symbol, symbol, met.mass);
    }
    return p;
  }
#endif
  // A symbol met in columns 32-34 of usual atom lines: where it stands in
  // them, as kept for isotopes, and its element's mass (0: none).
  struct SymbolMet {
    std::uint32_t key = 0;  // the three bytes, plus one (0: an empty slot)
    std::uint8_t at = 0, size = 0;
    std::array<char, 4> kept{};
    double mass = 0;
  };
  // The symbol of the atom line at p, from a small table by its three bytes
  // (a file has few symbols).
  const SymbolMet& symbol_met(const char* p, std::size_t length) {
    std::uint32_t key = 0;
    std::memcpy(&key, p + 31, 3);
    SymbolMet& met = symbols_met_[(key * 0x9E3779B1u) >> 28];
    if (met.key != key + 1) {
      const std::string_view symbol = v2000_symbol({p, length});
      met.key = key + 1;
      met.at = static_cast<std::uint8_t>(symbol.data() - (p + 31));
      met.size = static_cast<std::uint8_t>(symbol.size());
      met.kept = kept_symbol(symbol);
      met.mass = element_symbol_mass(symbol);
    }
    return met;
  }
  // The three positions in the usual 10.4 layout, read at once with 256-bit
  // vectors where the processor has them: the floats nearest to their
  // decimals, as the field-by-field reading gives them.
  static bool usual_positions(std::string_view line, float* xyz) {
#if defined(__x86_64__)
    float quick[4];
    if (line.size() < 32 || !vectors::wide() || !sdf_coordinate_fields_wide(line.data(), quick))
      return false;
    std::memcpy(xyz, quick, 3 * sizeof(float));
    return true;
#else
    (void)line, (void)xyz;
    return false;
#endif
  }
  static bool usual_positions(std::string_view, double*) { return false; }
  // The atom every V2000 line fills in: its positions in columns 1-30.
  static MoleculeAtom<Real> v2000_layout() {
    MoleculeAtom<Real> a;
    for (std::size_t i = 0; i < 3; ++i) a.spans[i] = {0, 10 * i, 10 * i + 10};
    return a;
  }
  // The element symbol of columns 32-34: left-aligned as nearly every file
  // has it, else trimmed.
  static std::string_view v2000_symbol(std::string_view line) {
    if (line.size() >= 34 && line[31] != ' ' && line[31] != '\t') {
      if (line[32] == ' ') return line.substr(31, 1);
      if (line[33] == ' ') return line.substr(31, 2);
    }
    return line.size() > 31 ? trimmed(line.substr(31, 3)) : std::string_view{};
  }
  bool v2000_atom(std::string_view line) {
    // A visitor that wants only positions and elements (the reading without
    // --select) gets them straight from a line in the usual layout whose
    // symbol is an element's; every other line is taken in full below.
    if constexpr (requires(Real* xyz) { v_.position(xyz, line, line); }) {
      Real xyz[4];
      if (!v_.wants_fields() && usual_positions(line, xyz)) {
        const std::string_view symbol = v2000_symbol(line);
        if (element_symbol_mass(symbol) > 0) {  // (no pseudo-atom's symbol is an element's)
          all_z_zero_ = all_z_zero_ && xyz[2] == 0;
          keep_symbol(symbol);
          v_.position(xyz, symbol, symbol);
          return true;
        }
      }
    }
    // One atom for all the lines: only what a V2000 line gives changes.
    MoleculeAtom<Real>& a = v2000_atom_;
    a.element = {};
    a.lines = &line;
    const std::string_view end = in_.end();
    a.ends = &end;
    a.field_width = 10;
    const bool positions_read = usual_positions(line, a.xyz);
    for (int i = 0; i < 3 && !positions_read; ++i) {
      const std::size_t at = static_cast<std::size_t>(10 * i);
      const std::string_view field = line.size() > at ? line.substr(at, 10) : std::string_view{};
      if (!(field.size() == 10 && fixed_decimal(field.data(), 10, 4, a.xyz[i])) &&
          !parse_number(field, a.xyz[i]))
        return damage("cannot read \"" + std::string(field) + "\" as a coordinate");
    }
    const std::string_view symbol = v2000_symbol(line);
    if (symbol.empty()) return damage("no element symbol in columns 32-34");
    if (!element_of(symbol, a)) return false;
    all_z_zero_ = all_z_zero_ && a.xyz[2] == 0;
    keep_symbol(symbol);
    v_.atom(a);
    return true;
  }
  // Bonds and properties up to "M  END" ("$$$$" ends them too).
  bool properties() {
    std::string_view line;
    while (next(line)) {
      pass(line);
      if (starts(line, "M  END")) return true;
      if (starts(line, "$$$$")) {
        at_end_ = true;
        return true;
      }
      if (starts(line, "M  ISO")) {
        Token t[40];
        const std::size_t n = split_tokens(line.substr(6), t, 40);
        const std::string_view rest = line.substr(6);
        std::int64_t index = 0, mass = 0;
        for (std::size_t k = 1; k + 1 < n; k += 2)
          if (parse_count(rest.substr(t[k].begin, t[k].end - t[k].begin), index) &&
              parse_count(rest.substr(t[k + 1].begin, t[k + 1].end - t[k + 1].begin), mass))
            isotope(index, mass);
      }
    }
    return damage("the record ends before its \"M  END\" line");
  }

  // V3000: the logical lines ("M  V30 " and their continuations) up to
  // "M  END"; the atoms of the atom block.
  bool v3000() {
    std::int64_t declared = -1, atoms = 0;
    bool in_atoms = false;
    for (;;) {
      if (!logical_line()) return damage("the record ends before its \"M  END\" line");
      const std::string_view body = joined_;
      if (in_atoms && v30_ && !starts(body, "END ATOM")) {
        if (!v3000_atom()) return false;
        ++atoms;
        continue;
      }
      pass_physical();
      if (at_end_) return damage("the record ends before its \"M  END\" line");
      if (!v30_) {
        if (starts(physical_.front(), "M  END")) break;
        continue;
      }
      if (in_atoms) {
        if (starts(body, "END ATOM")) {
          in_atoms = false;
          if (declared >= 0 && atoms != declared)
            return damage("the counts line says " + std::to_string(declared) +
                          " atoms, the atom block has " + std::to_string(atoms));
        }
      } else if (starts(body, "COUNTS")) {
        Token t[2];
        if (split_tokens(body, t, 2) < 2 ||
            !parse_count(body.substr(t[1].begin, t[1].end - t[1].begin), declared))
          return damage("cannot read the atom count of the COUNTS line");
      } else if (starts(body, "BEGIN ATOM")) {
        in_atoms = true;
      }
    }
    return true;
  }
  // The next logical line: its physical lines, their text after "M  V30 "
  // joined. False at the end of the text.
  bool logical_line() {
    physical_.clear();
    ends_.clear();
    joined_.clear();
    where_.clear();
    v30_ = false;
    std::string_view line;
    for (;;) {
      if (!next(line)) return false;
      physical_.emplace_back(line);
      ends_.push_back(in_.end());
      if (starts(line, "$$$$")) at_end_ = true;
      if (!starts(line, "M  V30 ")) break;
      v30_ = true;
      std::string_view body = line.substr(7);
      const bool continued = !body.empty() && body.back() == '-';
      if (continued) body.remove_suffix(1);
      for (std::size_t k = 0; k < body.size(); ++k)
        where_.push_back({static_cast<int>(physical_.size() - 1), 7 + k, 8 + k});
      joined_ += body;
      if (!continued) break;
    }
    return true;
  }
  void pass_physical() {
    for (std::size_t k = 0; k < physical_.size(); ++k) v_.line(physical_[k], ends_[k]);
  }
  bool v3000_atom() {
    Token t[6];
    const std::string_view body = joined_;
    if (split_tokens(body, t, 6) < 5) return damage("an atom line with fewer than 5 values");
    MoleculeAtom<Real> a;
    views_.assign(physical_.begin(), physical_.end());
    a.lines = views_.data();
    a.ends = ends_.data();
    a.line_count = static_cast<int>(views_.size());
    a.min_decimals = 4;
    for (int i = 0; i < 3; ++i) {
      const Token& tok = t[2 + i];
      const std::string_view field = body.substr(tok.begin, tok.end - tok.begin);
      if (!parse_number(field, a.xyz[i]))
        return damage("cannot read \"" + std::string(field) + "\" as a coordinate");
      const ValueSpan& first = where_[tok.begin];
      const ValueSpan& last = where_[tok.end - 1];
      if (first.line == last.line) {
        a.spans[i] = {first.line, first.begin, last.end};
      } else {  // split over two lines: the copy writes it whole on the first
        a.spans[i] = {first.line, first.begin, physical_[static_cast<std::size_t>(first.line)].size() - 1};
        a.erased[a.erased_count++] = {last.line, 7, last.end};
      }
    }
    const std::string_view symbol = body.substr(t[1].begin, t[1].end - t[1].begin);
    if (!element_of(symbol, a)) return false;
    keep_symbol(symbol);
    const std::size_t mass_at = body.find(" MASS=");
    std::int64_t mass_number = 0;
    std::string_view mass_text = mass_at == std::string_view::npos ? std::string_view{}
                                                                    : body.substr(mass_at + 6);
    mass_text = mass_text.substr(0, mass_text.find(' '));
    all_z_zero_ = all_z_zero_ && a.xyz[2] == 0;
    v_.atom(a);
    if (!mass_text.empty() && parse_count(mass_text, mass_number))
      isotope(static_cast<std::int64_t>(symbols_.size()), mass_number);
    return true;
  }

  LineReader& in_;
  Visitor& v_;
  std::vector<std::array<char, 4>> symbols_;  // of the record's atoms, for isotopes
  SymbolMet symbols_met_[16];
  MoleculeAtom<Real> v2000_atom_ = v2000_layout();
  bool flat_ = false, all_z_zero_ = true, at_end_ = false, ended_ = false;
  // The V3000 logical line: its physical lines, their ends, the joined text
  // and where each of its bytes stands.
  std::vector<std::string> physical_;
  std::vector<std::string_view> ends_, views_;
  std::string joined_;
  std::vector<ValueSpan> where_;
  bool v30_ = false;
};

// Every record of an SDF or MOL text.
template <class Real, class Visitor>
PassFault walk(LineReader& in, Visitor& v) {
  std::int64_t record = 0;
  std::string header[4];
  std::string_view ends[4], line;
  RecordWalk<Real, Visitor> walk(in, v);  // one for all records: its buffers stay
  while (!v.stopped()) {
    int got = 0;
    bool blank = true;
    while (got < 4 && in.next(line)) {
      header[got].assign(line);
      ends[got++] = in.end();
      blank = blank && trimmed(line).empty();
    }
    if (got == 0) break;
    if (got < 4 && blank) {  // blank lines after the last record
      for (int k = 0; k < got; ++k) v.line(header[k], ends[k]);
      break;
    }
    v.record(++record, trimmed(header[0]));
    for (int k = 0; k < got; ++k) v.line(header[k], ends[k]);
    if (got < 4) {
      v.damaged(in.lineno(), "the record ends within its first four lines", false);
      break;
    }
    walk.walk(header[1], header[3]);
    if (walk.ended()) break;
  }
  return in.failure();
}

}  // namespace gyro::sdf
