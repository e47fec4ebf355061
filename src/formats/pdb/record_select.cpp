#include "formats/pdb/record_select.hpp"

#include <charconv>

#include "structure/atoms.hpp"

namespace gyro {

AtomFields record_fields(const char* line, unsigned wanted) {
  auto field = [&](int col, int width) {
    const char* b = line + col - 1;
    const char* e = b + width;
    while (b < e && *b == ' ') ++b;
    while (e > b && e[-1] == ' ') --e;
    return std::string_view(b, static_cast<std::size_t>(e - b));
  };
  AtomFields f;
  using F = SelectExpression::Field;
  f.hetero = line[0] == 'H';
  if (wanted == 0) return f;
  if (wanted & F::name_field) f.name = field(13, 4);
  if (wanted & F::altloc_field) f.altloc = field(17, 1);
  if (wanted & F::residue_fields) {
    f.resname = field(18, line[20] != ' ' ? 4 : 3);
    f.chain = field(22, 1);
    const std::string_view resid = field(23, 4);
    const auto [end, ec] = std::from_chars(resid.data(), resid.data() + resid.size(), f.resid);
    f.has_resid = ec == std::errc() && end == resid.data() + resid.size();
    f.insertion = line[26];
    f.segid = field(73, 4);
  }
  if (wanted & F::element_field) {
    f.element = field(77, 2);
    if (f.element.empty()) {
      static constexpr std::string_view symbols[] = {"", "H", "C", "N", "O", "S", "P", "FE", ""};
      f.element = symbols[atom_element(line + 12)];
    }
  }
  return f;
}

// A residue other than the last record's: the tests of its name from the
// table of names met so far, those of its place read anew.
[[gnu::noinline]] void RecordVerdicts::test_residue(const SelectExpression& e, const char* line,
                                                    std::uint64_t key, std::uint64_t key_rest) {
  using Level = SelectExpression::Level;
  residue_[0] = key;
  residue_[1] = key_rest;
  std::uint32_t name;
  std::memcpy(&name, line + 17, 4);
  const std::uint64_t name_key = name | std::uint64_t{1} << 32;  // (never 0)
  Known& known = names_[(name * 0x9e3779b9u) >> 26];
  if (known.key != name_key) {
    known.key = name_key;
    known.tests = e.test_bits(record_fields(line, SelectExpression::residue_fields), Level::residue_name);
  }
  residue_tests_ = known.tests;
  if (e.tests_at(Level::residue_place))
    residue_tests_ |=
        e.test_bits(record_fields(line, SelectExpression::residue_fields), Level::residue_place);
}

[[gnu::noinline]] void RecordVerdicts::test_atom(const SelectExpression& e, const char* line,
                                                 std::uint64_t key, Known& known) {
  known.key = key;
  known.tests = e.test_bits(record_fields(line, e.fields() & ~unsigned{SelectExpression::residue_fields}),
                            SelectExpression::Level::atom);
}

}  // namespace gyro
