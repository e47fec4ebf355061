#include "analysis/periodic.hpp"

#include <cmath>
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
  explicit FractionLanes(const Box& box) {
    for (int j = 0; j < 3; ++j)
      column[j] = Lanes{static_cast<float>(box.to_fraction[0][j]),
                        static_cast<float>(box.to_fraction[1][j]),
                        static_cast<float>(box.to_fraction[2][j]), 0.0f};
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

template <class AtomT>
Joining join(std::span<AtomT> atoms, const Box& box) {
  Joining j;
  j.box = box;
  const FractionLanes to_fraction(box);
  Lanes sines = {0, 0, 0, 0}, cosines = {0, 0, 0, 0}, sums = {0, 0, 0, 0};
  double mass = 0;
  for (const AtomT& a : atoms) {
    const Lanes f = to_fraction.of(static_cast<float>(a.x), static_cast<float>(a.y),
                                   static_cast<float>(a.z));
    Lanes s, c;
    turn(f, s, c);
    const auto m = static_cast<float>(a.mass);
    sines += m * s;
    cosines += m * c;
    sums += m * f;
    mass += static_cast<double>(a.mass);
  }
  // The circular mean, taken at its image nearest the plain mean: a molecule
  // the box does not cut keeps every atom where it is.
  for (int k = 0; k < 3; ++k) {
    const double circular = std::atan2(double{sines[k]}, double{cosines[k]}) / (2 * std::numbers::pi);
    const double plain = mass > 0 ? double{sums[k]} / mass : circular;
    const double t = plain - circular + 0.5;
    j.centre[k] = circular + std::floor(t);
  }
  const Lanes centre = lanes_of(j.centre);
  WholeLanes far = {0, 0, 0, 0};
  for (AtomT& a : atoms) {
    const Lanes f = to_fraction.of(static_cast<float>(a.x), static_cast<float>(a.y),
                                   static_cast<float>(a.z));
    const Lanes shift = nearest_whole(f - centre);  // as lattice_shift
    const Lanes off = f - shift - centre;
    far |= (off > 0.475f) | (off < -0.475f);
    if (all_zero(shift)) [[likely]]
      continue;
    const double whole[3] = {shift[0], shift[1], shift[2]};
    auto coordinates = [&](auto& p) {
      using Real = std::remove_reference_t<decltype(p.x)>;
      Real v[3] = {p.x, p.y, p.z};
      shifted(box, whole, v);
      p.x = v[0];
      p.y = v[1];
      p.z = v[2];
    };
    coordinates(a);
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
