#include "analysis/periodic.hpp"

#include <cmath>
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

// sin and cos of 2πx, roughly (to about 1e-4): enough to place a centre
// inside a molecule. x is first brought into [-1/2, 1/2]; then the half
// angle's sine and cosine by short series, and the double angle from them.
void turn(double x, double& s, double& c) {
  x -= std::nearbyint(x);
  const double t = std::numbers::pi * x, t2 = t * t;  // |t| <= π/2
  const double sh = t * (1 - t2 / 6 * (1 - t2 / 20 * (1 - t2 / 42)));
  const double ch = 1 - t2 / 2 * (1 - t2 / 12 * (1 - t2 / 30 * (1 - t2 / 56)));
  s = 2 * sh * ch;
  c = ch * ch - sh * sh;
}

template <class AtomT>
Joining join(std::span<AtomT> atoms, const Box& box) {
  Joining j;
  j.box = box;
  double sines[3] = {0, 0, 0}, cosines[3] = {0, 0, 0}, sums[3] = {0, 0, 0}, mass = 0;
  for (const AtomT& a : atoms) {
    const double xyz[3] = {a.x, a.y, a.z}, m = a.mass;
    double f[3];
    fractional(box, xyz, f);
    for (int k = 0; k < 3; ++k) {
      double s, c;
      turn(f[k], s, c);
      sines[k] += m * s;
      cosines[k] += m * c;
      sums[k] += m * f[k];
    }
    mass += m;
  }
  // The circular mean, taken at its image nearest the plain mean: a molecule
  // the box does not cut keeps every atom where it is.
  for (int k = 0; k < 3; ++k) {
    const double circular = std::atan2(sines[k], cosines[k]) / (2 * std::numbers::pi);
    const double plain = mass > 0 ? sums[k] / mass : circular;
    j.centre[k] = circular + std::nearbyint(plain - circular);
  }
  for (AtomT& a : atoms) {
    const double xyz[3] = {a.x, a.y, a.z};
    double shift[3], f[3];
    lattice_shift(box, xyz, j.centre, shift);
    fractional(box, xyz, f);
    for (int k = 0; k < 3; ++k)
      if (std::fabs(f[k] - shift[k] - j.centre[k]) > 0.475) j.filled |= 1u << k;
    auto coordinates = [&](auto& p) {
      using Real = std::remove_reference_t<decltype(p.x)>;
      Real v[3] = {p.x, p.y, p.z};
      shifted(box, shift, v);
      p.x = v[0];
      p.y = v[1];
      p.z = v[2];
    };
    coordinates(a);
  }
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
  double f[3];
  fractional(box, xyz, f);
  for (int k = 0; k < 3; ++k) shift[k] = std::nearbyint(f[k] - near[k]);
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
