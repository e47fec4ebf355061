#include "analysis/periodic.hpp"

#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <immintrin.h>
#endif
#include <numbers>
#include <string>
#include <type_traits>

#include "text/vectors.hpp"

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

// The joining works in float lanes: four (a, b, c and one unused) for one
// atom, or one atom a lane for a block of four (128-bit vectors) or eight
// (256-bit, where the processor has them). The fractional coordinates, their
// nearest whole numbers and an approximate sine and cosine are the same
// operations in every width, and the sums are kept in four lanes in the same
// order, so every width gives the same centre. Placement only decides which
// image an atom takes, and every placement (the analysis's and the copy's)
// goes through these same steps, so they agree.
// The eight-lane helpers are generic code, always inlined into the functions
// built for 256-bit vectors: none of them is a call across the ABI.
#pragma GCC diagnostic ignored "-Wpsabi"
using Lanes8 = float __attribute__((vector_size(32)));
using Mask4 = int __attribute__((vector_size(16)));  // lane masks
using Mask8 = int __attribute__((vector_size(32)));
template <class V>
using MaskOf = std::conditional_t<sizeof(V) == 16, Mask4, Mask8>;

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
template <class V>
[[gnu::always_inline]] inline V nearest_whole(const V& v) {
  constexpr float magic = 12582912.0f;
  const V big = v + magic;
  return big - magic;
}

// sin and cos of 2πx in each lane, roughly (to about 1e-3): enough to place a
// centre inside a molecule. x is first brought into [-1/2, 1/2]; then the
// half angle's sine and cosine by short series, and the double angle.
template <class V>
[[gnu::always_inline]] inline void turn(const V& fraction, V& s, V& c) {
  const V x = fraction - nearest_whole(fraction);
  const V t = x * 3.14159265f, t2 = t * t;  // |t| <= π/2
  const V sh = t * (1.0f - t2 * (1.0f / 6) * (1.0f - t2 * (1.0f / 20)));
  const V ch = 1.0f - t2 * 0.5f * (1.0f - t2 * (1.0f / 12));
  s = 2.0f * sh * ch;
  c = ch * ch - sh * sh;
}

// The sign bits of the lanes, one bit a lane (a comparison's lanes are all
// ones or all zeros).
inline int sign_bits(Lanes v) {
#if defined(__SSE2__)
  return _mm_movemask_ps(v);
#else
  int bits = 0;
  for (int k = 0; k < 4; ++k) bits |= std::signbit(v[k]) ? 1 << k : 0;
  return bits;
#endif
}
[[gnu::always_inline]] inline int sign_bits(const Lanes8& v) {
  return sign_bits(__builtin_shufflevector(v, v, 0, 1, 2, 3)) |
         sign_bits(__builtin_shufflevector(v, v, 4, 5, 6, 7)) << 4;
}

// Whether every lane is zero (the atom stays where it is).
inline bool all_zero(Lanes v) {
  return sign_bits(reinterpret_cast<Lanes>(Mask4(v != 0.0f))) == 0;
}

inline Lanes lanes_of(const double v[3]) {
  return Lanes{static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2]), 0.0f};
}

// A block of atoms, one atom a lane: their coordinates and masses.
template <class V>
struct AtomLanes {
  V x, y, z, m;
  // The fractional coordinate along box direction k of each: the same
  // operations in the same order as FractionLanes::of for one atom.
  [[gnu::always_inline]] V fraction(const FractionLanes& matrix, int k) const {
    return (matrix.row[k][0] * x + matrix.row[k][1] * y) + matrix.row[k][2] * z;
  }
};

template <class A>
AtomLanes<Lanes> four_atoms(const A* a) {
  auto lane = [&](auto field) {
    return Lanes{static_cast<float>(a[0].*field), static_cast<float>(a[1].*field),
                 static_cast<float>(a[2].*field), static_cast<float>(a[3].*field)};
  };
  return {lane(&A::x), lane(&A::y), lane(&A::z), lane(&A::mass)};
}
#if defined(__SSE2__)
// Four single-precision atoms (x, y, z, mass each) turned into lanes of x,
// y, z and mass by one transposition.
[[gnu::always_inline]] inline AtomLanes<Lanes> four_atoms(const Atom* a) {
  __m128 r0 = _mm_loadu_ps(&a[0].x), r1 = _mm_loadu_ps(&a[1].x), r2 = _mm_loadu_ps(&a[2].x),
         r3 = _mm_loadu_ps(&a[3].x);
  _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
  return {r0, r1, r2, r3};
}
#endif

