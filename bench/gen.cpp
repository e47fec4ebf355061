// Writes a deterministic protein-like PDB file of N atom records to standard
// output: residues of backbone, side-chain and hydrogen atoms (old and new
// hydrogen names), some waters and a few zinc ions, coordinates in the
// ordinary range. Usage: gen N
#include <cstdio>
#include <cstdint>
#include <cstdlib>

namespace {

std::uint64_t state = 88172645463325252ull;
double uniform() {  // xorshift64, in [0, 1)
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return static_cast<double>(state >> 11) * 0x1.0p-53;
}

const char* const residue[] = {" N  ", " CA ", " C  ", " O  ", " CB ", " CG ", " CD ", " NE ",
                               " CZ ", " OG ", " SD ", " H  ", " HA ", "1HB ", "2HB ", "HG21",
                               "HG22", "HD11"};
constexpr int residue_atoms = sizeof residue / sizeof residue[0];

// The element symbol of a name: its first letter.
const char* element(const char* name) {
  static char sym[2] = {0, 0};
  while (*name == ' ' || (*name >= '0' && *name <= '9')) ++name;
  sym[0] = *name;
  return sym;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gen N\n");
    return 2;
  }
  const long n = std::atol(argv[1]);
  std::printf("HEADER    GENERATED PROTEIN-LIKE STRUCTURE\n");
  std::printf("CRYST1  100.000  100.000  100.000  90.00  90.00  90.00 P 1           1\n");
  double x = 0, y = 0, z = 0;
  long serial = 0, resno = 0;
  while (serial < n) {
    ++resno;
    const bool water = resno % 10 == 0, zinc = resno % 97 == 0;
    const int count = zinc ? 1 : water ? 3 : residue_atoms;
    for (int k = 0; k < count && serial < n; ++k) {
      x += uniform() * 3.0 - 1.5;
      y += uniform() * 3.0 - 1.5;
      z += uniform() * 3.0 - 1.5;
      if (x < -60 || x > 60) x *= 0.5;
      if (y < -60 || y > 60) y *= 0.5;
      if (z < -60 || z > 60) z *= 0.5;
      const char* name = zinc ? "ZN  " : water ? (k == 0 ? " O  " : k == 1 ? " H1 " : " H2 ")
                                               : residue[k];
      const char* res = zinc ? " ZN" : water ? "HOH" : "ALA";
      std::printf("%-6s%5ld %s %s A%4ld    %8.3f%8.3f%8.3f  1.00 20.00          %2s  \n",
                  zinc || water ? "HETATM" : "ATOM", ++serial % 100000, name, res, resno % 10000,
                  x, y, z, zinc ? "ZN" : element(name));
    }
    if (resno % 200 == 0) std::printf("TER\n");
  }
  std::printf("END\n");
  return 0;
}
