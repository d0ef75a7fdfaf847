// The grouped unions of the growing step against one union per contour.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "layers/grow.h"

namespace {

using Contours = std::vector<std::vector<gpc_vertex>>;

// The strips of the union of `contours`: grouped as the growing step unites
// them, or, as the reference, one gpc_polygon_clip union per contour in order.
gpc_tristrip united_strips(const Contours& contours, bool grouped) {
    gpc_polygon acc{0, nullptr, nullptr};
    if (grouped) grow::unite_in_order(contours, &acc);
    for (const auto& c : grouped ? Contours{} : contours) {
        gpc_vertex_list list{static_cast<int>(c.size()), const_cast<gpc_vertex*>(c.data())};
        int hole = 0;
        gpc_polygon box{1, &hole, &list};
        gpc_polygon_clip(GPC_UNION, &acc, &box, &acc);
    }
    gpc_tristrip t{0, nullptr};
    gpc_polygon_to_tristrip(&acc, &t);
    gpc_free_polygon(&acc);
    return t;
}

// Strip sets compared bit for bit (so -0 and +0 differ).
bool same_strips(const gpc_tristrip& a, const gpc_tristrip& b) {
    if (a.num_strips != b.num_strips) return false;
    for (int s = 0; s < a.num_strips; ++s) {
        if (a.strip[s].num_vertices != b.strip[s].num_vertices) return false;
        if (std::memcmp(a.strip[s].vertex, b.strip[s].vertex, sizeof(gpc_vertex) * a.strip[s].num_vertices) != 0)
            return false;
    }
    return true;
}

}  // namespace

// Grouping the unions must give exactly the strips of uniting one contour at a
// time, also when boxes abut, overlap, share corners and come in any order.
TEST(GrowGrouping, GroupedUnionsGiveTheStripsOfOneByOneUnions) {
    std::mt19937 rng(20261207);
    for (int round = 0; round < 1500; ++round) {
        const int n = 2 + static_cast<int>(rng() % 24);
        const int grid = 4 + static_cast<int>(rng() % 12);
        Contours boxes;
        const int clusters = 1 + static_cast<int>(rng() % 3);  // far apart, boxes interleaved in file order
        for (int i = 0; i < n; ++i) {
            const double offset = 100.0 * static_cast<double>(rng() % clusters);
            const double x0 = offset + rng() % grid, y0 = rng() % grid;
            const double x1 = x0 + 1 + rng() % 4, y1 = y0 + 1 + rng() % 4;
            boxes.push_back({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
        }
        gpc_tristrip a = united_strips(boxes, false);
        gpc_tristrip b = united_strips(boxes, true);
        EXPECT_TRUE(same_strips(a, b)) << "round " << round;
        gpc_free_tristrip(&a);
        gpc_free_tristrip(&b);
    }
}

// Larger groups, where the pieces are found through the grid of the index:
// small boxes with holes between them inside long frames and beams, whose
// pieces span many cells, in a random order.
TEST(GrowGrouping, LargeGroupsWithFramesGiveTheStripsOfOneByOneUnions) {
    std::mt19937 rng(7);
    for (int round = 0; round < 12; ++round) {
        Contours boxes;
        const double span = 40 + rng() % 40;
        auto box = [&](double x0, double y0, double x1, double y1) {
            boxes.push_back({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
        };
        box(0, 0, span, 1);
        box(0, span - 1, span, span);
        box(0, 0, 1, span);
        box(span - 1, 0, span, span);
        for (int i = 0; i < 250; ++i) {
            const double x0 = rng() % static_cast<int>(span), y0 = rng() % static_cast<int>(span);
            if (rng() % 20 == 0)
                box(x0, y0, x0 + 1, y0 + 10 + rng() % 30);  // a beam
            else
                box(x0, y0, x0 + 1 + rng() % 3, y0 + 1 + rng() % 3);
        }
        std::shuffle(boxes.begin(), boxes.end(), rng);
        gpc_tristrip a = united_strips(boxes, false);
        gpc_tristrip b = united_strips(boxes, true);
        EXPECT_TRUE(same_strips(a, b)) << "round " << round;
        gpc_free_tristrip(&a);
        gpc_free_tristrip(&b);
    }
}

// The library's union refuses a contour with a value that is not finite (or an
// edge that is neither horizontal nor vertical) and gives nothing; the grouped
// unions must do the same, not hand such values to the sweep.
TEST(GrowGrouping, ContoursThatAreNotFiniteGiveWhatTheLibraryGives) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Contours> cases = {
        {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {{2, 0}, {inf, 0}, {inf, 1}, {2, 1}}, {{0, 2}, {1, 2}, {1, 3}, {0, 3}}},
        {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {{nan, 0}, {1, 0}, {1, 1}, {nan, 1}}, {{5, 5}, {6, 5}, {6, 6}, {5, 6}}},
        {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {{0, 0}, {2, 1}, {2, 3}, {0, 3}}, {{5, 5}, {6, 5}, {6, 6}, {5, 6}}},
    };
    for (const Contours& boxes : cases) {
        gpc_tristrip a = united_strips(boxes, false);
        gpc_tristrip b = united_strips(boxes, true);
        EXPECT_TRUE(same_strips(a, b));
        gpc_free_tristrip(&a);
        gpc_free_tristrip(&b);
    }
}
