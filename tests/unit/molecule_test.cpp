// Molecule and simulation formats: finding the format, the pieces of their
// lines, masses, and the reading into the table.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "formats/format.hpp"
#include "formats/molecule/gro.hpp"
#include "formats/molecule/molecule.hpp"
#include "formats/molecule/xyz.hpp"

namespace gyro {
namespace {

TEST(DetectFormat, ByTheFirstLines) {
  const struct {
    const char* text;
    Format format;
  } cases[] = {
      {"ATOM      1  N   ALA A   1       0.000   0.000   0.000\n", Format::pdb},
      {"HEADER    PROTEIN\n", Format::pdb},
      {"", Format::pdb},
      {"# comment\n\ndata_1ABC\n", Format::mmcif},
      {"loop_\n_atom_site.id\n", Format::mmcif},
      {"# made by hand\n@<TRIPOS>MOLECULE\nname\n", Format::mol2},
      {"title\n  prog\n\n  3  2  0  0  0  0  0  0  0  0999 V2000\n", Format::sdf},
      {"title\r\n  prog\r\n\r\n  0  0  0     0  0            999 V3000\r\n", Format::sdf},
      {"3\nwater\nO 0.0 0.0 0.0\n", Format::xyz},
      {"3\nwater\n8 0.0 0.0 0.0\n", Format::xyz},
      {"2\nProperties=id:I:1:species:S:1:pos:R:3\n1 C 0 0 0\n", Format::xyz},
      {"0\nempty frame\n", Format::xyz},
      {"water box\n  648\n    1SOL     OW    1   0.230   0.628   0.113\n", Format::gro},
      // A count on line 1 without an atom line after it is no XYZ frame.
      {"12\nnot xyz\nsomething else\n", Format::pdb},
  };
  for (const auto& c : cases) EXPECT_EQ(detect_format_of(c.text), c.format) << c.text;
}

TEST(MoleculeText, NumbersAndCounts) {
  const struct {
    const char* text;
    bool ok;
    double value;
  } numbers[] = {{"1.5", true, 1.5},   {"  -0.25 ", true, -0.25}, {"+2", true, 2},
                 {".230", true, 0.23}, {"-.866", true, -0.866},   {"1e2", true, 100},
                 {"", false, 0},       {"nan", false, 0},         {"inf", false, 0},
                 {"1.0x0", false, 0},  {"--1", false, 0},         {"1 2", false, 0}};
  for (const auto& n : numbers) {
    double d = 0;
    float f = 0;
    EXPECT_EQ(parse_number(n.text, d), n.ok) << n.text;
    EXPECT_EQ(parse_number(n.text, f), n.ok) << n.text;
    if (n.ok) {
      EXPECT_EQ(d, n.value) << n.text;
      EXPECT_EQ(f, static_cast<float>(n.value)) << n.text;
    }
  }
  std::int64_t count = 0;
  EXPECT_TRUE(parse_count("  648", count));
  EXPECT_EQ(count, 648);
  EXPECT_FALSE(parse_count("64 8", count));
  EXPECT_FALSE(parse_count("", count));
}

// The fixed-field reading gives exactly what the general reading gives, or
// leaves the field to it.
TEST(MoleculeText, FixedDecimalsAgreeWithTheGeneralReading) {
  const struct {
    const char* field;
    int decimals;
    bool quick;
  } fields[] = {{"   -1.2345", 4, true}, {"  123.4567", 4, true}, {" 1234.5678", 4, false}, {"   12.3456", 4, true},
                {"    0.0000", 4, true}, {"   -0.0001", 4, true},  {"   0.230", 3, true},
                {"  -0.866", 3, true},   {"    .230", 3, false},   {"9999.999", 3, true}, {"99999.999", 3, false},
                {"  12.5x0", 3, false},  {" 1 2.345", 3, false},   {"  -1.23456", 5, true}};
  for (const auto& f : fields) {
    const std::string_view text = f.field;
    const int width = static_cast<int>(text.size());
    float quick = 0, general = 0;
    double quick_d = 0, general_d = 0;
    EXPECT_EQ(fixed_decimal(text.data(), width, f.decimals, quick), f.quick) << f.field;
    EXPECT_EQ(fixed_decimal(text.data(), width, f.decimals, quick_d), f.quick) << f.field;
    if (!f.quick) continue;
    ASSERT_TRUE(parse_number(text, general));
    ASSERT_TRUE(parse_number(text, general_d));
    EXPECT_EQ(quick, general) << f.field;
    EXPECT_EQ(std::signbit(quick), std::signbit(general)) << f.field;
    EXPECT_EQ(quick_d, general_d) << f.field;
  }
}

// Positions read three at a time with vectors (GRO's 8.3 fields, SDF's
// 10.4): when taken, each value is the one the field-by-field reading gives.
TEST(MoleculeText, PositionsAtOnceAgreeWithTheGeneralReading) {
#if defined(__x86_64__)
  if (!vectors::wide()) GTEST_SKIP() << "no 256-bit vectors here";
  struct Layout {
    int width, decimals;
    bool (*read)(const char*, float*);
  };
  const Layout layouts[] = {
      {8, 3, [](const char* f, float* xyz) { return three_coordinate_fields_wide(f, xyz); }},
      {10, 4, [](const char* f, float* xyz) { return sdf_coordinate_fields_wide(f, xyz); }}};
  std::mt19937 rng(34);
  const std::string_view bytes = "0123456789   --..x+";
  for (const Layout& layout : layouts) {
    const auto w = static_cast<std::size_t>(layout.width);
    int taken = 0;
    for (int k = 0; k < 20000; ++k) {
      std::string fields;
      for (int i = 0; i < 3; ++i) {
        char f[24];
        if (rng() % 4 == 0) {  // any bytes
          for (std::size_t j = 0; j < w; ++j) f[j] = bytes[rng() % bytes.size()];
        } else {
          const double v = static_cast<int>(rng() % 2000000) / 1000.0 - 1000.0;
          std::snprintf(f, sizeof f, "%*.*f", layout.width, layout.decimals, v);
        }
        fields.append(f, w);
      }
      fields.resize(32, ' ');
      float quick[4];
      if (!layout.read(fields.data(), quick)) continue;
      ++taken;
      for (std::size_t i = 0; i < 3; ++i) {
        float general = 0;
        ASSERT_TRUE(parse_number(std::string_view(fields).substr(w * i, w), general)) << fields;
        EXPECT_EQ(quick[i], general) << fields;
        EXPECT_EQ(std::signbit(quick[i]), std::signbit(general)) << fields;
      }
    }
    EXPECT_GT(taken, 5000) << layout.width;
  }
#endif
}

TEST(MoleculeText, Tokens) {
  Token t[8];
  const std::string_view line = "  1 C1\t-1.6 1.69  8.8 C.3 ";
  ASSERT_EQ(split_tokens(line, t, 8), 6u);
  EXPECT_EQ(line.substr(t[2].begin, t[2].end - t[2].begin), "-1.6");
  EXPECT_EQ(line.substr(t[5].begin, t[5].end - t[5].begin), "C.3");
  EXPECT_EQ(split_tokens(line, t, 2), 2u);
}

TEST(MoleculeMasses, ElementsByNumberIsotopesAndGroNames) {
  EXPECT_EQ(element_of_number(1), "H");
  EXPECT_EQ(element_of_number(17), "Cl");
  EXPECT_EQ(element_of_number(118), "Og");
  EXPECT_EQ(element_of_number(0), "");
  EXPECT_EQ(element_of_number(119), "");
  EXPECT_DOUBLE_EQ(isotope_mass("H", 2), 2.01410177812);
  EXPECT_DOUBLE_EQ(isotope_mass("c", 13), 13.00335483507);
  EXPECT_DOUBLE_EQ(isotope_mass("Cl", 37), 36.965902602);
  EXPECT_DOUBLE_EQ(isotope_mass("Au", 198), 198.0);  // not in the table: its mass number
  const struct {
    const char* name;
    const char* element;
  } names[] = {{"CA", "C"}, {"OW", "O"}, {"HW1", "H"}, {"1HB", "H"}, {"MW", ""},
               {"LP1", ""}, {"123", ""}, {"nz", "N"},  {"", ""}};
  for (const auto& n : names) EXPECT_EQ(gro::element_of_name(n.name), n.element) << n.name;
  EXPECT_EQ(gro::ion_element("SOD"), "Na");
  EXPECT_EQ(gro::ion_element("CLA"), "Cl");
  EXPECT_EQ(gro::ion_element("SOL"), "");
}

TEST(MoleculeText, GroFieldWidthAndXyzColumns) {
  EXPECT_EQ(gro::field_width("    1SOL     OW    1   0.230   0.628   0.113"), 8u);
  EXPECT_EQ(gro::field_width("    1SOL     OW    1    .230    .628    .113"), 8u);
  EXPECT_EQ(gro::field_width("    1SOL     OW    1   0.23000   0.62800   0.11300"), 10u);
  EXPECT_EQ(gro::field_width("    1SOL     OW    1   0.230"), 0u);
  const xyz::Columns plain = xyz::columns_of("a comment");
  EXPECT_EQ(plain.species, 0u);
  EXPECT_EQ(plain.x, 1u);
  const xyz::Columns ext =
      xyz::columns_of("Lattice=\"1 0 0 0 1 0 0 0 1\" Properties=id:I:1:species:S:1:pos:R:3 pbc=\"T T T\"");
  EXPECT_EQ(ext.species, 1u);
  EXPECT_EQ(ext.x, 2u);
  const xyz::Columns broken = xyz::columns_of("Properties=species:S:x:pos:R:3");
  EXPECT_EQ(broken.x, 1u);
}

// A reading of molecule text into the table, with the rules given.
struct Reading {
  AtomTable t{64000, false};
  ReadNotes notes;
  PassFault fault;
  std::string errors;
  Reading(Format format, const std::string& text, ReadingRules rules = {}) {
    RecordCursor cur(text);
    Sink err(-1, "stderr");
    fault = read_molecule_atoms(format, cur, t, notes, err, rules);
    errors = err.held();
  }
};

TEST(MoleculeReading, RecordsAreSegmentsAndDamageDropsOneRecord) {
  const std::string sdf =
      "one\n  x          3D\n\n  1  0  0  0  0  0  0  0  0  0999 V2000\n"
      "    1.0000    2.0000    3.0000 N   0  0\nM  END\n$$$$\n"
      "two\n  x          3D\n\n  2  0  0  0  0  0  0  0  0  0999 V2000\n"
      "    1.0000    2.0000    3.0000 N   0  0\nM  END\n$$$$\n"
      "three\n  x          3D\n\n  2  0  0  0  0  0  0  0  0  0999 V2000\n"
      "    1.0000    2.0000    3.0000 Cl  0  0\n    0.0000    2.0000    3.0000 *   0  0\nM  END\n";
  Reading r(Format::sdf, sdf);
  EXPECT_FALSE(r.fault);
  ASSERT_EQ(r.t.segments.size(), 3u);
  EXPECT_EQ(r.t.segments[0].count, 1);
  EXPECT_EQ(r.t.segments[1].count, 0);  // damaged: its atoms count in nothing
  EXPECT_EQ(r.t.segments[2].count, 1);
  EXPECT_EQ(r.t.segments[2].skipped, 1);  // the pseudo-atom
  ASSERT_EQ(r.notes.damaged.size(), 1u);
  EXPECT_EQ(r.notes.damaged[0].record, 2);
  EXPECT_EQ(r.notes.damaged[0].lineno, 13);
  EXPECT_FLOAT_EQ(r.t.atoms[1].mass, 35.45f);
  EXPECT_EQ(r.errors, " Unknown atom type *\n");

  ReadingRules only_third;
  only_third.selection.model = 3;
  only_third.masses = MassSource::unit;
  Reading third(Format::sdf, sdf, only_third);
  ASSERT_EQ(third.t.segments.size(), 1u);
  EXPECT_EQ(third.t.segments[0].model, 3);
  EXPECT_TRUE(third.notes.damaged.empty());  // record 2 is not read for its atoms
  EXPECT_EQ(third.t.atoms[0].mass, 1.0f);
}

// An isotope line names atoms by their place in the record, counting the
// atoms that are not taken (a pseudo-atom, an unselected one) too.
TEST(MoleculeReading, IsotopesFindTheirAtomsPastSkippedOnes) {
  const std::string sdf =
      "i\n  x          3D\n\n  4  0  0  0  0  0  0  0  0  0999 V2000\n"
      "    1.0000    2.0000    3.0000 R#  0  0\n    1.0000    2.0000    3.0000 C   0  0\n"
      "    1.0000    2.0000    3.0000 H   0  0\n    1.0000    2.0000    3.0000 C   0  0\n"
      "M  ISO  3   1  13   2  13   3   2\nM  END\n$$$$\n";
  for (const char* selection : {"", "not name H"}) {
    ReadingRules rules;
    std::string error;
    if (*selection != 0) rules.selection.expression = SelectExpression::parse(selection, error);
    Reading r(Format::sdf, sdf, rules);
    const bool all = *selection == 0;
    ASSERT_EQ(r.t.count, all ? 3 : 2) << selection;
    EXPECT_FLOAT_EQ(r.t.atoms[0].mass, 13.003355f) << selection;  // atom 2, 13C
    if (all) {
      EXPECT_FLOAT_EQ(r.t.atoms[1].mass, 2.0141018f);  // atom 3, deuterium
    }
    EXPECT_FLOAT_EQ(r.t.atoms[all ? 2 : 1].mass, 12.01115f) << selection;
  }
}

TEST(MoleculeReading, FramesStopAtDamageAndTheTableLimitHolds) {
  Reading xyz(Format::xyz, "1\na\nC 0 0 0\n1\nb\nC 0 0 x\n1\nc\nC 0 0 0\n");
  EXPECT_FALSE(xyz.fault);
  ASSERT_EQ(xyz.notes.damaged.size(), 1u);
  EXPECT_EQ(xyz.notes.damaged[0].record, 2);
  EXPECT_EQ(xyz.t.count, 1);  // frame 3 is never read

  AtomTable small(2, false);
  ReadNotes notes;
  Sink err(-1, "stderr");
  const std::string three = "3\nwater\nO 0 0 0\nH 0.7 0.6 0\nH -0.7 0.6 0\n";
  RecordCursor cur(three);
  const PassFault full = read_molecule_atoms(Format::xyz, cur, small, notes, err, {});
  EXPECT_EQ(full.kind, PassFault::Kind::full);
}

}  // namespace
}  // namespace gyro

