// The element masses for the element column (77-78): standard atomic weights
// in atomic mass units, the mass number of the longest-lived isotope for
// elements without a stable one, and deuterium as "D". Hydrogen, carbon,
// nitrogen, oxygen, sulphur, phosphorus and iron carry the values of the
// atom-name rules, so a file whose element column agrees with its atom names
// gets the same masses either way.
#include <cctype>

#include "structure/atoms.hpp"

namespace gyro {
namespace {

struct Element {
  char symbol[3];
  float mass;
};

constexpr Element elements[] = {
    {"H", mass_rules::mass_of[mass_rules::hydrogen]}, {"D", 2.0141f}, {"HE", 4.0026f},
    {"LI", 6.94f}, {"BE", 9.0122f}, {"B", 10.81f},
    {"C", mass_rules::mass_of[mass_rules::carbon]},
    {"N", mass_rules::mass_of[mass_rules::nitrogen]},
    {"O", mass_rules::mass_of[mass_rules::oxygen]}, {"F", 18.998f}, {"NE", 20.180f},
    {"NA", 22.990f}, {"MG", 24.305f}, {"AL", 26.982f}, {"SI", 28.085f},
    {"P", mass_rules::mass_of[mass_rules::phosphorus]},
    {"S", mass_rules::mass_of[mass_rules::sulphur]}, {"CL", 35.45f}, {"AR", 39.95f},
    {"K", 39.098f}, {"CA", 40.078f}, {"SC", 44.956f}, {"TI", 47.867f}, {"V", 50.942f},
    {"CR", 51.996f}, {"MN", 54.938f}, {"FE", mass_rules::mass_of[mass_rules::iron]},
    {"CO", 58.933f}, {"NI", 58.693f}, {"CU", 63.546f}, {"ZN", 65.38f}, {"GA", 69.723f},
    {"GE", 72.630f}, {"AS", 74.922f}, {"SE", 78.971f}, {"BR", 79.904f}, {"KR", 83.798f},
    {"RB", 85.468f}, {"SR", 87.62f}, {"Y", 88.906f}, {"ZR", 91.224f}, {"NB", 92.906f},
    {"MO", 95.95f}, {"TC", 98.0f}, {"RU", 101.07f}, {"RH", 102.91f}, {"PD", 106.42f},
    {"AG", 107.87f}, {"CD", 112.41f}, {"IN", 114.82f}, {"SN", 118.71f}, {"SB", 121.76f},
    {"TE", 127.60f}, {"I", 126.90f}, {"XE", 131.29f}, {"CS", 132.91f}, {"BA", 137.33f},
    {"LA", 138.91f}, {"CE", 140.12f}, {"PR", 140.91f}, {"ND", 144.24f}, {"PM", 145.0f},
    {"SM", 150.36f}, {"EU", 151.96f}, {"GD", 157.25f}, {"TB", 158.93f}, {"DY", 162.50f},
    {"HO", 164.93f}, {"ER", 167.26f}, {"TM", 168.93f}, {"YB", 173.05f}, {"LU", 174.97f},
    {"HF", 178.49f}, {"TA", 180.95f}, {"W", 183.84f}, {"RE", 186.21f}, {"OS", 190.23f},
    {"IR", 192.22f}, {"PT", 195.08f}, {"AU", 196.97f}, {"HG", 200.59f}, {"TL", 204.38f},
    {"PB", 207.2f}, {"BI", 208.98f}, {"PO", 209.0f}, {"AT", 210.0f}, {"RN", 222.0f},
    {"FR", 223.0f}, {"RA", 226.0f}, {"AC", 227.0f}, {"TH", 232.04f}, {"PA", 231.04f},
    {"U", 238.03f}, {"NP", 237.0f}, {"PU", 244.0f}, {"AM", 243.0f}, {"CM", 247.0f},
    {"BK", 247.0f}, {"CF", 251.0f}, {"ES", 252.0f}, {"FM", 257.0f}, {"MD", 258.0f},
    {"NO", 259.0f}, {"LR", 262.0f},
};

// Letters A-Z as 1-26, anything else 0.
constexpr int letter_index(char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 1 : 0; }

// mass[first][second]: second 0 for one-letter symbols.
struct MassGrid {
  float mass[27][27];
};

constexpr MassGrid make_grid() {
  MassGrid g{};
  for (const Element& e : elements) g.mass[letter_index(e.symbol[0])][letter_index(e.symbol[1])] = e.mass;
  return g;
}

constexpr MassGrid grid = make_grid();

}  // namespace

float element_column_mass(const char* symbol) {
  char letters[2];
  int n = 0;
  for (int k = 0; k < 2; ++k) {
    const auto c = static_cast<unsigned char>(symbol[k]);
    if (c == ' ') continue;
    if (!std::isalpha(c)) return 0;
    letters[n++] = static_cast<char>(std::toupper(c));
  }
  if (n == 0) return -1;
  return grid.mass[letter_index(letters[0])][n == 2 ? letter_index(letters[1]) : 0];
}

}  // namespace gyro
