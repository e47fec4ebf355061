// MOL2 (Tripos) files. Each "@<TRIPOS>MOLECULE" section begins a record: its
// next line is the record's name, the one after it the counts (atoms first).
// The "@<TRIPOS>ATOM" section holds an atom a line:
//   id name x y z type [substructure-id [substructure-name [charge ...]]]
// the element the type's part before the point (C.ar: C, Cl: Cl).
#pragma once

#include <string>
#include <string_view>

#include "formats/molecule/molecule.hpp"

namespace gyro::mol2 {

// Types that name no element: dummies, lone pairs, wildcards.
inline bool pseudo_type(std::string_view t) {
  return t == "Du" || t == "LP" || t == "Any" || t == "Hal" || t == "Het" || t == "Hev";
}

template <class Real, class Visitor>
class Walk {
 public:
  Walk(LineReader& in, Visitor& v) : in_(in), v_(v) {}

  PassFault walk() {
    std::string_view line;
    bool have = in_.next(line);
    // Lines before the first molecule (comments) as they are.
    while (have && !is_molecule(line)) {
      v_.line(line, in_.end());
      have = in_.next(line);
    }
    while (have && !v_.stopped()) {
      v_.line(line, in_.end());  // the MOLECULE line
      have = record(line);
    }
    return in_.failure();
  }

 private:
  static bool is_molecule(std::string_view line) {
    return trimmed(line).starts_with("@<TRIPOS>MOLECULE");
  }
  bool damage(std::string reason) {
    v_.damaged(in_.lineno(), std::move(reason), false);
    return false;
  }
  // One record after its MOLECULE line; false at the end of the text, else
  // with `line` the next MOLECULE line.
  bool record(std::string_view& line) {
    std::string_view name_line, counts;
    if (!in_.next(name_line)) {
      v_.record(++record_, "");
      damage("the record ends before its name line");
      return false;
    }
    v_.record(++record_, trimmed(name_line));
    v_.line(name_line, in_.end());
    std::int64_t declared = -1;
    bool ok = true, in_atoms = false;
    std::int64_t atoms = 0;
    if (!in_.next(counts)) return damage("the record ends before its counts line");
    Token t[1];
    if (split_tokens(counts, t, 1) < 1 ||
        !parse_count(counts.substr(t[0].begin, t[0].end - t[0].begin), declared))
      ok = damage("cannot read the atom count of the counts line");
    else
      v_.line(counts, in_.end());
    while (in_.next(line)) {
      if (is_molecule(line)) {
        if (ok) check_count(declared, atoms);
        return true;
      }
      const std::string_view word = trimmed(line);
      if (ok && word.starts_with("@<TRIPOS>")) {
        if (in_atoms) ok = check_count(declared, atoms);
        in_atoms = word == "@<TRIPOS>ATOM";
      } else if (ok && in_atoms && !word.empty()) {
        ok = atom(line);
        ++atoms;
        continue;
      }
      v_.line(line, in_.end());
    }
    if (ok) check_count(declared, atoms);
    return false;
  }
  bool check_count(std::int64_t declared, std::int64_t atoms) {
    if (atoms == declared) return true;
    return damage("the counts line says " + std::to_string(declared) +
                  " atoms, the ATOM section has " + std::to_string(atoms));
  }
  bool atom(std::string_view line) {
    Token t[9];
    const std::size_t n = split_tokens(line, t, 9);
    if (n < 6) return damage("an atom line with " + std::to_string(n) + " values (6 wanted)");
    auto text = [&](int k) { return line.substr(t[k].begin, t[k].end - t[k].begin); };
    MoleculeAtom<Real> a;
    a.lines = &line;
    const std::string_view end = in_.end();
    a.ends = &end;
    for (int i = 0; i < 3; ++i) {
      if (!parse_number(text(2 + i), a.xyz[i]))
        return damage("cannot read \"" + std::string(text(2 + i)) + "\" as a coordinate");
      a.spans[i] = {0, t[2 + i].begin, t[2 + i].end};
    }
    const std::string_view type = text(5);
    const std::string_view element = type.substr(0, type.find('.'));
    a.shown = type;
    if (v_.wants_fields()) {
      a.fields.name = text(1);
      a.fields.element = element;
      std::int64_t resid = 0;
      a.fields.has_resid = n > 6 && parse_count(text(6), resid);
      a.fields.resid = resid;
      if (n > 7) a.fields.resname = text(7);
    }
    if (!pseudo_type(element)) {
      if (element_symbol_mass(element) == 0)
        return damage("unknown atom type \"" + std::string(type) + "\"");
      a.element = element;
    }
    v_.atom(a);
    return true;
  }

  LineReader& in_;
  Visitor& v_;
  std::int64_t record_ = 0;
};

template <class Real, class Visitor>
PassFault walk(LineReader& in, Visitor& v) {
  return Walk<Real, Visitor>(in, v).walk();
}

}  // namespace gyro::mol2
