// The order-preserving union against one union per contour in order, and the
// memo of unions against the sweep.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "polygon/clip.h"
#include "polygon/ordered_union.h"
#include "polygon/union_memo.h"

namespace {

using Contours = std::vector<std::vector<gpc_vertex>>;

// The grouped unions of contours of four vertices each, as the growing step
// hands them to unite_boxes.
void unite_in_order(const Contours& contours, gpc_polygon* accumulator) {
    std::vector<gpc_vertex> corners;
    for (const auto& c : contours) {
        ASSERT_EQ(c.size(), 4u) << "unite_boxes takes contours of four vertices";
        corners.insert(corners.end(), c.begin(), c.end());
    }
    polygon::unite_boxes(corners, accumulator);
}

// The strips of the union of `contours`: grouped as the growing step unites
// them, or, as the reference, one gpc_polygon_clip union per contour in order.
gpc_tristrip united_strips(const Contours& contours, bool grouped) {
    gpc_polygon acc{0, nullptr, nullptr};
    if (grouped) unite_in_order(contours, &acc);
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

// Whether the grouped unions give, bit for bit, the strips of uniting one
// contour at a time.
bool grouped_union_matches(const Contours& contours) {
    gpc_tristrip a = united_strips(contours, false);
    gpc_tristrip b = united_strips(contours, true);
    const bool same = same_strips(a, b);
    gpc_free_tristrip(&a);
    gpc_free_tristrip(&b);
    return same;
}

}  // namespace

// Grouping the unions must give exactly the strips of uniting one contour at a
// time, also when boxes abut, overlap, share corners and come in any order.
TEST(OrderedUnion, GroupedUnionsGiveTheStripsOfOneByOneUnions) {
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
        EXPECT_TRUE(grouped_union_matches(boxes)) << "round " << round;
    }
}

// Larger groups, where the pieces are found through the grid of the index:
// small boxes with holes between them inside long frames and beams, whose
// pieces span many cells, in a random order.
TEST(OrderedUnion, LargeGroupsWithFramesGiveTheStripsOfOneByOneUnions) {
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
        EXPECT_TRUE(grouped_union_matches(boxes)) << "round " << round;
    }
}

// Long chains of boxes, each touching the piece that holds the ones before
// it, are cut below the boxes still to come while they are united; the cuts
// must leave no trace. The chains climb and now and then fall back, on a
// coarse grid (so that sides meet end to end, coincide and touch at corners),
// in units of 1, 0.25 (whole quarters) or 0.01 (numbers read back from their
// decimal text), and once in thirds, which are not cut.
TEST(OrderedUnion, LongChainsCutOnTheWayGiveTheStripsOfOneByOneUnions) {
    struct Case {
        double unit;
        int boxes;
        int fall_back_one_in;  // a step down by up to 3 once in this many boxes
    };
    const Case cases[] = {
        {1, 400, 1000}, {1, 600, 25}, {0.25, 500, 60}, {0.01, 450, 1000}, {1.0 / 3, 300, 1000},
    };
    std::mt19937 rng(20261208);
    for (const Case& c : cases) {
        for (int round = 0; round < 3; ++round) {
            Contours boxes;
            // Each box touches the one before it: its bottom lies from that
            // one's bottom to its top, and its x range meets that one's.
            int x0 = 0, y0 = 0, x1 = 3, y1 = 2;
            for (int i = 0; i < c.boxes; ++i) {
                const int width = 1 + static_cast<int>(rng() % 4), height = 1 + static_cast<int>(rng() % 3);
                y0 += static_cast<int>(rng() % static_cast<unsigned>(y1 - y0 + 1));
                if (rng() % c.fall_back_one_in == 0) y0 -= 1 + static_cast<int>(rng() % 3);
                x0 = x0 - width + static_cast<int>(rng() % static_cast<unsigned>(x1 - x0 + width + 1));
                x1 = x0 + width;
                y1 = y0 + height;
                const double u = c.unit;
                boxes.push_back({{x0 * u, y0 * u}, {x1 * u, y0 * u}, {x1 * u, y1 * u}, {x0 * u, y1 * u}});
            }
            EXPECT_TRUE(grouped_union_matches(boxes)) << "unit " << c.unit << ", round " << round;
        }
    }
}

