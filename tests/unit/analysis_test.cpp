// Centre of mass, inertia tensor, principal frame and rotation.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "analysis/rigid.hpp"
#include "analysis/shape.hpp"

namespace gyro {
namespace {

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }

// Atoms from their masses and their coordinates listed x, y, z atom after atom.
struct Molecule {
  Molecule() = default;
  Molecule(const std::vector<float>& mass, const std::vector<float>& crd) {
    for (std::size_t i = 0; i < mass.size(); ++i)
      atoms.push_back({crd[3 * i], crd[3 * i + 1], crd[3 * i + 2], mass[i]});
  }
  std::vector<Atom> atoms;
  // Coordinate k of the list: x, y, z of the first atom, then the next.
  float crd(std::size_t k) const {
    const Atom& a = atoms[k / 3];
    return k % 3 == 0 ? a.x : k % 3 == 1 ? a.y : a.z;
  }
};

struct Result {
  Vec3 centre;
  float total_mass, moments[3];
  Mat3 axes;
  int status;
};

Result analyse(Molecule& m, bool rotated) {
  Result r{};
  r.centre = centre_of_mass(m.atoms, r.total_mass);
  r.status = principal_frame(m.atoms, r.centre, r.moments, r.axes);
  const Frame frame(r.centre, rotated, r.axes);
  for (Atom& a : m.atoms) {  // as the writer moves each atom
    Lanes v = {a.x, a.y, a.z, 0.0f};
    v = frame.moved(v);
    a.x = v[0], a.y = v[1], a.z = v[2];
  }
  return r;
}

TEST(Inertia, WorkedExampleOfTwoCarbonsAndTwoNitrogens) {
  const float c = 12.01115f, n = 14.0067f;  // the report's numbers: the end-to-end case
  Molecule m{{c, c, n, n}, {2, 0, 0, -2, 0, 0, 0, 1, 0, 0, -1, 0}};
  Result r = analyse(m, true);
  ASSERT_EQ(r.status, 0);
  // The reference solver returns the middle axis of this diagonal tensor as
  // (-0, 1, 0); the handedness fix turns row 1 into (-0, -0, -1).
  const float want[3][3] = {{-0.0f, -0.0f, -1.0f}, {-0.0f, 1.0f, 0.0f}, {1.0f, 0.0f, 0.0f}};
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j)
      EXPECT_EQ(bits(r.axes(i - 1, j - 1)), bits(want[i - 1][j - 1])) << i << "," << j;
  const std::vector<float> moved = {0, 0, 2, 0, 0, -2, 0, 1, 0, 0, -1, 0};
  for (std::size_t k = 0; k < moved.size(); ++k) EXPECT_EQ(m.crd(k), moved[k]) << k;
}

TEST(Inertia, AtomsOnALineLieAlongZAfterRotation) {
  Molecule m{{12.01115f, 15.9994f, 14.0067f}, {1, 1, 1, 2, 2, 2, 4, 4, 4}};
  Result r = analyse(m, true);
  ASSERT_EQ(r.status, 0);
  EXPECT_NEAR(r.moments[2], 0.0f, 1e-4f);
  EXPECT_NEAR(std::fabs(r.axes(2, 0)), 1.0f / std::sqrt(3.0f), 1e-6f);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(m.crd(3 * i), 0.0f, 1e-5f);
    EXPECT_NEAR(m.crd(3 * i + 1), 0.0f, 1e-5f);
  }
}

TEST(Inertia, ATensorBeyondFloatRangeIsRefusedAsAnIllegalMatrix) {
  Molecule m{{12.01115f, 12.01115f}, {1e20f, 0, 0, -1e20f, 1e20f, 0}};
  EXPECT_EQ(analyse(m, false).status, -4);
}

