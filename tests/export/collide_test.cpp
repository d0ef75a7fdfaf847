// Collisions and hinge ranges on layouts written out here, each expected
// angle worked out from the geometry of its case (the derivation beside it),
// and the command line of --check and --ranges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "export/cli.h"
#include "export/collide.h"
#include "export/kavrit.h"
#include "export/pose.h"
#include "export/ranges.h"
#include "tests/export/kavrit_writer.h"
#include "tests/export/test_support.h"

using namespace kavrit;
using kavrit_test::DEG;
using kavrit_test::export_run;
using kavrit_test::ExportRun;
using kavrit_test::parse;
using kavrit_test::Part;
using kavrit_test::write_layout;
using kavrit_test::Written;

namespace {

std::vector<HingeRange> ranges_of(const Layout& layout, const PoseRequest& request) {
    const Pose pose = make_pose(layout, request);
    return hinge_ranges(layout, pose, collision_model(layout, pose));
}

const HingeRange& range_of(const std::vector<HingeRange>& all, const Layout& layout, int number) {
    for (const HingeRange& r : all)
        if (layout.structures[r.structure].number() == number) return r;
    throw std::runtime_error("no range for structure " + std::to_string(number));
}

// The line of the box a range end hits, 0 for the substrate, -1 when free.
int hit_line(const CollisionModel& model, const RangeEnd& e) {
    if (e.free) return -1;
    return e.hit ? model.boxes[*e.hit].line : 0;
}

// Plates are 2 thick about their hinge axis at height H; a pin is the 2 x 2
// bar along the axis, the plate begins 1 beyond it.
const double H = 10;

Part hinged_plate(double x0, double x1, double length) {
    Part p;
    p.chain = {0};  // numbered by the caller
    p.point = {0, 0, H};
    p.boxes = {{x0, x1, -1, 1, H - 1, H + 1}, {x0, x1, 1, 1 + length, H - 1, H + 1}};
    return p;
}

struct Case {
    const char* name;
    std::vector<Part> parts;
    std::map<int, double> pose;
    int structure;          // whose range
    double down, up;        // expected degrees, < 0: free
    int down_hits, up_hits; // part number hit (0 the substrate, -1 free)
};

}  // namespace

// Plate of length L (from 1 to 1 + L beyond the axis), half thickness 1,
// axis at height H.  Turned down by t its far lower corner (1 + L, -1) is at
// z = H - (1 + L) sin t - cos t, which reaches 0 when
// (1 + L) sin t + cos t = H:  t = asin(H / rho) - atan(1 / (1 + L)),
// rho = sqrt((1 + L)^2 + 1).  Turned up by u past the upright, the same
// corner comes down on the far side at u = 180 + t by symmetry.
TEST(HingeRanges, PlateTurnedDownTouchesTheSubstrateAtTheAngleOfItsThickCorner) {
    for (double length : {40.0, 100.0, 500.0}) {
        Part plate = hinged_plate(0, 30, length);
        plate.chain = {1};
        const Layout layout = parse(write_layout({plate}).text);
        const double r = 1 + length, rho = std::hypot(r, 1.0);
        const double t = (std::asin(H / rho) - std::atan(1 / r)) * DEG;
        const auto ranges = ranges_of(layout, {});
        ASSERT_EQ(ranges.size(), 1u);
        EXPECT_NEAR(ranges[0].down.degrees, t, 0.005) << length;
        EXPECT_NEAR(ranges[0].up.degrees, 180 + t, 0.005) << length;
        EXPECT_FALSE(ranges[0].down.free);
        EXPECT_FALSE(ranges[0].down.hit);  // the substrate
        // Posed at -t + 1 it has 1 degree left down and 180 + 2t - 1 up.
        const auto posed = ranges_of(layout, {{{1, -t + 1}}, std::nullopt, 1});
        EXPECT_NEAR(posed[0].down.degrees, 1, 0.005);
        EXPECT_NEAR(posed[0].up.degrees, 180 + 2 * t - 1, 0.005);
    }
}