namespace gyro {
namespace {

// What a streamed reading hands on: each record with its atoms, its name and
// whether it is flat, the table emptied between records.
struct Recorded : RecordSink {
  std::vector<std::string> seen;
  AtomTable* t = nullptr;
  void record_done(const Segment& s, std::string_view name, bool flat,
                   const std::optional<Box>&) override {
    seen.push_back(std::to_string(s.model) + " " + std::string(name) + " atoms " +
                   std::to_string(s.count) + " first " + std::to_string(s.first) +
                   (flat ? " flat" : "") + " table " + std::to_string(t->count));
  }
  void damaged(const RecordDamage& d) override {
    seen.push_back(std::to_string(d.record) + " damaged at line " + std::to_string(d.lineno));
  }
};

TEST(MoleculeReading, RecordsStreamOneAtATime) {
  const std::string gro =
      "first\n    2\n    1LIG     C1    1   0.000   0.000   0.000\n"
      "    1LIG     O1    2   0.120   0.000   0.100\n   1.0 1.0 1.0\n"
      "second\n    1\n    1NA      NA    1   0.000   0.000   0.000\n   1.0 1.0 1.0\n"
      "third\n    1\n    1NA      NA    1   0.000   0.0x0   0.000\n   1.0 1.0 1.0\n";
  AtomTable table(2, false);
  ReadNotes notes;
  Sink err(-1, "stderr");
  Recorded sink;
  sink.t = &table;
  RecordCursor cur(gro);
  const PassFault fault = read_molecule_atoms(Format::gro, cur, table, notes, err, {}, &sink);
  EXPECT_FALSE(fault);
  EXPECT_EQ(sink.seen, (std::vector<std::string>{"1 first atoms 2 first 0 table 2",
                                                  "2 second atoms 1 first 0 table 1",
                                                  "3 damaged at line 12"}));
  EXPECT_EQ(notes.records_accepted, 3);
  EXPECT_FLOAT_EQ(table.atoms[0].mass, 22.990f);  // the ion's element, not nitrogen
}

}  // namespace
}  // namespace gyro

