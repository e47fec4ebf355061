// Rigid-body analysis of the accepted atoms: total mass and centre of mass,
// translation to the centre, inertia tensor and principal frame, rotation.
// Every operation is a single-precision one, in the order written here.
// Matrices are 3x3, column after column: element (i,j) is m[(j-1)*3 + (i-1)].
#pragma once

namespace gyro {

// Total mass and mass-weighted centre of atoms 1..natom (NaN centre when natom is 0).
void cenmas(int natom, const float* atmass, const float* atcrd, float& xcen, float& ycen,
            float& zcen, float& mtot);

// Moves atoms 1..natom so that the given centre is the origin (in place).
void trans(int natom, float* atcrd, float xcen, float ycen, float zcen);

// Principal moments (largest first) and the proper rotation whose rows are the
// principal axes, from the translated coordinates. Returns the solver's status:
// 0 on success; -4 (the solver's code for an illegal matrix) when the tensor's
// sums overflowed; otherwise pmom and pvec hold whatever the solver left.
int inertia(int natom, const float* atmass, const float* atcrd, float pmom[3], float pvec[9]);

// Replaces atoms 1..natom by their images pvec·(x, y, z) (in place).
void rotate(int natom, float* atcrd, const float pvec[9]);

// One point moved to the centre, as trans moves an atom.
inline void translate_point(float xyz[3], float xcen, float ycen, float zcen) {
  xyz[0] = xyz[0] - xcen;
  xyz[1] = xyz[1] - ycen;
  xyz[2] = xyz[2] - zcen;
}

// One point rotated, as rotate moves an atom.
inline void rotate_point(float xyz[3], const float pvec[9]) {
  const float x = xyz[0], y = xyz[1], z = xyz[2];
  for (int i = 0; i < 3; ++i)
    xyz[i] = ((0.0f + pvec[i] * x) + pvec[3 + i] * y) + pvec[6 + i] * z;
}

}  // namespace gyro
