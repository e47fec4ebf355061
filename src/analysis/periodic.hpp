// Periodic boxes, and molecules made whole across them (--whole): a
// simulation keeps every atom inside its box, so a molecule that crosses a
// face is written in pieces on opposite sides; each atom is put back at its
// periodic image nearest the molecule's centre.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "analysis/rigid.hpp"

namespace gyro {

// The box of a unit cell's lengths and angles (degrees), a along x and b in
// the xy plane; none for a zero or negative edge, angles that make no cell,
// or the 1 Å cube that programs write as a placeholder.
std::optional<Box> box_from_cell(const double lengths[3], const double angles[3]);
// The box of three edge vectors (rows); none when they span no volume.
std::optional<Box> box_from_edges(const double edges[3][3]);

// The lattice translation (whole numbers of a, b, c) that brings `xyz` to its
// image nearest the fractional point `near`.
void lattice_shift(const Box& box, const double xyz[3], const double near[3], double shift[3]);
// The image of `xyz` moved by `shift` (whole numbers of a, b, c): unchanged
// where the shift is zero, so atoms the box does not cut keep their values.
template <class Real>
void shifted(const Box& box, const double shift[3], Real xyz[3]) {
  if (shift[0] == 0 && shift[1] == 0 && shift[2] == 0) return;
  for (int i = 0; i < 3; ++i)
    xyz[i] = static_cast<Real>(static_cast<double>(xyz[i]) - shift[0] * box.edge[0][i] -
                               shift[1] * box.edge[1][i] - shift[2] * box.edge[2][i]);
}

// Where one residue's atoms go when the copy is made whole (`xyz` their
// coordinates as read, `analysed` which were analysed): each analysed atom to
// its image nearest the centre (where the analysis put it); every other atom
// to its image nearest the residue's first analysed atom, or, in a residue
// without one, nearest its first atom, which goes to its image nearest the
// centre. `shifts`: whole numbers of a, b, c for each atom (see shifted).
void place_residue(const Joining& j, std::span<const double> xyz, std::span<const char> analysed,
                   std::span<double> shifts);

// Makes the atoms whole in place: the mass-weighted circular mean of their
// fractional coordinates is the centre, and each atom moves to its image
// nearest it.
Joining make_whole(std::span<Atom> atoms, const Box& box);
Joining make_whole(std::span<AtomD> atoms, const Box& box);

// "a", "a and c", ...: the box directions of a `filled` mask.
std::string directions_text(unsigned filled);

}  // namespace gyro