// Random molecules: the frame is a proper rotation of unit rows, the moments
// descend, and the rotated tensor is diagonal with the moments on it.
TEST(Inertia, PrincipalFrameInvariantsOnRandomMolecules) {
  std::mt19937 gen(12345);
  std::uniform_real_distribution<float> coord(-30.0f, 30.0f);
  const float masses[] = {1.00797f, 12.01115f, 14.0067f, 15.9994f, 32.06f};
  for (int trial = 0; trial < 50; ++trial) {
    Molecule m;
    const int atom_count = 3 + trial * 7;
    for (int i = 0; i < atom_count; ++i)
    {
      const float mass = masses[gen() % 5], x = coord(gen), y = coord(gen), z = coord(gen);
      m.atoms.push_back({x, y, z, mass});
    }
    Result r = analyse(m, true);
    ASSERT_EQ(r.status, 0);
    EXPECT_GE(r.moments[0], r.moments[1]);
    EXPECT_GE(r.moments[1], r.moments[2]);
    auto a = [&](int i, int j) { return double(r.axes(i - 1, j - 1)); };
    for (int i = 1; i <= 3; ++i)
      EXPECT_NEAR(a(i, 1) * a(i, 1) + a(i, 2) * a(i, 2) + a(i, 3) * a(i, 3), 1.0, 1e-5);
    EXPECT_NEAR(a(1, 1) * (a(2, 2) * a(3, 3) - a(3, 2) * a(2, 3)) -
                    a(1, 2) * (a(2, 1) * a(3, 3) - a(2, 3) * a(3, 1)) +
                    a(1, 3) * (a(2, 1) * a(3, 2) - a(3, 1) * a(2, 2)),
                1.0, 1e-5);
    float again[3];
    Mat3 tensor;
    ASSERT_EQ(principal_frame(m.atoms, Vec3{}, again, tensor), 0);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(again[k], r.moments[k], 1e-4f * r.moments[0]);
    for (int i = 1; i <= 3; ++i) EXPECT_NEAR(std::fabs(tensor(i - 1, i - 1)), 1.0, 1e-3);
  }
}

// The oriented coordinates of a molecule in canonical pose, as the writer
// moves its atoms.
std::vector<Atom> canonical_pose(std::vector<Atom> atoms, int* unfixed = nullptr) {
  float mass, moments[3];
  Mat3 axes;
  const Vec3 centre = centre_of_mass(atoms, mass);
  EXPECT_EQ(principal_frame(atoms, centre, moments, axes), 0);
  const int u = canonical_signs(atoms, centre, axes);
  if (unfixed) *unfixed = u;
  const Frame frame(centre, true, axes);
  for (Atom& a : atoms) {
    const Lanes v = frame.moved(Lanes{a.x, a.y, a.z, 0.0f});
    a.x = v[0], a.y = v[1], a.z = v[2];
  }
  return atoms;
}

// Any rigid motion of a molecule (a random rotation from a random unit
// quaternion, a random shift) leaves its canonical pose the same within
// rounding, whatever signs the eigensolver returns.
TEST(Canonical, SamePoseAfterAnyRigidMotion) {
  std::mt19937 gen(2718);
  std::normal_distribution<double> normal;
  std::uniform_real_distribution<float> coord(-20.0f, 20.0f);
  const float masses[] = {1.00797f, 12.01115f, 14.0067f, 15.9994f, 32.06f};
  int flipped = 0;
  for (int trial = 0; trial < 40; ++trial) {
    std::vector<Atom> atoms;
    for (int i = 0; i < 10 + trial * 5; ++i)
      atoms.push_back({coord(gen), coord(gen) * 0.6f, coord(gen) * 0.3f, masses[gen() % 5]});
    double q[4], norm = 0;
    for (double& c : q) {
      c = normal(gen);
      norm += c * c;
    }
    for (double& c : q) c /= std::sqrt(norm);
    const double w = q[0], x = q[1], y = q[2], z = q[3];
    const double r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
                            {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
                            {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}};
    const double shift[3] = {normal(gen) * 50, normal(gen) * 50, normal(gen) * 50};
    std::vector<Atom> moved = atoms;
    for (Atom& a : moved) {
      const double p[3] = {a.x, a.y, a.z};
      a.x = static_cast<float>(r[0][0] * p[0] + r[0][1] * p[1] + r[0][2] * p[2] + shift[0]);
      a.y = static_cast<float>(r[1][0] * p[0] + r[1][1] * p[1] + r[1][2] * p[2] + shift[1]);
      a.z = static_cast<float>(r[2][0] * p[0] + r[2][1] * p[1] + r[2][2] * p[2] + shift[2]);
    }
    const std::vector<Atom> one = canonical_pose(atoms), other = canonical_pose(moved);
    for (std::size_t i = 0; i < atoms.size(); ++i) {
      EXPECT_NEAR(one[i].x, other[i].x, 2e-3f) << trial;
      EXPECT_NEAR(one[i].y, other[i].y, 2e-3f) << trial;
      EXPECT_NEAR(one[i].z, other[i].z, 2e-3f) << trial;
    }
    // Without the signs fixed, some of these motions come out facing otherwise.
    float m, moments[3];
    Mat3 a, b;
    principal_frame(atoms, centre_of_mass(atoms, m), moments, a);
    principal_frame(moved, centre_of_mass(moved, m), moments, b);
    const Frame fa(centre_of_mass(atoms, m), true, a), fb(centre_of_mass(moved, m), true, b);
    flipped += std::fabs(fa.moved(Lanes{atoms[0].x, atoms[0].y, atoms[0].z, 0})[0] -
                         fb.moved(Lanes{moved[0].x, moved[0].y, moved[0].z, 0})[0]) > 0.01f;
  }
  EXPECT_GT(flipped, 0);
}

