// The selection language of --select: which atom records are analysed, by
// the fields of the record.
//   expression := term { "or" term }
//   term       := factor { "and" factor }
//   factor     := "not" factor | "(" expression ")" | keyword | field value { value }
//   field      := chain | segid | resname | resid | name | element | altloc
//   keyword    := all | none | protein | backbone | nucleic | water | ion | hetero
//                 | hydrogen | heavy
// A value list ends at a reserved word (and, or, not, a keyword, a field
// name) or a parenthesis. "*" and "?" match any run of characters and one
// character in every field but resid; resid takes numbers (every insertion
// code of that number), a number with its insertion code (27A) and ranges
// a-b or a:b (both ends, every insertion code within).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace gyro {

// The fields of one atom record that a selection may read, blanks stripped.
struct AtomFields {
  bool hetero = false;  // HETATM (or mmCIF group_PDB HETATM)
  std::string_view name, altloc, resname, chain, segid, element;
  std::int64_t resid = 0;
  bool has_resid = false;
  char insertion = ' ';  // ' ' for none
};

// The verdicts of the residue-level tests (residue names and numbers, chain,
// segment, the residue keywords) of the last residue, reused while the
// record's residue columns stay the same: a caller that knows it sets
// `same_residue`.
struct ResidueMemo {
  bool same_residue = false;
  std::vector<signed char> verdicts;  // a node's verdict, or -1 when not known
  std::vector<signed char> stack;     // room for the evaluation
};

class SelectExpression {
 public:
  // The expression of `text`; on a fault, `error` names the word and what was
  // expected, and the expression selects nothing.
  static std::shared_ptr<const SelectExpression> parse(std::string_view text, std::string& error);

  // The fields the expression reads, as bits of `Field`: a reader fills only
  // those.
  enum Field : unsigned { hetero_field = 1, name_field = 2, altloc_field = 4, residue_fields = 8,
                          element_field = 16 };
  unsigned fields() const { return fields_; }
  bool selects(const AtomFields& f) const;
  bool selects(const AtomFields& f, ResidueMemo& memo) const;
  const std::string& text() const { return text_; }

  struct Node;

 private:
  std::string text_;
  std::vector<Node> nodes_;  // nodes_.back() is the root
  unsigned fields_ = 0;
  friend class SelectParser;
  bool eval(std::size_t node, const AtomFields& f, ResidueMemo* memo) const;
  bool leaf(std::size_t node, const AtomFields& f) const;
  bool memo_protein(const AtomFields& f, ResidueMemo& memo, std::size_t node) const;
};

// The residue names of the keywords, as the manual lists them.
bool is_protein_residue(std::string_view resname);
bool is_nucleic_residue(std::string_view resname);
bool is_water_residue(std::string_view resname);
bool is_ion_residue(std::string_view resname);

}  // namespace gyro
