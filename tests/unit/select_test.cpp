// The selection language: the meaning of its words and operators, and the
// reading of PDB records that reuses the outcomes of its tests from record to
// record, which must give the verdict of the plain evaluation on every record.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "formats/pdb/record_select.hpp"
#include "select/expression.hpp"

namespace gyro {
namespace {

// An atom record of 80 columns from its fields.
std::string record(std::string_view kind, std::string_view name, char altloc,
                   std::string_view resname, char chain, std::string_view resid, char insertion,
                   std::string_view segid, std::string_view element) {
  std::string line(80, ' ');
  line.replace(0, kind.size(), kind);
  line.replace(6, 5, "    1");
  line.replace(12, name.size(), name);
  line[16] = altloc;
  line.replace(17, resname.size(), resname);
  line[21] = chain;
  line.replace(22, resid.size(), resid);
  line[26] = insertion;
  line.replace(30, 24, "   1.000   2.000   3.000");
  line.replace(72, segid.size(), segid);
  line.replace(76, element.size(), element);
  return line;
}

bool keeps(std::string_view expression, const std::string& line) {
  std::string error;
  const auto e = SelectExpression::parse(expression, error);
  EXPECT_TRUE(e) << expression << ": " << error;
  return e && e->selects(record_fields(line.c_str(), e->fields()));
}

TEST(Select, WordsAndOperators) {
  const std::string ca = record("ATOM  ", " CA ", ' ', "ALA", 'A', "  10", ' ', "    ", " C");
  const std::string ins = record("ATOM  ", " CB ", 'A', "GLY", 'B', "  20", 'A', "SEGB", "  ");
  const std::string water = record("HETATM", " OH2", ' ', "TIP3", 'W', "  -3", ' ', "W1  ", "  ");
  const std::string zinc = record("HETATM", "ZN  ", ' ', " ZN", 'A', " 300", ' ', "    ", "ZN");
  const std::string hydrogen = record("ATOM  ", "HG21", ' ', "THR", 'A', "  11", ' ', "    ", "  ");
  struct Case {
    std::string_view expression;
    bool ca, ins, water, zinc, hydrogen;
  };
  const Case cases[] = {
      {"all", true, true, true, true, true},
      {"none", false, false, false, false, false},
      {"protein", true, true, false, false, true},
      {"backbone", true, false, false, false, false},
      {"water", false, false, true, false, false},
      {"ion", false, false, false, true, false},
      {"hetero", false, false, true, true, false},
      {"hydrogen", false, false, false, false, true},  // element from the name: HG21 is H
      {"heavy", true, true, true, true, false},
      {"chain A W", true, false, true, true, true},
      {"segid W*", false, false, true, false, false},
      {"resname G?Y TIP3", false, true, true, false, false},
      {"resid 10", true, false, false, false, false},
      {"resid 10-20", true, true, false, false, true},  // 20A lies within 10-20
      {"resid 20", false, true, false, false, false},   // every code of 20
      {"resid 20B", false, false, false, false, false},
      {"resid -5:-1", false, false, true, false, false},
      {"name C*", true, true, false, false, false},
      {"name ?H2", false, false, true, false, false},
      {"element zn c", true, true, false, true, false},  // CB: C by its name
      {"altloc A", false, true, false, false, false},
      {"not protein and not water or ion", false, false, false, true, false},
      {"not (protein and not water) or ion", false, false, true, true, false},
      {"(chain A or chain B) and name CA", true, false, false, false, false},
      {"protein and not hydrogen", true, true, false, false, false},
      {"not not hetero", false, false, true, true, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(keeps(c.expression, ca), c.ca) << c.expression;
    EXPECT_EQ(keeps(c.expression, ins), c.ins) << c.expression;
    EXPECT_EQ(keeps(c.expression, water), c.water) << c.expression;
    EXPECT_EQ(keeps(c.expression, zinc), c.zinc) << c.expression;
    EXPECT_EQ(keeps(c.expression, hydrogen), c.hydrogen) << c.expression;
  }
}

TEST(Select, MalformedExpressionsNameTheWord) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"", "expected a keyword, a field, \"not\" or \"(\", found the end (word 1)"},
      {"resid x", "\"resid\" needs a number or range, found \"x\" (word 2)"},
      {"resid 9-3", "\"resid\" needs a number or range, found \"9-3\" (word 2)"},
      {"chain", "\"chain\" needs a value, found the end (word 2)"},
      {"name CA and", "expected a keyword, a field, \"not\" or \"(\", found the end (word 4)"},
      {"protein or (water", "expected \")\", found the end (word 5)"},
      {"protein water", "expected \"and\", \"or\" or the end, found \"water\" (word 2)"},
  };
  for (const auto& [text, message] : cases) {
    std::string error;
    EXPECT_FALSE(SelectExpression::parse(text, error)) << text;
    EXPECT_EQ(error, message) << text;
  }
}