// A shape symmetric through its centre has no third moment along any axis:
// both signs stay the eigensolver's, and the run says so.
TEST(Canonical, SymmetricShapeKeepsTheSolversSigns) {
  std::vector<Atom> atoms;
  for (float s : {-1.0f, 1.0f}) {
    atoms.push_back({3 * s, 0, 0, 12.01115f});
    atoms.push_back({0, 2 * s, 0, 14.0067f});
    atoms.push_back({0, 0, 1 * s, 15.9994f});
  }
  int unfixed = 0;
  canonical_pose(atoms, &unfixed);
  EXPECT_EQ(unfixed, 3);
  // Symmetric only across the plane y = 0: the axis along y alone stays.
  atoms.push_back({5, 0.5f, 0.7f, 1.00797f});
  atoms.push_back({5, -0.5f, 0.7f, 1.00797f});
  canonical_pose(atoms, &unfixed);
  EXPECT_TRUE(unfixed == 1 || unfixed == 2) << unfixed;
}

// In double precision the mass, centre and tensor agree with the same sums in
// long double to the order of summation, and the moments keep the tensor's
// trace; the axes form a right-handed orthonormal frame.
TEST(DoublePrecision, AgreesWithLongDoubleSums) {
  std::mt19937 gen(4242);
  std::uniform_real_distribution<double> coord(-500.0, 900.0);
  const double masses[] = {1.00797, 12.01115, 14.0067, 15.9994, 32.06};
  for (int trial = 0; trial < 20; ++trial) {
    std::vector<AtomD> atoms;
    for (int i = 0; i < 5 + trial * 97; ++i)
      atoms.push_back({coord(gen), coord(gen) * 0.5, coord(gen) * 0.25, masses[gen() % 5]});
    long double m = 0, x = 0, y = 0, z = 0;
    for (const AtomD& a : atoms) {
      m += a.mass;
      x += a.mass * static_cast<long double>(a.x);
      y += a.mass * static_cast<long double>(a.y);
      z += a.mass * static_cast<long double>(a.z);
    }
    const long double cx = x / m, cy = y / m, cz = z / m;
    long double ixx = 0, iyy = 0, izz = 0, ixy = 0;
    for (const AtomD& a : atoms) {
      const long double dx = a.x - cx, dy = a.y - cy, dz = a.z - cz;
      ixx += a.mass * (dy * dy + dz * dz);
      iyy += a.mass * (dx * dx + dz * dz);
      izz += a.mass * (dx * dx + dy * dy);
      ixy -= a.mass * dx * dy;
    }
    double mass = 0;
    const Vec3d c = centre_of_mass(atoms, mass);
    EXPECT_NEAR(mass, static_cast<double>(m), 1e-12 * mass);
    EXPECT_NEAR(c.x, static_cast<double>(cx), 1e-9);
    EXPECT_NEAR(c.y, static_cast<double>(cy), 1e-9);
    EXPECT_NEAR(c.z, static_cast<double>(cz), 1e-9);
    const Mat3d t = inertia_tensor(atoms, c);
    const double scale = static_cast<double>(ixx + iyy + izz);
    EXPECT_NEAR(t(0, 0), static_cast<double>(ixx), 1e-9 * scale);
    EXPECT_NEAR(t(1, 1), static_cast<double>(iyy), 1e-9 * scale);
    EXPECT_NEAR(t(2, 2), static_cast<double>(izz), 1e-9 * scale);
    EXPECT_NEAR(t(0, 1), static_cast<double>(ixy), 1e-9 * scale);
    double moments[3];
    Mat3d axes;
    ASSERT_EQ(principal_frame(atoms, c, moments, axes), 0);
    EXPECT_GE(moments[0], moments[1]);
    EXPECT_GE(moments[1], moments[2]);
    EXPECT_NEAR(moments[0] + moments[1] + moments[2], scale, 1e-9 * scale);
    const double det = axes(0, 0) * (axes(1, 1) * axes(2, 2) - axes(1, 2) * axes(2, 1)) -
                       axes(0, 1) * (axes(1, 0) * axes(2, 2) - axes(1, 2) * axes(2, 0)) +
                       axes(0, 2) * (axes(1, 0) * axes(2, 1) - axes(1, 1) * axes(2, 0));
    EXPECT_NEAR(det, 1.0, 1e-12);
  }
}

