// The element masses for the element column (77-78): standard atomic weights
// in atomic mass units, the mass number of the longest-lived isotope for
// elements without a stable one, and deuterium as "D". Hydrogen, carbon,
// nitrogen, oxygen, sulphur, phosphorus and iron carry the values of the
// atom-name rules, so a file whose element column agrees with its atom names
// gets the same masses either way.

#include "structure/atoms.hpp"

namespace gyro {
namespace {

struct Element {
  char symbol[3];
  double mass;
};

constexpr Element elements[] = {
    {"H", mass_rules::mass_of_double[mass_rules::hydrogen]}, {"D", 2.0141}, {"HE", 4.0026},
    {"LI", 6.94}, {"BE", 9.0122}, {"B", 10.81},
    {"C", mass_rules::mass_of_double[mass_rules::carbon]},
    {"N", mass_rules::mass_of_double[mass_rules::nitrogen]},
    {"O", mass_rules::mass_of_double[mass_rules::oxygen]}, {"F", 18.998}, {"NE", 20.180},
    {"NA", 22.990}, {"MG", 24.305}, {"AL", 26.982}, {"SI", 28.085},
    {"P", mass_rules::mass_of_double[mass_rules::phosphorus]},
    {"S", mass_rules::mass_of_double[mass_rules::sulphur]}, {"CL", 35.45}, {"AR", 39.95},
    {"K", 39.098}, {"CA", 40.078}, {"SC", 44.956}, {"TI", 47.867}, {"V", 50.942},
    {"CR", 51.996}, {"MN", 54.938}, {"FE", mass_rules::mass_of_double[mass_rules::iron]},
    {"CO", 58.933}, {"NI", 58.693}, {"CU", 63.546}, {"ZN", 65.38}, {"GA", 69.723},
    {"GE", 72.630}, {"AS", 74.922}, {"SE", 78.971}, {"BR", 79.904}, {"KR", 83.798},
    {"RB", 85.468}, {"SR", 87.62}, {"Y", 88.906}, {"ZR", 91.224}, {"NB", 92.906},
    {"MO", 95.95}, {"TC", 98.0}, {"RU", 101.07}, {"RH", 102.91}, {"PD", 106.42},
    {"AG", 107.87}, {"CD", 112.41}, {"IN", 114.82}, {"SN", 118.71}, {"SB", 121.76},
    {"TE", 127.60}, {"I", 126.90}, {"XE", 131.29}, {"CS", 132.91}, {"BA", 137.33},
    {"LA", 138.91}, {"CE", 140.12}, {"PR", 140.91}, {"ND", 144.24}, {"PM", 145.0},
    {"SM", 150.36}, {"EU", 151.96}, {"GD", 157.25}, {"TB", 158.93}, {"DY", 162.50},
    {"HO", 164.93}, {"ER", 167.26}, {"TM", 168.93}, {"YB", 173.05}, {"LU", 174.97},
    {"HF", 178.49}, {"TA", 180.95}, {"W", 183.84}, {"RE", 186.21}, {"OS", 190.23},
    {"IR", 192.22}, {"PT", 195.08}, {"AU", 196.97}, {"HG", 200.59}, {"TL", 204.38},
    {"PB", 207.2}, {"BI", 208.98}, {"PO", 209.0}, {"AT", 210.0}, {"RN", 222.0},
    {"FR", 223.0}, {"RA", 226.0}, {"AC", 227.0}, {"TH", 232.04}, {"PA", 231.04},
    {"U", 238.03}, {"NP", 237.0}, {"PU", 244.0}, {"AM", 243.0}, {"CM", 247.0},
    {"BK", 247.0}, {"CF", 251.0}, {"ES", 252.0}, {"FM", 257.0}, {"MD", 258.0},
    {"NO", 259.0}, {"LR", 262.0},
};

// Letters A-Z as 1-26, anything else 0.
constexpr int letter_index(char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 1 : 0; }

constexpr ElementTable make_table() {
  ElementTable t{};
  for (int c = 'A'; c <= 'Z'; ++c)
    t.index[c] = t.index[c - 'A' + 'a'] = static_cast<unsigned char>(letter_index(static_cast<char>(c)));
  for (const Element& e : elements) t.mass[letter_index(e.symbol[0])][letter_index(e.symbol[1])] = e.mass;
  return t;
}

}  // namespace

constinit const ElementTable element_table = make_table();

double element_column_mass(const char* symbol) {
  int letters[2];
  int n = 0;
  for (int k = 0; k < 2; ++k) {
    if (symbol[k] == ' ') continue;
    letters[n] = element_table.index[static_cast<unsigned char>(symbol[k])];
    if (letters[n++] == 0) return 0;
  }
  if (n == 0) return -1;
  return element_table.mass[letters[0]][n == 2 ? letters[1] : 0];
}

}  // namespace gyro
