// Points, rectangles and the bounding-box accumulator shared by the readers,
// the polygon engine, the layer steps, grouping, the structure output and
// kavrit-export, and the same helpers on the 3-D box.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <vector>

#include "common/box.h"
#include "common/geometry.h"

namespace {

using common::Extent;
using common::Point64;
using common::Rect64;

TEST(Geometry, ExtendTakesPointsAndRectanglesOnEverySide) {
    // A walk round a plus sign drawn from (0, 0): the box grows to
    // x -3..4 and y -2..5; points inside change nothing.
    Rect64 r = common::rect_at(Point64{0, 0});
    for (Point64 p : std::vector<Point64>{{4, 0}, {0, 5}, {-3, 0}, {0, -2}, {1, 1}, {-3, 5}})
        common::extend(r, p);
    EXPECT_EQ(r, (Rect64{-3, -2, 4, 5}));

    Rect64 s{10, 10, 12, 12};
    common::extend(s, Rect64{11, -1, 11, 11});  // reaches below only
    EXPECT_EQ(s, (Rect64{10, -1, 12, 12}));
    common::extend(s, Rect64{-5, 0, 20, 30});
    EXPECT_EQ(s, (Rect64{-5, -1, 20, 30}));
}

TEST(Geometry, CoordinatesBeyond32BitsStayExact) {
    const std::int64_t far = (std::int64_t{1} << 53) + 1;  // no double holds it
    Rect64 r = common::rect_at(Point64{0, 0});
    common::extend(r, Point64{far, -far});
    EXPECT_EQ(r.xmax, far);
    EXPECT_EQ(r.ymin, -far);
}

TEST(Geometry, TouchCountsSharedEdgesAndCorners) {
    struct Case {
        const char* what;
        Rect64 other;
        bool touch;
    };
    const Rect64 unit{0, 0, 10, 10};
    const Case cases[] = {
        {"overlap", {5, 5, 15, 15}, true},
        {"inside", {2, 2, 3, 3}, true},
        {"around", {-1, -1, 11, 11}, true},
        {"shared right edge", {10, 0, 20, 10}, true},
        {"shared top edge, shifted", {3, 10, 30, 12}, true},
        {"shared corner", {10, 10, 11, 11}, true},
        {"gap of one in x", {11, 0, 20, 10}, false},
        {"gap of one in y", {0, -5, 10, -1}, false},
        {"beside a corner, apart", {11, 11, 12, 12}, false},
        {"degenerate point on the edge", {0, 5, 0, 5}, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(common::touch(unit, c.other), c.touch) << c.what;
        EXPECT_EQ(common::touch(c.other, unit), c.touch) << c.what << " (swapped)";
    }
}

TEST(Geometry, ExtentStartsEmptyAndTakesPointsAndSpans) {
    using V = std::array<double, 3>;
    Extent<V> e;
    EXPECT_TRUE(e.empty);
    e.add(V{1, 2, 3});
    EXPECT_FALSE(e.empty);
    EXPECT_EQ(e.lo, (V{1, 2, 3}));
    EXPECT_EQ(e.hi, (V{1, 2, 3}));
    e.add(V{-1, 5, 0}, V{0.5, 6, 1});  // a box
    EXPECT_EQ(e.lo, (V{-1, 2, 0}));
    EXPECT_EQ(e.hi, (V{1, 6, 3}));
    // The first span sets both corners even where it is the wrong way round:
    // the extent takes what it is given, it does not sort.
    Extent<std::array<double, 2>> f;
    f.add({3, 3}, {1, 1});
    EXPECT_EQ(f.lo, (std::array<double, 2>{3, 3}));
    EXPECT_EQ(f.hi, (std::array<double, 2>{1, 1}));
}

TEST(Geometry, ExtentKeepsTheFirstOfEqualValues) {
    // 0 and -0 compare equal; the picture writer prints what it holds, so
    // which one stays is part of the output.
    Extent<std::array<double, 1>> e;
    e.add({0.0});
    e.add({-0.0});
    EXPECT_FALSE(std::signbit(e.lo[0]));
    EXPECT_FALSE(std::signbit(e.hi[0]));
    Extent<std::array<double, 1>> f;
    f.add({-0.0});
    f.add({0.0});
    EXPECT_TRUE(std::signbit(f.lo[0]));
    EXPECT_TRUE(std::signbit(f.hi[0]));
}

TEST(Geometry, PointsOfEachPrecisionCompareByValue) {
    EXPECT_EQ((common::PointF{0.1f, 2.5f}), (common::PointF{0.1f, 2.5f}));
    EXPECT_NE((common::PointD{0.1, 2.5}), (common::PointD{static_cast<double>(0.1f), 2.5}));
    EXPECT_EQ(Point64{}, (Point64{0, 0}));
}

// A point type of another library, with members x and y only.
struct Vertex {
    double x, y;
};

TEST(Geometry, BoundsOfTakesTheExtremesAndKeepsTheFirstOfEqualValues) {
    struct Case {
        const char* what;
        std::vector<Vertex> points;
        common::RectD bounds;  // worked out by hand, with the signs of zeros
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {"one point", {{2, -3}}, {2, -3, 2, -3}},
        {"a quad from the lower left", {{0, 0}, {4, 0}, {4, 2}, {0, 2}}, {0, 0, 4, 2}},
        {"a quad from the upper right", {{4, 2}, {0, 2}, {0, 0}, {4, 0}}, {0, 0, 4, 2}},
        {"extremes in the middle", {{1, 1}, {-5, 7}, {9, -2}, {1, 1}}, {-5, -2, 9, 7}},
        {"+0 first keeps +0", {{0.0, 1}, {-0.0, 1}}, {0, 1, 0, 1}},
        {"-0 first keeps -0", {{-0.0, 1}, {0.0, 1}}, {-0.0, 1, -0.0, 1}},
        {"a NaN after the first point changes nothing", {{1, 2}, {nan, nan}, {3, 0}}, {1, 0, 3, 2}},
    };
    for (const Case& c : cases) {
        const common::RectD b = common::bounds_of(c.points.data(), c.points.size());
        EXPECT_EQ(b, c.bounds) << c.what;
        for (const auto side : {&common::RectD::xmin, &common::RectD::ymin, &common::RectD::xmax, &common::RectD::ymax})
            EXPECT_EQ(std::signbit(b.*side), std::signbit(c.bounds.*side)) << c.what;
    }
}

TEST(Geometry, BoundsOfKeepsThePrecisionOfItsPoints) {
    // The rectangle of single-precision reads is a RectF of the very floats
    // read: 0.1f, not the double 0.1.
    const common::PointF quad[4] = {{16777216.0f, 0.5f}, {0.1f, 0.5f}, {0.1f, 16777216.0f}, {16777216.0f, 16777216.0f}};
    const auto box = common::bounds_of(quad, 4);
    static_assert(std::is_same_v<decltype(box), const common::RectF>);
    EXPECT_EQ(box, (common::RectF{0.1f, 0.5f, 16777216.0f, 16777216.0f}));
    EXPECT_NE(static_cast<double>(box.xmin), 0.1);
    const common::Point32 ints[2] = {{-2147483647 - 1, 7}, {2147483647, -7}};
    EXPECT_EQ(common::bounds_of(ints, 2), (common::Rect32{-2147483647 - 1, -7, 2147483647, 7}));
}

TEST(Geometry, CornersGoCounterClockwiseFromTheLowerLeft) {
    const auto c = common::corners(Rect64{1, 2, 3, 4});
    const std::array<Point64, 4> expected = {{{1, 2}, {3, 2}, {3, 4}, {1, 4}}};
    EXPECT_EQ(c, expected);
}

TEST(Geometry, BoxesTouchOnClosedIntervalsOnAllThreeAxes) {
    struct Case {
        const char* what;
        common::Box other;  // xmin, xmax, ymin, ymax, zmin, zmax
        bool touch;
    };
    const common::Box unit{0, 10, 0, 10, 0, 10};
    const Case cases[] = {
        {"overlap", {5, 15, 5, 15, 5, 15}, true},
        {"inside", {2, 3, 2, 3, 2, 3}, true},
        {"shared face on top", {0, 10, 0, 10, 10, 12}, true},
        {"shared face at the side", {10, 20, 0, 10, 0, 10}, true},
        {"shared edge", {10, 20, 10, 20, 0, 10}, true},
        {"shared corner", {10, 11, 10, 11, 10, 11}, true},
        {"footprints overlap, gap of one in z", {0, 10, 0, 10, 11, 20}, false},
        {"gap of one in x", {11, 20, 0, 10, 0, 10}, false},
        {"gap of one in y below", {0, 10, -5, -1, 0, 10}, false},
        {"far apart", {100, 101, 100, 101, 100, 101}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(common::touch(unit, c.other), c.touch) << c.what;
        EXPECT_EQ(common::touch(c.other, unit), c.touch) << c.what << " (swapped)";
    }
}

TEST(Geometry, ExtendWidensABoxOnEachAxisAlone) {
    common::Box b{0, 10, 0, 10, 0, 10};
    common::extend(b, common::Box{2, 3, 2, 3, 2, 3});  // inside: nothing changes
    EXPECT_EQ(b, (common::Box{0, 10, 0, 10, 0, 10}));
    common::extend(b, common::Box{-4, 1, 5, 6, 9, 30});  // lower in x, higher in z
    EXPECT_EQ(b, (common::Box{-4, 10, 0, 10, 0, 30}));
    common::extend(b, common::Box{3, 12, -8, 11, -1, 0});
    EXPECT_EQ(b, (common::Box{-4, 12, -8, 11, -1, 30}));
    const std::int32_t low = -2147483647 - 1, high = 2147483647;
    common::extend(b, common::Box{low, low, high, high, 5, 5});
    EXPECT_EQ(b, (common::Box{low, 12, -8, high, -1, 30}));
}

TEST(Geometry, LiftPutsAFootprintBetweenTwoHeights) {
    // The box keeps its fields in the order of the box list's lines.
    EXPECT_EQ(common::lift(common::Rect32{1, 2, 3, 4}, 5, 6), (common::Box{1, 3, 2, 4, 5, 6}));
    EXPECT_EQ(common::lift(common::Rect32{-7, -7, -7, -7}, -2, -1), (common::Box{-7, -7, -7, -7, -2, -1}));
}

}  // namespace
