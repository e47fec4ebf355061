#include "analysis/rigid.hpp"

#include <cmath>
#include <utility>


#include "analysis/lapack.hpp"

namespace gyro {
namespace {

float& at(float m[9], int i, int j) { return m[(j - 1) * 3 + (i - 1)]; }

// Each eigenvector column divided by its length.
void normalise_columns(float axes[9]) {
  for (int k = 1; k <= 3; ++k) {
    float s = 0.0f;
    s = ((s + at(axes, 1, k) * at(axes, 1, k)) + at(axes, 2, k) * at(axes, 2, k)) +
        at(axes, 3, k) * at(axes, 3, k);
    const float q = std::sqrt(s);
    for (int i = 1; i <= 3; ++i) at(axes, i, k) = at(axes, i, k) / q;
  }
}

// Largest moment first: exchanges moments 1 and 3 and eigenvector columns 1 and 3.
void order_descending(float moments[3], float axes[9]) {
  std::swap(moments[0], moments[2]);
  for (int i = 1; i <= 3; ++i) std::swap(at(axes, i, 1), at(axes, i, 3));
}

void transpose(float a[9]) {
  std::swap(at(a, 1, 2), at(a, 2, 1));
  std::swap(at(a, 1, 3), at(a, 3, 1));
  std::swap(at(a, 2, 3), at(a, 3, 2));
}

float determinant(float a[9]) {
  return at(a, 1, 3) * (at(a, 2, 1) * at(a, 3, 2) - at(a, 3, 1) * at(a, 2, 2)) +
         (at(a, 1, 1) * (at(a, 2, 2) * at(a, 3, 3) - at(a, 3, 2) * at(a, 2, 3)) -
          at(a, 1, 2) * (at(a, 3, 3) * at(a, 2, 1) - at(a, 2, 3) * at(a, 3, 1)));
}

// A left-handed set of axes becomes right-handed by negating row 1 (sign bits
// flip, so a zero becomes -0). A determinant of 0 or NaN leaves the matrix be.
void make_right_handed(float axes[9]) {
  if (determinant(axes) < 0.0f)
    for (int j = 1; j <= 3; ++j) at(axes, 1, j) = -at(axes, 1, j);
}

// The solver cannot diagonalise a tensor whose sums left the float range: it
// would return infinite or NaN moments as if it had succeeded.
bool tensor_is_finite(float axes[9]) {
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= j; ++i)
      if (!std::isfinite(at(axes, i, j))) return false;
  return true;
}

// The solver's status for an illegal value in its 4th argument, the matrix.
constexpr int illegal_matrix = -4;

}  // namespace

void centre_of_mass(int atom_count, const float* masses, const float* coords, float& centre_x, float& centre_y,
            float& centre_z, float& total_mass) {
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
  centre_x = xm / m;
  centre_y = ym / m;
  centre_z = zm / m;
}

void move_to_centre(int atom_count, float* coords, float centre_x, float centre_y, float centre_z) {
  for (int i = 0; i < atom_count; ++i) translate_point(coords + 3 * i, centre_x, centre_y, centre_z);
}

int principal_frame(int atom_count, const float* masses, const float* coords, float moments[3], float axes[9]) {
  for (int e = 0; e < 9; ++e) axes[e] = 0.0f;
  for (int i = 0; i < atom_count; ++i) {
    const float m = masses[i];
    const float* x = coords + 3 * i;
    const float r2 = (x[0] * x[0] + x[1] * x[1]) + x[2] * x[2];
    for (int j = 1; j <= 3; ++j) {
      const float xj = x[j - 1];
      at(axes, j, j) = m * (r2 - xj * xj) + at(axes, j, j);
      for (int k = j + 1; k <= 3; ++k) at(axes, j, k) = at(axes, j, k) - (m * xj) * x[k - 1];
    }
  }
  if (!tensor_is_finite(axes)) return illegal_matrix;
  const int n = 3, lda = 3, lwork = 27;
  float work[27];
  int ierr = 0;
  ssyev_("V", "U", &n, axes, &lda, moments, work, &lwork, &ierr, 1, 1);
  if (ierr != 0) return ierr;
  normalise_columns(axes);
  order_descending(moments, axes);
  transpose(axes);
  make_right_handed(axes);
  return 0;
}

void rotate_into_frame(int atom_count, float* coords, const float axes[9]) {
  for (int i = 0; i < atom_count; ++i) rotate_point(coords + 3 * i, axes);
}

}  // namespace gyro