namespace {

// The cases below, each with its derivation.
std::vector<Case> cases() {
    std::vector<Case> out;
    {
        // Latch post: the plate (L = 100) turned up past the upright leans
        // towards -y; its far upper corner (101, 1) is at
        // y = 101 cos u - sin u, which meets the post's face y = -20 when
        // rho cos(u + atan(1/101)) = -20, rho = sqrt(101^2 + 1).  The post is
        // taller than the plate reaches.  Down: the substrate as above.
        Part plate = hinged_plate(0, 30, 100);
        plate.chain = {1};
        Part post;
        post.anchored = true;
        post.boxes = {{5, 25, -30, -20, 0, 150}};
        const double rho = std::hypot(101.0, 1.0);
        const double up = (std::acos(-20 / rho) - std::atan(1 / 101.0)) * DEG;
        const double down = (std::asin(H / rho) - std::atan(1 / 101.0)) * DEG;
        out.push_back({"latch post", {plate, post}, {}, 1, down, up, 0, 2});
    }
    {
        // Thin sheet (0.5 thick in y, from y = -10 to -9.5, z 105 to 130)
        // beyond the upright: the far upper corner meets its face y = -9.5
        // when rho cos(u + atan(1/101)) = -9.5, at height
        // H + 101 sin u + cos u, about 110.6, within the sheet.  A step of 2
        // degrees moves that corner 3.5, more than plate and sheet are thick.
        Part plate = hinged_plate(0, 30, 100);
        plate.chain = {1};
        Part sheet;
        sheet.anchored = true;
        sheet.boxes = {{5, 25, -10, -9.5, 105, 130}};
        const double rho = std::hypot(101.0, 1.0);
        const double up = (std::acos(-9.5 / rho) - std::atan(1 / 101.0)) * DEG;
        const double down = (std::asin(H / rho) - std::atan(1 / 101.0)) * DEG;
        const double z = H + 101 * std::sin(up / DEG) + std::cos(up / DEG);
        EXPECT_TRUE(z > 105 && z < 130);
        out.push_back({"thin sheet", {plate, sheet}, {}, 1, down, up, 0, 2});
    }
    {
        // Flap folding into its own plate: the plate (structure 1) from x 0
        // to 40; the flap (structure 2) hangs from it on a +y axis at x = 40,
        // z = H, its pin from x 39 to 41 inside the plate's edge (exempt), the
        // flap itself from x 43 to 63 (gap g = 3), half thickness 1.  Turned
        // by -v its near upper corner (3, 1) reaches below the plate's top
        // face z = H + 1 at x < 40 when 3 sin v + cos v = 1:
        // v = 180 - 2 atan(1/3).  Turned by +v its far lower corner (23, -1)
        // reaches z = 0 when 23 sin v + cos v = H.
        Part plate;
        plate.chain = {1};
        plate.point = {0, 0, H};
        plate.boxes = {{0, 40, -1, 1, H - 1, H + 1}, {0, 40, 1, 41, H - 1, H + 1}};
        Part flap;
        flap.chain = {2, 1};
        flap.axis = 'y';
        flap.point = {40, 0, H};
        flap.boxes = {{39, 41, 1, 41, H - 1, H + 1}, {43, 63, 1, 41, H - 1, H + 1}};
        const double fold = 180 - 2 * std::atan(1 / 3.0) * DEG;
        const double rho = std::hypot(23.0, 1.0);
        const double down = (std::asin(H / rho) - std::atan(1 / 23.0)) * DEG;
        out.push_back({"flap folds into its plate", {plate, flap}, {}, 2, fold, down, 1, 0});

        // The same flap with a wall at y -30 to -20 (x 45 to 100, z 0 to 60):
        // flat, the flap turns in the slab y 1 to 41 and never meets it.
        // With the plate raised by 90 degrees the flap stands from z H + 1 to
        // H + 41 and turns about the vertical line x = 40, y = 0; its far
        // corner (23, -1) then reaches y = -20 when 23 sin w + cos w = 20,
        // at x = 40 + 23 cos w - sin w, about 48.6, within the wall.
        // Turning by -w swings it towards -y (+x turned onto +z, right-hand).
        Part wall;
        wall.anchored = true;
        wall.boxes = {{45, 100, -30, -20, 0, 60}};
        out.push_back({"flat flap misses the wall", {plate, flap, wall}, {}, 2, fold, down, 1, 0});
        const double w = (std::asin(20 / rho) - std::atan(1 / 23.0)) * DEG;
        const double x = 40 + 23 * std::cos(w / DEG) - std::sin(w / DEG);
        EXPECT_TRUE(x > 45 && x < 100);
        Case raised{"raised flap hits the wall", {plate, flap, wall}, {{1, 90}}, 2, w, -1, 3, -1};
        // Turned the other way the flap folds onto the raised plate, as flat.
        raised.up = fold;
        raised.up_hits = 1;
        out.push_back(raised);
    }
    {
        // Pins in staples: the pin (x -10 to 50) turns inside two staples of
        // the anchored structure 2 that lie on its top face, beyond the plate
        // (x 0 to 40).  The pin's corners swing 0.41 into the staples; the
        // rule exempts that, so only the substrate stops the plate.
        Part plate = hinged_plate(0, 40, 40);
        plate.chain = {1};
        plate.boxes[0] = {-10, 50, -1, 1, H - 1, H + 1};
        Part staples;
        staples.anchored = true;
        staples.boxes = {{-8, -2, -3, 3, H + 1, H + 3}, {42, 48, -3, 3, H + 1, H + 3}};
        const double rho = std::hypot(41.0, 1.0);
        const double down = (std::asin(H / rho) - std::atan(1 / 41.0)) * DEG;
        out.push_back({"pins in staples", {plate, staples}, {}, 1, down, 180 + down, 0, 0});
        // Raised 0.2 above the pin, the staples are not its anchor: the pin's
        // corner (1, 1) rises above H + 1.2 when sqrt 2 sin(45 + u) = 1.2,
        // u = asin(1.2 / sqrt 2) - 45 (13.05), either way; down, the
        // substrate comes first (12.72).
        Part high = staples;
        for (auto& b : high.boxes) b[4] += 0.2, b[5] += 0.2;
        const double u = (std::asin(1.2 / std::sqrt(2.0)) * DEG) - 45;
        EXPECT_LT(down, u);
        out.push_back({"staples apart from the pin", {plate, high}, {}, 1, down, u, 0, 2});
    }
    {
        // A ring of second link lines: 1 hangs from 2 and 2 from 1.  Each
        // turns alone about its own axis; 1's pin reaches into 2's pin (x 50
        // to 60), which the rule exempts (2 is 1's listed parent).  Plate 1
        // lies towards +y, plate 2 towards -y: 2 goes down turning by +.
        Part one = hinged_plate(0, 40, 40);
        one.chain = {1, 2};
        one.boxes[0] = {0, 60, -1, 1, H - 1, H + 1};
        Part two;
        two.chain = {2, 1};
        two.point = {0, 0, H};
        two.boxes = {{50, 90, -1, 1, H - 1, H + 1}, {50, 90, -41, -1, H - 1, H + 1}};
        const double rho = std::hypot(41.0, 1.0);
        const double t = (std::asin(H / rho) - std::atan(1 / 41.0)) * DEG;
        out.push_back({"ring, first", {one, two}, {}, 1, t, 180 + t, 0, 0});
        out.push_back({"ring, second", {one, two}, {}, 2, 180 + t, t, 0, 0});
    }
    return out;
}

}  // namespace

