// Shape descriptors from the principal moments of inertia I1 >= I2 >= I3 and
// the total mass M, each under one stated definition, in double precision.
// With the gyration moments s_i = (I1 + I2 + I3) / (2M) - I_i / M (the
// eigenvalues of the mass-weighted gyration tensor; s1 <= s2 <= s3 in the order
// of I1, I2, I3; one below zero by no more than rounding is taken as 0):
//   radius of gyration Rg = sqrt(s1 + s2 + s3)
//   asphericity b = s3 - (s1 + s2) / 2, acylindricity c = s2 - s1
//   relative shape anisotropy kappa^2 = (b^2 + 3c^2/4) / Rg^4 (0 sphere, 1 line)
//   shape parameter S = 27 (s1 - m)(s2 - m)(s3 - m) / (s1 + s2 + s3)^3, m the
//     mean (-0.25 disc to 2 line)
//   normalised principal-moment ratios NPR1 = I3 / I1, NPR2 = I2 / I1
//   eccentricity sqrt(I1^2 - I3^2) / I1, inertial shape factor I2 / (I1 I3)
// A descriptor whose denominator is 0, or a moment below 1e-6 of I1 (a line
// of atoms: I3 = 0; one atom; no atom), has no value (NaN).
#pragma once

namespace gyro {

struct Shape {
  double radius_of_gyration;
  double gyration_moments[3];  // s3, s2, s1: largest first
  double principal_radii[3];   // their square roots
  double asphericity, acylindricity, relative_shape_anisotropy, shape_parameter;
  double npr[2];  // I3 / I1, I2 / I1
  double eccentricity, inertial_shape_factor;
};

Shape shape_of(const double (&moments)[3], double mass);

}  // namespace gyro
