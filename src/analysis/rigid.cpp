#include "analysis/rigid.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "analysis/lapack.hpp"

namespace gyro {
namespace {

// Each eigenvector column divided by its length.
template <class Real>
void normalise_columns(BasicMat3<Real>& axes) {
  for (int k = 0; k < 3; ++k) {
    Real s = 0;
    s = ((s + axes(0, k) * axes(0, k)) + axes(1, k) * axes(1, k)) + axes(2, k) * axes(2, k);
    const Real q = std::sqrt(s);
    for (int i = 0; i < 3; ++i) axes(i, k) = axes(i, k) / q;
  }
}

// Largest moment first: the solver returns them ascending, so the first and
// last moments and eigenvector columns change places.
template <class Real>
void order_descending(Real moments[3], BasicMat3<Real>& axes) {
  std::swap(moments[0], moments[2]);
  for (int i = 0; i < 3; ++i) std::swap(axes(i, 0), axes(i, 2));
}

template <class Real>
void transpose(BasicMat3<Real>& a) {
  std::swap(a(0, 1), a(1, 0));
  std::swap(a(0, 2), a(2, 0));
  std::swap(a(1, 2), a(2, 1));
}

template <class Real>
Real determinant(const BasicMat3<Real>& a) {
  return a(0, 2) * (a(1, 0) * a(2, 1) - a(2, 0) * a(1, 1)) +
         (a(0, 0) * (a(1, 1) * a(2, 2) - a(2, 1) * a(1, 2)) -
          a(0, 1) * (a(2, 2) * a(1, 0) - a(1, 2) * a(2, 0)));
}

// A left-handed set of axes becomes right-handed by negating the first row
// (sign bits flip, so a zero becomes -0). A determinant of 0 or NaN leaves the
// matrix be.
template <class Real>
void make_right_handed(BasicMat3<Real>& axes) {
  if (determinant(axes) < 0)
    for (int j = 0; j < 3; ++j) axes(0, j) = -axes(0, j);
}

// The solver cannot diagonalise a tensor whose sums left the float range: it
// would return infinite or NaN moments as if it had succeeded.
template <class Real>
bool upper_triangle_is_finite(const BasicMat3<Real>& a) {
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

// LAPACK's symmetric eigensolver in each precision, on the upper triangle.
void symmetric_eigen(Mat3& a, float w[3], int& status) {
  const int n = 3, lda = 3, lwork = 27;
  float work[27];
  ssyev_("V", "U", &n, a.a, &lda, w, work, &lwork, &status, 1, 1);
}
void symmetric_eigen(Mat3d& a, double w[3], int& status) {
  const int n = 3, lda = 3, lwork = 27;
  double work[27];
  dsyev_("V", "U", &n, a.a, &lda, w, work, &lwork, &status, 1, 1);
}

// Moments and axes from the tensor: unit eigenvectors, largest moment first,
// as rows, right-handed. The solver's status.
template <class Real>
int frame_of_tensor(const BasicMat3<Real>& tensor, Real moments[3], BasicMat3<Real>& axes) {
  axes = tensor;
  if (!upper_triangle_is_finite(axes)) return illegal_matrix;
  int status = 0;
  symmetric_eigen(axes, moments, status);
  if (status != 0) return status;
  normalise_columns(axes);
  order_descending(moments, axes);
  transpose(axes);
  make_right_handed(axes);
  return 0;
}

}  // namespace

Vec3 centre_of_mass(std::span<const Atom> atoms, float& total_mass) {
  // Lanes: the x, y and z moments, then the total mass. An atom adds
  // (x, y, z, m)·(m, m, m, 1): x·m equals m·x exactly, and m·1 is m.
  // The weights are built by bits: the mass in lanes 0-2, 1 in lane 3.
  using Bits = std::int32_t __attribute__((vector_size(16)));
  const Bits masses_only = {-1, -1, -1, 0};
  const Bits one_in_lane_3 = std::bit_cast<Bits>(Lanes{0, 0, 0, 1.0f});
  Lanes sums = {0, 0, 0, 0};
  for (const Atom& atom : atoms) {
    const Lanes v = load(atom);
    const Bits weights = (std::bit_cast<Bits>(broadcast<3>(v)) & masses_only) | one_in_lane_3;
    sums = sums + v * std::bit_cast<Lanes>(weights);
  }
  total_mass = sums[3];
  return {sums[0] / sums[3], sums[1] / sums[3], sums[2] / sums[3]};
}

CentreDrift single_precision_drift(std::span<const Atom> atoms, Vec3 centre) {
  double sums[4] = {0, 0, 0, 0}, largest = 0;
  for (const Atom& a : atoms) {
    const double m = a.mass, x = a.x, y = a.y, z = a.z;
    sums[0] += m * x;
    sums[1] += m * y;
    sums[2] += m * z;
    sums[3] += m;
    largest = std::max({largest, std::fabs(x), std::fabs(y), std::fabs(z)});
  }
  const double dx = sums[0] / sums[3] - double{centre.x},
               dy = sums[1] / sums[3] - double{centre.y},
               dz = sums[2] / sums[3] - double{centre.z};
  return {std::sqrt(dx * dx + dy * dy + dz * dz), largest};
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
  return frame_of_tensor(inertia_tensor(atoms, centre), moments, axes);
}

namespace {

// The canonical signs in either precision: Real for the sums, Eps its
// machine epsilon.
template <class Real, class AtomT>
int canonical_signs_in(std::span<const AtomT> atoms, BasicVec3<Real> centre,
                       BasicMat3<Real>& axes) {
  int unfixed = 0;
  for (int k = 0; k < 2; ++k) {
    Real sum = 0, magnitude = 0;  // the third moment, and the sum of its terms' sizes
    for (const AtomT& atom : atoms) {
      const Real p = (axes(k, 0) * (atom.x - centre.x) + axes(k, 1) * (atom.y - centre.y)) +
                     axes(k, 2) * (atom.z - centre.z);
      const Real term = ((atom.mass * p) * p) * p;
      sum += term;
      magnitude += std::fabs(term);
    }
    // A sum of n terms may be off by about n roundings of the largest partial
    // sum, and each term by a few of its own.
    const Real rounding = static_cast<Real>(atoms.size() + 4) *
                          std::numeric_limits<Real>::epsilon() * magnitude;
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

// The oriented coordinates of the atoms, in double precision.
template <class AtomT, class Real>
std::vector<double> oriented_coordinates(std::span<const AtomT> atoms, BasicVec3<Real> centre,
                                         const BasicMat3<Real>& axes) {
  std::vector<double> o;
  o.reserve(3 * atoms.size());
  for (const AtomT& a : atoms) {
    const double d[3] = {double{a.x} - double{centre.x}, double{a.y} - double{centre.y},
                         double{a.z} - double{centre.z}};
    for (int i = 0; i < 3; ++i)
      o.push_back((double{axes(i, 0)} * d[0] + double{axes(i, 1)} * d[1]) + double{axes(i, 2)} * d[2]);
  }
  return o;
}

template <class AtomT, class Real>
void follow_series_in(std::span<const AtomT> atoms, BasicVec3<Real> centre, BasicMat3<Real>& axes,
                      const std::vector<double>& previous, std::vector<double>& oriented) {
  oriented = oriented_coordinates(atoms, centre, axes);
  if (previous.size() != oriented.size() || previous.empty()) return;
  // Σ_k |s∘o_k − p_k|² = const − 2 Σ_i s_i c_i, with c_i = Σ_k o_ki p_ki: the
  // choice of the largest Σ_i s_i c_i lies closest.
  double c[3] = {0, 0, 0};
  for (std::size_t k = 0; k < oriented.size(); ++k) c[k % 3] += oriented[k] * previous[k];
  static constexpr int choices[4][3] = {{1, 1, 1}, {-1, -1, 1}, {-1, 1, -1}, {1, -1, -1}};
  int best = 0;
  double best_score = c[0] + c[1] + c[2];
  for (int k = 1; k < 4; ++k) {
    const double score = choices[k][0] * c[0] + choices[k][1] * c[1] + choices[k][2] * c[2];
    if (score > best_score) {
      best = k;
      best_score = score;
    }
  }
  if (best == 0) return;
  for (int i = 0; i < 3; ++i) {
    if (choices[best][i] > 0) continue;
    for (int j = 0; j < 3; ++j) axes(i, j) = -axes(i, j);
    for (std::size_t k = static_cast<std::size_t>(i); k < oriented.size(); k += 3)
      oriented[k] = -oriented[k];
  }
}

}  // namespace

void follow_series(std::span<const Atom> atoms, Vec3 centre, Mat3& axes,
                   const std::vector<double>& previous, std::vector<double>& oriented) {
  follow_series_in(atoms, centre, axes, previous, oriented);
}
void follow_series(std::span<const AtomD> atoms, Vec3d centre, Mat3d& axes,
                   const std::vector<double>& previous, std::vector<double>& oriented) {
  follow_series_in(atoms, centre, axes, previous, oriented);
}

int canonical_signs(std::span<const Atom> atoms, Vec3 centre, Mat3& axes) {
  return canonical_signs_in<float>(atoms, centre, axes);
}

int canonical_signs(std::span<const AtomD> atoms, Vec3d centre, Mat3d& axes) {
  return canonical_signs_in<double>(atoms, centre, axes);
}

Vec3d centre_of_mass(std::span<const AtomD> atoms, double& total_mass) {
  double x = 0, y = 0, z = 0, m = 0;
  for (const AtomD& a : atoms) {
    x = x + a.x * a.mass;
    y = y + a.y * a.mass;
    z = z + a.z * a.mass;
    m = m + a.mass;
  }
  total_mass = m;
  return {x / m, y / m, z / m};
}

Mat3d inertia_tensor(std::span<const AtomD> atoms, Vec3d centre) {
  double xx = 0, yy = 0, zz = 0, xy = 0, xz = 0, yz = 0;
  for (const AtomD& a : atoms) {
    const double x = a.x - centre.x, y = a.y - centre.y, z = a.z - centre.z, m = a.mass;
    const double sx = x * x, sy = y * y, sz = z * z, r2 = (sx + sy) + sz;
    xx = m * (r2 - sx) + xx;
    yy = m * (r2 - sy) + yy;
    zz = m * (r2 - sz) + zz;
    xy = xy - (m * x) * y;
    xz = xz - (m * x) * z;
    yz = yz - (m * y) * z;
  }
  Mat3d t;
  t(0, 0) = xx, t(1, 1) = yy, t(2, 2) = zz;
  t(0, 1) = xy, t(0, 2) = xz, t(1, 2) = yz;
  return t;
}

int principal_frame(std::span<const AtomD> atoms, Vec3d centre, double moments[3], Mat3d& axes) {
  return frame_of_tensor(inertia_tensor(atoms, centre), moments, axes);
}

}  // namespace gyro
