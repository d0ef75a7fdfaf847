#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "export/mesh.h"
#include "export/pose.h"
#include "export/view.h"
#include "tests/export/test_support.h"

using namespace kavrit;
using common::PointD;
using kavrit_test::cross;
using kavrit_test::dot;
using kavrit_test::minus;

namespace {

const ViewName ALL_VIEWS[] = {ViewName::iso, ViewName::top, ViewName::front, ViewName::side};


Cuboid cube(Vec3 lo, Vec3 hi) { return {lo, hi}; }

// The box seen first along the eye's ray through picture point (u, v), by
// intersecting the ray with each box: the one whose surface toward the eye
// lies nearest to it.  -1 when the ray meets none.
int nearest_hit(const View& view, const std::vector<Cuboid>& boxes, double u, double v) {
    Vec3 origin{};
    for (int k = 0; k < 3; ++k) origin[k] = u * view.right[k] + v * view.up[k];
    int best = -1;
    double best_t = 0;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        double t_in = -1e300, t_out = 1e300;
        bool miss = false;
        for (int k = 0; k < 3 && !miss; ++k) {
            double d = view.toward_viewer[k];
            if (std::fabs(d) < 1e-12) {
                miss = origin[k] <= boxes[i].lo[k] || origin[k] >= boxes[i].hi[k];
                continue;
            }
            double t1 = (boxes[i].lo[k] - origin[k]) / d, t2 = (boxes[i].hi[k] - origin[k]) / d;
            t_in = std::max(t_in, std::min(t1, t2));
            t_out = std::min(t_out, std::max(t1, t2));
        }
        if (miss || t_in >= t_out) continue;
        if (best < 0 || t_out > best_t) {
            best = static_cast<int>(i);
            best_t = t_out;
        }
    }
    return best;
}

}  // namespace

TEST(Views, AreRightHandedOrthonormalFrames) {
    for (ViewName name : ALL_VIEWS) {
        View v = make_view(name);
        EXPECT_NEAR(dot(v.right, v.right), 1, 1e-12);
        EXPECT_NEAR(dot(v.up, v.up), 1, 1e-12);
        EXPECT_NEAR(dot(v.right, v.up), 0, 1e-12);
        Vec3 c = cross(v.right, v.up);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(c[k], v.toward_viewer[k], 1e-12) << view_title(name);
        EXPECT_GE(v.up[2], 0) << "up must not point down in " << view_title(name);
    }
    EXPECT_EQ(parse_view_name("front"), ViewName::front);
    EXPECT_FALSE(parse_view_name("Top"));
}

TEST(BoxFaces, WindOutwardAndCoverEveryCornerThrice) {
    Cuboid unit = cube({0, 0, 0}, {1, 1, 1});
    std::array<int, 8> uses{};
    for (const BoxFace& f : BOX_FACES) {
        Vec3 p0 = corner(unit, f.corners[0]);
        Vec3 n = cross(minus(corner(unit, f.corners[1]), p0), minus(corner(unit, f.corners[2]), p0));
        Vec3 expected{0, 0, 0};
        expected[f.axis] = f.side;
        EXPECT_EQ(n, expected);
        for (int c : f.corners) {
            ++uses[c];
            EXPECT_EQ(corner(unit, c)[f.axis], f.side > 0 ? 1 : 0);
        }
    }
    for (int u : uses) EXPECT_EQ(u, 3);
}

TEST(PainterOrder, DrawsWhatIsHiddenFirst) {
    // A long plate and a small block on its far end: by their centres the
    // block is the farther, yet it covers the plate.
    std::vector<Cuboid> plate_and_block = {cube({0, 0, 0}, {100, 10, 1}), cube({95, 0, 1}, {100, 10, 2})};
    for (ViewName name : {ViewName::iso, ViewName::top}) {
        auto order = painter_order(make_view(name), plate_and_block);
        EXPECT_EQ(order, (std::vector<std::size_t>{0, 1})) << view_title(name);
    }
    // Side by side in x: seen from -x the box at larger x is behind; from +x in front.
    std::vector<Cuboid> row = {cube({0, 0, 0}, {2, 2, 2}), cube({2, 0, 0}, {4, 2, 2})};
    EXPECT_EQ(painter_order(make_view(ViewName::iso), row), (std::vector<std::size_t>{1, 0}));
    EXPECT_EQ(painter_order(make_view(ViewName::side), row), (std::vector<std::size_t>{0, 1}));
}

