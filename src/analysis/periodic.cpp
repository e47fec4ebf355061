#include "analysis/periodic.hpp"

#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <immintrin.h>
#endif
#include <numbers>
#include <string>

namespace gyro {
namespace {

// The inverse of the matrix whose columns are the box's edges: fractional
// coordinates from Cartesian ones. False when the edges span no volume.
bool invert_edges(Box& box) {
  const double(&e)[3][3] = box.edge;
  // m(i, j): component i of edge j.
  auto m = [&](int i, int j) { return e[j][i]; };
  const double det = m(0, 0) * (m(1, 1) * m(2, 2) - m(1, 2) * m(2, 1)) -
                     m(0, 1) * (m(1, 0) * m(2, 2) - m(1, 2) * m(2, 0)) +
                     m(0, 2) * (m(1, 0) * m(2, 1) - m(1, 1) * m(2, 0));
  if (!(std::fabs(det) > 1e-9) || !std::isfinite(det)) return false;
  double(&inv)[3][3] = box.to_fraction;
  inv[0][0] = (m(1, 1) * m(2, 2) - m(1, 2) * m(2, 1)) / det;
  inv[0][1] = (m(0, 2) * m(2, 1) - m(0, 1) * m(2, 2)) / det;
  inv[0][2] = (m(0, 1) * m(1, 2) - m(0, 2) * m(1, 1)) / det;
  inv[1][0] = (m(1, 2) * m(2, 0) - m(1, 0) * m(2, 2)) / det;
  inv[1][1] = (m(0, 0) * m(2, 2) - m(0, 2) * m(2, 0)) / det;
  inv[1][2] = (m(0, 2) * m(1, 0) - m(0, 0) * m(1, 2)) / det;
  inv[2][0] = (m(1, 0) * m(2, 1) - m(1, 1) * m(2, 0)) / det;
  inv[2][1] = (m(0, 1) * m(2, 0) - m(0, 0) * m(2, 1)) / det;
  inv[2][2] = (m(0, 0) * m(1, 1) - m(0, 1) * m(1, 0)) / det;
  return true;
}

void fractional(const Box& box, const double xyz[3], double f[3]) {
  for (int i = 0; i < 3; ++i)
    f[i] = box.to_fraction[i][0] * xyz[0] + box.to_fraction[i][1] * xyz[1] +
           box.to_fraction[i][2] * xyz[2];
}

// The joining works in four float lanes (a, b, c and one unused): the
// fractional coordinates, their nearest whole numbers and an approximate
// sine and cosine for all three directions at once. Placement only decides
// which image an atom takes, and every placement (the analysis's and the
// copy's) goes through these same steps, so they agree.
using WholeLanes = int __attribute__((vector_size(16)));  // lane masks

// The matrix to fractional coordinates as three columns of lanes.
struct FractionLanes {
  Lanes column[3];
  float row[3][3];  // the same matrix, element by element
  explicit FractionLanes(const Box& box) {
    for (int j = 0; j < 3; ++j) {
      column[j] = Lanes{static_cast<float>(box.to_fraction[0][j]),
                        static_cast<float>(box.to_fraction[1][j]),
                        static_cast<float>(box.to_fraction[2][j]), 0.0f};
      for (int i = 0; i < 3; ++i) row[i][j] = static_cast<float>(box.to_fraction[i][j]);
    }
  }
  Lanes of(float x, float y, float z) const {
    return (column[0] * x + column[1] * y) + column[2] * z;
  }
};

// The whole numbers nearest the lanes (halves to even), by adding and taking
// away 1.5 * 2^23, which leaves no bits below the units: no conversion, so no
// lane is out of any range (floats of 2^22 and more are whole already).
inline Lanes nearest_whole(Lanes v) {
  constexpr float magic = 12582912.0f;
  const Lanes big = v + magic;
  return big - magic;
}

// sin and cos of 2πx in each lane, roughly (to about 1e-3): enough to place a
// centre inside a molecule. x is first brought into [-1/2, 1/2]; then the
// half angle's sine and cosine by short series, and the double angle.
inline void turn(Lanes x, Lanes& s, Lanes& c) {
  x -= nearest_whole(x);
  const Lanes t = x * 3.14159265f, t2 = t * t;  // |t| <= π/2
  const Lanes sh = t * (1.0f - t2 * (1.0f / 6) * (1.0f - t2 * (1.0f / 20)));
  const Lanes ch = 1.0f - t2 * 0.5f * (1.0f - t2 * (1.0f / 12));
  s = 2.0f * sh * ch;
  c = ch * ch - sh * sh;
}

// Whether every lane is zero (the atom stays where it is).
inline bool all_zero(Lanes v) {
#if defined(__SSE2__)
  return _mm_movemask_ps(_mm_cmpneq_ps(v, _mm_setzero_ps())) == 0;
#else
  return v[0] == 0 && v[1] == 0 && v[2] == 0 && v[3] == 0;
#endif
}

inline Lanes lanes_of(const double v[3]) {
  return Lanes{static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2]), 0.0f};
}

