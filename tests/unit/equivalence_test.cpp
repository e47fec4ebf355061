// Options that must not change what is read: every one of them, on real and
// generated structures in PDB and mmCIF form, gives the default run's atoms,
// counts, report and copy. (Each option set goes through another reading
// loop than the default run, so this holds the loops to one rule.)
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/run.hpp"
#include "unit/vector_width.hpp"

namespace gyro {
namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The same atoms as an mmCIF _atom_site loop: one row an atom record, its
// element from columns 77-78 or the name's first letter, its model from the
// MODEL record before it.
std::string as_mmcif(const std::string& pdb) {
  std::string cif =
      "data_t\nloop_\n_atom_site.group_PDB\n_atom_site.id\n_atom_site.type_symbol\n"
      "_atom_site.label_atom_id\n_atom_site.label_alt_id\n_atom_site.Cartn_x\n"
      "_atom_site.Cartn_y\n_atom_site.Cartn_z\n_atom_site.pdbx_PDB_model_num\n";
  std::istringstream lines(pdb);
  std::string line, model = "1";
  int id = 0;
  auto word = [](std::string s) {
    s.erase(0, s.find_first_not_of(' '));
    s.erase(s.find_last_not_of(' ') + 1);
    return s.empty() ? std::string(".") : s;
  };
  while (std::getline(lines, line)) {
    line.resize(80, ' ');
    if (line.starts_with("MODEL ")) model = word(line.substr(10, 4));
    if (!line.starts_with("ATOM  ") && !line.starts_with("HETATM")) continue;
    std::string element = word(line.substr(76, 2));
    if (element == ".") element = word(line.substr(12, 2)).substr(0, 1);
    cif += word(line.substr(0, 6)) + " " + std::to_string(++id) + " " + element + " " +
           word(line.substr(12, 4)) + " " + word(line.substr(16, 1)) + " " +
           word(line.substr(30, 8)) + " " + word(line.substr(38, 8)) + " " +
           word(line.substr(46, 8)) + " " + model + "\n";
  }
  return cif + "#\n";
}

// A generated protein-like structure: residues of named atoms (some skipped),
// a few alternate-location-free hetero atoms, no models.
std::string generated(int atoms) {
  static const char* const names[] = {" N  ", " CA ", " C  ", " O  ", " CB ", " SG ",
                                      "1HB ", "ZN  ", " OXT", "FE  "};
  std::string text = "HEADER    GENERATED\n";
  unsigned state = 12345;
  auto next = [&] { return (state = state * 1103515245u + 12345u) >> 8; };
  for (int k = 0; k < atoms; ++k) {
    char line[100];
    const double x = static_cast<int>(next() % 200000) / 1000.0 - 100.0;
    const double y = static_cast<int>(next() % 200000) / 1000.0 - 100.0;
    const double z = static_cast<int>(next() % 200000) / 1000.0 - 100.0;
    std::snprintf(line, sizeof line, "%-6s%5d %s ALA A%4d    %8.3f%8.3f%8.3f  1.00  0.00\n",
                  k % 37 == 0 ? "HETATM" : "ATOM", k + 1, names[next() % 10], k / 10 + 1, x, y, z);
    text += line;
    if (k % 500 == 7) text += "TER\n";
  }
  return text + "END\n";
}

class EquivalentOptions : public AtEveryVectorWidth {
 protected:
  void SetUp() override {
    AtEveryVectorWidth::SetUp();
    char tmpl[] = "/tmp/gyro-equivalence-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::system(("rm -rf '" + dir_ + "'").c_str());
    AtEveryVectorWidth::TearDown();
  }
  std::string write(const std::string& name, const std::string& text) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  struct Result {
    int status;
    std::string out, err, copy;
  };
  // A run with `options`, then (when `copy`) the same with -r into a new file.
  Result run_with(const std::vector<std::string>& options, const std::string& input, bool copy) {
    Result r{};
    std::vector<std::string> args = {"gyrolabium"};
    args.insert(args.end(), options.begin(), options.end());
    if (copy) args.push_back("-r");
    args.push_back(input);
    const std::string output = dir_ + "/copy" + std::to_string(++runs_);
    if (copy) args.push_back(output);
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    Sink out(-1, "standard output"), err(-1, "standard error");
    r.status = gyro::run(static_cast<int>(argv.size()), argv.data(), out, err);
    r.out = out.held();
    r.err = err.held();
    if (copy) r.copy = slurp(output);
    return r;
  }
  std::string dir_;
  int runs_ = 0;
};

INSTANTIATE_TEST_SUITE_P(Vectors, EquivalentOptions, ::testing::Values(false, true), vector_width_name);

TEST_P(EquivalentOptions, EveryOptionThatMustNotChangeTheResult) {
  struct Input {
    std::string name, pdb;
  };
  std::vector<Input> inputs;
  for (const char* file : {"1a8o.pdb", "1npc.pdb", "1lcd_dna.pdb", "models.pdb", "altloc.pdb",
                           "skipped.pdb", "lines.pdb", "worked.pdb", "elements.pdb",
                           "worked_crlf.pdb", "no_atoms.pdb"})
    inputs.push_back({file, slurp(std::string(GYRO_TEST_DATA) + "/" + file)});
  // Atoms before the first MODEL record, a skipped name, short records.
  inputs.push_back({"before-models.pdb",
                    "ATOM      1  CA  ALA A   1       1.000   2.000   3.000\n"
                    "MODEL        1\n"
                    "ATOM      2  CA  ALA A   1       2.000   2.000   3.000  1.00  0.00           C\n"
                    "HETATM    3 ZN    ZN A   2       3.000   2.000   3.000  1.00  0.00          ZN\n"
                    "ENDMDL\n"});
  inputs.push_back({"generated.pdb", generated(3000)});
  for (const Input& in : inputs) {
    ASSERT_FALSE(in.pdb.empty()) << in.name;
    const bool has_models = in.pdb.find("\nMODEL ") != std::string::npos;
    bool has_locations = false;
    std::istringstream lines(in.pdb);
    for (std::string l; std::getline(lines, l);)
      has_locations |= (l.starts_with("ATOM  ") || l.starts_with("HETATM")) && l.size() > 16 &&
                       l[16] != ' ';
    std::vector<std::vector<std::string>> same = {{"--max-atoms=1000000"}, {"--masses=name"}};
    if (!has_locations) same.push_back({"--altloc=Z"});
    if (!has_models) same.push_back({"--model=1"});
    for (const bool cif : {false, true}) {
      const std::string path =
          write(in.name + (cif ? ".cif" : ""), cif ? as_mmcif(in.pdb) : in.pdb);
      const Result plain = run_with({}, path, false), copied = run_with({}, path, true);
      for (const auto& options : same) {
        const Result r = run_with(options, path, false);
        EXPECT_EQ(r.status, plain.status) << in.name << " " << options[0] << " mmCIF " << cif;
        EXPECT_EQ(r.out, plain.out) << in.name << " " << options[0] << " mmCIF " << cif;
        const Result c = run_with(options, path, true);
        EXPECT_EQ(c.copy, copied.copy) << in.name << " -r " << options[0] << " mmCIF " << cif;
      }
      // In double precision the counts are the same.
      const Result d = run_with({"--double"}, path, false);
      EXPECT_EQ(d.out.substr(0, d.out.find(" mass")), plain.out.substr(0, plain.out.find(" mass")))
          << in.name << " --double";
    }
  }
}

}  // namespace
}  // namespace gyro
