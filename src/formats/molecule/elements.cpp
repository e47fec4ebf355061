// Element symbols by atomic number, isotopes' atomic masses, and the ion
// names of simulation programs.
#include <string_view>

#include "formats/molecule/gro.hpp"
#include "formats/molecule/molecule.hpp"

namespace gyro {
namespace {

constexpr std::string_view symbols[] = {
    "",   "H",  "He", "Li", "Be", "B",  "C",  "N",  "O",  "F",  "Ne", "Na", "Mg", "Al", "Si",
    "P",  "S",  "Cl", "Ar", "K",  "Ca", "Sc", "Ti", "V",  "Cr", "Mn", "Fe", "Co", "Ni", "Cu",
    "Zn", "Ga", "Ge", "As", "Se", "Br", "Kr", "Rb", "Sr", "Y",  "Zr", "Nb", "Mo", "Tc", "Ru",
    "Rh", "Pd", "Ag", "Cd", "In", "Sn", "Sb", "Te", "I",  "Xe", "Cs", "Ba", "La", "Ce", "Pr",
    "Nd", "Pm", "Sm", "Eu", "Gd", "Tb", "Dy", "Ho", "Er", "Tm", "Yb", "Lu", "Hf", "Ta", "W",
    "Re", "Os", "Ir", "Pt", "Au", "Hg", "Tl", "Pb", "Bi", "Po", "At", "Rn", "Fr", "Ra", "Ac",
    "Th", "Pa", "U",  "Np", "Pu", "Am", "Cm", "Bk", "Cf", "Es", "Fm", "Md", "No", "Lr", "Rf",
    "Db", "Sg", "Bh", "Hs", "Mt", "Ds", "Rg", "Cn", "Nh", "Fl", "Mc", "Lv", "Ts", "Og"};

// Atomic masses of the isotopes that labelled molecules and tracers carry
// (in atomic mass units).
struct Isotope {
  std::string_view symbol;
  int mass_number;
  double mass;
};
constexpr Isotope isotopes[] = {
    {"H", 1, 1.00782503223},  {"H", 2, 2.01410177812},   {"H", 3, 3.01604928199},
    {"C", 11, 11.0114336},    {"C", 12, 12.0},           {"C", 13, 13.00335483507},
    {"C", 14, 14.0032419884}, {"N", 13, 13.00573861},    {"N", 14, 14.00307400443},
    {"N", 15, 15.00010889888}, {"O", 15, 15.0030656},    {"O", 16, 15.99491461957},
    {"O", 17, 16.99913175650}, {"O", 18, 17.99915961286}, {"F", 18, 18.0009380},
    {"F", 19, 18.99840316273}, {"P", 31, 30.97376199842}, {"P", 32, 31.97390764},
    {"P", 33, 32.9717257},    {"S", 32, 31.9720711744},  {"S", 33, 32.9714589098},
    {"S", 34, 33.967867004},  {"S", 35, 34.96903231},    {"S", 36, 35.96708071},
    {"Cl", 35, 34.968852682}, {"Cl", 36, 35.968306809},  {"Cl", 37, 36.965902602},
    {"Br", 76, 75.924541},    {"Br", 79, 78.9183376},    {"Br", 81, 80.9162897},
    {"I", 123, 122.905589},   {"I", 124, 123.9062090},   {"I", 125, 124.9046294},
    {"I", 127, 126.9044719},  {"I", 131, 130.9061263},   {"Se", 75, 74.92252287},
    {"Tc", 99, 98.9062508},   {"Ga", 68, 67.9279805},    {"Cu", 64, 63.92976434},
    {"Zr", 89, 88.9088814},   {"In", 111, 110.9051085},  {"Tl", 201, 200.970822},
    {"Xe", 129, 128.9047808611}, {"Rb", 82, 81.9182090}, {"Y", 90, 89.9071439},
};

bool same_letters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k)
    if ((a[k] | 0x20) != (b[k] | 0x20)) return false;
  return true;
}

}  // namespace

std::string_view element_of_number(std::int64_t z) {
  return z >= 1 && z < static_cast<std::int64_t>(std::size(symbols)) ? symbols[z] : std::string_view{};
}

double isotope_mass(std::string_view symbol, std::int64_t mass_number) {
  for (const Isotope& i : isotopes)
    if (i.mass_number == mass_number && same_letters(i.symbol, symbol)) return i.mass;
  return static_cast<double>(mass_number);
}

namespace gro {

std::string_view ion_element(std::string_view resname) {
  static constexpr struct {
    std::string_view name, element;
  } ions[] = {{"NA", "Na"},  {"NA+", "Na"}, {"SOD", "Na"}, {"K", "K"},    {"K+", "K"},
              {"POT", "K"},  {"CL", "Cl"},  {"CL-", "Cl"}, {"CLA", "Cl"}, {"CA", "Ca"},
              {"CA2+", "Ca"}, {"CAL", "Ca"}, {"MG", "Mg"},  {"MG2+", "Mg"}, {"ZN", "Zn"},
              {"ZN2+", "Zn"}, {"LI", "Li"},  {"LIT", "Li"}, {"RB", "Rb"},  {"CS", "Cs"},
              {"CES", "Cs"}, {"F", "F"},    {"BR", "Br"},  {"I", "I"},    {"IOD", "I"},
              {"BA", "Ba"},  {"SR", "Sr"},  {"CD", "Cd"},  {"CU", "Cu"},  {"FE", "Fe"},
              {"MN", "Mn"},  {"NI", "Ni"},  {"CO", "Co"}};
  if (resname.empty() || resname.size() > 4) return {};
  for (const auto& ion : ions)
    if (ion.name[0] == resname[0] && ion.name == resname) return ion.element;
  return {};
}

}  // namespace gro
}  // namespace gyro