TEST(PainterOrder, EndsOnBoxesThatHideEachOtherInARing) {
    // Each box lies partly over the next: no order is right, but every box is drawn once.
    std::vector<Cuboid> ring = {cube({1, 4, 6}, {6, 7, 9}), cube({1, 1, 2}, {4, 5, 6}), cube({4, 2, 3}, {9, 3, 9})};
    auto order = painter_order(make_view(ViewName::iso), ring);
    std::sort(order.begin(), order.end());
    EXPECT_EQ(order, (std::vector<std::size_t>{0, 1, 2}));
}

// Random boxes on a grid that touch or stand apart but never pierce: at
// every sampled picture point the box drawn last must be the one a ray from
// the eye meets first.
TEST(PainterOrder, ShowsTheNearestBoxEverywhere) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> at(0, 11), size(1, 5);
        std::vector<Cuboid> boxes;
        for (int tries = 0; boxes.size() < 14 && tries < 2000; ++tries) {
            Vec3 lo{double(at(random)), double(at(random)), double(at(random))};
            Cuboid c = cube(lo, {lo[0] + size(random), lo[1] + size(random), lo[2] + size(random)});
            bool pierces = std::any_of(boxes.begin(), boxes.end(), [&](const Cuboid& b) {
                for (int k = 0; k < 3; ++k)
                    if (c.hi[k] <= b.lo[k] || b.hi[k] <= c.lo[k]) return false;
                return true;
            });
            if (!pierces) boxes.push_back(c);
        }
        for (ViewName name : ALL_VIEWS) {
            View view = make_view(name);
            auto order = painter_order(view, boxes);
            ASSERT_EQ(order.size(), boxes.size());
            std::size_t overlapped = 0;
            // Sample the picture's extent on an uneven grid that misses box edges.
            double u0 = 1e9, u1 = -1e9, v0 = 1e9, v1 = -1e9;
            for (const Cuboid& b : boxes)
                for (int c = 0; c < 8; ++c) {
                    PointD q = project(view, corner(b, c));
                    u0 = std::min(u0, q.x), u1 = std::max(u1, q.x), v0 = std::min(v0, q.y), v1 = std::max(v1, q.y);
                }
            const double du = (u1 - u0) / 83.3, dv = (v1 - v0) / 81.7;
            for (double u = u0 + 0.37 * du; u < u1; u += du) {
                for (double v = v0 + 0.41 * dv; v < v1; v += dv) {
                    int nearest = nearest_hit(view, boxes, u, v);
                    if (nearest < 0) continue;
                    // The last box in the order whose picture holds the point.
                    std::size_t last = boxes.size(), under = 0;
                    for (std::size_t b : order) {
                        std::vector<Cuboid> one = {boxes[b]};
                        if (nearest_hit(view, one, u, v) == 0) last = b, ++under;
                    }
                    overlapped += under > 1;
                    ASSERT_EQ(last, static_cast<std::size_t>(nearest))
                        << "seed " << seed << ", " << view_title(name) << ", point " << u << " " << v;
                }
            }
            // Enough of the picture where boxes cover each other, or the check says little.
            EXPECT_GT(overlapped, 100u) << "seed " << seed << ", " << view_title(name);
        }
    }
}

namespace {

// A side on the plane z = slope x + height over x0..x1, y0..y1, facing up
// (toward the eye of the top view), where nearness is z.
Face3 tilted_side(double x0, double x1, double y0, double y1, double slope, double height) {
    auto at = [&](double x, double y) { return Vec3{x, y, slope * x + height}; };
    const double norm = std::sqrt(1 + slope * slope);
    return {{at(x0, y0), at(x1, y0), at(x1, y1), at(x0, y1)}, {-slope / norm, 0, 1 / norm}};
}

// face_order by default, with every group of sides walked and with every
// pair compared: all three must give `expected`.
void expect_every_way(const std::vector<Face3>& sides, const std::vector<std::size_t>& expected) {
    const View top = make_view(ViewName::top);
    EXPECT_EQ(face_order(top, sides), expected);
    EXPECT_EQ(face_order(top, sides, 0), expected) << "walked";
    EXPECT_EQ(face_order(top, sides, INFINITY), expected) << "pairwise";
}

}  // namespace