TEST(HingeRanges, HandWorkedCases) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        const Written w = write_layout(c.parts);
        const Layout layout = parse(w.text);
        PoseRequest request;
        request.degrees = c.pose;
        const Pose pose = make_pose(layout, request);
        const CollisionModel model = collision_model(layout, pose);
        EXPECT_TRUE(find_collisions(model).empty());
        const auto ranges = hinge_ranges(layout, pose, model);
        const HingeRange& r = range_of(ranges, layout, c.structure);
        EXPECT_TRUE(r.at_start.empty());
        auto expect_end = [&](const RangeEnd& e, double degrees, int hits, const char* which) {
            SCOPED_TRACE(which);
            if (degrees < 0) {
                EXPECT_TRUE(e.free);
                return;
            }
            EXPECT_NEAR(e.degrees, degrees, 0.005);
            const int line = hit_line(model, e);
            if (hits == 0) EXPECT_EQ(line, 0);
            else {
                const auto& lines = w.lines[static_cast<std::size_t>(hits - 1)];
                EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
            }
        };
        expect_end(r.down, c.down, c.down_hits, "down");
        expect_end(r.up, c.up, c.up_hits, "up");
    }
}

// ---- the broad phase ------------------------------------------------------------

// The axis-aligned box around a turned box: each half extent is the sum of
// the half sizes times the size of the axes' components along it.
TEST(BroadPhase, BoundsOfATurnedBox) {
    SolidBox quarter;  // turned by 90 degrees about z: own x along +y, own y along -x
    quarter.centre = {1, 2, 3};
    quarter.half = {2, 1, 0.5};
    quarter.axes = {Vec3{0, 1, 0}, Vec3{-1, 0, 0}, Vec3{0, 0, 1}};
    const Cuboid q = aabb_of(quarter);
    EXPECT_EQ(q.lo, (Vec3{0, 0, 2.5}));
    EXPECT_EQ(q.hi, (Vec3{2, 4, 3.5}));
    SolidBox eighth;  // a unit cube turned by 45 degrees about z reaches sqrt 2 / 2 each way in x and y
    const double s = std::sqrt(0.5);
    eighth.half = {0.5, 0.5, 0.5};
    eighth.axes = {Vec3{s, s, 0}, Vec3{-s, s, 0}, Vec3{0, 0, 1}};
    const Cuboid e = aabb_of(eighth);
    for (int k = 0; k < 2; ++k) {
        EXPECT_NEAR(e.lo[k], -std::sqrt(2.0) / 2, 1e-15);
        EXPECT_NEAR(e.hi[k], std::sqrt(2.0) / 2, 1e-15);
    }
    EXPECT_EQ(e.hi[2], 0.5);
}

