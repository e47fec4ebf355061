#include "analysis/rigid.hpp"

#include <cmath>
#include <utility>

#include "analysis/lapack.hpp"

namespace gyro {
namespace {

// Each eigenvector column divided by its length.
void normalise_columns(Mat3& axes) {
  for (int k = 0; k < 3; ++k) {
    float s = 0.0f;
    s = ((s + axes(0, k) * axes(0, k)) + axes(1, k) * axes(1, k)) + axes(2, k) * axes(2, k);
    const float q = std::sqrt(s);
    for (int i = 0; i < 3; ++i) axes(i, k) = axes(i, k) / q;
  }
}

// Largest moment first: the solver returns them ascending, so the first and
// last moments and eigenvector columns change places.
void order_descending(float moments[3], Mat3& axes) {
  std::swap(moments[0], moments[2]);
  for (int i = 0; i < 3; ++i) std::swap(axes(i, 0), axes(i, 2));
}

void transpose(Mat3& a) {
  std::swap(a(0, 1), a(1, 0));
  std::swap(a(0, 2), a(2, 0));
  std::swap(a(1, 2), a(2, 1));
}

float determinant(const Mat3& a) {
  return a(0, 2) * (a(1, 0) * a(2, 1) - a(2, 0) * a(1, 1)) +
         (a(0, 0) * (a(1, 1) * a(2, 2) - a(2, 1) * a(1, 2)) -
          a(0, 1) * (a(2, 2) * a(1, 0) - a(1, 2) * a(2, 0)));
}

// A left-handed set of axes becomes right-handed by negating the first row
// (sign bits flip, so a zero becomes -0). A determinant of 0 or NaN leaves the
// matrix be.
void make_right_handed(Mat3& axes) {
  if (determinant(axes) < 0.0f)
    for (int j = 0; j < 3; ++j) axes(0, j) = -axes(0, j);
}

// The solver cannot diagonalise a tensor whose sums left the float range: it
// would return infinite or NaN moments as if it had succeeded.
bool upper_triangle_is_finite(const Mat3& a) {
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i <= j; ++i)
      if (!std::isfinite(a(i, j))) return false;
  return true;
}

// The solver's status for an illegal value in its 4th argument, the matrix.
constexpr int illegal_matrix = -4;

// The inertia tensor about the origin: diagonal sum m(r² - xj²), above it
// -sum m·xj·xk; the lower triangle stays 0, the solver reads only the upper.
Mat3 inertia_tensor(int atom_count, const float* masses, const float* coords) {
  Mat3 t;
  for (int i = 0; i < atom_count; ++i) {
    const float m = masses[i];
    const float* x = coords + 3 * i;
    const float r2 = (x[0] * x[0] + x[1] * x[1]) + x[2] * x[2];
    for (int j = 0; j < 3; ++j) {
      t(j, j) = m * (r2 - x[j] * x[j]) + t(j, j);
      for (int k = j + 1; k < 3; ++k) t(j, k) = t(j, k) - (m * x[j]) * x[k];
    }
  }
  return t;
}

}  // namespace

Vec3 centre_of_mass(int atom_count, const float* masses, const float* coords, float& total_mass) {
  float m = 0.0f, xm = 0.0f, ym = 0.0f, zm = 0.0f;
  for (int i = 0; i < atom_count; ++i) {
    const float mi = masses[i];
    const float* c = coords + 3 * i;
    m = m + mi;
    xm = xm + c[0] * mi;
    ym = ym + c[1] * mi;
    zm = zm + mi * c[2];
  }
  total_mass = m;
  return {xm / m, ym / m, zm / m};
}

void move_to_centre(int atom_count, float* coords, Vec3 centre) {
  for (int i = 0; i < atom_count; ++i) translate_point(coords + 3 * i, centre);
}

int principal_frame(int atom_count, const float* masses, const float* coords, float moments[3],
                    Mat3& axes) {
  axes = inertia_tensor(atom_count, masses, coords);
  if (!upper_triangle_is_finite(axes)) return illegal_matrix;
  const int n = 3, lda = 3, lwork = 27;
  float work[27];
  int status = 0;
  ssyev_("V", "U", &n, axes.a, &lda, moments, work, &lwork, &status, 1, 1);
  if (status != 0) return status;
  normalise_columns(axes);
  order_descending(moments, axes);
  transpose(axes);
  make_right_handed(axes);
  return 0;
}

void rotate_into_frame(int atom_count, float* coords, const Mat3& axes) {
  for (int i = 0; i < atom_count; ++i) rotate_point(coords + 3 * i, axes);
}

}  // namespace gyro
