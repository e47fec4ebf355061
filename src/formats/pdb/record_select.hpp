// Which PDB atom records --select keeps: the fields it reads from a record,
// and its verdicts on a run of records, the outcomes of its tests reused from
// record to record.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "select/expression.hpp"

namespace gyro {

// The fields of an atom record (80 bytes) that --select reads (`wanted`,
// bits of SelectExpression::Field), blanks stripped: the element from columns
// 77-78, else the one the name rules give.
AtomFields record_fields(const char* line, unsigned wanted);

// The verdicts of --select on atom records (80 bytes), the outcomes of its
// tests reused from record to record.
class RecordVerdicts {
 public:
  bool selects(const SelectExpression& e, const char* line);

 private:
  struct Known {  // the outcomes of tests for one key
    std::uint64_t key = 0;  // (no key is 0)
    SelectExpression::Bits tests = 0;
  };
  void test_residue(const SelectExpression& e, const char* line, std::uint64_t key,
                    std::uint64_t key_rest);
  void test_atom(const SelectExpression& e, const char* line, std::uint64_t key, Known& known);
  std::uint64_t residue_[2] = {~std::uint64_t{0}, ~std::uint64_t{0}};  // (never a record's)
  SelectExpression::Bits residue_tests_ = 0;
  std::array<Known, 256> atoms_{};  // by name, location, element and record kind
  std::array<Known, 64> names_{};   // by residue name (columns 18-21)
};

// Whether --select keeps the record. The outcomes of the residue's tests
// are reused while the residue's columns (18-27, 73-76) stay those of the
// last record; those of the atom's tests (name, location, element, record
// kind: 8 bytes) are kept for every atom met, in a small table.
[[gnu::always_inline]] inline bool RecordVerdicts::selects(const SelectExpression& e,
                                                           const char* line) {
  if (!e.bitwise()) [[unlikely]] return e.selects(record_fields(line, e.fields()));
  std::uint64_t residue, name_and_location;
  std::uint32_t segment;
  std::uint16_t element, residue_end;
  std::memcpy(&residue, line + 17, 8);
  std::memcpy(&residue_end, line + 25, 2);
  std::memcpy(&segment, line + 72, 4);
  std::memcpy(&name_and_location, line + 12, 8);
  std::memcpy(&element, line + 76, 2);
  const std::uint64_t residue_rest = residue_end | std::uint64_t{segment} << 16;
  const std::uint64_t atom = (name_and_location & 0xffffffffffu) |
                             std::uint64_t{static_cast<unsigned char>(line[0])} << 40 |
                             std::uint64_t{element} << 48;
  if (residue != residue_[0] || residue_rest != residue_[1]) [[unlikely]]
    test_residue(e, line, residue, residue_rest);
  Known& known = atoms_[(atom * 0x9e3779b97f4a7c15u) >> 56];
  if (known.key != atom) [[unlikely]] test_atom(e, line, atom, known);
  return e.verdict(residue_tests_ | known.tests);
}

}  // namespace gyro