// Closed boxes: a shared face, edge or corner counts; any gap does not.
TEST(BroadPhase, BoxesTouchWhenNoAxisHasAGap) {
    const Cuboid unit{{0, 0, 0}, {1, 1, 1}};
    const struct {
        Cuboid other;
        bool touch;
        const char* what;
    } cases[] = {
        {{{0.5, 0.5, 0.5}, {2, 2, 2}}, true, "overlap"},
        {{{1, 0, 0}, {2, 1, 1}}, true, "shared face"},
        {{{1, 1, 0}, {2, 2, 1}}, true, "shared edge"},
        {{{1, 1, 1}, {2, 2, 2}}, true, "shared corner"},
        {{{-1, -1, -1}, {2, 2, 2}}, true, "around it"},
        {{{1.000001, 0, 0}, {2, 1, 1}}, false, "gap in x"},
        {{{0, 0, -2}, {1, 1, -0.5}}, false, "below it"},
        {{{0, 2, 0}, {1, 3, 1}}, false, "gap in y"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cuboids_touch(unit, c.other), c.touch) << c.what;
        EXPECT_EQ(cuboids_touch(c.other, unit), c.touch) << c.what << ", the other way round";
    }
}

// The grid finds each box that touches a region exactly once, whether the
// box lies in a few cells, spans too many (a box over the whole layout) or
// the region reaches beyond the grid; and again on a second query.
TEST(BroadPhase, GridFindsEveryTouchingBoxOnce) {
    std::vector<Cuboid> boxes;
    for (int x = 0; x < 12; ++x)
        for (int y = 0; y < 9; ++y)
            boxes.push_back({{3.0 * x, 2.0 * y, 0}, {3.0 * x + 2, 2.0 * y + 1.5, 1 + 0.5 * x}});
    boxes.push_back({{-5, -5, 0}, {40, 40, 1}});     // spans every cell
    boxes.push_back({{10, 4, 3}, {11, 40, 4}});       // reaches out of the grid's y range
    const BoxGrid grid(boxes);
    const Cuboid regions[] = {
        {{3, 2, 0}, {3, 2, 0}},  // the corner of box (1, 1) (box x 0 ends at 2, y 0 at 1.5), the big box
        {{2.5, 1.6, 0.5}, {8.5, 5.5, 9}},  // boxes x 1 to 2, y 1 to 2 (x 0 ends at 2, y 0 at 1.5)
        {{-100, -100, -100}, {100, 100, 100}},
        {{50, 50, 0}, {60, 60, 1}},        // off the grid: nothing
        {{0, 0, 2.25}, {36, 18, 2.25}},    // z only: boxes of x >= 3 (top 1 + 0.5 x), not the big one
        {{10.5, 30, 3.5}, {10.5, 30, 3.5}},  // far up in y: only the tall box
    };
    for (int round = 0; round < 2; ++round)
        for (std::size_t r = 0; r < std::size(regions); ++r) {
            const Cuboid& region = regions[r];
            std::vector<std::size_t> expected, found;
            for (std::size_t i = 0; i < boxes.size(); ++i) {
                bool meets = true;
                for (int k = 0; k < 3; ++k)
                    meets = meets && boxes[i].lo[k] <= region.hi[k] && region.lo[k] <= boxes[i].hi[k];
                if (meets) expected.push_back(i);
            }
            grid.query(region, [&](std::size_t i) { found.push_back(i); });
            std::sort(found.begin(), found.end());
            EXPECT_EQ(found, expected) << "region " << r << ", round " << round;
        }
    // By hand, for three of the regions.
    std::vector<std::size_t> corner;
    grid.query(regions[0], [&](std::size_t i) { corner.push_back(i); });
    std::sort(corner.begin(), corner.end());
    EXPECT_EQ(corner, (std::vector<std::size_t>{10, 108})) << "box (1, 1) and the big one";
    std::size_t off = 0, tall = 0;
    grid.query(regions[3], [&](std::size_t) { ++off; });
    grid.query(regions[5], [&](std::size_t i) { tall += i == 109 ? 1 : 100; });
    EXPECT_EQ(off, 0u);
    EXPECT_EQ(tall, 1u);
}

