// Joining the boxes of a structure before the union: the joined boxes cover
// the same points (the sum of volumes is checked where they do not overlap)
// and only boxes whose join is exactly a box are joined.
#include <gtest/gtest.h>

#include <algorithm>

#include "export/box_merge.h"

using namespace kavrit;

namespace {

Cuboid box(double x0, double y0, double z0, double x1, double y1, double z1) { return {{x0, y0, z0}, {x1, y1, z1}}; }

bool operator_equal(const Cuboid& a, const Cuboid& b) { return a.lo == b.lo && a.hi == b.hi; }

struct Case {
    const char* what;
    std::vector<Cuboid> in;
    std::vector<Cuboid> out;  // in any order
};

TEST(JoinBoxes, Table) {
    const std::vector<Case> cases = {
        {"one box stays", {box(0, 0, 0, 1, 2, 3)}, {box(0, 0, 0, 1, 2, 3)}},
        {"two touching along x", {box(0, 0, 0, 1, 1, 1), box(1, 0, 0, 3, 1, 1)}, {box(0, 0, 0, 3, 1, 1)}},
        {"overlapping along z", {box(0, 0, 0, 2, 2, 2), box(0, 0, 1, 2, 2, 5)}, {box(0, 0, 0, 2, 2, 5)}},
        {"a row of four out of order along y",
         {box(0, 3, 0, 1, 4, 1), box(0, 0, 0, 1, 1, 1), box(0, 2, 0, 1, 3, 1), box(0, 1, 0, 1, 2, 1)},
         {box(0, 0, 0, 1, 4, 1)}},
        // Two rows join first along x, and the rows then along y.
        {"a 2 x 2 grid",
         {box(0, 0, 0, 1, 1, 1), box(1, 1, 0, 2, 2, 1), box(0, 1, 0, 1, 2, 1), box(1, 0, 0, 2, 1, 1)},
         {box(0, 0, 0, 2, 2, 1)}},
        {"a gap keeps them apart", {box(0, 0, 0, 1, 1, 1), box(1.5, 0, 0, 2, 1, 1)},
         {box(0, 0, 0, 1, 1, 1), box(1.5, 0, 0, 2, 1, 1)}},
        {"an L is not a box", {box(0, 0, 0, 2, 1, 1), box(0, 1, 0, 1, 2, 1)},
         {box(0, 0, 0, 2, 1, 1), box(0, 1, 0, 1, 2, 1)}},
        {"different heights stay apart", {box(0, 0, 0, 1, 1, 1), box(1, 0, 0, 2, 1, 2)},
         {box(0, 0, 0, 1, 1, 1), box(1, 0, 0, 2, 1, 2)}},
        {"meeting along an edge only", {box(0, 0, 0, 1, 1, 1), box(1, 1, 0, 2, 2, 1)},
         {box(0, 0, 0, 1, 1, 1), box(1, 1, 0, 2, 2, 1)}},
    };
    for (const Case& c : cases) {
        const std::vector<Cuboid> got = join_boxes(c.in, 0.0);
        ASSERT_EQ(got.size(), c.out.size()) << c.what;
        for (const Cuboid& want : c.out)
            EXPECT_TRUE(std::any_of(got.begin(), got.end(), [&](const Cuboid& g) { return operator_equal(g, want); }))
                << c.what;
    }
}

TEST(JoinBoxes, ToleranceDecidesWhatIsTheSame) {
    const std::vector<Cuboid> near = {box(0, 0, 0, 1, 1, 1), box(1, 0, 0, 2, 1, 1.00001)};
    EXPECT_EQ(join_boxes(near, 0.0).size(), 2u);
    EXPECT_EQ(join_boxes(near, 1e-4).size(), 1u);
}

double volume(const Cuboid& c) { return (c.hi[0] - c.lo[0]) * (c.hi[1] - c.lo[1]) * (c.hi[2] - c.lo[2]); }

bool share_volume(const Cuboid& a, const Cuboid& b) {
    for (int k = 0; k < 3; ++k)
        if (std::min(a.hi[k], b.hi[k]) <= std::max(a.lo[k], b.lo[k])) return false;
    return true;
}

bool inside(const Cuboid& part, const std::vector<Cuboid>& boxes) {
    // A part lies in the union when its centre lies in one of the boxes (parts
    // are cells of the boxes' grid, so a part never straddles a box's side).
    for (const Cuboid& b : boxes) {
        bool in = true;
        for (int k = 0; k < 3; ++k) {
            const double c = (part.lo[k] + part.hi[k]) / 2;
            in = in && b.lo[k] < c && c < b.hi[k];
        }
        if (in) return true;
    }
    return false;
}

struct UnionCase {
    const char* what;
    std::vector<Cuboid> in;
    double union_volume;  // worked out by hand
    std::size_t parts;
};

TEST(DisjointBoxes, SameUnionWithoutSharedVolume) {
    const std::vector<UnionCase> cases = {
        // 2x2x1 and 2x2x1 overlapping in 1x2x1: 4 + 4 - 2.
        {"two overlapping along x", {box(0, 0, 0, 2, 2, 1), box(1, 0, 0, 3, 2, 1)}, 6, 1},
        // A plus: 3x1 and 1x3 crossing in the 1x1 centre, 1 high: 3 + 3 - 1.
        {"a plus", {box(0, 1, 0, 3, 2, 1), box(1, 0, 0, 2, 3, 1)}, 5, 3},
        // A post 1x1x4 through a 3x3x1 plate at z 1 to 2: 9 + 4 - 1; the post
        // whole, the plate around it in four.
        {"a post through a plate", {box(0, 0, 1, 3, 3, 2), box(1, 1, 0, 2, 2, 4)}, 12, 5},
        // One box inside another: the outer box alone.
        {"a box inside another", {box(0, 0, 0, 4, 4, 4), box(1, 1, 1, 2, 2, 2)}, 64, 1},
        // Apart boxes stay apart.
        {"apart", {box(0, 0, 0, 1, 1, 1), box(5, 5, 5, 6, 7, 8)}, 1 + 6, 2},
    };
    for (const UnionCase& c : cases) {
        const std::vector<Cuboid> parts = disjoint_boxes(c.in, 1000);
        EXPECT_EQ(parts.size(), c.parts) << c.what;
        double sum = 0;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            sum += volume(parts[i]);
            EXPECT_TRUE(inside(parts[i], c.in)) << c.what << ", part " << i;
            for (std::size_t j = i + 1; j < parts.size(); ++j)
                EXPECT_FALSE(share_volume(parts[i], parts[j])) << c.what << ", parts " << i << " and " << j;
        }
        EXPECT_DOUBLE_EQ(sum, c.union_volume) << c.what;
    }
}

TEST(DisjointBoxes, TooLargeAGridGivesNothing) {
    // 3 x 3 x 3 cells: allowed at 27, refused at 26.
    const std::vector<Cuboid> boxes = {box(0, 0, 0, 2, 2, 2), box(1, 1, 1, 3, 3, 3)};
    EXPECT_FALSE(disjoint_boxes(boxes, 27).empty());
    EXPECT_TRUE(disjoint_boxes(boxes, 26).empty());
}

}  // namespace