// The sums of the circular and the plain mean: by direction, in four lanes
// (lane j holds the atoms 4q + j, in order, whatever the block width).
struct MeanSums {
  Lanes sines[3] = {}, cosines[3] = {}, sums[3] = {};
  Lanes mass = {0, 0, 0, 0};
  static double total(Lanes v) { return (double{v[0]} + double{v[1]}) + (double{v[2]} + double{v[3]}); }
};

inline void add_lanes(Lanes& sum, Lanes v) { sum += v; }
// Eight lanes into four: the low half (atoms 0-3) first, as blocks of four.
[[gnu::always_inline]] inline void add_lanes(Lanes& sum, const Lanes8& v) {
  sum += __builtin_shufflevector(v, v, 0, 1, 2, 3);
  sum += __builtin_shufflevector(v, v, 4, 5, 6, 7);
}

// A block's three fractional coordinates, sines and cosines into the sums.
template <class V>
[[gnu::always_inline]] inline void add_block(MeanSums& sums, const FractionLanes& to_fraction,
                                             const AtomLanes<V>& block) {
  for (int k = 0; k < 3; ++k) {
    const V f = block.fraction(to_fraction, k);
    V s, c;
    turn(f, s, c);
    add_lanes(sums.sines[k], block.m * s);
    add_lanes(sums.cosines[k], block.m * c);
    add_lanes(sums.sums[k], block.m * f);
  }
  add_lanes(sums.mass, block.m);
}

// One atom (the last few of a structure): its lanes are its directions.
void add_one(MeanSums& sums, Lanes f, float m) {
  Lanes s, c;
  turn(f, s, c);
  for (int k = 0; k < 3; ++k) {
    sums.sines[k][0] += m * s[k];
    sums.cosines[k][0] += m * c[k];
    sums.sums[k][0] += m * f[k];
  }
  sums.mass[0] += m;
}

// Which atoms of a block move (one bit an atom), and which box directions
// they reach beyond 0.475 of the box from the centre (bit k for direction k).
// Most blocks lie well inside: one test of their largest offset settles them.
template <class V>
[[gnu::always_inline]] inline int moved_in_block(const AtomLanes<V>& block,
                                                 const FractionLanes& to_fraction,
                                                 const Lanes centre, unsigned& far) {
  using Mask = MaskOf<V>;
  V from_centre[3], largest = {};
  for (int d = 0; d < 3; ++d) {
    from_centre[d] = block.fraction(to_fraction, d) - centre[d];
    const V size = reinterpret_cast<V>(reinterpret_cast<Mask>(from_centre[d]) & 0x7fffffff);
    largest = largest > size ? largest : size;
  }
  if (sign_bits(reinterpret_cast<V>(Mask(largest >= 0.475f))) == 0) [[likely]]
    return 0;
  int moved = 0;
  for (int d = 0; d < 3; ++d) {
    const V shift = nearest_whole(from_centre[d]);
    const V off = from_centre[d] - shift;
    if (sign_bits(reinterpret_cast<V>(Mask((off > 0.475f) | (off < -0.475f)))) != 0)
      far |= 1u << d;
    moved |= sign_bits(reinterpret_cast<V>(Mask(shift != 0.0f)));
  }
  return moved;
}

// One atom moved to its image nearest the centre (the copy's lattice_shift
// gives the same shift); its directions beyond 0.475 of the box into `far`.
template <class AtomT>
void place_atom(AtomT& a, const Box& box, const FractionLanes& to_fraction, Lanes centre,
                unsigned& far) {
  const Lanes f = to_fraction.of(static_cast<float>(a.x), static_cast<float>(a.y),
                                 static_cast<float>(a.z));
  const Lanes shift = nearest_whole(f - centre);
  const Lanes off = f - shift - centre;
  far |= static_cast<unsigned>(sign_bits(reinterpret_cast<Lanes>(Mask4((off > 0.475f) | (off < -0.475f))))) & 7u;
  if (all_zero(shift)) return;
  const double whole[3] = {shift[0], shift[1], shift[2]};
  using Real = decltype(a.x);
  Real v[3] = {a.x, a.y, a.z};
  shifted(box, whole, v);
  a.x = v[0];
  a.y = v[1];
  a.z = v[2];
}