// ---- the command line and hostile files -------------------------------------

TEST(Check, ListsEachPairWithItsLinesAndExitsWithThree) {
    kavrit_test::ScratchDir dir("kavrit-check");
    // A plate whose far end (y 41 to 101) reaches into an anchored block
    // standing from y 60 to 70 and from z 0 to H + 0.5: the plate's lower
    // half (z H - 1 to H + 0.5) overlaps it by 1.5 in z, 10 in y.  Turned
    // down by 90 the plate stands from z H - 101 to H - 1: 91 below z = 0.
    Part plate = hinged_plate(0, 30, 100);
    plate.chain = {1};
    Part block;
    block.anchored = true;
    block.boxes = {{10, 20, 60, 70, 0, H + 0.5}};
    const Written w = write_layout({plate, block});
    const std::string file = dir / "t.kav";
    std::ofstream(file) << w.text;
    const std::string plate_line = std::to_string(w.lines[0][1]), block_line = std::to_string(w.lines[1][0]);

    ExportRun r = export_run({"--check", file});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "structure 1, line " + plate_line + " and structure 2, line " + block_line +
                         ": overlap 1.5 deep\n1 colliding pair\n");
    r = export_run({"--check", "--pose", "1=-90", file});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.out.find("structure 1, line " + plate_line + " and the substrate: overlap 91 deep\n"),
              std::string::npos)
        << r.out;
    r = export_run({"--check", "--pose", "1=30", file});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "no collisions\n");

    // The ranges of a pose that starts in collision set the pair aside.
    r = export_run({"--ranges", "--json", file});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\"set_aside\": [[{\"structure\": 1, \"line\": " + plate_line + "}, {\"structure\": 2, \"line\": " +
                         block_line + "}]]"),
              std::string::npos)
        << r.out;

    // At the heights of a stack that doubles every z the same overlap is 3
    // deep; a stack that leaves the block's top out is refused.
    const std::string doubling = dir / "double.txt", low = dir / "low.txt";
    std::ofstream(doubling) << "-1000 -2000\n1000 2000\n";
    std::ofstream(low) << "-1 -1\n0.5 0.5\n";
    r = export_run({"--check", "--stack", doubling, file});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.out.find(": overlap 3 deep\n1 colliding pair\n"), std::string::npos) << r.out;
    r = export_run({"--ranges", "--stack", low, file});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(low), std::string::npos) << r.err;

    // Wrong command lines.
    for (const auto& args : std::vector<std::vector<std::string>>{{"--check", file, dir / "out.obj"},
                                                                   {"--check", "--stack", doubling, "--z-scale", "2", file},
                                                                   {"--check"},
                                                                   {"--json", file},
                                                                   {"--check", "--json", file},
                                                                   {"--check", "--ranges", file},
                                                                   {"--ranges", "--view", "top", file},
                                                                   {"--check", "--pose", "2=10", file}})
        EXPECT_EQ(export_run(args).status, 2) << args.size();
    EXPECT_FALSE(std::filesystem::exists(dir / "out.obj"));
}

