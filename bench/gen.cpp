// Writes a deterministic protein-like PDB file of N atom records to standard
// output: residues of backbone, side-chain and hydrogen atoms (old and new
// hydrogen names), some waters and a few zinc ions, coordinates in the
// ordinary range. With "cif", the same atoms as the archive writes them in
// mmCIF: an _atom_site loop of 21 columns, each value padded to its column's
// width; with "cif1", the same loop as other programs write it, one blank
// between values of varying width. With "h36", serial numbers past 99 999 in
// hybrid-36 as simulation programs write them (A0000 follows 99999). With
// "sdf A", N molecules of A atoms in SDF (V2000, a bond line an atom, a charge
// line and a data item); with "gro A", N frames of A atoms (waters) in GRO.
// Usage: gen N [cif|cif1|h36] | gen N sdf A | gen N gro A
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>

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

const char* const cif_columns[] = {
    "group_PDB",    "id",           "type_symbol",     "label_atom_id",      "label_alt_id",
    "label_comp_id", "label_asym_id", "label_entity_id", "label_seq_id",      "pdbx_PDB_ins_code",
    "Cartn_x",      "Cartn_y",      "Cartn_z",         "occupancy",          "B_iso_or_equiv",
    "pdbx_formal_charge", "auth_seq_id", "auth_comp_id", "auth_asym_id",     "auth_atom_id",
    "pdbx_PDB_model_num"};

// The element symbol of a name: its first letter.
const char* element(const char* name) {
  static char sym[2] = {0, 0};
  while (*name == ' ' || (*name >= '0' && *name <= '9')) ++name;
  sym[0] = *name;
  return sym;
}

// A serial number in five columns: decimal below 100 000, hybrid-36 (upper
// case, counting on from "A0000") above.
void serial_text(long serial, char out[6]) {
  if (serial < 100000) {
    std::snprintf(out, 6, "%5ld", serial);
    return;
  }
  long v = serial - 100000 + 10L * 36 * 36 * 36 * 36;
  for (int k = 4; k >= 0; --k, v /= 36) out[k] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"[v % 36];
  out[5] = '\0';
}

}  // namespace

void molecules_sdf(long molecules, int atoms) {
  static const char* const symbols[] = {"C", "C", "C", "N", "O", "H", "H", "H", "S", "Cl"};
  for (long m = 1; m <= molecules; ++m) {
    std::printf("GEN%07ld\n  gyrobench3D\n\n%3d%3d  0  0  0  0  0  0  0  0999 V2000\n", m, atoms,
                atoms - 1);
    for (int k = 0; k < atoms; ++k)
      std::printf("%10.4f%10.4f%10.4f %-3s 0  0  0  0  0  0  0  0  0  0  0  0\n",
                  uniform() * 16 - 8, uniform() * 12 - 6, uniform() * 8 - 4,
                  symbols[static_cast<int>(uniform() * 10)]);
    for (int b = 1; b < atoms; ++b) std::printf("%3d%3d  1  0\n", b, b + 1);
    std::printf("M  CHG  1   1   0\nM  END\n> <ID>\nGEN%07ld\n\n$$$$\n", m);
  }
}

void frames_gro(long frames, int atoms) {
  static const char* const names[] = {"OW", "HW1", "HW2"};
  for (long f = 0; f < frames; ++f) {
    std::printf("generated frame t= %ld.000\n%5d\n", f, atoms);
    for (int a = 0; a < atoms; ++a)
      std::printf("%5d%-5s%5s%5d%8.3f%8.3f%8.3f\n", a / 3 + 1, "SOL", names[a % 3],
                  (a + 1) % 100000, uniform() * 9, uniform() * 9, uniform() * 9);
    std::printf("   9.00000   9.00000   9.00000\n");
  }
}

int main(int argc, char** argv) {
  if (argc == 4 && (std::strcmp(argv[2], "sdf") == 0 || std::strcmp(argv[2], "gro") == 0)) {
    (argv[2][0] == 's' ? molecules_sdf : frames_gro)(std::atol(argv[1]), std::atoi(argv[3]));
    return 0;
  }
  if (argc < 2 || argc > 3 ||
      (argc == 3 && std::strcmp(argv[2], "cif") != 0 && std::strcmp(argv[2], "cif1") != 0 &&
       std::strcmp(argv[2], "h36") != 0)) {
    std::fprintf(stderr, "usage: gen N [cif|cif1|h36] | gen N sdf|gro A\n");
    return 2;
  }
  const long n = std::atol(argv[1]);
  const bool unaligned = argc == 3 && std::strcmp(argv[2], "cif1") == 0;
  const bool cif = unaligned || (argc == 3 && std::strcmp(argv[2], "cif") == 0);
  const bool hybrid36 = argc == 3 && !cif;
  if (cif) {
    std::printf("data_GEN\n#\n_entry.id GEN\n#\n_struct.title 'GENERATED PROTEIN-LIKE STRUCTURE'\n#\n");
    std::printf("loop_\n");
    for (const char* tag : cif_columns) std::printf("_atom_site.%s\n", tag);
  } else {
    std::printf("HEADER    GENERATED PROTEIN-LIKE STRUCTURE\n");
    std::printf("CRYST1  100.000  100.000  100.000  90.00  90.00  90.00 P 1           1\n");
  }
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
      const char* group = zinc || water ? "HETATM" : "ATOM";
      const char* symbol = zinc ? "ZN" : element(name);
      ++serial;
      if (cif) {
        char bare[5];
        std::sscanf(name, "%4s", bare);
        std::printf(unaligned ? "%s %ld %s %s . %s A %d %ld ? %.3f %.3f %.3f 1.00 20.00 ? "
                                "%ld %s A %s 1\n"
                              : "%-6s %-6ld %-2s %-4s . %-3s A %-1d %-5ld ? %-8.3f %-8.3f %-8.3f "
                                "1.00 20.00 ? %-5ld %-3s A %-4s 1 \n",
                    group, serial, symbol, bare, res + (res[0] == ' '), water ? 2 : 1, resno, x, y,
                    z, resno, res + (res[0] == ' '), bare);
        continue;
      }
      char number[6];
      if (hybrid36)
        serial_text(serial, number);
      else
        std::snprintf(number, sizeof number, "%5ld", serial % 100000);
      std::printf("%-6s%s %s %s A%4ld    %8.3f%8.3f%8.3f  1.00 20.00          %2s  \n",
                  group, number, name, res, resno % 10000, x, y, z, symbol);
    }
    if (resno % 200 == 0 && !cif) std::printf("TER\n");
  }
  std::printf(cif ? "#\n" : "END\n");
  return 0;
}
