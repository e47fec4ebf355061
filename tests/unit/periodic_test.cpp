// Periodic boxes and molecules made whole across them.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/periodic.hpp"

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

}  // namespace
}  // namespace gyro
