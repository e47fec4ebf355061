// Rigid-body analysis of the accepted atoms: total mass and centre of mass,
// translation to the centre, inertia tensor and principal frame, rotation.
// Every operation is a single-precision one, in the order written here; where
// several sums travel in the lanes of one vector, each lane is its own sum.
#pragma once

#include <span>

namespace gyro {

// A point or direction: three floats that always travel together.
struct Vec3 {
  float x = 0, y = 0, z = 0;
};

// A 3x3 matrix stored column after column, the order LAPACK reads and writes;
// (row, column) from 0.
struct Mat3 {
  float a[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
  float& operator()(int row, int col) { return a[col * 3 + row]; }
  float operator()(int row, int col) const { return a[col * 3 + row]; }
};

// One accepted atom: its coordinates and mass (atomic mass units), in one
// 16-byte record that the analysis loads as one vector.
struct alignas(16) Atom {
  float x, y, z, mass;
};

// Mass-weighted centre of the atoms, and their total mass through
// `total_mass` (a NaN centre when there are none).
Vec3 centre_of_mass(std::span<const Atom> atoms, float& total_mass);

// Moves the atoms so that `centre` is the origin (in place).
void move_to_centre(std::span<Atom> atoms, Vec3 centre);

// The inertia tensor about the origin: diagonal sum m(r² - xj²), above it
// -sum m·xj·xk; the lower triangle stays 0 (the solver reads only the upper).
Mat3 inertia_tensor(std::span<const Atom> atoms);

// Principal moments (largest first) and the proper rotation whose rows are the
// principal axes, from coordinates about the centre of mass. Returns the
// solver's status: 0 on success; -4 (the solver's code for an illegal matrix)
// when the tensor's sums overflowed; otherwise moments and axes hold whatever
// the solver left.
int principal_frame(std::span<const Atom> atoms, float moments[3], Mat3& axes);

// Replaces the atoms' coordinates by their images axes·(x, y, z) (in place).
void rotate_into_frame(std::span<Atom> atoms, const Mat3& axes);

}  // namespace gyro