namespace gyro {
namespace {

// The box of an extended XYZ comment: nine numbers in Lattice="...", else none.
TEST(MoleculeText, XyzLattice) {
  const struct {
    const char* comment;
    bool box;
    double a_x, c_z;
  } cases[] = {
      {"Lattice=\"10 0 0 0 11 0 0 0 12\" Properties=species:S:1:pos:R:3", true, 10, 12},
      {"pbc=\"T T T\" Lattice=\"5.5 0 0 1 6 0 0 0 7.25\"", true, 5.5, 7.25},
      {"Lattice=\"10 0 0 0 11 0\"", false, 0, 0},
      {"Lattice=\"10 0 0 0 11 0 0 0 x\"", false, 0, 0},
      {"Lattice=\"1 0 0 2 0 0 0 0 1\"", false, 0, 0},  // no volume
      {"a plain comment", false, 0, 0},
  };
  for (const auto& c : cases) {
    const std::optional<Box> box = xyz::lattice_of(c.comment);
    ASSERT_EQ(box.has_value(), c.box) << c.comment;
    if (!c.box) continue;
    EXPECT_EQ(box->edge[0][0], c.a_x) << c.comment;
    EXPECT_EQ(box->edge[2][2], c.c_z) << c.comment;
  }
}

// Extended XYZ columns: species and position found wherever Properties= puts them.
TEST(MoleculeText, XyzPropertiesColumns) {
  const struct {
    const char* comment;
    std::size_t species, x, count;
  } cases[] = {
      {"Properties=species:S:1:pos:R:3", 0, 1, 4},
      {"Properties=id:I:1:species:S:1:pos:R:3:forces:R:3", 1, 2, 8},
      {"Properties=pos:R:3:species:S:1", 3, 0, 4},
      {"properties=species:S:1:velo:R:3:pos:R:3", 0, 4, 7},
      {"Properties=pos:R:3", 0, 1, 4},  // no species column: the plain layout
  };
  for (const auto& c : cases) {
    const xyz::Columns got = xyz::columns_of(c.comment);
    EXPECT_EQ(got.species, c.species) << c.comment;
    EXPECT_EQ(got.x, c.x) << c.comment;
    EXPECT_EQ(got.count, c.count) << c.comment;
  }
}

// Reading each format of the same two atoms gives the same masses and
// coordinates (SDF, MOL2, XYZ; GRO in nm).
// The reading without --select takes usual lines by position and element
// alone; with a selection of every atom it takes each line in full. Both
// read the same atoms, masses, skipped atoms and damage: random GRO frames
// (ions, virtual sites, velocities, trailing blanks, cut lines) and SDF
// records (pseudo-atoms, unknown symbols, isotopes, unusual fields).
TEST(MoleculeReading, PositionsAloneReadWhatTheFullLinesRead) {
  std::mt19937 rng(7);
  auto pick = [&](std::initializer_list<const char*> words) {
    return *(words.begin() + rng() % words.size());
  };
  auto coordinate = [&] { return static_cast<double>(rng() % 200000) / 1000.0 - 99; };
  auto gro = [&] {
    std::string text;
    for (int frame = 0, atoms = static_cast<int>(rng() % 12); frame < 2; ++frame) {
      text += "frame\n" + std::to_string(atoms) + "\n";
      for (int a = 0, residue = 1; a < atoms; ++a) {
        residue += rng() % 3 == 0;
        char line[96];
        std::snprintf(line, sizeof line, "%5d%-5s%5s%5d%8.3f%8.3f%8.3f", residue,
                      pick({"SOL", "NA", "CL", "MOL", "ZN"}),
                      pick({"OW", "HW1", "MW", "NA", "CL", "1HB", "CA", "x"}), a + 1, coordinate(),
                      coordinate(), 1.5);
        std::string l = line;
        if (rng() % 5 == 0) l += "  0.1000 -0.2000  0.3000";
        if (rng() % 10 == 0) l += "  ";
        if (rng() % 30 == 0) l.resize(40);
        text += l + (rng() % 40 == 0 ? "\r\n" : "\n");
      }
      text += "   9.0 9.0 9.0\n";
    }
    return text;
  };
  auto sdf = [&] {
    std::string text;
    for (int record = 0; record < 2; ++record) {
      const int atoms = static_cast<int>(rng() % 8), bonds = static_cast<int>(rng() % 5);
      text += "m\n  x          3D\n\n  " + std::to_string(atoms) + "  " + std::to_string(bonds) +
              "  0  0  0  0  0  0  0  0999 V2000\n";
      for (int a = 0; a < atoms; ++a) {
        char line[96];
        std::snprintf(
            line, sizeof line,
            rng() % 8 == 0 ? "%10.2f%10.4f%10.4f %-3s 0  0\n" : "%10.4f%10.4f%10.4f %-3s 0  0\n",
            coordinate(), coordinate(), 0.0, pick({"C", "Cl", "H", "R#", "*", "Xx", "Br"}));
        text += line;
      }
      for (int b = 0; b < bonds; ++b)
        text += pick({"  1  2  1  0  0  0  0\n", "  1  2  1  0\n", "  1  2  1  0  0  0  0\r\n"});
      if (atoms > 1 && rng() % 2 == 0) text += "M  ISO  2   1  13   2   2\n";
      text += "M  END\n$$$$\n";
    }
    return text;
  };
  std::string error;
  ReadingRules every;
  every.selection.expression = SelectExpression::parse("all", error);
  for (int k = 0; k < 600; ++k) {
    const Format format = k % 2 == 0 ? Format::gro : Format::sdf;
    const std::string text = format == Format::gro ? gro() : sdf();
    Reading quick(format, text), full(format, text, every);
    ASSERT_EQ(quick.t.count, full.t.count) << text;
    for (std::int64_t i = 0; i < quick.t.count; ++i) {
      const Atom &a = quick.t.atoms[static_cast<std::size_t>(i)],
                 &b = full.t.atoms[static_cast<std::size_t>(i)];
      ASSERT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z && a.mass == b.mass) << text;
    }
    EXPECT_EQ(quick.t.skipped, full.t.skipped) << text;
    EXPECT_EQ(quick.notes.damaged.size(), full.notes.damaged.size()) << text;
    EXPECT_EQ(quick.errors, full.errors) << text;
  }
}

TEST(LineReader, PassesTheLinesOfOneLengthAndStopsAtTheFirstOther) {
  const std::string bond = "  1  2  1  0  0  0  0\n", wide(40, 'b');
  const struct {
    std::string text;
    std::size_t length;
    std::int64_t most, passed;
  } cases[] = {
      {bond + bond + bond + "M  END\n" + std::string(40, ' '), 21, 5, 3},
      {bond + bond + bond + "M  END\n" + std::string(40, ' '), 21, 2, 2},
      {bond + "  1  3  1  0\n" + bond + std::string(40, ' '), 21, 5, 1},      // a shorter line
      {bond + "  1  2  1  0  0  0  0\r\n" + std::string(40, ' '), 21, 5, 1},  // CR LF
      {bond + "  1  2  1  0  0  0  00\n" + std::string(40, ' '), 21, 5, 1},   // longer
      {wide + "\n" + wide + "\n" + wide + "x\n" + std::string(40, ' '), 40, 9, 2},
      {bond + bond, 21, 5, 1},  // the last too near the end of the text for one look
  };
  for (const auto& c : cases) {
    RecordCursor cur(c.text);
    LineReader in(cur);
    EXPECT_EQ(in.pass_lines_of_length(c.length, c.most), vectors::wide() ? c.passed : 0) << c.text;
    std::string_view line;
    ASSERT_TRUE(in.next(line));
    const std::int64_t passed = vectors::wide() ? c.passed : 0;
    EXPECT_EQ(in.lineno(), passed + 1) << c.text;
    EXPECT_EQ(line.data() - c.text.data(), passed * static_cast<std::int64_t>(c.length + 1))
        << c.text;
  }
}

TEST(MoleculeReading, EveryFormatReadsTheSameAtoms) {
  const struct {
    Format format;
    const char* text;
    float scale;
  } cases[] = {
      {Format::sdf,
       "w\n  x          3D\n\n  2  0  0  0  0  0  0  0  0  0999 V2000\n"
       "    1.2500    0.0000    0.5000 O   0  0\n   -1.0000    2.0000    0.0000 Cl  0  0\n"
       "M  END\n$$$$\n",
       1},
      {Format::mol2,
       "@<TRIPOS>MOLECULE\nw\n2 0\n@<TRIPOS>ATOM\n1 O1 1.25 0.0 0.5 O.3\n2 CL -1.0 2.0 0.0 Cl\n",
       1},
      {Format::xyz, "2\nw\no 1.25 0 0.5\n17 -1 2 0\n", 1},
      {Format::gro,
       "w\n    2\n    1HOH     OW    1   0.125   0.000   0.050\n"
       "    2CL      CL    2  -0.100   0.200   0.000\n   1.0 1.0 1.0\n",
       10},
  };
  for (const auto& c : cases) {
    Reading r(c.format, c.text);
    EXPECT_FALSE(r.fault);
    ASSERT_EQ(r.t.count, 2) << c.text;
    EXPECT_FLOAT_EQ(r.t.atoms[0].mass, 15.9994f) << c.text;
    EXPECT_FLOAT_EQ(r.t.atoms[1].mass, 35.45f) << c.text;
    EXPECT_FLOAT_EQ(r.t.atoms[0].x * c.scale, 1.25f) << c.text;
    EXPECT_FLOAT_EQ(r.t.atoms[1].y * c.scale, 2.0f) << c.text;
  }
}

}  // namespace
}  // namespace gyro
