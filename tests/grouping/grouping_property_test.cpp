// The fast grouping against the plain rendering of the table, on many small
// random layouts dense enough that boxes bridge slots, slots absorb slots that
// have absorbed others, and absorbed boxes stick out of the absorber's bounds.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "grouping/grouping_table.h"
#include "reference_grouping.h"

namespace {

using common::Box;
using grouping::Grouping;
using grouping::group_into_structures;

std::vector<std::vector<Box>> fast_group(const std::vector<Box>& boxes) {
    const Grouping g = group_into_structures(boxes);
    std::vector<std::vector<Box>> out;
    std::size_t at = 0;
    for (std::size_t end : g.ends) {
        out.emplace_back();
        for (; at < end; ++at) out.back().push_back(boxes[static_cast<std::size_t>(g.order[at])]);
    }
    EXPECT_EQ(at, boxes.size());
    return out;
}

struct Shape {
    int count_max, extent, size_max;
};

std::vector<Box> random_layout(std::mt19937& rng, const Shape& shape) {
    static const int z_pairs[][2] = {{0, 5}, {1, 7}, {0, 2}, {7, 8}, {5, 9}, {1, 4}, {5, 8}, {1, 3}, {4, 6}, {5, 7}, {3, 5}};
    std::uniform_int_distribution<int> count(1, shape.count_max), pos(-shape.extent, shape.extent),
        size(0, shape.size_max), layer(0, 10);
    std::vector<Box> boxes(static_cast<std::size_t>(count(rng)));
    for (Box& b : boxes) {
        b.xmin = pos(rng);
        b.xmax = b.xmin + size(rng);
        b.ymin = pos(rng);
        b.ymax = b.ymin + size(rng);
        const int z = layer(rng);
        b.zmin = z_pairs[z][0];
        b.zmax = z_pairs[z][1];
    }
    return boxes;
}

TEST(GroupingProperty, SameStructuresAndOrderAsTheTableOnRandomLayouts) {
    const Shape shapes[] = {{12, 10, 4}, {40, 20, 6}, {60, 40, 12}, {30, 30, 2}, {80, 60, 15}};
    std::mt19937 rng(20240611);
    for (const Shape& shape : shapes) {
        for (int round = 0; round < 1500; ++round) {
            const std::vector<Box> boxes = random_layout(rng, shape);
            ASSERT_EQ(fast_group(boxes), reference::group(boxes)) << "layout " << round << " of shape " << shape.count_max;
        }
    }
}

TEST(GroupingProperty, StripsPlacedOutOfOrderMergeLikeTheTable) {
    // Plates cut into strips listed in a shuffled order: every strip that
    // arrives before its neighbours opens a slot, and the merges join them.
    std::mt19937 rng(77);
    for (int round = 0; round < 300; ++round) {
        std::vector<Box> boxes;
        const int plates = 1 + static_cast<int>(rng() % 4);
        for (int p = 0; p < plates; ++p) {
            const int x0 = static_cast<int>(rng() % 200), y0 = static_cast<int>(rng() % 200);
            const int strips = 2 + static_cast<int>(rng() % 10);
            for (int s = 0; s < strips; ++s) boxes.push_back(Box{x0 + 5 * s, x0 + 5 * s + 5, y0, y0 + 3 + static_cast<int>(rng() % 20), 1, 3});
        }
        std::shuffle(boxes.begin(), boxes.end(), rng);
        ASSERT_EQ(fast_group(boxes), reference::group(boxes)) << "round " << round;
    }
}

}  // namespace