// The library's union refuses a contour with a value that is not finite (or an
// edge that is neither horizontal nor vertical) and gives nothing; the grouped
// unions must do the same, not hand such values to the sweep.
TEST(OrderedUnion, ContoursThatAreNotFiniteGiveWhatTheLibraryGives) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Contours> cases = {
        {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {{2, 0}, {inf, 0}, {inf, 1}, {2, 1}}, {{0, 2}, {1, 2}, {1, 3}, {0, 3}}},
        {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {{nan, 0}, {1, 0}, {1, 1}, {nan, 1}}, {{5, 5}, {6, 5}, {6, 6}, {5, 6}}},
        {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {{0, 0}, {2, 1}, {2, 3}, {0, 3}}, {{5, 5}, {6, 5}, {6, 6}, {5, 6}}},
    };
    for (const Contours& boxes : cases) {
        EXPECT_TRUE(grouped_union_matches(boxes));
    }
}

// A rectangle that touches no piece of the accumulator is taken as it is,
// without a union: it must come out exactly as the union of nothing and the
// rectangle gives it (same vertices in the same order), for rectangles of any
// size and place. Boxes far apart are groups of one, united in input order; a
// box without width or height goes through the union, which drops it.
TEST(OrderedUnion, RectanglesThatTouchNothingComeOutAsTheUnionGivesThem) {
    using polygon::Contour;
    // (x0, y0, x1, y1); the first by hand: the union starts at the lower right
    // corner and goes round clockwise
    std::vector<std::vector<double>> sides = {{1, 2, 4, 3}, {100, 0, 100, 5}, {200, 7, 201, 7},
                                             {-0.0, 50, 2, 51}, {-310.25, -20, -300.5, 1e-3}};
    std::mt19937 rng(99);
    for (int i = 0; i < 300; ++i) {
        // each box within its own stretch of 2^21 along x
        const double scale = std::ldexp(1.0, static_cast<int>(rng() % 40) - 30);
        const double x0 = std::ldexp(i + 1.0, 21) + scale * (rng() % 1000);
        const double y0 = scale * (static_cast<int>(rng() % 2000) - 1000);
        sides.push_back({x0, y0, x0 + scale * (1 + rng() % 500), y0 + scale * (1 + rng() % 500)});
    }
    Contours boxes;
    polygon::Contours expected;
    for (const auto& b : sides) {
        boxes.push_back({{b[0], b[1]}, {b[2], b[1]}, {b[2], b[3]}, {b[0], b[3]}});
        const Contour box = {{b[0], b[1]}, {b[2], b[1]}, {b[2], b[3]}, {b[0], b[3]}};
        for (const Contour& c : polygon::clip_to_polygon(polygon::Operation::Union, {}, {box}).contours)
            expected.push_back(c);
    }
    // flat boxes give nothing (the two above, and those too thin for their place)
    const auto solid = std::count_if(sides.begin(), sides.end(), [](const auto& b) { return b[0] < b[2] && b[1] < b[3]; });
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(solid));
    ASSERT_EQ(expected[0].size(), 4u);
    EXPECT_TRUE(expected[0][0].x == 4 && expected[0][0].y == 2 && expected[0][1].x == 1 && expected[0][1].y == 2 &&
                expected[0][2].x == 1 && expected[0][2].y == 3 && expected[0][3].x == 4 && expected[0][3].y == 3);

    gpc_polygon acc{0, nullptr, nullptr};
    unite_in_order(boxes, &acc);
    ASSERT_EQ(static_cast<std::size_t>(acc.num_contours), expected.size());
    for (int c = 0; c < acc.num_contours; ++c) {
        ASSERT_EQ(static_cast<std::size_t>(acc.contour[c].num_vertices), expected[c].size()) << "contour " << c;
        for (int v = 0; v < acc.contour[c].num_vertices; ++v) {
            const gpc_vertex got = acc.contour[c].vertex[v];
            const common::PointD want = expected[c][v];
            EXPECT_TRUE(std::memcmp(&got.x, &want.x, sizeof(double)) == 0 &&
                        std::memcmp(&got.y, &want.y, sizeof(double)) == 0)
                << "contour " << c << " vertex " << v;
        }
    }
    gpc_free_polygon(&acc);
}

