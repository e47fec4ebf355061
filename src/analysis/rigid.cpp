#include "analysis/rigid.hpp"

#include <cfloat>
#include <cmath>

#include <cmath>
#include <cstring>
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

Lanes load(const Atom& a) {
  Lanes v;
  std::memcpy(&v, &a, sizeof v);
  return v;
}

template <int Lane>
Lanes broadcast(Lanes v) {
  return pick<Lane, Lane, Lane, Lane>(v);
}

}  // namespace

Vec3 centre_of_mass(std::span<const Atom> atoms, float& total_mass) {
  // Lanes: the x, y and z moments, then the total mass. An atom adds
  // (x, y, z, m)·(m, m, m, 1): x·m equals m·x exactly, and m·1 is m.
  Lanes sums = {0, 0, 0, 0};
  for (const Atom& atom : atoms) {
    const Lanes v = load(atom);
    Lanes weights = broadcast<3>(v);
    weights[3] = 1.0f;
    sums = sums + v * weights;
  }
  total_mass = sums[3];
  return {sums[0] / sums[3], sums[1] / sums[3], sums[2] / sums[3]};
}

// Lanes 0-2 of two vectors hold the diagonal (0,0) (1,1) (2,2) and the upper
// elements (0,1) (0,2) (1,2); an atom's vector is (x, y, z, m), moved.
Mat3 inertia_tensor(std::span<const Atom> atoms, Vec3 centre) {
  const Lanes shift = {centre.x, centre.y, centre.z, 0.0f};
  Lanes diagonal = {0, 0, 0, 0}, upper = {0, 0, 0, 0};
  for (const Atom& atom : atoms) {
    const Lanes v = load(atom) - shift;
    const Lanes m = broadcast<3>(v);
    const Lanes squares = v * v;
    const Lanes r2 = (broadcast<0>(squares) + broadcast<1>(squares)) + broadcast<2>(squares);
    diagonal = m * (r2 - squares) + diagonal;
    upper = upper - (m * pick<0, 0, 1, 3>(v)) * pick<1, 2, 2, 3>(v);
  }
  Mat3 t;
  t(0, 0) = diagonal[0], t(1, 1) = diagonal[1], t(2, 2) = diagonal[2];
  t(0, 1) = upper[0], t(0, 2) = upper[1], t(1, 2) = upper[2];
  return t;
}

int principal_frame(std::span<const Atom> atoms, Vec3 centre, float moments[3], Mat3& axes) {
  axes = inertia_tensor(atoms, centre);
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

int canonical_signs(std::span<const Atom> atoms, Vec3 centre, Mat3& axes) {
  int unfixed = 0;
  for (int k = 0; k < 2; ++k) {
    float sum = 0, magnitude = 0;  // the third moment, and the sum of its terms' sizes
    for (const Atom& atom : atoms) {
      const float p = (axes(k, 0) * (atom.x - centre.x) + axes(k, 1) * (atom.y - centre.y)) +
                      axes(k, 2) * (atom.z - centre.z);
      const float term = ((atom.mass * p) * p) * p;
      sum += term;
      magnitude += std::fabs(term);
    }
    // A sum of n terms may be off by about n roundings of the largest partial
    // sum, and each term by a few of its own.
    const float rounding = static_cast<float>(atoms.size() + 4) * FLT_EPSILON * magnitude;
    if (!(std::fabs(sum) > rounding)) {
      unfixed |= 1 << k;
    } else if (sum < 0) {
      for (int j = 0; j < 3; ++j) axes(k, j) = -axes(k, j);
    }
  }
  axes(2, 0) = axes(0, 1) * axes(1, 2) - axes(0, 2) * axes(1, 1);
  axes(2, 1) = axes(0, 2) * axes(1, 0) - axes(0, 0) * axes(1, 2);
  axes(2, 2) = axes(0, 0) * axes(1, 1) - axes(0, 1) * axes(1, 0);
  return unfixed;
}

}  // namespace gyro
