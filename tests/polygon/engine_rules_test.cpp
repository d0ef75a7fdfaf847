// The rules by which the clipper's triangle strips and polygons come out for
// rectilinear input, one small arrangement each, worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "polygon/gpc.h"

namespace {

using Vertices = std::vector<std::pair<double, double>>;

// Owns the arrays behind a gpc_polygon built in a test.
class Poly {
public:
    Poly() = default;
    Poly(std::initializer_list<std::array<double, 4>> boxes) {
        for (const auto& b : boxes) add({{b[0], b[1]}, {b[2], b[1]}, {b[2], b[3]}, {b[0], b[3]}});
    }
    Poly& add(std::vector<gpc_vertex> contour) {
        contours_.push_back(std::move(contour));
        return *this;
    }
    gpc_polygon* get() {
        lists_.clear();
        for (auto& c : contours_) lists_.push_back({static_cast<int>(c.size()), c.data()});
        holes_.assign(lists_.size(), 0);
        p_ = {static_cast<int>(lists_.size()), holes_.data(), lists_.data()};
        return &p_;
    }

private:
    std::vector<std::vector<gpc_vertex>> contours_;
    std::vector<gpc_vertex_list> lists_;
    std::vector<int> holes_;
    gpc_polygon p_{};
};

std::vector<Vertices> strips(gpc_op op, Poly a, Poly b) {
    gpc_tristrip t{0, nullptr};
    gpc_tristrip_clip(op, a.get(), b.get(), &t);
    std::vector<Vertices> out;
    for (int s = 0; s < t.num_strips; ++s) {
        Vertices v;
        for (int i = 0; i < t.strip[s].num_vertices; ++i) v.push_back({t.strip[s].vertex[i].x, t.strip[s].vertex[i].y});
        out.push_back(v);
    }
    gpc_free_tristrip(&t);
    return out;
}

// One rectangle as a strip: lower left, lower right, upper left, upper right.
Vertices rect(double x0, double y0, double x1, double y1) { return {{x0, y0}, {x1, y0}, {x0, y1}, {x1, y1}}; }

}  // namespace

// Each arrangement: the operation, the two operands and the strips expected.
struct StripCase {
    const char* rule;
    gpc_op op;
    Poly a, b;
    std::vector<Vertices> expected;
};

Poly contour(std::vector<gpc_vertex> vertices) { return std::move(Poly().add(std::move(vertices))); }

TEST(StripRules, ArrangementsWorkedOutByHand) {
    const Poly none, box{{0, 0, 10, 4}}, tall{{0, 0, 10, 8}};
    const std::vector<StripCase> cases = {
        {"a box is one strip listed left, right from the bottom", GPC_UNION, box, none, {rect(0, 0, 10, 4)}},
        {"the same as a difference", GPC_DIFF, box, none, {rect(0, 0, 10, 4)}},
        {"strips come bottom up, then left to right (a frame)", GPC_DIFF, Poly{{0, 0, 10, 10}}, Poly{{3, 3, 7, 7}},
         {rect(0, 0, 10, 3), rect(0, 3, 3, 7), rect(7, 3, 10, 7), rect(0, 7, 10, 10)}},
        {"a strip runs on where only other shapes change", GPC_UNION, Poly{{0, 0, 2, 10}, {5, 3, 8, 6}}, none,
         {rect(0, 0, 2, 10), rect(5, 3, 8, 6)}},
        {"a box strictly inside changes nothing", GPC_UNION, Poly{{0, 0, 10, 8}}, Poly{{4, 2, 6, 5}},
         {rect(0, 0, 10, 8)}},
        {"touching a side from inside still splits the strip", GPC_UNION, tall, Poly{{0, 2, 3, 5}},
         {rect(0, 0, 10, 2), rect(0, 2, 10, 5), rect(0, 5, 10, 8)}},
        {"touching from outside widens the middle part", GPC_UNION, tall, Poly{{-2, 2, 0, 5}},
         {rect(0, 0, 10, 2), rect(-2, 2, 10, 5), rect(0, 5, 10, 8)}},
        {"a notch cut out of the left side", GPC_DIFF, tall, Poly{{0, 4, 3, 5}},
         {rect(0, 0, 10, 4), rect(3, 4, 10, 5), rect(0, 5, 10, 8)}},
        {"a collinear vertex on one side adds a pair across the strip", GPC_UNION,
         contour({{0, 0}, {10, 0}, {10, 4}, {0, 4}, {0, 2}}), none, {{{0, 0}, {10, 0}, {0, 2}, {10, 2}, {0, 4}, {10, 4}}}},
        {"boxes stacked exactly in one operand stay apart", GPC_UNION, Poly{{0, 0, 10, 4}, {0, 4, 10, 8}}, none,
         {rect(0, 0, 10, 4), rect(0, 4, 10, 8)}},
        {"boxes stacked exactly in two operands stay apart", GPC_UNION, box, Poly{{0, 4, 10, 8}},
         {rect(0, 0, 10, 4), rect(0, 4, 10, 8)}},
        {"a narrower box stacked exactly", GPC_UNION, box, Poly{{0, 4, 6, 8}}, {rect(0, 0, 10, 4), rect(0, 4, 6, 8)}},
        {"contours of one operand combine by the even-odd rule", GPC_UNION, Poly{{0, 0, 6, 6}, {3, 3, 9, 9}}, none,
         {rect(0, 0, 6, 3), rect(0, 3, 3, 6), rect(6, 3, 9, 6), rect(3, 6, 9, 9)}},
        {"boxes side by side in one operand are one region", GPC_UNION, Poly{{0, 0, 5, 4}, {5, 0, 10, 4}}, none,
         {rect(0, 0, 10, 4)}},
        {"empty minus a box", GPC_DIFF, none, box, {}},
        {"a box and empty meet nowhere", GPC_INT, box, none, {}},
        {"empty and a box meet nowhere", GPC_INT, none, box, {}},
        {"empty with empty", GPC_UNION, none, none, {}},
        {"empty with a box", GPC_UNION, none, box, {rect(0, 0, 10, 4)}},
    };
    for (const StripCase& c : cases) EXPECT_EQ(strips(c.op, c.a, c.b), c.expected) << c.rule;
}

