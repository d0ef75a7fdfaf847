// The sweep's sort and parity index against plain reference computations,
// on sizes on both sides of the point where the radix sort takes over.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "polygon/gpc.h"
#include "polygon/radix_sort.h"
#include "polygon/rank_index.h"

namespace {

using polygon::KeyedIndex;

// Values with many duplicates, both zeros, negatives, and few or many
// significant bits.
std::vector<double> values(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    const double pool[] = {0.0, -0.0, -1.5, 3.0, -3.0, 1e300, -1e-300, 1024.0, 0.1};
    std::vector<double> v(n);
    for (double& x : v) {
        switch (rng() % 3) {
            case 0: x = pool[rng() % 9]; break;
            case 1: x = static_cast<int>(rng() % 2001) - 1000; break;
            default: x = std::uniform_real_distribution<double>(-1e6, 1e6)(rng); break;
        }
    }
    return v;
}

}  // namespace

TEST(SweepSort, OrdersLikeAStableSortOfTheDoubles) {
    std::vector<KeyedIndex<1>> items, scratch;
    for (size_t n : {size_t{0}, size_t{1}, size_t{2}, polygon::kRadixFrom - 1, polygon::kRadixFrom,
                     polygon::kRadixFrom + 1, size_t{20000}}) {
        for (unsigned seed : {1u, 2u}) {
            const std::vector<double> v = values(n, seed);
            std::vector<uint32_t> expected(n);
            for (uint32_t i = 0; i < n; ++i) expected[i] = i;
            std::stable_sort(expected.begin(), expected.end(), [&](uint32_t a, uint32_t b) { return v[a] < v[b]; });

            items.clear();
            for (uint32_t i = 0; i < n; ++i) items.push_back({{polygon::order_key(v[i])}, i, 7 * i});
            polygon::sort_keyed(items, scratch);
            ASSERT_EQ(items.size(), n);
            for (size_t k = 0; k < n; ++k) {
                ASSERT_EQ(items[k].index, expected[k]) << "n " << n << " at " << k;
                ASSERT_EQ(items[k].aux, 7 * items[k].index);
            }
        }
    }
}

TEST(SweepSort, RadixSortKeepsTheOrderOfEqualKeys) {
    // Indices in no particular order: only stability puts them right.
    const std::vector<double> v = values(5000, 3);
    std::vector<uint32_t> start(v.size());
    for (uint32_t i = 0; i < start.size(); ++i) start[i] = i;
    std::shuffle(start.begin(), start.end(), std::mt19937(4));
    std::vector<KeyedIndex<1>> items, scratch;
    for (uint32_t i : start) items.push_back({{polygon::order_key(v[i])}, i, 0});
    std::vector<uint32_t> expected = start;
    std::stable_sort(expected.begin(), expected.end(), [&](uint32_t a, uint32_t b) { return v[a] < v[b]; });
    polygon::radix_sort(items, scratch);
    for (size_t k = 0; k < expected.size(); ++k) ASSERT_EQ(items[k].index, expected[k]) << "at " << k;
}

TEST(SweepSort, KeyValueGivesTheDoubleBack) {
    for (double x : values(2000, 5)) {
        const double back = polygon::key_value(polygon::order_key(x));
        const double want = x == 0 ? 0.0 : x;  // -0 comes back as +0
        EXPECT_EQ(std::memcmp(&back, &want, sizeof back), 0) << x;
    }
}

TEST(SweepParity, PrefixMatchesAPlainScan) {
    std::mt19937 rng(6);
    for (int n : {1, 63, 64, 65, 300}) {
        polygon::XorFenwick tree;
        tree.reset(n);
        std::vector<uint8_t> plain(n, 0);
        for (int step = 0; step < 400; ++step) {
            const int r = static_cast<int>(rng() % n);
            const uint8_t bits = static_cast<uint8_t>(1 + rng() % 3);
            tree.toggle(r, bits);
            plain[r] ^= bits;
            const int q = static_cast<int>(rng() % n);
            uint8_t want = 0;
            for (int i = 0; i < q; ++i) want ^= plain[i];
            ASSERT_EQ(tree.prefix(q), want) << "n " << n << " rank " << q;
        }
    }
}

// Enough disjoint boxes for the sorts' large paths (and a large run's early
// release of buffers): each is its own strip, bottom up, then left to right,
// whatever order the boxes come in.
TEST(SweepSort, ManyBoxesComeOutBottomUpThenLeftToRight) {
    std::vector<std::array<double, 2>> corners;
    for (int j = 0; j < 200; ++j)
        for (int i = 0; i < 200; ++i) corners.push_back({-300.0 + 3 * i, 2.0 * j});
    std::vector<std::array<double, 2>> order = corners;
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    std::vector<std::vector<gpc_vertex>> boxes;
    for (const auto& c : order) boxes.push_back({{c[0], c[1]}, {c[0] + 2, c[1]}, {c[0] + 2, c[1] + 1}, {c[0], c[1] + 1}});
    std::vector<gpc_vertex_list> lists;
    for (auto& b : boxes) lists.push_back({4, b.data()});
    std::vector<int> holes(lists.size(), 0);
    gpc_polygon subject{static_cast<int>(lists.size()), holes.data(), lists.data()};
    gpc_polygon none{0, nullptr, nullptr};
    gpc_tristrip t{0, nullptr};
    gpc_tristrip_clip(GPC_UNION, &subject, &none, &t);
    ASSERT_EQ(t.num_strips, static_cast<int>(corners.size()));
    for (size_t s = 0; s < corners.size(); ++s) {
        const gpc_vertex_list& strip = t.strip[s];
        ASSERT_EQ(strip.num_vertices, 4);
        const double x = corners[s][0], y = corners[s][1];
        EXPECT_EQ(strip.vertex[0].x, x);
        EXPECT_EQ(strip.vertex[0].y, y);
        EXPECT_EQ(strip.vertex[3].x, x + 2);
        EXPECT_EQ(strip.vertex[3].y, y + 1);
    }
    gpc_free_tristrip(&t);
}