// Three parallel sides on planes z = x/2 + h, seen from the top (centre
// nearness cx/2 + h): G over x 0..10 at h 10 (centre 12.5), E over 8..50 at
// h 0 (14.5) and H over 12..44 at h -1 (13).  E lies under G where they
// overlap (x 8..10), H under E (12..44); G and H do not overlap.  So H, E, G
// must be drawn in this order, although by their centres G is the farthest.
// Walking, E finds H behind it first, which covers E only from x 12 on: the
// walk must go on to G (and then find that the centres are no painter's
// order here); had it stopped at H, G would be drawn first.
TEST(FaceOrder, WalkGoesOnWhileASideIsNotCoveredYet) {
    const std::vector<Face3> sides = {tilted_side(0, 10, 0, 10, 0.5, 10), tilted_side(8, 50, 0, 10, 0.5, 0),
                                      tilted_side(12, 44, 0, 10, 0.5, -1)};
    expect_every_way(sides, {2, 1, 0});
}

// A pile of sides over the same spot, x and y 0..10, on planes z = x/2 + 3k
// (centres 3k + 2.5, k = 0..31 and 36..99, listed from the top down), and
// one side of another slope between levels 31 and 36: z = 105.25 - x/2 over
// x -90..10 (98 above level 31 and 113 below level 36 at x = 10; 100.5 above
// 98 and 105.25 below 108 at x = 0).  Its centre, at x -40, lies at 125.25,
// nearer than levels 36 to 40 (110.5 to 122.5), yet it must come right after
// level 31, as every level above lies over it.
TEST(FaceOrder, APileOfSidesWithOneOfAnotherSlopeInBetween) {
    std::vector<Face3> sides;
    std::vector<std::size_t> index_of_level(100);
    for (int k = 99; k >= 0; --k) {
        if (k > 31 && k < 36) continue;
        index_of_level[k] = sides.size();
        sides.push_back(tilted_side(0, 10, 0, 10, 0.5, 3.0 * k));
    }
    const std::size_t between = sides.size();
    sides.push_back(tilted_side(-90, 10, 0, 10, -0.5, 105.25));
    std::vector<std::size_t> expected;
    for (int k = 0; k <= 31; ++k) expected.push_back(index_of_level[k]);
    expected.push_back(between);
    for (int k = 36; k <= 99; ++k) expected.push_back(index_of_level[k]);
    expect_every_way(sides, expected);
}

namespace {

// A box turned about the x axis through the origin, as its visible sides.
std::vector<Face3> visible_sides(const View& view, const Vec3& lo, const Vec3& hi, double degrees) {
    Affine turn = turn_about('x', {0, 0, 0}, degrees);
    Cuboid c{lo, hi};
    std::vector<Face3> out;
    for (const BoxFace& f : BOX_FACES) {
        Vec3 n{0, 0, 0};
        n[f.axis] = f.side;
        Face3 face{{}, turn.turn(n)};
        if (nearness(view, face.normal) <= 1e-9) continue;
        for (int k = 0; k < 4; ++k) face.corners[k] = turn.apply(corner(c, f.corners[k]));
        out.push_back(face);
    }
    return out;
}

// Whether drawing `order` shows, at every point of a fine grid over the
// picture, the side that is nearest there.
bool shows_nearest(const View& view, const std::vector<Face3>& faces, const std::vector<std::size_t>& order) {
    auto inside = [&](const Face3& f, PointD q) {
        int sign = 0;
        for (int k = 0; k < 4; ++k) {
            PointD a = project(view, f.corners[k]), b = project(view, f.corners[(k + 1) % 4]);
            double cr = (b.x - a.x) * (q.y - a.y) - (b.y - a.y) * (q.x - a.x);
            if (std::fabs(cr) < 1e-9) return false;
            int s = cr > 0 ? 1 : -1;
            if (sign && s != sign) return false;
            sign = s;
        }
        return true;
    };
    auto near_at = [&](const Face3& f, PointD q) {
        const Vec3& n = f.normal;
        const double d = dot(n, f.corners[0]);
        return (d - q.x * dot(n, view.right) - q.y * dot(n, view.up)) / dot(n, view.toward_viewer);
    };
    for (double x = -5; x <= 25; x += 0.37)
        for (double y = -5; y <= 110; y += 0.37) {
            PointD q{x, y};
            std::size_t painted = faces.size(), nearest = faces.size();
            for (std::size_t i : order)
                if (inside(faces[i], q)) painted = i;
            for (std::size_t i = 0; i < faces.size(); ++i)
                if (inside(faces[i], q) && (nearest == faces.size() || near_at(faces[i], q) > near_at(faces[nearest], q) + 1e-9))
                    nearest = i;
            if (painted != faces.size() && std::fabs(near_at(faces[painted], q) - near_at(faces[nearest], q)) > 1e-6)
                return false;
        }
    return true;
}

}  // namespace

