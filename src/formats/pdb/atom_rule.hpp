// Which atom records a PDB reading accepts, and with which mass: the one rule
// that the first pass and the copy's pairing of records with the table's atoms
// both follow.
#pragma once

#include <type_traits>

#include "structure/atoms.hpp"

namespace gyro::pdb {

// Where an atom record's mass comes from. key(line) is what decides it,
// accepted(key) whether the record has a mass at all (else it is skipped),
// mass<Real>(key) the mass in the table's precision. `columns`: the last column the reading looks at.
struct MassesByName {
  static constexpr int columns = 54;
  using Key = mass_rules::Element;
  static Key key(const char* line) { return atom_element(line + 12); }  // name in columns 13-16
  static bool accepted(Key element) { return element != mass_rules::none; }
  template <class Real>
  static Real mass(Key element) {
    if constexpr (std::is_same_v<Real, float>)
      return mass_rules::mass_of[element];
    else
      return mass_rules::mass_of_double[element];
  }
};
struct MassesByUnit {  // the name rules' atoms, each of mass 1
  static constexpr int columns = 54;
  using Key = mass_rules::Element;
  static Key key(const char* line) { return MassesByName::key(line); }
  static bool accepted(Key element) { return MassesByName::accepted(element); }
  template <class Real>
  static Real mass(Key) {
    return 1;
  }
};
struct MassesByElement {
  static constexpr int columns = 78;
  using Key = double;
  static Key key(const char* line) {
    const double by_element = element_column_mass(line + 76);
    if (by_element >= 0) return by_element;
    return MassesByName::mass<double>(MassesByName::key(line));  // a blank element column
  }
  static bool accepted(Key mass) { return mass > 0; }
  template <class Real>
  static Real mass(Key by_element) {
    return static_cast<Real>(by_element);
  }
};

}  // namespace gyro::pdb
