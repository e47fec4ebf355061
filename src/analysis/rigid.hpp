// Rigid-body analysis of the accepted atoms: total mass and centre of mass,
// translation to the centre, inertia tensor and principal frame, rotation.
// Every operation is a single-precision one, in the order written here.
// Matrices are 3x3, column after column: element (i,j) is m[(j-1)*3 + (i-1)].
#pragma once

namespace gyro {

// Total mass and mass-weighted centre of the first atom_count atoms (a NaN
// centre when there are none).
void centre_of_mass(int atom_count, const float* masses, const float* coords, float& centre_x, float& centre_y,
            float& centre_z, float& total_mass);

// Moves the first atom_count atoms so that the given centre is the origin (in place).
void move_to_centre(int atom_count, float* coords, float centre_x, float centre_y, float centre_z);

// Principal moments (largest first) and the proper rotation whose rows are the
// principal axes, from the translated coordinates. Returns the solver's status:
// 0 on success; -4 (the solver's code for an illegal matrix) when the tensor's
// sums overflowed; otherwise moments and axes hold whatever the solver left.
int principal_frame(int atom_count, const float* masses, const float* coords, float moments[3], float axes[9]);

// Replaces the first atom_count atoms by their images axes·(x, y, z) (in place).
void rotate_into_frame(int atom_count, float* coords, const float axes[9]);

// One point moved to the centre, as move_to_centre moves an atom.
inline void translate_point(float xyz[3], float centre_x, float centre_y, float centre_z) {
  xyz[0] = xyz[0] - centre_x;
  xyz[1] = xyz[1] - centre_y;
  xyz[2] = xyz[2] - centre_z;
}

// One point rotated, as rotate moves an atom.
inline void rotate_point(float xyz[3], const float axes[9]) {
  const float x = xyz[0], y = xyz[1], z = xyz[2];
  for (int i = 0; i < 3; ++i)
    xyz[i] = ((0.0f + axes[i] * x) + axes[3 + i] * y) + axes[6 + i] * z;
}

}  // namespace gyro