TEST(ZeroSigns, AStripSideReportsItsVertexXAtItsEndsAndPlusZeroBetween) {
    // Left side at x = -0 from y 0 to 10, with a collinear vertex on the right side at y 5.
    Poly a;
    a.add({{-0.0, 1}, {10, 1}, {10, 5}, {10, 10}, {-0.0, 10}});
    const auto s = strips(GPC_UNION, a, Poly{});
    ASSERT_EQ(s.size(), 1u);
    ASSERT_EQ(s[0].size(), 6u);
    EXPECT_TRUE(std::signbit(s[0][0].first));   // bottom: the bottom vertex's -0
    EXPECT_FALSE(std::signbit(s[0][2].first));  // in between: -0 plus a zero step is +0
    EXPECT_TRUE(std::signbit(s[0][4].first));   // top: the top vertex's -0
}

TEST(ZeroSigns, HeightZeroTakesItsSignFromTheFirstContourThatTakesPart) {
    // The first subject box, at -0, touches no clip box, so an intersection
    // leaves it out; the strips then carry the +0 of the second box.
    Poly subject;
    subject.add({{100, -0.0}, {110, -0.0}, {110, 4}, {100, 4}});
    subject.add({{0, 0.0}, {10, 0.0}, {10, 4}, {0, 4}});
    const Poly clip{{0, -2, 5, 2}};
    auto s = strips(GPC_INT, subject, clip);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0], rect(0, 0, 5, 2));
    EXPECT_FALSE(std::signbit(s[0][0].second));
    // A union keeps every contour, so the first one's -0 wins.
    s = strips(GPC_UNION, subject, Poly{});
    ASSERT_EQ(s.size(), 2u);
    EXPECT_TRUE(std::signbit(s[0][0].second));
    EXPECT_TRUE(std::signbit(s[1][0].second));
}

TEST(PolygonUnion, CornersMetAlongAStraightSideLeaveOneVertexThere) {
    // Two boxes stacked exactly: one contour, with a single vertex on each side
    // at the height where they met, so its strips run on with a pair there.
    Poly a{{0, 0, 10, 4}}, b{{0, 4, 10, 8}};
    gpc_polygon result{0, nullptr, nullptr};
    gpc_polygon_clip(GPC_UNION, a.get(), b.get(), &result);
    ASSERT_EQ(result.num_contours, 1);
    ASSERT_EQ(result.contour[0].num_vertices, 6);
    int at_four = 0;
    for (int v = 0; v < 6; ++v) at_four += result.contour[0].vertex[v].y == 4;
    EXPECT_EQ(at_four, 2);
    gpc_tristrip t{0, nullptr};
    gpc_polygon_to_tristrip(&result, &t);
    ASSERT_EQ(t.num_strips, 1);
    ASSERT_EQ(t.strip[0].num_vertices, 6);
    EXPECT_EQ(t.strip[0].vertex[2].y, 4);
    EXPECT_EQ(t.strip[0].vertex[3].y, 4);
    gpc_free_tristrip(&t);
    gpc_free_polygon(&result);
}

TEST(PolygonUnion, TheResultMayBeTheSubjectItself) {
    Poly b{{5, 0, 15, 4}};
    gpc_polygon acc{0, nullptr, nullptr};
    Poly first{{0, 0, 10, 4}};
    gpc_polygon_clip(GPC_UNION, &acc, first.get(), &acc);
    gpc_polygon_clip(GPC_UNION, &acc, b.get(), &acc);
    ASSERT_EQ(acc.num_contours, 1);
    gpc_tristrip t{0, nullptr};
    gpc_polygon_to_tristrip(&acc, &t);
    ASSERT_EQ(t.num_strips, 1);
    // The two boxes met at y 0 and 4 only, so the union is a plain rectangle.
    EXPECT_EQ(t.strip[0].num_vertices, 4);
    EXPECT_EQ(t.strip[0].vertex[3].x, 15);
    gpc_free_tristrip(&t);
    gpc_free_polygon(&acc);
}

TEST(NonRectilinear, ContoursWithSlantedEdgesAreRefusedWithAnEmptyResult) {
    Poly tri;
    tri.add({{0, 0}, {10, 0}, {5, 5}});
    EXPECT_FALSE(gpc_is_rectilinear(tri.get()));
    EXPECT_TRUE(strips(GPC_UNION, tri, Poly{}).empty());
    Poly box{{0, 0, 1, 1}};
    EXPECT_TRUE(gpc_is_rectilinear(box.get()));
    Poly nan_box;
    nan_box.add({{0, 0}, {NAN, 0}, {NAN, 1}, {0, 1}});
    EXPECT_FALSE(gpc_is_rectilinear(nan_box.get()));
}
