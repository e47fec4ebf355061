// Rigid-body analysis of the accepted atoms: total mass and centre of mass,
// inertia tensor about the centre and principal frame, and the frame that
// moves atoms to the centre and rotates them into the principal axes.
// Every operation is a single-precision one, in the order written here; where
// several sums or coordinates travel in the lanes of one vector, each lane is
// computed on its own exactly as scalar code would.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <cstring>
#include <span>
#include <vector>

namespace gyro {

// A point or direction: three numbers that always travel together.
template <class Real>
struct BasicVec3 {
  Real x = 0, y = 0, z = 0;
};
using Vec3 = BasicVec3<float>;
using Vec3d = BasicVec3<double>;  // the same in double precision (--double)

// A 3x3 matrix stored column after column, the order LAPACK reads and writes;
// (row, column) from 0.
template <class Real>
struct BasicMat3 {
  Real a[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
  Real& operator()(int row, int col) { return a[col * 3 + row]; }
  Real operator()(int row, int col) const { return a[col * 3 + row]; }
};
using Mat3 = BasicMat3<float>;
using Mat3d = BasicMat3<double>;

// One accepted atom: its coordinates and mass (atomic mass units), in one
// 16-byte record that the analysis loads as one vector.
struct alignas(16) Atom {
  float x, y, z, mass;
};

// An accepted atom in double precision (--double).
struct AtomD {
  double x, y, z, mass;
};

// Four floats in one vector register (x, y, z and a fourth lane).
using Lanes = float __attribute__((vector_size(16)));

// The lanes A, B, C, D of v, in that order.
template <int A, int B, int C, int D>
inline Lanes pick(Lanes v) {
#if defined(__clang__)
  return __builtin_shufflevector(v, v, A, B, C, D);
#else
  using Index = int __attribute__((vector_size(16)));
  return __builtin_shuffle(v, Index{A, B, C, D});
#endif
}

// Where the atoms go: moved so that the centre of mass is the origin,
// x - centre.x and so on, and then, when rotated, into the principal frame:
// new x = ((0 + a(0,0)·x) + a(0,1)·y) + a(0,2)·z with the translated x, y, z,
// likewise y and z from rows 1 and 2.
class Frame {
 public:
  Frame() = default;
  Frame(Vec3 centre, bool rotated, const Mat3& axes)
      : shift_{centre.x, centre.y, centre.z, 0.0f},
        columns_{{axes(0, 0), axes(1, 0), axes(2, 0), 0.0f},
                 {axes(0, 1), axes(1, 1), axes(2, 1), 0.0f},
                 {axes(0, 2), axes(1, 2), axes(2, 2), 0.0f}},
        rotated_(rotated) {}

  // Lanes 0-2 of v moved; the fourth lane is kept when only translated, 0
  // when rotated.
  Lanes moved(Lanes v) const {
    v = v - shift_;
    if (!rotated_) return v;
    const Lanes x = pick<0, 0, 0, 0>(v), y = pick<1, 1, 1, 1>(v), z = pick<2, 2, 2, 2>(v);
    return ((0.0f + columns_[0] * x) + columns_[1] * y) + columns_[2] * z;
  }
  // A direction (a velocity) turned as the atoms are, not shifted.
  Lanes turned(Lanes v) const {
    if (!rotated_) return v;
    const Lanes x = pick<0, 0, 0, 0>(v), y = pick<1, 1, 1, 1>(v), z = pick<2, 2, 2, 2>(v);
    return ((0.0f + columns_[0] * x) + columns_[1] * y) + columns_[2] * z;
  }
  bool rotated() const { return rotated_; }