// A random expression of the language, `depth` levels of operators at most.
std::string random_expression(std::mt19937& rng, int depth) {
  static const char* const tests[] = {
      "protein", "water", "hydrogen", "heavy", "backbone", "ion", "hetero", "nucleic", "all",
      "none", "chain A", "chain A B", "resname T*", "resname ALA GLY", "resid 1-10", "resid 10A",
      "resid -5:-1 20", "name C*", "name ?A", "name CA", "element c", "element H ZN",
      "altloc A", "segid W*"};
  std::uniform_int_distribution<int> pick(0, 5);
  const int choice = depth == 0 ? 0 : pick(rng);
  auto test = [&] { return std::string(tests[rng() % std::size(tests)]); };
  switch (choice) {
    case 0: case 1: return test();
    case 2: return "not " + random_expression(rng, depth - 1);
    case 3: return "(" + random_expression(rng, depth - 1) + ")";
    case 4: return random_expression(rng, depth - 1) + " and " + random_expression(rng, depth - 1);
    default: return random_expression(rng, depth - 1) + " or " + random_expression(rng, depth - 1);
  }
}

// Records in runs of one residue, their atoms drawn from a small set, so
// that residues and atoms come back as they do in real files.
std::vector<std::string> random_records(std::mt19937& rng, int count) {
  static const char* const names[] = {" N  ", " CA ", " C  ", " O  ", " CB ", "HG21", "ZN  ", " H1 "};
  static const char* const resnames[] = {"ALA", "HOH", " ZN", "TIP3", " DA", "GLY", "THR"};
  static const char* const resids[] = {"   1", "  10", "  20", "  -3", " 300"};
  static const char* const segids[] = {"    ", "SEGB", "W1  "};
  static const char* const elements[] = {"  ", " C", " H", "ZN", "na"};
  auto any = [&](const auto& list) { return std::string_view(list[rng() % std::size(list)]); };
  std::vector<std::string> lines;
  while (static_cast<int>(lines.size()) < count) {
    const std::string_view resname = any(resnames), resid = any(resids), segid = any(segids);
    const char chain = "AB W"[rng() % 4], insertion = " A"[rng() % 2];
    for (int n = 1 + static_cast<int>(rng() % 6); n > 0; --n)
      lines.push_back(record(rng() % 4 ? "ATOM  " : "HETATM", any(names), " AB"[rng() % 3],
                             resname, chain, resid, insertion, segid, any(elements)));
  }
  return lines;
}

TEST(Select, ReusedOutcomesGiveThePlainVerdict) {
  std::mt19937 rng(31);
  for (int round = 0; round < 300; ++round) {
    std::string text = random_expression(rng, 1 + round % 5);
    // (Long expressions: the verdicts without a table, and past the bits.)
    if (round % 50 == 7) text = text + " or " + random_expression(rng, 7);
    if (round % 100 == 9)
      for (int k = 0; k < 70; ++k) text += " and not name X" + std::to_string(k);
    std::string error;
    const auto e = SelectExpression::parse(text, error);
    ASSERT_TRUE(e) << text << ": " << error;
    RecordVerdicts verdicts;
    for (const std::string& line : random_records(rng, 200))
      ASSERT_EQ(verdicts.selects(*e, line.c_str()), e->selects(record_fields(line.c_str(), ~0u)))
          << text << "\n" << line;
  }
}

}  // namespace
}  // namespace gyro