// Seen from above, a plate 100 long tilted up by 30 degrees about the x
// axis, and a small box under its high end.  The plate's centre lies at
// z 25.9, the box's at 34, so drawing boxes by their centres puts the box
// over the plate, although the plate lies above it (z 43 to 51 there).
TEST(FaceOrder, TiltedPlateOverABoxBeneathItsHighEnd) {
    for (ViewName v : {ViewName::top, ViewName::iso, ViewName::front, ViewName::side}) {
        const View view = make_view(v);
        std::vector<Face3> faces = visible_sides(view, {0, 0, 0}, {20, 100, 2}, 30);
        const std::size_t plate_sides = faces.size();
        for (const Face3& f : visible_sides(view, {5, 75, 30}, {15, 85, 38}, 0)) faces.push_back(f);
        EXPECT_TRUE(shows_nearest(view, faces, face_order(view, faces))) << view_title(v);
        if (v != ViewName::top) continue;
        // The naive order from above: all sides of the box with the farther centre first.
        std::vector<std::size_t> by_centre;
        for (std::size_t i = plate_sides; i < faces.size(); ++i) by_centre.push_back(i);
        for (std::size_t i = 0; i < plate_sides; ++i) by_centre.insert(by_centre.begin(), i);
        EXPECT_FALSE(shows_nearest(view, faces, by_centre)) << "the case no longer catches a centre sort";
    }
}

// A stack of 24 levels turned together by 30 degrees, every level hiding
// part of all below it: whole plates 20 x 100 on even levels, four tiles
// 20 x 20 on odd ones, so that sides of very different sizes overlap (the
// pairs are found through a grid of the picture; whole plates span many of
// its cells).  Each level lies above the one before, so the nearest side at
// every point is that of the highest level there.
TEST(FaceOrder, StackOfTurnedPlatesAndTilesOfMixedSizes) {
    for (ViewName v : {ViewName::top, ViewName::iso, ViewName::front, ViewName::side}) {
        const View view = make_view(v);
        std::vector<Face3> faces;
        for (int level = 0; level < 24; ++level) {
            const double z = 3.0 * level;
            if (level % 2 == 0) {
                for (const Face3& f : visible_sides(view, {0, 0, z}, {20, 100, z + 1}, 30)) faces.push_back(f);
                continue;
            }
            for (int tile = 0; tile < 4; ++tile)
                for (const Face3& f : visible_sides(view, {0, 25.0 * tile, z}, {20, 25.0 * tile + 20, z + 1}, 30))
                    faces.push_back(f);
        }
        EXPECT_TRUE(shows_nearest(view, faces, face_order(view, faces))) << view_title(v);
        // Drawn in reverse the stack shows its lowest level: the check sees
        // it.  From the side (+x) the levels are thin bands apart.
        if (v == ViewName::side) continue;
        std::vector<std::size_t> reversed = face_order(view, faces);
        std::reverse(reversed.begin(), reversed.end());
        EXPECT_FALSE(shows_nearest(view, faces, reversed)) << view_title(v);
    }
}