// The sums run in vector lanes; each lane must be the plain running sum of
// single-precision operations, in atom order and with the grouping below, bit
// for bit: centre, translation, tensor and rotation against scalar code.
TEST(Inertia, LanesAreThePlainSingleprecisionSums) {
  std::mt19937 gen(99);
  std::uniform_real_distribution<float> coord(-80.0f, 80.0f);
  Molecule m;
  for (int i = 0; i < 5000; ++i)
    m.atoms.push_back({coord(gen), coord(gen), coord(gen), i % 3 == 0 ? 1.00797f : 12.01115f});
  std::vector<Atom> plain = m.atoms;
  float mt = 0, xm = 0, ym = 0, zm = 0;
  for (const Atom& a : plain) {
    mt = mt + a.mass;
    xm = xm + a.x * a.mass;
    ym = ym + a.y * a.mass;
    zm = zm + a.mass * a.z;
  }
  const float cx = xm / mt, cy = ym / mt, cz = zm / mt;
  float t[3][3] = {};
  for (Atom& a : plain) {
    a.x = a.x - cx, a.y = a.y - cy, a.z = a.z - cz;
    const float x[3] = {a.x, a.y, a.z}, r2 = (x[0] * x[0] + x[1] * x[1]) + x[2] * x[2];
    for (int j = 0; j < 3; ++j) {
      t[j][j] = a.mass * (r2 - x[j] * x[j]) + t[j][j];
      for (int k = j + 1; k < 3; ++k) t[j][k] = t[j][k] - (a.mass * x[j]) * x[k];
    }
  }
  Result r = analyse(m, true);
  EXPECT_EQ(bits(r.total_mass), bits(mt));
  EXPECT_EQ(bits(r.centre.x), bits(cx));
  EXPECT_EQ(bits(r.centre.y), bits(cy));
  EXPECT_EQ(bits(r.centre.z), bits(cz));
  const Mat3 tensor = inertia_tensor(plain, Vec3{});
  for (int j = 0; j < 3; ++j)
    for (int k = 0; k < 3; ++k) EXPECT_EQ(bits(tensor(j, k)), bits(k >= j ? t[j][k] : 0.0f));
  for (std::size_t i = 0; i < plain.size(); ++i) {
    const Atom& a = plain[i];
    float rotated[3];
    for (int row = 0; row < 3; ++row)
      rotated[row] = ((0.0f + r.axes(row, 0) * a.x) + r.axes(row, 1) * a.y) + r.axes(row, 2) * a.z;
    ASSERT_EQ(bits(m.atoms[i].x), bits(rotated[0])) << i;
    ASSERT_EQ(bits(m.atoms[i].y), bits(rotated[1])) << i;
    ASSERT_EQ(bits(m.atoms[i].z), bits(rotated[2])) << i;
    ASSERT_EQ(bits(m.atoms[i].mass), bits(a.mass)) << i;
  }
}

}  // namespace
}  // namespace gyro