namespace {

bool same_contours(const polygon::Contours& a, const polygon::Contours& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t c = 0; c < a.size(); ++c) {
        if (a[c].size() != b[c].size()) return false;
        for (std::size_t v = 0; v < a[c].size(); ++v)
            if (std::memcmp(&a[c][v].x, &b[c][v].x, sizeof(double)) != 0 ||
                std::memcmp(&a[c][v].y, &b[c][v].y, sizeof(double)) != 0)
                return false;
    }
    return true;
}

polygon::Contours swept(const polygon::Contours& subject, const polygon::Contour& clip) {
    return polygon::clip_to_polygon(polygon::Operation::Union, subject, {clip}).contours;
}

}  // namespace

// A union recalled from the memo must be exactly the union the sweep gives:
// the same shape moved and stretched (the values in the same order) gives
// the recalled contours with the new values; other shapes, and values of -0,
// go through the sweep.
TEST(OrderedUnion, RememberedUnionsAreTheUnionsOfTheSweep) {
    using polygon::Contour;
    using polygon::Contours;
    auto piece = [](double x0, double y0, double x1, double y1) { return Contour{{x1, y0}, {x0, y0}, {x0, y1}, {x1, y1}}; };
    auto box = [](double x0, double y0, double x1, double y1) { return Contour{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; };

    polygon::UnionMemo memo;
    // A box over the right side of a piece: an L of eight corners (worked out by hand).
    const Contours first = memo.unite({piece(0, 0, 10, 10)}, box(5, 5, 20, 8));
    const Contours by_hand = {{{10, 8}, {20, 8}, {20, 5}, {10, 5}, {10, 0}, {0, 0}, {0, 10}, {10, 10}}};
    EXPECT_TRUE(same_contours(first, by_hand));
    EXPECT_EQ(memo.hits(), 0u);
    // The same shape elsewhere, stretched unevenly: recalled.
    const Contours moved = memo.unite({piece(100, -7, 130, 2.5)}, box(101, -1, 1e6, 0.5));
    const Contours moved_by_hand = {
        {{130, 0.5}, {1e6, 0.5}, {1e6, -1}, {130, -1}, {130, -7}, {100, -7}, {100, 2.5}, {130, 2.5}}};
    EXPECT_TRUE(same_contours(moved, moved_by_hand));
    EXPECT_EQ(memo.hits(), 1u);
    // A side at -0: through the sweep, even though the shape is known.
    const Contours signed_zero = memo.unite({piece(-0.0, 0, 10, 10)}, box(5, 5, 20, 8));
    EXPECT_TRUE(same_contours(signed_zero, swept({piece(-0.0, 0, 10, 10)}, box(5, 5, 20, 8))));
    EXPECT_EQ(memo.hits(), 1u);

    // Random unions of a few pieces and a box on small grids, whose shapes
    // repeat, each checked against the sweep, at several offsets and scales.
    std::mt19937 rng(4242);
    for (int round = 0; round < 4000; ++round) {
        const double scale = (round % 3 == 0) ? 0.25 : (round % 3 == 1 ? 1.0 : 1000.5);
        const double ox = scale * (rng() % 1000), oy = scale * (static_cast<int>(rng() % 1000) - 500);
        auto at = [&](int v, double o) { return o + scale * v; };
        Contours subject;
        const int pieces = static_cast<int>(rng() % 3);
        for (int k = 0; k < pieces; ++k) {
            const int x0 = static_cast<int>(rng() % 4), y0 = static_cast<int>(rng() % 4);
            subject.push_back(piece(at(x0, ox), at(y0, oy), at(x0 + 1 + rng() % 3, ox), at(y0 + 1 + rng() % 3, oy)));
        }
        if (pieces == 2) subject = swept({subject[0]}, box(subject[1][1].x, subject[1][1].y, subject[1][0].x, subject[1][2].y));
        const int x0 = static_cast<int>(rng() % 4), y0 = static_cast<int>(rng() % 4);
        const Contour clip = box(at(x0, ox), at(y0, oy), at(x0 + rng() % 3, ox), at(y0 + 1 + rng() % 3, oy));
        ASSERT_TRUE(same_contours(memo.unite(subject, clip), swept(subject, clip))) << "round " << round;
    }
    EXPECT_GT(memo.hits(), 1000u);
}
