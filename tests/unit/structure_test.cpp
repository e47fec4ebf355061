// Mass rules, the reading pass and the writing pass.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "analysis/rigid.hpp"
#include "formats/mmcif/batches.hpp"
#include "formats/mmcif/mmcif.hpp"
#include "formats/mmcif/values.hpp"
#include "formats/pdb/reader.hpp"
#include "formats/pdb/writer.hpp"
#include "text/source.hpp"
#include "unit/vector_width.hpp"

namespace gyro {
namespace {

// An atom record with the name in columns 13-16 and the three coordinates.
std::string atom(int serial, const char* name, const char* x, const char* y, const char* z,
                 const char* kind = "ATOM  ") {
  char buf[100];
  std::snprintf(buf, sizeof buf, "%-6s%5d %-4s GLY A   1    %8s%8s%8s  1.00  0.00\n", kind, serial,
                name, x, y, z);
  return buf;
}

PassFault read_text(std::string_view text, AtomTable& t, Sink& err, ReadNotes* notes = nullptr) {
  RecordCursor cur(text);
  ReadNotes ignored;
  return read_pdb_atoms(cur, t, notes ? *notes : ignored, err, {}, false);
}

TEST(AtomMass, FirstMatchingRuleDecides) {
  struct Case { const char* name; float want; };  // 0: no mass, skipped
  const Case cases[] = {
      {"H   ", 1.00797f}, {"1HB ", 1.00797f}, {"2HG1", 1.00797f}, {"CH3 ", 1.00797f},
      {" HA ", 1.00797f}, {"HO5'", 1.00797f}, {" CA ", 12.01115f}, {"CA  ", 12.01115f},
      {"CL  ", 12.01115f}, {" CL ", 12.01115f}, {" N  ", 14.0067f}, {"NA  ", 14.0067f},
      {" O  ", 15.9994f}, {"OXT ", 15.9994f}, {" SE ", 32.06f}, {"SD  ", 32.06f},
      {" P  ", 30.974f}, {"FE  ", 55.847f}, {" FE ", 55.847f}, {"ZN  ", 0}, {"MG  ", 0},
      {"ca  ", 0}, {"  FE", 0}, {"   C", 0}, {"  OW", 0}, {"1C  ", 0}, {"F   ", 0}, {" F E", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(atom_mass(c.name), c.want) << c.name;
}

TEST(ElementColumn, SymbolsRightOrLeftInAnyCase) {
  struct Case { const char* symbol; float want; };  // 0: no element, -1: blank
  const Case cases[] = {
      {" C", 12.01115f}, {"C ", 12.01115f}, {"CA", 40.078f}, {"Ca", 40.078f}, {"ca", 40.078f},
      {"FE", 55.847f}, {" H", 1.00797f}, {" D", 2.0141f}, {"SE", 78.971f}, {"  ", -1},
      {"XX", 0}, {"C1", 0}, {"1C", 0}, {"Q ", 0}, {"\xc3\x91", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(static_cast<float>(element_column_mass(c.symbol)), c.want) << c.symbol;
  // In double precision the masses of the name rules are the doubles nearest to
  // their decimals, and those doubles round to the name rules' floats.
  for (int e = mass_rules::hydrogen; e <= mass_rules::iron; ++e)
    EXPECT_EQ(static_cast<float>(mass_rules::mass_of_double[e]), mass_rules::mass_of[e]) << e;
  EXPECT_EQ(element_column_mass(" C"), 12.01115);
  EXPECT_EQ(element_column_mass("CA"), 40.078);
}

RUN_AT_EVERY_VECTOR_WIDTH(DoubleFields);

// In double precision every coordinate is the double nearest to its decimal
// text, whichever reader takes the record: the usual layout (through the
// floats' thousandths, 128- or 256-bit vectors) or the general conversion.
TEST_P(DoubleFields, NearestDoubleToTheText) {
  std::mt19937 gen(99);
  for (int trial = 0; trial < 100000; ++trial) {
    char line[81];
    const int decimals = trial % 5 == 0 ? 1 + static_cast<int>(gen() % 4) : 3;
    char fields[3][16];
    for (auto& f : fields) {
      const double v = (static_cast<double>(gen() % 20000001) - 10000000) / 1000.0;
      std::snprintf(f, sizeof f, "%8.*f", decimals, decimals == 3 ? v : v / 10);
    }
    std::snprintf(line, sizeof line, "ATOM  %5d  CA  GLY A   1    %.8s%.8s%.8s  1.00  0.00",
                  trial % 100000, fields[0], fields[1], fields[2]);
    double xyz[3];
    FieldFault bad;
    ASSERT_TRUE(atom_fields_double(line, xyz, bad, false)) << line;
    for (int k = 0; k < 3; ++k) {
      std::string text(line + 30 + 8 * k, 8);
      std::erase(text, ' ');
      EXPECT_EQ(xyz[k], std::strtod(text.c_str(), nullptr)) << text;
    }
  }
}

// type_symbol: one or two letters of either case; anything else has no mass.
TEST(ElementSymbol, LettersOfEitherCase) {
  struct Case { std::string_view symbol; double want; };
  const Case cases[] = {
      {"C", element_column_mass(" C")}, {"c", element_column_mass(" C")},
      {"Ca", element_column_mass("CA")}, {"cA", element_column_mass("CA")},
      {"ZN", element_column_mass("ZN")}, {"D", 2.0141}, {"Xx", 0}, {"C1", 0}, {"1", 0},
      {"", 0}, {"?", 0}, {".", 0}, {"CAL", 0}, {"\xc3\x91", 0}, {"Q", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(element_symbol_mass(c.symbol), c.want) << c.symbol;
}

// An _atom_site loop of `rows` rows in aligned columns (as the archive writes
// them, so that rows are read 64 at a time where they stand; wider than 64
// bytes, as its rows are), the x value of row i being xs[i % xs.size()], the
// y value "2.000" and the z value "-3.500".
std::string aligned_loop(const std::vector<std::string>& xs, int rows, bool model_column) {
  std::size_t width = 0;
  for (const auto& x : xs) width = std::max(width, x.size());
  std::string text = "data_t\nloop_\n_atom_site.id\n_atom_site.type_symbol\n"
                     "_atom_site.Cartn_x\n_atom_site.Cartn_y\n_atom_site.Cartn_z\n"
                     "_atom_site.auth_comp_id\n";
  if (model_column) text += "_atom_site.pdbx_PDB_model_num\n";
  for (int i = 0; i < rows; ++i) {
    std::string x = xs[static_cast<std::size_t>(i) % xs.size()];
    x.resize(width, ' ');
    char id[16];
    std::snprintf(id, sizeof id, "%-6d", i + 1);
    text += std::string(id) + " C " + x + " 2.000 -3.500 " + std::string(40, 'A') +
            (model_column ? " 1 \n" : " \n");
  }
  return text + "#\n";
}

RUN_AT_EVERY_VECTOR_WIDTH(MmcifReading);

// Coordinates in every form a file may hold, in long loops: each the float
// (or double) nearest to its decimal, whether the form is the archive's
// (5 to 8 bytes, 3 decimals) or any other; and the same whether or not the
// loop has a model column.
TEST_P(MmcifReading, CoordinatesOfEveryFormInLongLoops) {
  const std::vector<std::string> xs = {
      "0.000",    "-0.000",   "1.095",     "-12.345",  "123.456",  "-123.456", "1234.567",
      "-999.999", "9999.999", "-1000.000", "1234.5678", "12345.678", "1.5",     "-1.25",
      "5.",       ".5",       "-.5",       "1e3",      "0001.000", "-0.0005",  "17.04712"};
  for (const bool model_column : {false, true})
    for (const bool in_double : {false, true}) {
      const int rows = 300;
      const std::string text = aligned_loop(xs, rows, model_column);
      RecordCursor cur(text);
      AtomTable t(max_atoms, in_double);
      ReadNotes notes;
      Sink err(-1, "err");
      const Selection sel;
      ASSERT_FALSE(read_mmcif_atoms(cur, t, notes, err, sel, false));
      ASSERT_EQ(t.count, rows);
      for (int i = 0; i < rows; ++i) {
        const std::string& x = xs[static_cast<std::size_t>(i) % xs.size()];
        const auto k = static_cast<std::size_t>(i);
        if (in_double) {
          EXPECT_EQ(t.atoms_double[k].x, std::strtod(x.c_str(), nullptr)) << x << " row " << i;
          EXPECT_EQ(t.atoms_double[k].z, -3.5);
        } else {
          EXPECT_EQ(t.atoms[k].x, std::strtof(x.c_str(), nullptr)) << x << " row " << i;
          EXPECT_EQ(t.atoms[k].y, 2.0f);
          EXPECT_EQ(t.atoms[k].mass, static_cast<float>(element_column_mass(" C")));
        }
      }
    }
}

// Streamed in blocks of any size, a long loop whose coordinates have two
// decimals (read value by value, the line's masks found when asked for) reads
// each row's own values, though a later row may stand where an earlier one
// stood in the cursor's memory.
TEST_P(MmcifReading, RowsOfEveryBlockReadTheirOwnValues) {
  std::vector<std::string> xs;
  for (int i = 0; i < 50; ++i) xs.push_back(std::to_string(i * i * i % 1000) + ".25");
  const std::string text = aligned_loop(xs, 2000, true);
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), f), text.size());
  std::fflush(f);
  for (const std::size_t block : {std::size_t{300}, std::size_t{360}, std::size_t{420},
                                  std::size_t{1000}, std::size_t{1} << 17}) {
    std::rewind(f);
    TextSource source(::dup(fileno(f)), false);
    ASSERT_TRUE(source.start());
    RecordCursor cur(source, block);
    AtomTable t;
    ReadNotes notes;
    Sink err(-1, "err");
    const Selection sel;
    ASSERT_FALSE(read_mmcif_atoms(cur, t, notes, err, sel, false)) << block;
    ASSERT_EQ(t.count, 2000);
    for (std::size_t k = 0; k < 2000; ++k)
      ASSERT_EQ(t.atoms[k].x, std::strtof(xs[k % xs.size()].c_str(), nullptr))
          << "row " << k << ", blocks of " << block;
  }
  std::fclose(f);
}

// Rows of every layout a writer may give them, in one loop: runs of rows
// aligned in columns of changing widths, rows with one blank, several blanks or
// tabs between values, names quoted for their primes, values longer than 8
// bytes, coordinates of the archive's form and of others, lines of one to
// three 64-byte words, some ended by CRLF, and runs of rows whose values stand
// alike though not aligned. `comment`: each row ends with a
// comment, so that no row is read as a plain line (the reading value by value
// that every row could take).
std::string rows_of_every_layout(bool comment) {
  std::mt19937 random(7);
  auto pick = [&](std::initializer_list<const char*> from) {
    return std::string(*(from.begin() + random() % from.size()));
  };
  std::string text =
      "data_t\nloop_\n_atom_site.group_PDB\n_atom_site.id\n"
      "_atom_site.type_symbol\n_atom_site.label_atom_id\n_atom_site.label_alt_id\n"
      "_atom_site.Cartn_x\n_atom_site.Cartn_y\n_atom_site.Cartn_z\n"
      "_atom_site.details\n_atom_site.pdbx_PDB_model_num\n";
  int widths[6] = {0, 0, 0, 0, 0, 0};  // of the columns of an aligned run (0: none)
  bool alike = false;                  // a run whose rows stand alike without alignment
  for (int i = 0; i < 1500; ++i) {
    if (i % 100 == 0) {  // a run aligned (widths), or not
      for (int& w : widths) w = random() % 2 ? 0 : 9 + static_cast<int>(random() % 4);
      alike = random() % 3 == 0;
    }
    const std::string values[] = {
        pick({"ATOM", "HETATM"}),
        std::to_string(random() % 2 || alike ? 100000 + i : i + 1),
        alike ? pick({"C", "N"}) : pick({"C", "N", "O", "FE", "Se", "ABCDEFGHIJ"}),
        alike ? pick({"CA", "CB"}) : pick({"CA", "\"O5'\"", "'C1\"'", "N", "HO5'", "CLONGNAME1"}),
        alike ? "." : pick({".", "A", "?", "B"}),
        alike ? pick({"-12.345", "-45.678"})
              : pick({"-12.345", "1.095", "123.456", "-999.999", "1.5", "1234.5678", "-0.0005",
                      "17.04712"}),
        alike ? "22.250" : pick({"0.000", "-1.000", "9999.999", "22.25", ".5"}),
        alike ? pick({"2.500", "3.500"}) : pick({"2.500", "-3.500", "-123.456", "7"}),
        std::string(alike               ? 5
                    : random() % 3 == 0 ? 1 + random() % 150
                                        : 1 + random() % 8,
                    'd'),
        alike ? "1" : pick({"1", "2", "1"}),
    };
    std::string line;
    for (std::size_t k = 0; k < std::size(values); ++k) {
      std::string v = values[k];
      const int w = k >= 3 && k < 9 ? widths[k - 3] : 0;
      if (w > 0 && static_cast<int>(v.size()) < w) v.resize(static_cast<std::size_t>(w), ' ');
      line += v;
      if (k + 1 < std::size(values)) line += alike ? " " : pick({" ", " ", "  ", "\t", " \t "});
    }
    if (comment) line += " # row";
    text += line + (i % 37 == 5 ? "\r\n" : "\n");
  }
  return text + "#\n";
}

// The rows of `plain` read as those of `general` (the same rows, each ended
// by the comment " # row", so read value by value), in either precision, at
// least `least` atoms; and their copies, moved, are the same but for the
// comments.
void expect_plain_reads_as_general(const std::string& plain, const std::string& general,
                                   int least) {
  auto copy_of = [](const std::string& text, const Frame& frame) {
    RecordCursor cur(text);
    Sink out(-1, "out");
    EXPECT_FALSE(write_mmcif(cur, true, frame, out).fault);
    std::string copy(out.held());
    for (std::size_t at; (at = copy.find(" # row")) != std::string::npos;) copy.erase(at, 6);
    return copy;
  };
  for (const bool in_double : {false, true}) {
    AtomTable a(max_atoms, in_double), b(max_atoms, in_double);
    ReadNotes notes_a, notes_b;
    Sink err(-1, "err");
    const Selection sel;
    RecordCursor cur_a(plain), cur_b(general);
    ASSERT_FALSE(read_mmcif_atoms(cur_a, a, notes_a, err, sel, false));
    ASSERT_FALSE(read_mmcif_atoms(cur_b, b, notes_b, err, sel, false));
    ASSERT_EQ(a.count, b.count);
    ASSERT_GE(a.count, least);
    EXPECT_EQ(notes_a.alternate_locations, notes_b.alternate_locations);
    EXPECT_EQ(a.segments.size(), b.segments.size());
    for (std::size_t k = 0; k < static_cast<std::size_t>(a.count); ++k) {
      if (in_double) {
        ASSERT_EQ(std::memcmp(&a.atoms_double[k], &b.atoms_double[k], sizeof(AtomD)), 0) << k;
      } else {
        ASSERT_EQ(std::memcmp(&a.atoms[k], &b.atoms[k], sizeof(Atom)), 0) << k;
      }
    }
    if (in_double) continue;
    float mass, moments[3];
    Mat3 axes;
    const Vec3 centre = centre_of_mass(a.accepted(), mass);
    ASSERT_EQ(principal_frame(a.accepted(), centre, moments, axes), 0);
    for (const Frame& frame : {Frame(centre, false, axes), Frame(centre, true, axes)})
      EXPECT_EQ(copy_of(plain, frame), copy_of(general, frame));
  }
}

// Every row of rows_of_every_layout reads as it does value by value, in
// either precision; and its copy, moved, is the same but for the comments.
TEST_P(MmcifReading, PlainRowsOfEveryLayoutAsValueByValue) {
  expect_plain_reads_as_general(rows_of_every_layout(false), rows_of_every_layout(true), 1000);
}

// An _atom_site loop of the columns group_PDB, id, type_symbol, x, y, z,
// details and model, a row a line (each ended by `end`).
std::string short_loop(const std::vector<std::string>& rows, const std::string& end) {
  std::string text =
      "data_t\nloop_\n_atom_site.group_PDB\n_atom_site.id\n_atom_site.type_symbol\n"
      "_atom_site.Cartn_x\n_atom_site.Cartn_y\n_atom_site.Cartn_z\n_atom_site.details\n"
      "_atom_site.pdbx_PDB_model_num\n";
  for (const std::string& row : rows) text += row + end;
  return text + "#\n";
}

// The kind of a line of two 64-byte words in the table of places a batch
// keeps (by where its values begin).
unsigned kind_of(const std::string& line) {
  std::uint64_t starts[2] = {0, 0};
  for (std::size_t i = 0; i < line.size(); ++i)
    if (line[i] != ' ' && (i == 0 || line[i - 1] == ' '))
      starts[i / 64] |= std::uint64_t{1} << (i % 64);
  return cif::OwnPlaces::kind(starts);
}

// Rows that stand alike in their first 64 bytes but not after, of one kind
// in the table of places a batch keeps (a hash of where their values
// begin), each read by its own places; and rows whose x, y and z stand across
// the first two 64-byte words, copied as value by value.
TEST_P(MmcifReading, RowsOfOneKindAndRowsAcrossWordsReadTheirOwnPlaces) {
  const std::string prefix = "ATOM 1 C 1.000 2.000 3.000 ";
  auto row = [&](std::size_t details) { return prefix + std::string(details, 'x') + " 1"; };
  std::size_t first = 0, second = 0;  // lengths of details that give rows of one kind
  for (std::size_t a = 40; a < 98 && second == 0; ++a)
    for (std::size_t b = a + 1; b < 98 && second == 0; ++b)
      if (kind_of(row(a)) == kind_of(row(b))) first = a, second = b;
  ASSERT_NE(second, 0u);
  std::vector<std::string> rows;
  for (int i = 0; i < 300; ++i)
    rows.push_back(i % 3 == 0 ? "HETATM 10 O 1.5 2.5 3.5 " + std::string(50, 'y') + " 1"
                              : row(i % 3 == 1 ? first : second));
  expect_plain_reads_as_general(short_loop(rows, "\n"), short_loop(rows, " # row\n"), 300);
  // x from byte 50 or so, each line of two words: y and z in the first word,
  // or in the second.
  const char* coordinates[] = {"1.000", "-12.345", "123.456", "-1234.567", "7.5"};
  rows.clear();
  for (int i = 0; i < 300; ++i)
    rows.push_back("ATOM " + std::to_string(i + 1) + " C" + std::string(41 + i % 7, ' ') +
                   coordinates[i % 5] + " " + coordinates[(i / 5) % 5] + " " +
                   coordinates[(i / 25) % 5] + " " + std::string(1 + i % 11, 'd') + " 1");
  expect_plain_reads_as_general(short_loop(rows, "\n"), short_loop(rows, " # row\n"), 300);
}

// A row split over two lines, its first line standing as the first two
// 64-byte words of the longer rows around it stand (they take three), after
// a short row: read as the value-by-value reading reads it, not by their
// places.
TEST_P(MmcifReading, RowSplitWhereLongerRowsStand) {
  auto loop = [](bool comment) {
    const std::string end = comment ? " # row\n" : "\n", row = "1 C 1.000 2.000 3.000 ";
    std::string text =
        "data_t\nloop_\n_atom_site.id\n_atom_site.type_symbol\n"
        "_atom_site.Cartn_x\n_atom_site.Cartn_y\n_atom_site.Cartn_z\n"
        "_atom_site.auth_comp_id\n_atom_site.pdbx_PDB_model_num\n";
    for (int i = 0; i < 200; ++i) {
      const std::string model = std::to_string(1 + i % 3);  // (from byte 129, or a line)
      if (i % 5 == 3)
        text += row + std::string(100, 'A') + end + model + end;
      else
        text += row + std::string(i % 5 == 2 ? 60 : 106, 'A') + " " + model + end;
    }
    return text + "#\n";
  };
  expect_plain_reads_as_general(loop(false), loop(true), 200);
}

// Values of an mmCIF line: blanks and tabs between them, quotes that close only
// before a blank or the end, a comment after them.
TEST(CifValues, SplitsQuotesAndComments) {
  struct Case { std::string_view line; std::vector<std::string> want; };
  const Case cases[] = {
      {"ATOM 1 C 'C A' . 1.5", {"ATOM", "1", "C", "C A", ".", "1.5"}},
      {"  x\ty  # a comment 'z'", {"x", "y"}},
      {"'it''s' \"say \"hi\"\" b", {"it''s", "say \"hi\"", "b"}},
      {"a#b 'c#d' #e", {"a#b", "c#d"}},
      {"", {}},
      {"ATOM 1 C CA . GLY\t1.5\r", {"ATOM", "1", "C", "CA", ".", "GLY", "1.5"}},
  };
  std::vector<CifValue> values;
  for (const auto& c : cases) {
    ASSERT_TRUE(cif_values(c.line, values)) << c.line;
    std::vector<std::string> got;
    for (const CifValue& v : values) got.emplace_back(c.line.substr(v.begin, v.end - v.begin));
    EXPECT_EQ(got, c.want) << c.line;
  }
  EXPECT_FALSE(cif_values("1 2 'open", values));
  // Lines of every length around the 16-byte steps and the 256-byte limit of
  // the quick split: the same values as the general one gives.
  for (std::size_t length = 1; length < 300; ++length) {
    std::string line;
    for (std::size_t k = 0; line.size() < length; ++k) line += (k % 3 == 0 ? "  " : "ab ");
    line.resize(length);
    ASSERT_TRUE(cif_values(line, values));
    std::size_t words = 0;
    for (const CifValue& v : values) {
      EXPECT_EQ(line.substr(v.begin, v.end - v.begin).find(' '), std::string::npos);
      words += v.end - v.begin;
    }
    EXPECT_EQ(words, static_cast<std::size_t>(std::count(line.begin(), line.end(), 'a') +
                                              std::count(line.begin(), line.end(), 'b')));
  }
}

// A standard uncertainty in parentheses is no part of the value.
TEST(CifNumbers, UncertaintyLeftOut) {
  struct Case { std::string_view text; float want; bool ok; };
  const Case cases[] = {{"1.000(3)", 1.0f, true},   {"-12.5(12)", -12.5f, true}, {"7(1)", 7.0f, true},
                        {"1.000()", 0, false},     {"1.0(x)", 0, false},        {"(3)", 0, false},
                        {"1.000", 1.0f, true},     {"?", 0, false}};
  for (const auto& c : cases) {
    float v = 0;
    EXPECT_EQ(cif::coordinate(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.want) << c.text;
    }
  }
}

TEST(SerialField, FormsOfSimulationPrograms) {
  for (const char* ok : {"186a0", "FFFFF", "  1ab", "A0000", "ZZZZZ", "a0000", "zzzz9", "*****"})
    EXPECT_TRUE(simulation_serial(ok)) << ok;
  for (const char* bad : {"1x2-3", "Ag000", "aG000", "A000g", "**1**", "     ", "-1234", "12 34"})
    EXPECT_FALSE(simulation_serial(bad)) << bad;
}
RUN_AT_EVERY_VECTOR_WIDTH(ReadAtoms);


// Serial numbers of every form, with and without --max-atoms (which admits
// the forms of simulation programs): the reading loop, whatever its vectors,
// accepts a record exactly when the general conversion does.
TEST_P(ReadAtoms, EverySerialFormAsTheGeneralConversionReadsIt) {
  std::vector<std::string> serials = {"    1", "99999", "A0000", "AJAG0", "ZZZZZ", "a0000",
                                      "zzzzz", "186a0", "FFFFF", "  1ab", "*****", " A000",
                                      "A 000", "A000a", "a000A", "A:000", "A@000", "[0000",
                                      "-1234", "12 34", "     ", "A000 ", "1A000", "**1**"};
  std::mt19937 rng(33);
  const std::string_view alphabet = " 0123456789AFGZ[@:afgz{`*-x";
  for (int k = 0; k < 1500; ++k) {
    std::string s(5, ' ');
    for (char& c : s) c = alphabet[rng() % alphabet.size()];
    if (k % 3 == 0) s[0] = "AZaz"[rng() % 4];
    serials.push_back(s);
  }
  for (const bool simulation : {false, true}) {
    ReadingRules rules;
    if (simulation) rules.max_atoms = 1000;
    for (const std::string& serial : serials) {
      const std::string line = "ATOM  " + serial + "  CA  GLY A   1      -1.500  22.250   3.125\n";
      std::string padded = line.substr(0, line.size() - 1);
      padded.resize(80, ' ');
      float want[4];
      FieldFault fault;
      const bool general = any_atom_fields(padded.c_str(), want, fault, simulation);
      AtomTable t;
      Sink err(-1, "err");
      ReadNotes notes;
      RecordCursor cur(line);
      const PassFault f = read_pdb_atoms(cur, t, notes, err, rules, false);
      EXPECT_EQ(!f, general) << '"' << serial << "\" simulation " << simulation;
      if (!f && general) {
        EXPECT_EQ(t.atoms[0].x, -1.5f);
        EXPECT_EQ(t.atoms[0].y, 22.25f);
      }
    }
  }
}

TEST_P(ReadAtoms, SelectsAtomRecordsAndSkipsUnknownNames) {
  const std::string input = "HEADER    TEST\nMODEL        1\n" +
                            atom(1, " N  ", "1.000", "2.000", "3.000") +
                            "ANISOU    1  N\nHETNAM     ZN\nTER\nMODELS\nMODEL        2\n" +
                            atom(2, "ZN  ", "4.000", "5.000", "6.000", "HETATM") +
                            "ATOMS     7  CA A\x1b\n" + atom(3, "MG  ", "0", "0", "0", "HETATM") +
                            "atom      9  C\n";
  AtomTable t;
  Sink err(-1, "err");
  ReadNotes notes;
  EXPECT_FALSE(read_text(input, t, err, &notes));
  EXPECT_EQ(notes.models, 2);
  EXPECT_EQ(notes.alternate_locations, 1);  // the "ATOMS" record, "CA A"
  EXPECT_EQ(notes.short_records, 1);
  EXPECT_EQ(t.count, 2);
  EXPECT_EQ(t.skipped, 2);
  EXPECT_EQ(err.held(), " Unknown atom type ZN   \n Unknown atom type MG   \n");
  EXPECT_EQ(t.atoms[0].x, 1.0f);
  EXPECT_EQ(t.atoms[0].z, 3.0f);
  EXPECT_EQ(t.atoms[0].mass, 14.0067f);
  EXPECT_EQ(t.atoms[1].x, 0.0f);  // "ATOMS" record: blank columns read as zero
}

// The atoms of each model are a segment; those outside every model are
// model 0's, in PDB text whatever the options, and a selected model is the
// only segment with atoms.
TEST_P(ReadAtoms, SegmentsFollowTheModels) {
  std::ifstream in(std::string(GYRO_TEST_DATA) + "/models.pdb");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  using Segments = std::vector<std::array<std::int64_t, 3>>;  // first, count, model
  struct Case { ReadingRules rules; Segments want; };
  ReadingRules element_masses, model_2;
  element_masses.masses = MassSource::element;
  model_2.selection.model = 2;
  const Case cases[] = {
      {{}, {{0, 1, 0}, {1, 4, 1}, {5, 1, 0}, {6, 4, 2}, {10, 4, 3}}},
      {element_masses, {{0, 1, 0}, {1, 4, 1}, {5, 1, 0}, {6, 4, 2}, {10, 4, 3}}},
      {model_2, {{0, 0, 1}, {0, 4, 2}, {4, 0, 3}}},
  };
  for (const auto& c : cases) {
    RecordCursor cur(text);
    AtomTable t;
    ReadNotes notes;
    Sink err(-1, "err");
    ASSERT_FALSE(read_pdb_atoms(cur, t, notes, err, c.rules, false));
    t.end_segments();
    Segments got;
    for (const Segment& s : t.segments) got.push_back({s.first, s.count, s.model});
    EXPECT_EQ(got, c.want);
  }
}

TEST_P(ReadAtoms, StopsAtABadFieldWithItsColumnsAndText) {
  const std::string input = "REMARK\n" + atom(1, " C  ", "1.000", "2.000", "3.000") +
                            atom(2, " C  ", "1.0", "1.2x45", "0");
  AtomTable t;
  Sink err(-1, "err");
  PassFault f = read_text(input, t, err);
  EXPECT_EQ(f.kind, PassFault::Kind::bad_field);
  EXPECT_EQ(pass_fault_text("pdb.in", f),
            "gyrolabium: pdb.in: line 3, columns 39-46: cannot read \"  1.2x45\" as a number\n");
  f = read_text("ATOM   4x  N\n", t, err);
  EXPECT_EQ(pass_fault_text("a", f),
            "gyrolabium: a: line 1, columns 7-11: cannot read \" 4x  \" as a number\n");
}

// Reads `input`, moves the table by `frame`, writes the second pass.
std::string write_moved(const std::string& input, Frame frame, long* unfit = nullptr) {
  AtomTable t;
  Sink err(-1, "err"), out(-1, "out");
  EXPECT_FALSE(read_text(input, t, err));
  RecordCursor second(input);
  WriteResult res = write_structure(second, t, frame, out, MassSource::atom_name);
  EXPECT_FALSE(res.fault);
  if (unfit) *unfit = res.unfit;
  return std::string(out.held());
}

std::string pad80(std::string s) {
  if (!s.empty() && s.back() == '\n') s.pop_back();
  s.resize(80, ' ');
  return s + "\n";
}
RUN_AT_EVERY_VECTOR_WIDTH(WriteStructure);


TEST_P(WriteStructure, PairsByPositionAndMovesSkippedAtomsToo) {
  // The skipped zinc shares its serial with the next accepted atom.
  const std::string input = atom(5, " C  ", "1.000", "1.000", "1.000") +
                            atom(6, "ZN  ", "2.000", "3.000", "4.000", "HETATM") +
                            atom(6, " O  ", "-1.000", "-100.000", "1000.000");
  const std::string got = write_moved(input, Frame({1.0f, 2.0f, 3.0f}, false, {}));
  EXPECT_EQ(got, pad80(atom(5, " C  ", "0.000", "-1.000", "-2.000")) +
                     pad80(atom(6, "ZN  ", "1.000", "1.000", "1.000", "HETATM")) +
                     pad80(atom(6, " O  ", "-2.000", "-102.000", "997.000")));
}

TEST_P(WriteStructure, CountsValuesThatDoNotFitAndKeepsOtherBytes) {
  const std::string input = atom(1, " C  ", "9000.000", "0", "0") + "TER\n" +
                            std::string(100, 'R') + "\n\nEND";
  long unfit = 0;
  const Frame frame({-2000.0f, 0.0f, std::nanf("")}, false, {});
  const std::string got = write_moved(input, frame, &unfit);
  EXPECT_EQ(unfit, 2);
  EXPECT_EQ(got.substr(30, 24), "********   0.000     NaN");
  EXPECT_EQ(got.substr(81), pad80("TER") + std::string(80, 'R') + "\n" + pad80("") + pad80("END"));
}

// A second pass that meets another number of accepted atoms than the first,
// or a field that does not convert, stops: the text is not the one read first.
// (Any other change shows in the checksum of the reading.)
TEST_P(WriteStructure, StopsWhereTheTextCannotBeTheOneReadFirst) {
  const std::string first = atom(1, " C  ", "1.000", "0", "0") + atom(2, " O  ", "2.000", "0", "0");
  struct Case { std::string second; long lineno; std::size_t written; };
  const Case cases[] = {
      {atom(1, " C  ", "1.000", "0", "0"), 1, 1},
      {atom(1, " C  ", "1.000", "0", "0") + atom(2, "ZN  ", "2.000", "0", "0"), 2, 2},
      {first + atom(3, " O  ", "2.000", "0", "0"), 3, 2},
      {atom(1, " C  ", "1.000", "0", "0") + atom(2, "ZN  ", "2.0x0", "0", "0"), 2, 1},
  };
  for (const auto& c : cases) {
    AtomTable t;
    Sink err(-1, "err"), out(-1, "out");
    ASSERT_FALSE(read_text(first, t, err));
    RecordCursor second(c.second);
    const WriteResult res = write_structure(second, t, Frame{}, out, MassSource::atom_name);
    EXPECT_EQ(res.fault.kind, PassFault::Kind::changed) << c.second;
    EXPECT_EQ(res.fault.lineno, c.lineno) << c.second;
    EXPECT_EQ(out.held().size(), 81 * c.written) << c.second;
  }
  EXPECT_EQ(pass_fault_text("a.pdb", {PassFault::Kind::changed, 7, 0, 0, {}}),
            "gyrolabium: a.pdb: the file changed while it was read\n");
}

}  // namespace
}  // namespace gyro