// Four atoms at a time, one atom a lane: their coordinates and masses.
template <class AtomT>
struct FourAtoms {
  Lanes x, y, z, m;
  template <class A>
  explicit FourAtoms(const A* a)
      : x{static_cast<float>(a[0].x), static_cast<float>(a[1].x), static_cast<float>(a[2].x),
          static_cast<float>(a[3].x)},
        y{static_cast<float>(a[0].y), static_cast<float>(a[1].y), static_cast<float>(a[2].y),
          static_cast<float>(a[3].y)},
        z{static_cast<float>(a[0].z), static_cast<float>(a[1].z), static_cast<float>(a[2].z),
          static_cast<float>(a[3].z)},
        m{static_cast<float>(a[0].mass), static_cast<float>(a[1].mass),
          static_cast<float>(a[2].mass), static_cast<float>(a[3].mass)} {}
#if defined(__SSE2__)
  // Four single-precision atoms (x, y, z, mass each) turned into lanes of x,
  // y, z and mass by one transposition.
  explicit FourAtoms(const Atom* a) {
    __m128 r0 = _mm_loadu_ps(&a[0].x), r1 = _mm_loadu_ps(&a[1].x), r2 = _mm_loadu_ps(&a[2].x),
           r3 = _mm_loadu_ps(&a[3].x);
    _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
    std::memcpy(&x, &r0, sizeof x);
    std::memcpy(&y, &r1, sizeof y);
    std::memcpy(&z, &r2, sizeof z);
    std::memcpy(&m, &r3, sizeof m);
  }
#endif
  // The fractional coordinate along box direction k of each: the same
  // operations in the same order as FractionLanes::of for one atom.
  Lanes fraction(const FractionLanes& matrix, int k) const {
    return (matrix.row[k][0] * x + matrix.row[k][1] * y) + matrix.row[k][2] * z;
  }
};

// The sums of the circular and the plain mean: by direction, in lanes.
struct MeanSums {
  Lanes sines[3] = {}, cosines[3] = {}, sums[3] = {};
  Lanes mass = {0, 0, 0, 0};
  template <class Four>
  void add(const FractionLanes& to_fraction, const Four& four) {
    for (int k = 0; k < 3; ++k) {
      const Lanes f = four.fraction(to_fraction, k);
      Lanes s, c;
      turn(f, s, c);
      sines[k] += four.m * s;
      cosines[k] += four.m * c;
      sums[k] += four.m * f;
    }
    mass += four.m;
  }
  // One atom (the last few of a structure): its lanes are its directions.
  void add_one(Lanes f, float m) {
    Lanes s, c;
    turn(f, s, c);
    for (int k = 0; k < 3; ++k) {
      sines[k][0] += m * s[k];
      cosines[k][0] += m * c[k];
      sums[k][0] += m * f[k];
    }
    mass[0] += m;
  }
  static double total(Lanes v) { return (double{v[0]} + double{v[1]}) + (double{v[2]} + double{v[3]}); }
};

// One atom moved to its image nearest the centre (the copy's lattice_shift
// gives the same shift); its directions beyond 0.475 of the box into `far`.
template <class AtomT>
void place_atom(AtomT& a, const Box& box, const FractionLanes& to_fraction, Lanes centre,
                WholeLanes& far) {
  const Lanes f = to_fraction.of(static_cast<float>(a.x), static_cast<float>(a.y),
                                 static_cast<float>(a.z));
  const Lanes shift = nearest_whole(f - centre);
  const Lanes off = f - shift - centre;
  far |= (off > 0.475f) | (off < -0.475f);
  if (all_zero(shift)) return;
  const double whole[3] = {shift[0], shift[1], shift[2]};
  using Real = decltype(a.x);
  Real v[3] = {a.x, a.y, a.z};
  shifted(box, whole, v);
  a.x = v[0];
  a.y = v[1];
  a.z = v[2];
}

