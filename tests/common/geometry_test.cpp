// Points, rectangles and the bounding-box accumulator shared by the readers,
// the structure output and kavrit-export.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

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

}  // namespace
