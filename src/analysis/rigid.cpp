#include "analysis/rigid.hpp"

#include <cmath>
#include <utility>


#include "analysis/lapack.hpp"

namespace gyro {
namespace {

float& at(float m[9], int i, int j) { return m[(j - 1) * 3 + (i - 1)]; }

// Each eigenvector column divided by its length.
void normalise_columns(float pvec[9]) {
  for (int k = 1; k <= 3; ++k) {
    float s = 0.0f;
    s = ((s + at(pvec, 1, k) * at(pvec, 1, k)) + at(pvec, 2, k) * at(pvec, 2, k)) +
        at(pvec, 3, k) * at(pvec, 3, k);
    const float q = std::sqrt(s);
    for (int i = 1; i <= 3; ++i) at(pvec, i, k) = at(pvec, i, k) / q;
  }
}

// Largest moment first: exchanges moments 1 and 3 and eigenvector columns 1 and 3.
void order_descending(float pmom[3], float pvec[9]) {
  std::swap(pmom[0], pmom[2]);
  for (int i = 1; i <= 3; ++i) std::swap(at(pvec, i, 1), at(pvec, i, 3));
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
void make_right_handed(float pvec[9]) {
  if (determinant(pvec) < 0.0f)
    for (int j = 1; j <= 3; ++j) at(pvec, 1, j) = -at(pvec, 1, j);
}

// The solver cannot diagonalise a tensor whose sums left the float range: it
// would return infinite or NaN moments as if it had succeeded.
bool tensor_is_finite(float pvec[9]) {
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= j; ++i)
      if (!std::isfinite(at(pvec, i, j))) return false;
  return true;
}

// The solver's status for an illegal value in its 4th argument, the matrix.
constexpr int illegal_matrix = -4;

}  // namespace

void cenmas(int natom, const float* atmass, const float* atcrd, float& xcen, float& ycen,
            float& zcen, float& mtot) {
  float m = 0.0f, xm = 0.0f, ym = 0.0f, zm = 0.0f;
  for (int i = 0; i < natom; ++i) {
    const float mi = atmass[i];
    const float* c = atcrd + 3 * i;
    m = m + mi;
    xm = xm + c[0] * mi;
    ym = ym + c[1] * mi;
    zm = zm + mi * c[2];
  }
  mtot = m;
  xcen = xm / m;
  ycen = ym / m;
  zcen = zm / m;
}

void trans(int natom, float* atcrd, float xcen, float ycen, float zcen) {
  for (int i = 0; i < natom; ++i) translate_point(atcrd + 3 * i, xcen, ycen, zcen);
}

int inertia(int natom, const float* atmass, const float* atcrd, float pmom[3], float pvec[9]) {
  for (int e = 0; e < 9; ++e) pvec[e] = 0.0f;
  for (int i = 0; i < natom; ++i) {
    const float m = atmass[i];
    const float* x = atcrd + 3 * i;
    const float r2 = (x[0] * x[0] + x[1] * x[1]) + x[2] * x[2];
    for (int j = 1; j <= 3; ++j) {
      const float xj = x[j - 1];
      at(pvec, j, j) = m * (r2 - xj * xj) + at(pvec, j, j);
      for (int k = j + 1; k <= 3; ++k) at(pvec, j, k) = at(pvec, j, k) - (m * xj) * x[k - 1];
    }
  }
  if (!tensor_is_finite(pvec)) return illegal_matrix;
  const int n = 3, lda = 3, lwork = 27;
  float work[27];
  int ierr = 0;
  ssyev_("V", "U", &n, pvec, &lda, pmom, work, &lwork, &ierr, 1, 1);
  if (ierr != 0) return ierr;
  normalise_columns(pvec);
  order_descending(pmom, pvec);
  transpose(pvec);
  make_right_handed(pvec);
  return 0;
}

void rotate(int natom, float* atcrd, const float pvec[9]) {
  for (int i = 0; i < natom; ++i) rotate_point(atcrd + 3 * i, pvec);
}

}  // namespace gyro
