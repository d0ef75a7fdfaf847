// The growing step's arithmetic and its grouped unions.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "layers/grow.h"

namespace {

// The reference: one gpc_polygon_clip union per contour, in order.
gpc_tristrip unite_one_by_one(const std::vector<std::vector<gpc_vertex>>& contours) {
    gpc_polygon acc{0, nullptr, nullptr};
    for (const auto& c : contours) {
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

gpc_tristrip unite_grouped(const std::vector<std::vector<gpc_vertex>>& contours) {
    gpc_polygon acc{0, nullptr, nullptr};
    grow::unite_in_order(contours, &acc);
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
        for (int v = 0; v < a.strip[s].num_vertices; ++v) {
            if (std::memcmp(&a.strip[s].vertex[v], &b.strip[s].vertex[v], sizeof(gpc_vertex)) != 0) return false;
        }
    }
    return true;
}

}  // namespace

TEST(GrowArithmetic, WidensInSinglePrecisionAndRoundsLikeTheScratchFiles) {
    const float x[4] = {0, 10, 10, 0}, y[4] = {0, 0, 4, 4};
    const grow::FloatBox b = grow::widen(grow::bounding_box(x, y), 2);
    EXPECT_EQ(grow::corner_lines(b), "-2.00 -2.00\n12.00 -2.00\n12.00 6.00\n-2.00 6.00\n");
    // 0.125 + 2 is exactly 2.125, which "%.2f" rounds to even: 2.12.
    const float x2[4] = {0.125f, 1, 1, 0.125f}, y2[4] = {0, 0, 1, 1};
    const auto corners = grow::reread_corners(grow::widen(grow::bounding_box(x2, y2), 2));
    EXPECT_EQ(corners[0].x, -1.88);
    EXPECT_EQ(corners[1].x, 3.0);
    std::string line;
    grow::round_trip(2.12, -0.5, &line);
    EXPECT_EQ(line, "2.12000 -0.50000\n");
    // The bounding box takes the first vertex, then lowers and raises.
    const float x3[4] = {5, 1, 7, 3}, y3[4] = {2, 9, -1, 4};
    const grow::FloatBox bb = grow::bounding_box(x3, y3);
    EXPECT_EQ(bb.xmin, 1);
    EXPECT_EQ(bb.xmax, 7);
    EXPECT_EQ(bb.ymin, -1);
    EXPECT_EQ(bb.ymax, 9);
}

// Grouping the unions must give exactly the strips of uniting one contour at a
// time, also when boxes abut, overlap, share corners and come in any order.
TEST(GrowGrouping, GroupedUnionsGiveTheStripsOfOneByOneUnions) {
    std::mt19937 rng(20261207);
    for (int round = 0; round < 1500; ++round) {
        const int n = 2 + static_cast<int>(rng() % 24);
        const int grid = 4 + static_cast<int>(rng() % 12);
        std::vector<std::vector<gpc_vertex>> boxes;
        const int clusters = 1 + static_cast<int>(rng() % 3);  // far apart, boxes interleaved in file order
        for (int i = 0; i < n; ++i) {
            const double offset = 100.0 * static_cast<double>(rng() % clusters);
            const double x0 = offset + rng() % grid, y0 = rng() % grid;
            const double x1 = x0 + 1 + rng() % 4, y1 = y0 + 1 + rng() % 4;
            boxes.push_back({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
        }
        gpc_tristrip a = unite_one_by_one(boxes);
        gpc_tristrip b = unite_grouped(boxes);
        EXPECT_TRUE(same_strips(a, b)) << "round " << round;
        gpc_free_tristrip(&a);
        gpc_free_tristrip(&b);
    }
}