namespace gyro {
namespace {

// Shapes whose descriptors are known: moments of unit masses at the given
// places (a line, a square, a ring, an octahedron, a prolate and an oblate
// ellipsoid of six points).
TEST(Shape, AnalyticShapes) {
  const double nan = std::nan("");
  struct Case {
    const char* name;
    double moments[3], mass;
    double rg, kappa2, s, npr1, npr2, b, c, isf;
  };
  const Case cases[] = {
      {"line of 2", {2, 2, 0}, 2, 1, 1, 2, 0, 1, 1, 0, nan},
      {"square", {4, 2, 2}, 4, 1, 0.25, -0.25, 0.5, 0.5, 0.25, 0.5, 0.25},
      {"ring of 12", {12, 6, 6}, 12, 1, 0.25, -0.25, 0.5, 0.5, 0.25, 0.5, 6.0 / 72},
      {"octahedron", {4, 4, 4}, 6, 1, 0, 0, 1, 1, 0, 0, 0.25},
      {"prolate", {10, 10, 4}, 6, std::sqrt(2.0), 0.25, 0.25, 0.4, 1, 1, 0, 0.25},
      {"oblate", {16, 10, 10}, 6, std::sqrt(3.0), 1.0 / 9, -2.0 / 27, 10.0 / 16, 10.0 / 16, 0.5,
       1, 10.0 / 160},
  };
  auto near = [](double got, double want) {
    return std::isnan(want) ? std::isnan(got) : std::fabs(got - want) < 1e-12;
  };
  for (const Case& c : cases) {
    const Shape s = shape_of(c.moments, c.mass);
    EXPECT_TRUE(near(s.radius_of_gyration, c.rg)) << c.name << " " << s.radius_of_gyration;
    EXPECT_TRUE(near(s.relative_shape_anisotropy, c.kappa2)) << c.name;
    EXPECT_TRUE(near(s.shape_parameter, c.s)) << c.name << " " << s.shape_parameter;
    EXPECT_TRUE(near(s.npr[0], c.npr1) && near(s.npr[1], c.npr2)) << c.name;
    EXPECT_TRUE(near(s.asphericity, c.b) && near(s.acylindricity, c.c)) << c.name;
    EXPECT_TRUE(near(s.inertial_shape_factor, c.isf)) << c.name;
  }
  // One atom and no atom: nothing to divide by.
  EXPECT_TRUE(std::isnan(shape_of({0, 0, 0}, 12).npr[0]));
  EXPECT_EQ(shape_of({0, 0, 0}, 12).radius_of_gyration, 0);
  EXPECT_TRUE(std::isnan(shape_of({0, 0, 0}, 0).radius_of_gyration));
}

// On random clouds, through the analysis itself: Rg² = s1 + s2 + s3, κ² in
// [0, 1], S in [-1/4, 2], NPR1 + NPR2 >= 1, and the same shape after any
// rigid motion.
TEST(Shape, IdentitiesAndRigidMotion) {
  std::mt19937 gen(5);
  std::uniform_real_distribution<float> coord(-20, 20), stretch(0.1f, 3);
  for (int trial = 0; trial < 200; ++trial) {
    const float sx = stretch(gen), sy = stretch(gen), sz = stretch(gen);
    std::vector<Atom> atoms, moved;
    for (int k = 0; k < 50; ++k) {
      const Atom a{coord(gen) * sx, coord(gen) * sy, coord(gen) * sz, 12.011f};
      atoms.push_back(a);
      moved.push_back({a.y + 30, -a.x - 7, a.z + 1, a.mass});  // a turn about z and a shift
    }
    auto shape = [](const std::vector<Atom>& at) {
      float mass = 0, moments[3];
      Mat3 axes;
      const Vec3 c = centre_of_mass(at, mass);
      principal_frame(at, c, moments, axes);
      const double m[3] = {moments[0], moments[1], moments[2]};
      return shape_of(m, mass);
    };
    const Shape s = shape(atoms), t = shape(moved);
    const double sum = s.gyration_moments[0] + s.gyration_moments[1] + s.gyration_moments[2];
    EXPECT_NEAR(s.radius_of_gyration * s.radius_of_gyration, sum, 1e-9 * sum);
    EXPECT_GE(s.relative_shape_anisotropy, 0);
    EXPECT_LE(s.relative_shape_anisotropy, 1);
    EXPECT_GE(s.shape_parameter, -0.25 - 1e-9);
    EXPECT_LE(s.shape_parameter, 2 + 1e-9);
    EXPECT_GE(s.npr[0] + s.npr[1], 1 - 1e-6);
    EXPECT_NEAR(s.relative_shape_anisotropy, t.relative_shape_anisotropy, 1e-4);
    EXPECT_NEAR(s.npr[0], t.npr[0], 1e-4);
  }
}

}  // namespace
}  // namespace gyro
