#include "analysis/shape.hpp"

#include <cmath>
#include <limits>

namespace gyro {

Shape shape_of(const double (&moments)[3], double mass) {
  constexpr double none = std::numeric_limits<double>::quiet_NaN();
  const double i1 = moments[0], i2 = moments[1], i3 = moments[2];
  Shape s{};
  if (!(mass > 0) || !(i1 > 0)) {
    // No atom, or one (all moments 0): only a radius of 0 for one atom.
    s = {mass > 0 ? 0.0 : none, {none, none, none}, {none, none, none}, none, none, none, none,
         {none, none}, none, none};
    if (mass > 0) {
      for (int k = 0; k < 3; ++k) s.gyration_moments[k] = s.principal_radii[k] = 0;
      s.asphericity = s.acylindricity = 0;
    }
    return s;
  }
  const double half_trace = (i1 + i2 + i3) / (2 * mass);
  double g[3] = {half_trace - i1 / mass, half_trace - i2 / mass, half_trace - i3 / mass};
  for (double& v : g) v = v < 0 ? 0 : v;  // (a flat molecule's s1, off by rounding)
  const double sum = g[0] + g[1] + g[2];
  s.radius_of_gyration = std::sqrt(sum);
  for (int k = 0; k < 3; ++k) {
    s.gyration_moments[k] = g[2 - k];
    s.principal_radii[k] = std::sqrt(g[2 - k]);
  }
  s.asphericity = g[2] - (g[0] + g[1]) / 2;
  s.acylindricity = g[1] - g[0];
  const bool has_size = sum > 0;
  s.relative_shape_anisotropy =
      has_size ? (s.asphericity * s.asphericity + 0.75 * s.acylindricity * s.acylindricity) /
                     (sum * sum)
               : none;
  const double mean = sum / 3;
  s.shape_parameter =
      has_size ? 27 * (g[0] - mean) * (g[1] - mean) * (g[2] - mean) / (sum * sum * sum) : none;
  s.npr[0] = i3 / i1;
  s.npr[1] = i2 / i1;
  s.eccentricity = std::sqrt(i1 * i1 - i3 * i3) / i1;
  s.inertial_shape_factor = i3 >= 1e-6 * i1 ? i2 / (i1 * i3) : none;
  return s;
}

}  // namespace gyro
