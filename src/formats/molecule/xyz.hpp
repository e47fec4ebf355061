// XYZ files, plain and extended: frames one after another, each an atom
// count line, a comment line (the frame's name) and that many atom lines,
// "symbol x y z" (a symbol of either case, or an atomic number). In
// extended XYZ the comment's Properties= names the columns: the species
// column and the three position columns are found there.
#pragma once

#include <string>
#include <string_view>

#include "formats/molecule/molecule.hpp"

namespace gyro::xyz {

// The columns (counted from 0) of the species and of x in an extended XYZ
// comment line's Properties=name:type:count:...; species 0 and x 1 without one.
struct Columns {
  std::size_t species = 0, x = 1, count = 4;
};

inline Columns columns_of(std::string_view comment) {
  Columns c;
  std::size_t at = comment.find("Properties=");
  if (at == std::string_view::npos) at = comment.find("properties=");
  if (at == std::string_view::npos) return c;
  std::string_view properties = comment.substr(at + 11);
  properties = properties.substr(0, properties.find_first_of(" \t\""));
  std::size_t column = 0;
  bool species = false, position = false;
  while (!properties.empty()) {
    std::string_view parts[3];
    for (auto& part : parts) {
      const std::size_t colon = properties.find(':');
      part = properties.substr(0, colon);
      properties = colon == std::string_view::npos ? std::string_view{} : properties.substr(colon + 1);
    }
    std::int64_t width = 0;
    if (!parse_count(parts[2], width) || width < 1) return Columns{};
    if (parts[0] == "species") c.species = column, species = true;
    if (parts[0] == "pos") c.x = column, position = true;
    column += static_cast<std::size_t>(width);
  }
  if (!species || !position) return Columns{};
  c.count = column;
  return c;
}

// The box of an extended XYZ comment's Lattice="ax ay az bx by bz cx cy cz".
inline std::optional<Box> lattice_of(std::string_view comment) {
  std::size_t at = comment.find("Lattice=\"");
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view values = comment.substr(at + 9);
  values = values.substr(0, values.find('"'));
  Token t[10];
  if (split_tokens(values, t, 10) != 9) return std::nullopt;
  double edges[3][3];
  for (int k = 0; k < 9; ++k)
    if (!parse_number(values.substr(t[k].begin, t[k].end - t[k].begin), edges[k / 3][k % 3]))
      return std::nullopt;
  return box_from_edges(edges);
}

template <class Real, class Visitor>
PassFault walk(LineReader& in, Visitor& v) {
  std::string_view line;
  std::int64_t record = 0;
  auto stop = [&](std::string reason) {
    v.damaged(in.lineno(), std::move(reason), true);
    return in.failure();
  };
  while (!v.stopped() && in.next(line)) {
    std::int64_t atoms = 0;
    if (trimmed(line).empty()) {  // blank lines after the last frame
      v.line(line, in.end());
      continue;
    }
    v.record(++record, "");
    if (!parse_count(line, atoms) || atoms < 0) return stop("cannot read the atom count");
    v.line(line, in.end());
    if (!in.next(line)) return stop("the frame ends before its comment line");
    v.name(trimmed(line));
    v.box(lattice_of(line));
    const Columns c = columns_of(line);
    v.line(line, in.end());
    Token t[32];
    const std::size_t need = std::max(c.species, c.x + 2) + 1;
    for (std::int64_t k = 0; k < atoms; ++k) {
      if (!in.next(line))
        return stop("the frame ends after " + std::to_string(k) + " of its " +
                    std::to_string(atoms) + " atom lines");
      const std::size_t n = split_tokens(line, t, need < 32 ? need : 32);
      if (n < need) return stop("an atom line with " + std::to_string(n) + " values");
      auto text = [&](std::size_t j) { return line.substr(t[j].begin, t[j].end - t[j].begin); };
      MoleculeAtom<Real> a;
      a.lines = &line;
      const std::string_view end = in.end();
      a.ends = &end;
      for (int i = 0; i < 3; ++i) {
        const std::size_t j = c.x + static_cast<std::size_t>(i);
        if (!parse_number(text(j), a.xyz[i]))
          return stop("cannot read \"" + std::string(text(j)) + "\" as a coordinate");
        a.spans[i] = {0, t[j].begin, t[j].end};
      }
      std::string_view symbol = text(c.species);
      std::int64_t z = 0;
      if (parse_count(symbol, z)) symbol = element_of_number(z);
      if (symbol.empty() || element_symbol_mass(symbol) == 0)
        return stop("unknown element \"" + std::string(text(c.species)) + "\"");
      a.element = a.shown = a.fields.name = a.fields.element = symbol;
      v.atom(a);
    }
  }
  return in.failure();
}

}  // namespace gyro::xyz