[[gnu::always_inline]] inline Lanes8 side_by_side(Lanes low, Lanes high) {
  return __builtin_shufflevector(low, high, 0, 1, 2, 3, 4, 5, 6, 7);
}
// Eight atoms as two blocks of four side by side (atoms 0-3 in the low lanes).
template <class AtomT>
[[gnu::always_inline]] inline AtomLanes<Lanes8> eight_atoms(const AtomT* a) {
  const AtomLanes<Lanes> low = four_atoms(a), high = four_atoms(a + 4);
  return {side_by_side(low.x, high.x), side_by_side(low.y, high.y), side_by_side(low.z, high.z),
          side_by_side(low.m, high.m)};
}
template <std::size_t Width, class AtomT>
[[gnu::always_inline]] inline auto block_at(const AtomT* a) {
  if constexpr (Width == 8)
    return eight_atoms(a);
  else
    return four_atoms(a);
}

// The atoms of every whole block of `Width` from `from` on, a block at a
// time: their sums, or their placement. Returns the first atom not yet taken.
template <std::size_t Width, class AtomT>
[[gnu::always_inline]] inline std::size_t sum_blocks(std::span<AtomT> atoms,
                                                     const FractionLanes& to_fraction,
                                                     MeanSums& sums, std::size_t from) {
  for (; from + Width <= atoms.size(); from += Width)
    add_block(sums, to_fraction, block_at<Width>(&atoms[from]));
  return from;
}
template <std::size_t Width, class AtomT>
[[gnu::always_inline]] inline std::size_t place_blocks(std::span<AtomT> atoms, const Box& box,
                                                       const FractionLanes& to_fraction,
                                                       Lanes centre, unsigned& far,
                                                       std::size_t from) {
  for (; from + Width <= atoms.size(); from += Width) {
    int moved = moved_in_block(block_at<Width>(&atoms[from]), to_fraction, centre, far);
    for (std::size_t i = from; moved != 0; ++i, moved >>= 1)
      if (moved & 1) place_atom(atoms[i], box, to_fraction, centre, far);
  }
  return from;
}

#if defined(__x86_64__)
// The blocks of eight, built for processors with 256-bit vectors.
template <class AtomT>
[[gnu::target("avx2")]] std::size_t sum_blocks_of_eight(std::span<AtomT> atoms,
                                                        const FractionLanes& to_fraction,
                                                        MeanSums& sums) {
  return sum_blocks<8>(atoms, to_fraction, sums, 0);
}
template <class AtomT>
[[gnu::target("avx2")]] std::size_t place_blocks_of_eight(std::span<AtomT> atoms, const Box& box,
                                                          const FractionLanes& to_fraction,
                                                          Lanes centre, unsigned& far) {
  return place_blocks<8>(atoms, box, to_fraction, centre, far, 0);
}
#endif

template <class AtomT>
Joining join(std::span<AtomT> atoms, const Box& box) {
  Joining j;
  j.box = box;
  const FractionLanes to_fraction(box);
  const std::size_t n = atoms.size();
  MeanSums sums;
  std::size_t k = 0;
#if defined(__x86_64__)
  if (vectors::wide()) k = sum_blocks_of_eight(atoms, to_fraction, sums);
#endif
  k = sum_blocks<4>(atoms, to_fraction, sums, k);
  for (; k < n; ++k) {
    const AtomT& a = atoms[k];
    add_one(sums,
            to_fraction.of(static_cast<float>(a.x), static_cast<float>(a.y),
                           static_cast<float>(a.z)),
            static_cast<float>(a.mass));
  }
  // The circular mean, taken at its image nearest the plain mean: a molecule
  // the box does not cut keeps every atom where it is.
  const double mass = MeanSums::total(sums.mass);
  for (int d = 0; d < 3; ++d) {
    const double circular =
        std::atan2(MeanSums::total(sums.sines[d]), MeanSums::total(sums.cosines[d])) /
        (2 * std::numbers::pi);
    const double plain = mass > 0 ? MeanSums::total(sums.sums[d]) / mass : circular;
    j.centre[d] = circular + std::floor(plain - circular + 0.5);
  }
  const Lanes centre = lanes_of(j.centre);
  unsigned far = 0;
  k = 0;
#if defined(__x86_64__)
  if (vectors::wide()) k = place_blocks_of_eight(atoms, box, to_fraction, centre, far);
#endif
  k = place_blocks<4>(atoms, box, to_fraction, centre, far, k);
  for (; k < n; ++k) place_atom(atoms[k], box, to_fraction, centre, far);
  j.filled = far;
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
