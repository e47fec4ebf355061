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

  // The same verdict from the tests' outcomes, one bit a test, the tests
  // taken by what they read: the residue's name (resname and the residue
  // keywords), the residue's place (chain, segment, number) and the atom
  // itself (name, location, element, record kind), so that a reader may
  // reuse each set while the columns it reads stay the same. Only for
  // expressions of at most `most_tests` tests (`bitwise()`); longer ones are
  // evaluated by `selects`.
  using Bits = std::uint64_t;
  static constexpr std::size_t most_tests = 64;
  enum class Level { residue_name, residue_place, atom };
  bool bitwise() const { return tests_ <= most_tests; }
  Bits test_bits(const AtomFields& f, Level level) const;
  bool tests_at(Level level) const { return levels_ >> static_cast<unsigned>(level) & 1; }
  bool verdict(Bits tests) const {
    if (!table_.empty()) return table_[tests >> 6] >> (tests & 63) & 1;
    return combine(tests);
  }

  const std::string& text() const { return text_; }

  struct Node;

 private:
  std::string text_;
  std::vector<Node> nodes_;  // postfix: operands before their operator, nodes_.back() the root
  unsigned fields_ = 0;
  std::size_t tests_ = 0;     // the leaves, each with its bit
  unsigned levels_ = 0;       // the levels of the tests, as bits
  std::vector<Bits> table_;   // every outcome's verdict, for expressions of few tests
  friend class SelectParser;
  bool eval(std::size_t node, const AtomFields& f) const;
  bool leaf(std::size_t node, const AtomFields& f) const;
  bool combine(Bits tests) const;
  void number_tests();
};

// The residue names of the keywords, as the manual lists them.
bool is_protein_residue(std::string_view resname);
bool is_nucleic_residue(std::string_view resname);
bool is_water_residue(std::string_view resname);
bool is_ion_residue(std::string_view resname);

}  // namespace gyro
