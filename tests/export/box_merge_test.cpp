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

}  // namespace
