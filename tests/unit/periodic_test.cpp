// Periodic boxes and molecules made whole across them.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "analysis/periodic.hpp"
#include "text/vectors.hpp"

namespace gyro {
namespace {

TEST(Box, FromCellLengthsAndAngles) {
  const double ortho[3] = {10, 20, 30}, right[3] = {90, 90, 90};
  const auto box = box_from_cell(ortho, right);
  ASSERT_TRUE(box);
  EXPECT_DOUBLE_EQ(box->edge[0][0], 10);
  EXPECT_NEAR(box->edge[1][1], 20, 1e-12);
  EXPECT_NEAR(box->edge[2][2], 30, 1e-12);
  EXPECT_NEAR(box->to_fraction[0][0], 0.1, 1e-15);
  const double lengths[3] = {40, 42, 45}, angles[3] = {70, 80, 100};
  const auto tri = box_from_cell(lengths, angles);
  ASSERT_TRUE(tri);
  for (int k = 0; k < 3; ++k)  // each edge keeps its length
    EXPECT_NEAR(std::hypot(tri->edge[k][0], tri->edge[k][1], tri->edge[k][2]), lengths[k], 1e-9);
  // None: a zero edge, the 1 Å placeholder, angles that make no cell.
  const double zero[3] = {10, 0, 10}, one[3] = {1, 1, 1}, flat[3] = {10, 10, 10};
  const double impossible[3] = {10, 10, 170};
  EXPECT_FALSE(box_from_cell(zero, right));
  EXPECT_FALSE(box_from_cell(one, right));
  EXPECT_FALSE(box_from_cell(flat, impossible));
  const double same[3][3] = {{1, 0, 0}, {2, 0, 0}, {0, 0, 1}};
  EXPECT_FALSE(box_from_edges(same));
}

// A molecule cut by a face of the box: its atoms joined again, whichever face
// cuts it; one the box does not cut keeps every coordinate.
TEST(Whole, JoinsAcrossFacesAndLeavesUncutMoleculesAlone) {
  const double lengths[3] = {10, 10, 10}, angles[3] = {90, 90, 90};
  const Box box = *box_from_cell(lengths, angles);
  for (const double at : {0.0, 2.5, 5.0, 9.6}) {
    // Three atoms 1 Å apart along x around `at`, wrapped into [0, 10).
    std::vector<Atom> atoms;
    for (const double dx : {-1.0, 0.0, 1.0}) {
      const double x = std::fmod(at + dx + 10, 10);
      atoms.push_back({static_cast<float>(x), 5.0f, 5.0f, 12.0f});
    }
    const Joining j = make_whole(atoms, box);
    EXPECT_EQ(j.filled, 0u);
    EXPECT_NEAR(atoms[1].x - atoms[0].x, 1.0, 1e-5) << at;
    EXPECT_NEAR(atoms[2].x - atoms[1].x, 1.0, 1e-5) << at;
  }
  std::vector<AtomD> uncut = {{3.25, 4.5, 5.125, 1}, {4.75, 5.5, 5.875, 1}};
  const std::vector<AtomD> before = uncut;
  make_whole(uncut, box);
  EXPECT_EQ(uncut[0].x, before[0].x);
  EXPECT_EQ(uncut[1].z, before[1].z);
  // Atoms spread over the whole box along y: the note's direction.
  std::vector<AtomD> spread;
  for (int k = 0; k < 40; ++k) spread.push_back({5, 0.25 * k + 0.1, 5, 1});
  EXPECT_EQ(make_whole(spread, box).filled, 2u);
  EXPECT_EQ(directions_text(2), "b");
  EXPECT_EQ(directions_text(5), "a and c");
  EXPECT_EQ(directions_text(7), "a, b and c");
}

// A residue of the copy: analysed atoms nearest the centre, the others
// nearest the first analysed atom, a residue without one whole about its
// first atom.
TEST(Whole, ResiduesOfTheCopyArePlacedTogether) {
  const double lengths[3] = {10, 10, 10}, angles[3] = {90, 90, 90};
  Joining j;
  j.box = *box_from_cell(lengths, angles);
  j.centre[0] = j.centre[1] = j.centre[2] = 0.05;  // near x = 0.5 Å
  // An unanalysed atom at 9.5 (first), an analysed one at 0.5, another at 9.0.
  const std::vector<double> xyz = {9.5, 0.5, 0.5, 0.5, 0.5, 0.5, 9.0, 0.5, 0.5};
  std::vector<double> shifts(9);
  const std::vector<char> partly = {0, 1, 0};
  place_residue(j, xyz, partly, shifts);
  EXPECT_EQ(shifts[0], 1);  // 9.5 -> -0.5, beside the analysed atom
  EXPECT_EQ(shifts[3], 0);  // the analysed atom stays
  EXPECT_EQ(shifts[6], 1);  // 9.0 -> -1.0
  const std::vector<char> none = {0, 0, 0};
  place_residue(j, xyz, none, shifts);
  EXPECT_EQ(shifts[0], 1);  // the first atom nearest the centre, the rest with it
  EXPECT_EQ(shifts[3], 0);
  EXPECT_EQ(shifts[6], 1);
}

// A blob of atoms around a corner of a triclinic box, wrapped into it: joined
// whole in blocks of eight or four (whichever the processor runs) and atom by
// atom alike, at the image the copy's one-atom placement picks.
template <class AtomT>
void check_blocks_agree_with_single_atoms() {
  const double lengths[3] = {30, 32, 34}, angles[3] = {80, 95, 105};
  const Box box = *box_from_cell(lengths, angles);
  std::mt19937 random(7);
  std::uniform_real_distribution<double> offset(-7, 7), mass(1, 32);
  std::vector<AtomT> wrapped;
  for (int k = 0; k < 1003; ++k) {  // not a whole number of blocks
    double xyz[3] = {offset(random), offset(random), offset(random)};
    double f[3];
    for (int i = 0; i < 3; ++i)
      f[i] = box.to_fraction[i][0] * xyz[0] + box.to_fraction[i][1] * xyz[1] +
             box.to_fraction[i][2] * xyz[2];
    const double into_box[3] = {std::floor(f[0]), std::floor(f[1]), std::floor(f[2])};
    shifted(box, into_box, xyz);
    using Real = decltype(AtomT{}.x);
    wrapped.push_back({static_cast<Real>(xyz[0]), static_cast<Real>(xyz[1]),
                       static_cast<Real>(xyz[2]), static_cast<Real>(mass(random))});
  }
  std::vector<AtomT> joined[2] = {wrapped, wrapped};
  Joining joinings[2];
  for (int narrow = 0; narrow < 2; ++narrow) {
    const bool was_wide = vectors::use_narrow_only(narrow != 0);
    joinings[narrow] = make_whole(std::span<AtomT>(joined[narrow]), box);
    vectors::use_narrow_only(!was_wide);
  }
  for (int i = 0; i < 3; ++i) EXPECT_EQ(joinings[0].centre[i], joinings[1].centre[i]);
  EXPECT_EQ(joinings[0].filled, 0u);
  double spread = 0;
  for (std::size_t k = 0; k < wrapped.size(); ++k) {
    const AtomT& a = joined[0][k];
    EXPECT_TRUE(a.x == joined[1][k].x && a.y == joined[1][k].y && a.z == joined[1][k].z) << k;
    const double xyz[3] = {static_cast<double>(wrapped[k].x), static_cast<double>(wrapped[k].y),
                           static_cast<double>(wrapped[k].z)};
    double shift[3];
    lattice_shift(box, xyz, joinings[0].centre, shift);
    auto one = wrapped[k];
    decltype(one.x) v[3] = {one.x, one.y, one.z};
    shifted(box, shift, v);
    EXPECT_TRUE(v[0] == a.x && v[1] == a.y && v[2] == a.z) << k;
    spread = std::max(spread, std::hypot(double{a.x - joined[0][0].x},
                                         double{a.y - joined[0][0].y},
                                         double{a.z - joined[0][0].z}));
  }
  EXPECT_LT(spread, 2 * std::sqrt(3.0) * 7 + 1e-3);  // one blob again, not pieces a box apart
}

TEST(Whole, BlocksOfAtomsAgreeWithOneAtomAtATime) {
  check_blocks_agree_with_single_atoms<Atom>();
  check_blocks_agree_with_single_atoms<AtomD>();
}

}  // namespace
}  // namespace gyro