template <class AtomT>
Joining join(std::span<AtomT> atoms, const Box& box) {
  Joining j;
  j.box = box;
  const FractionLanes to_fraction(box);
  const std::size_t n = atoms.size(), quads = n / 4 * 4;
  MeanSums sums;
  for (std::size_t k = 0; k < quads; k += 4) sums.add(to_fraction, FourAtoms<AtomT>(&atoms[k]));
  for (std::size_t k = quads; k < n; ++k) {
    const AtomT& a = atoms[k];
    sums.add_one(to_fraction.of(static_cast<float>(a.x), static_cast<float>(a.y),
                                static_cast<float>(a.z)),
                 static_cast<float>(a.mass));
  }
  // The circular mean, taken at its image nearest the plain mean: a molecule
  // the box does not cut keeps every atom where it is.
  const double mass = MeanSums::total(sums.mass);
  for (int k = 0; k < 3; ++k) {
    const double circular =
        std::atan2(MeanSums::total(sums.sines[k]), MeanSums::total(sums.cosines[k])) /
        (2 * std::numbers::pi);
    const double plain = mass > 0 ? MeanSums::total(sums.sums[k]) / mass : circular;
    j.centre[k] = circular + std::floor(plain - circular + 0.5);
  }
  const Lanes centre = lanes_of(j.centre);
  WholeLanes far = {0, 0, 0, 0};
  WholeLanes far_by_direction[3] = {};
  for (std::size_t k = 0; k < quads; k += 4) {
    const FourAtoms<AtomT> four(&atoms[k]);
    Lanes moved = {0, 0, 0, 0};
    for (int d = 0; d < 3; ++d) {
      const Lanes from_centre = four.fraction(to_fraction, d) - centre[d];
      const Lanes shift = nearest_whole(from_centre);
      const Lanes off = from_centre - shift;
      far_by_direction[d] |= (off > 0.475f) | (off < -0.475f);
      moved += shift * shift;
    }
    if (all_zero(moved)) [[likely]]
      continue;
    for (std::size_t i = k; i < k + 4; ++i) place_atom(atoms[i], box, to_fraction, centre, far);
  }
  for (std::size_t k = quads; k < n; ++k) place_atom(atoms[k], box, to_fraction, centre, far);
  for (int d = 0; d < 3; ++d) {
    const WholeLanes& f = far_by_direction[d];
    if ((f[0] | f[1] | f[2] | f[3]) != 0) far[d] = -1;
  }
  for (int k = 0; k < 3; ++k) j.filled |= far[k] != 0 ? 1u << k : 0u;
  return j;
}

}  // namespace

std::optional<Box> box_from_cell(const double lengths[3], const double angles[3]) {
  const double a = lengths[0], b = lengths[1], c = lengths[2];
  if (!(a > 0 && b > 0 && c > 0)) return std::nullopt;
  if (a == 1 && b == 1 && c == 1) return std::nullopt;  // the placeholder cell
  const double deg = std::numbers::pi / 180;
  const double ca = std::cos(angles[0] * deg), cb = std::cos(angles[1] * deg),
               cg = std::cos(angles[2] * deg), sg = std::sin(angles[2] * deg);
  if (!(std::fabs(sg) > 1e-9)) return std::nullopt;
  const double cy = (ca - cb * cg) / sg, cz2 = 1 - cb * cb - cy * cy;
  if (!(cz2 > 0)) return std::nullopt;
  const double edges[3][3] = {{a, 0, 0}, {b * cg, b * sg, 0}, {c * cb, c * cy, c * std::sqrt(cz2)}};
  return box_from_edges(edges);
}

std::optional<Box> box_from_edges(const double edges[3][3]) {
  Box box;
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 3; ++k) box.edge[i][k] = edges[i][k];
  if (!invert_edges(box)) return std::nullopt;
  return box;
}

void lattice_shift(const Box& box, const double xyz[3], const double near[3], double shift[3]) {
  const Lanes f = FractionLanes(box).of(static_cast<float>(xyz[0]), static_cast<float>(xyz[1]),
                                        static_cast<float>(xyz[2]));
  const Lanes whole = nearest_whole(f - lanes_of(near));
  for (int k = 0; k < 3; ++k) shift[k] = whole[k];
}

void place_residue(const Joining& j, std::span<const double> xyz, std::span<const char> analysed,
                   std::span<double> shifts) {
  const std::size_t n = analysed.size();
  std::size_t anchor = 0;
  while (anchor < n && !analysed[anchor]) ++anchor;
  if (anchor == n) anchor = 0;
  double anchor_shift[3], placed[3], near[3];
  lattice_shift(j.box, &xyz[3 * anchor], j.centre, anchor_shift);
  for (int i = 0; i < 3; ++i)
    placed[i] = xyz[3 * anchor + i] - anchor_shift[0] * j.box.edge[0][i] -
                anchor_shift[1] * j.box.edge[1][i] - anchor_shift[2] * j.box.edge[2][i];
  fractional(j.box, placed, near);
  for (std::size_t k = 0; k < n; ++k)
    lattice_shift(j.box, &xyz[3 * k], analysed[k] ? j.centre : near, &shifts[3 * k]);
}

Joining make_whole(std::span<Atom> atoms, const Box& box) { return join(atoms, box); }
Joining make_whole(std::span<AtomD> atoms, const Box& box) { return join(atoms, box); }

std::string directions_text(unsigned filled) {
  std::string text;
  const char* names[] = {"a", "b", "c"};
  int count = 0;
  for (int k = 0; k < 3; ++k) count += (filled >> k) & 1;
  int said = 0;
  for (int k = 0; k < 3; ++k) {
    if (!((filled >> k) & 1)) continue;
    if (said > 0) text += said + 1 == count ? " and " : ", ";
    text += names[k];
    ++said;
  }
  return text;
}

}  // namespace gyro
