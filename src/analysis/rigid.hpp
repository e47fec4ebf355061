// Rigid-body analysis of the accepted atoms: total mass and centre of mass,
// translation to the centre, inertia tensor and principal frame, rotation.
// Every operation is a single-precision one, in the order written here.
// Coordinates are stored atom after atom: x, y, z of the first atom, then the next.
#pragma once

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

// Mass-weighted centre of the first atom_count atoms, and their total mass
// through `total_mass` (a NaN centre when there are none).
Vec3 centre_of_mass(int atom_count, const float* masses, const float* coords, float& total_mass);

// Moves the first atom_count atoms so that `centre` is the origin (in place).
void move_to_centre(int atom_count, float* coords, Vec3 centre);

// Principal moments (largest first) and the proper rotation whose rows are the
// principal axes, from coordinates about the centre of mass. Returns the
// solver's status: 0 on success; -4 (the solver's code for an illegal matrix)
// when the tensor's sums overflowed; otherwise moments and axes hold whatever
// the solver left.
int principal_frame(int atom_count, const float* masses, const float* coords, float moments[3],
                    Mat3& axes);

// Replaces the first atom_count atoms by their images axes·(x, y, z) (in place).
void rotate_into_frame(int atom_count, float* coords, const Mat3& axes);

// One point moved to the centre, as move_to_centre moves an atom.
inline void translate_point(float xyz[3], Vec3 centre) {
  xyz[0] = xyz[0] - centre.x;
  xyz[1] = xyz[1] - centre.y;
  xyz[2] = xyz[2] - centre.z;
}

// One point rotated, as rotate_into_frame moves an atom.
inline void rotate_point(float xyz[3], const Mat3& axes) {
  const float x = xyz[0], y = xyz[1], z = xyz[2];
  for (int i = 0; i < 3; ++i)
    xyz[i] = ((0.0f + axes(i, 0) * x) + axes(i, 1) * y) + axes(i, 2) * z;
}

}  // namespace gyro