 private:
  Lanes shift_ = {0, 0, 0, 0};
  Lanes columns_[3] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
  bool rotated_ = false;
};

// Mass-weighted centre of the atoms, and their total mass through
// `total_mass` (a NaN centre when there are none).
Vec3 centre_of_mass(std::span<const Atom> atoms, float& total_mass);

// How far single precision moved a centre of mass: the centre from
// double-precision sums of the same atoms, its distance from `centre` (found
// in single precision), and the largest coordinate's magnitude.
struct CentreDrift {
  double drift = 0, largest = 0;
};
CentreDrift single_precision_drift(std::span<const Atom> atoms, Vec3 centre);

// The inertia tensor about `centre`, from each atom's coordinates moved there
// (x - centre.x and so on): diagonal sum m(r² - xj²), above it -sum m·xj·xk;
// the lower triangle stays 0 (the solver reads only the upper).
Mat3 inertia_tensor(std::span<const Atom> atoms, Vec3 centre);

// Principal moments (largest first) and the proper rotation whose rows are the
// principal axes, from the tensor about `centre`. Returns the solver's status:
// 0 on success; -4 (the solver's code for an illegal matrix) when the
// tensor's sums overflowed; otherwise moments and axes hold whatever the
// solver left.
int principal_frame(std::span<const Atom> atoms, Vec3 centre, float moments[3], Mat3& axes);

// One pose whatever the input pose: of the principal axes (rows of `axes`),
// the first and the second are each turned so that the mass-weighted third
// moment of the atoms along it, the sum of m·(a·(r - centre))³, is positive;
// the third becomes the cross product of the two (right-handed). Returns a bit
// for each of the first two axes (1, 2) whose third moment is zero within the
// rounding of its sum (a symmetric shape): that axis keeps its sign.
int canonical_signs(std::span<const Atom> atoms, Vec3 centre, Mat3& axes);

// --canonical along a series of models: of the four right-handed sign choices
// of `axes` (as they are, or two of the three turned), the one whose oriented
// coordinates, axes·(r − centre) atom by atom, lie closest to `previous` (the
// last model's, three numbers an atom, as many atoms): the least sum of
// squared distances, unweighted; a tie keeps the axes as they are. The chosen
// oriented coordinates into `oriented` (`previous` empty: the axes as they
// are, their coordinates only).
void follow_series(std::span<const Atom> atoms, Vec3 centre, Mat3& axes,
                   const std::vector<double>& previous, std::vector<double>& oriented);

// The same four in double precision, with LAPACK's double-precision
// eigensolver; every operation in double, the grouping as in single
// precision (the sums in atom order, one after the other).
Vec3d centre_of_mass(std::span<const AtomD> atoms, double& total_mass);
Mat3d inertia_tensor(std::span<const AtomD> atoms, Vec3d centre);
int principal_frame(std::span<const AtomD> atoms, Vec3d centre, double moments[3], Mat3d& axes);
int canonical_signs(std::span<const AtomD> atoms, Vec3d centre, Mat3d& axes);
void follow_series(std::span<const AtomD> atoms, Vec3d centre, Mat3d& axes,
                   const std::vector<double>& previous, std::vector<double>& oriented);

// Frame in double precision, one coordinate at a time.
class FrameD {
 public:
  FrameD() = default;
  FrameD(Vec3d centre, bool rotated, const Mat3d& axes)
      : centre_(centre), axes_(axes), rotated_(rotated) {
    for (int j = 0; j < 3; ++j)
      for (int i = 0; i < 3; ++i) columns_[j][i] = axes(i, j);
    const double c[4] = {centre.x, centre.y, centre.z, 0.0};
    std::copy(c, c + 4, centre_lanes_);
  }
  Vec3d moved(Vec3d r) const {
    const Vec3d d{r.x - centre_.x, r.y - centre_.y, r.z - centre_.z};
    if (!rotated_) return d;
    auto row = [&](int i) {
      return ((0.0 + axes_(i, 0) * d.x) + axes_(i, 1) * d.y) + axes_(i, 2) * d.z;
    };
    return {row(0), row(1), row(2)};
  }
  Vec3d turned(Vec3d d) const {
    if (!rotated_) return d;
    auto row = [&](int i) {
      return ((0.0 + axes_(i, 0) * d.x) + axes_(i, 1) * d.y) + axes_(i, 2) * d.z;
    };
    return {row(0), row(1), row(2)};
  }
  bool rotated() const { return rotated_; }
  // For the vector form of moved() the copy uses: the centre and the axes'
  // columns (axes(0, j), axes(1, j), axes(2, j)), each padded with a zero.
  const double* centre_lanes() const { return centre_lanes_; }
  const double* column(int j) const { return columns_[j]; }

 private:
  Vec3d centre_;
  Mat3d axes_;
  bool rotated_ = false;
  double centre_lanes_[4] = {0, 0, 0, 0};
  double columns_[3][4] = {};
};

// A box: its three edge vectors a, b, c (Cartesian, as rows), and the matrix
// that takes Cartesian coordinates to fractional ones.
struct Box {
  double edge[3][3] = {};
  double to_fraction[3][3] = {};
};

// Where the atoms of one structure were joined: the box, their centre in
// fractional coordinates, and the box directions (bit 0 a, 1 b, 2 c) along
// which the joined atoms reach more than 0.475 of the box from the centre
// (they may fill the box and still be cut there).
struct Joining {
  Box box;
  double centre[3] = {0, 0, 0};
  unsigned filled = 0;
};

// The frame of one model of a series: none where the model has no accepted
// atom (its records are copied as read).
template <class FrameT>
struct ModelFrame {
  std::int64_t model = 0;
  bool has_frame = false;
  FrameT frame;
  std::optional<Joining> joining;  // --whole: how the model's atoms were joined
};

}  // namespace gyro
