// The pair search against testing every pair, and the grouping on one thread
// against several, on random boxes that share faces, edges and corners, are flat
// or huge, or lie at the ends of the coordinate range.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <utility>

#include <climits>
#include <random>
#include <vector>

#include "grouping/grouping_table.h"
#include "grouping/touching_pairs.h"

namespace {

using common::Box;

// Coordinates on a coarse grid so that faces, edges and corners coincide
// often; some boxes flat or a point, a few huge, a few at the ends of the range.
std::vector<Box> random_boxes(std::mt19937& rng, std::size_t count, int extent) {
    std::uniform_int_distribution<int> pos(0, extent), size(0, 3), z(0, 4), kind(0, 99);
    std::vector<Box> boxes(count);
    for (Box& b : boxes) {
        b.xmin = 2 * pos(rng);
        b.xmax = b.xmin + 2 * size(rng);
        b.ymin = 2 * pos(rng);
        b.ymax = b.ymin + 2 * size(rng);
        b.zmin = z(rng);
        b.zmax = b.zmin + size(rng) / 2;
        const int k = kind(rng);
        if (k == 0) b.xmax = b.xmin + 2 * extent;                          // a long bar
        if (k == 1) b = Box{INT_MIN, INT_MAX, b.ymin, b.ymax, 2, 2};        // across the whole range
        if (k == 2) b = Box{INT_MAX - 1, INT_MAX, INT_MIN, INT_MIN + 1, 0, 4};  // at the far corner
        if (k == 3) b = Box{b.xmin, b.xmin, b.ymin, b.ymin, b.zmin, b.zmin};  // a point
    }
    return boxes;
}

std::vector<std::vector<std::int32_t>> by_brute_force(const std::vector<Box>& boxes) {
    std::vector<std::vector<std::int32_t>> lists(boxes.size());
    for (std::size_t a = 0; a < boxes.size(); ++a)
        for (std::size_t b = 0; b < boxes.size(); ++b)
            if (a != b && common::touch(boxes[a], boxes[b])) lists[a].push_back(static_cast<std::int32_t>(b));
    return lists;
}

std::vector<std::vector<std::int32_t>> sorted_lists(const grouping::Neighbours& found) {
    std::vector<std::vector<std::int32_t>> lists(found.start.size() - 1);
    for (std::size_t b = 0; b + 1 < found.start.size(); ++b) {
        lists[b].assign(found.list.begin() + static_cast<std::ptrdiff_t>(found.start[b]),
                        found.list.begin() + static_cast<std::ptrdiff_t>(found.start[b + 1]));
        std::sort(lists[b].begin(), lists[b].end());
    }
    return lists;
}

TEST(TouchingPairs, SameAsTestingEveryPairOnOneThreadAndTwo) {
    // Sizes around one leaf, a few levels, and past the radix sort's start;
    // sparse and dense.
    struct Case {
        std::size_t count;
        int extent;
    };
    const Case cases[] = {{0, 10}, {1, 10}, {12, 10}, {13, 10}, {200, 8}, {1000, 60}, {5000, 40}, {5000, 400}};
    std::mt19937 rng(4242);
    for (const Case& c : cases) {
        const std::vector<Box> boxes = random_boxes(rng, c.count, c.extent);
        const grouping::Neighbours one = grouping::touching_neighbours(boxes, 1);
        ASSERT_EQ(one.start.size(), boxes.size() + 1);
        EXPECT_EQ(sorted_lists(one), by_brute_force(boxes)) << c.count << " boxes";
        for (const unsigned threads : {2u, 3u, 4u, 7u}) {
            const grouping::Neighbours more = grouping::touching_neighbours(boxes, threads);
            EXPECT_EQ(one.start, more.start) << c.count << " boxes, " << threads << " threads";
            EXPECT_EQ(one.list, more.list) << c.count << " boxes, " << threads << " threads";
        }
    }
}

TEST(TouchingPairs, GroupingTheSameOnAnyNumberOfThreads) {
    // Large enough for the checks before merging to be split between threads.
    std::mt19937 rng(99);
    const std::vector<Box> boxes = random_boxes(rng, 30000, 300);
    const grouping::Grouping one = grouping::group_into_structures(boxes, 1);
    EXPECT_GT(one.ends.size(), 1u);
    EXPECT_LT(one.ends.size(), boxes.size());
    for (const unsigned threads : {2u, 3u, 4u}) {
        const grouping::Grouping more = grouping::group_into_structures(boxes, threads);
        EXPECT_EQ(one.order, more.order) << threads << " threads";
        EXPECT_EQ(one.ends, more.ends) << threads << " threads";
    }
}

TEST(TouchingPairs, PartsCoverTheRangeOnceInOrder) {
    struct Case {
        std::size_t n;
        unsigned threads;
        std::vector<std::pair<std::size_t, std::size_t>> parts;  // worked out by hand
    };
    const std::vector<Case> cases = {
        {10, 1, {{0, 10}}},
        {10, 2, {{0, 5}, {5, 10}}},
        {10, 3, {{0, 3}, {3, 6}, {6, 10}}},
        {10, 4, {{0, 2}, {2, 5}, {5, 7}, {7, 10}}},
        {2, 3, {{0, 0}, {0, 1}, {1, 2}}},
        {0, 4, {{0, 0}, {0, 0}, {0, 0}, {0, 0}}},
    };
    for (const Case& c : cases) {
        std::mutex m;
        std::vector<std::pair<std::size_t, std::size_t>> seen;
        grouping::run_parts(c.n, c.threads, [&](std::size_t from, std::size_t to) {
            const std::lock_guard lock(m);
            seen.emplace_back(from, to);
        });
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(seen, c.parts) << c.n << " over " << c.threads;
    }
}

}  // namespace