TEST(Check, HostileFilesAreRefusedOrBoundedAsElsewhere) {
    kavrit_test::ScratchDir dir("kavrit-check-hostile");
    const std::string file = dir / "t.kav";
    // Numbers the reader refuses give its refusal, status 1.
    Part plate = hinged_plate(0, 30, 100);
    plate.chain = {1};
    const std::string text = write_layout({plate}).text;
    for (const std::string& bad : {std::string("1e400"), std::string("inf"), std::string("2e15")}) {
        std::string t = text;
        const std::size_t at = t.find("rotate: +x 0.0000000 0.0000000 10.0000000");
        ASSERT_NE(at, std::string::npos);
        t.replace(at, 44, "rotate: +x 0 0 " + bad);
        std::ofstream(file) << t;
        const ExportRun r = export_run({"--ranges", file});
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_NE(r.err.find("line "), std::string::npos) << r.err;
    }

    // Coordinates at the reader's limit and boxes of size 0: the search
    // ends, within its bound of steps, and the flat boxes take no part.
    Part far = hinged_plate(0, 30, 100);
    far.chain = {1};
    far.point = {0, 0, 1e15};
    for (auto& b : far.boxes) b[4] += 1e15 - H, b[5] += 1e15 - H;
    Part flat;
    flat.anchored = true;
    flat.boxes = {{0, 30, 0, 101, 1e15 - 1, 1e15 - 1}, {0, 0, 0, 0, 0, 0}};
    Part tiny = hinged_plate(0, 30, 1e14);
    tiny.chain = {3};
    tiny.boxes.push_back({5, 5.000001, 50, 50.000001, H, H + 0.000001});
    const Layout layout = parse(write_layout({far, flat, tiny}).text);
    const Pose pose = make_pose(layout, {});
    const CollisionModel model = collision_model(layout, pose);
    EXPECT_TRUE(find_collisions(model).empty());
    const long bound = 2 * (static_cast<long>(360 / MIN_STEP) + 2 + 40);
    for (const HingeRange& r : hinge_ranges(layout, pose, model)) EXPECT_LE(r.tests, bound);

    // A search that would test more pairs than allowed stops with an error:
    // the plate of 1e14 steps by MIN_STEP, 180,000 positions each way.
    EXPECT_THROW(hinge_ranges(layout, pose, model, true, static_cast<std::size_t>(-1), 100000), RangeWorkError);
}
