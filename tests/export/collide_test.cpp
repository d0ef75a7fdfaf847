// Collisions and hinge ranges on layouts written out here, each expected
// angle worked out from the geometry of its case (the derivation beside it),
// and --check compared with an independent test of every box pair (the
// volume of the two boxes' intersection, cut out face by face) on generated
// chains of hinged plates under random poses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <set>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "export/cli.h"
#include "export/collide.h"
#include "export/kavrit.h"
#include "export/pose.h"
#include "export/ranges.h"
#include "tests/export/test_support.h"

using namespace kavrit;

namespace {

const double DEG = 180 / std::numbers::pi;

// A structure as the test writes it: boxes as x0 x1 y0 y1 z0 z1.
struct Part {
    bool anchored = false;
    std::vector<int> chain;  // link lines (empty: none)
    char axis = 'x';
    Vec3 point{};
    std::vector<std::array<double, 6>> boxes;
};

// The kavrit text of the parts (numbered 1, 2, ... in order) and the line of
// each box: lines[part][box].
struct Written {
    std::string text;
    std::vector<std::vector<int>> lines;
};

Written write_layout(const std::vector<Part>& parts) {
    Written w;
    std::ostringstream out;
    int line = 0;
    auto put = [&](const std::string& s) {
        out << s << "\n";
        ++line;
    };
    put("#");
    put("# cif input file: test.cif");
    put("#");
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const Part& p = parts[i];
        const std::string n = std::to_string(i + 1);
        put("");
        put("# structure " + n + " start -----------------");
        put("{");
        put(std::string("  anchor: ") + (p.anchored ? "true" : "false"));
        if (!p.anchored && !p.chain.empty()) {
            for (std::size_t k = 0; k < p.chain.size(); ++k)
                put("  link " + std::to_string(p.chain[k]) + (k == 0 ? " start" : " member"));
        }
        if (!p.anchored) {
            std::ostringstream r;
            r << std::fixed;
            r.precision(7);
            r << "  rotate: +" << p.axis << " " << p.point[0] << " " << p.point[1] << " " << p.point[2];
            put(r.str());
        }
        put("");
        w.lines.emplace_back();
        for (const auto& b : p.boxes) {
            std::ostringstream r;
            r << std::fixed;
            r.precision(7);
            r << "  " << b[1] - b[0] << " " << b[3] - b[2] << " " << b[5] - b[4] << " " << (b[0] + b[1]) / 2 << " "
              << (b[2] + b[3]) / 2 << " " << (b[4] + b[5]) / 2;
            std::string s = r.str();
            put(s);
            w.lines.back().push_back(line);
        }
        put("}");
        put("# structure " + n + " end -----------------");
    }
    put("#");
    put("# end of kavrit file");
    w.text = out.str();
    return w;
}

Layout parse(const std::string& text) {
    std::istringstream in(text);
    return read_kavrit(in);
}

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

// ---- --check against every box pair ----------------------------------------

namespace {

using Face = std::vector<Vec3>;  // counter-clockwise seen from outside
using Solid = std::vector<Face>;

double dot3(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3 sub3(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec3 cross3(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Solid solid_of(const PosedBox& b) {
    Solid s;
    for (const BoxFace& f : BOX_FACES) {
        Face face;
        for (int c : f.corners) face.push_back(b.corners[static_cast<std::size_t>(c)]);
        s.push_back(face);
    }
    return s;
}

// The part of a convex solid where n.x <= d, closed by the cut face.
Solid cut(const Solid& solid, const Vec3& n, double d) {
    Solid out;
    std::vector<Vec3> on_plane;
    for (const Face& f : solid) {
        Face kept;
        for (std::size_t i = 0; i < f.size(); ++i) {
            const Vec3& p = f[i];
            const Vec3& q = f[(i + 1) % f.size()];
            const double a = dot3(n, p) - d, b = dot3(n, q) - d;
            if (a <= 0) kept.push_back(p);
            if ((a < 0 && b > 0) || (a > 0 && b < 0)) {
                const double t = a / (a - b);
                const Vec3 x{p[0] + t * (q[0] - p[0]), p[1] + t * (q[1] - p[1]), p[2] + t * (q[2] - p[2])};
                kept.push_back(x);
                on_plane.push_back(x);
            }
            if (a == 0) on_plane.push_back(p);
        }
        if (kept.size() >= 3) out.push_back(kept);
    }
    if (on_plane.size() >= 3) {
        Vec3 mid{0, 0, 0};
        for (const Vec3& p : on_plane)
            for (int k = 0; k < 3; ++k) mid[k] += p[k] / static_cast<double>(on_plane.size());
        Vec3 u = std::fabs(n[0]) < 0.9 ? cross3(n, {1, 0, 0}) : cross3(n, {0, 1, 0});
        const Vec3 v = cross3(n, u);
        std::sort(on_plane.begin(), on_plane.end(), [&](const Vec3& a, const Vec3& b) {
            return std::atan2(dot3(sub3(a, mid), v), dot3(sub3(a, mid), u)) <
                   std::atan2(dot3(sub3(b, mid), v), dot3(sub3(b, mid), u));
        });
        out.push_back(on_plane);
    }
    return out;
}

double volume(const Solid& s) {
    double v = 0;
    for (const Face& f : s)
        for (std::size_t i = 1; i + 1 < f.size(); ++i) v += dot3(f[0], cross3(f[i], f[i + 1])) / 6;
    return v;
}

double common_volume(const PosedBox& a, const PosedBox& b) {
    Solid s = solid_of(a);
    for (const BoxFace& f : BOX_FACES) {
        const Vec3& p0 = b.corners[static_cast<std::size_t>(f.corners[0])];
        const Vec3 n = cross3(sub3(b.corners[static_cast<std::size_t>(f.corners[1])], p0),
                              sub3(b.corners[static_cast<std::size_t>(f.corners[2])], p0));
        s = cut(s, n, dot3(n, p0));
        if (s.empty()) return 0;
    }
    return volume(s);
}

// Chains of hinged plates: each root hangs from its anchor on a pin along x
// or y, some pins under an anchored staple; each child hangs on a pin that
// lies in the end of its parent's plate.
std::vector<Part> random_layout(std::mt19937& rng) {
    // Multiples of 1/64, so that the file's text holds every value exactly
    // and boxes meant to touch touch exactly.
    auto uniform = [&](double lo, double hi) {
        return std::round(std::uniform_real_distribution<double>(lo, hi)(rng) * 64) / 64;
    };
    std::vector<Part> parts;
    Part ground;  // below z = 0: the substrate, left out
    ground.anchored = true;
    ground.boxes = {{-50, 250, -50, 250, -2, 0}};
    parts.push_back(ground);
    const int chains = std::uniform_int_distribution<int>(2, 6)(rng);
    for (int c = 0; c < chains; ++c) {
        const int across = rng() % 2 ? 1 : 0;  // the coordinate across the pins: y for +x axes
        const int along = 1 - across;
        const double sign = rng() % 2 ? 1 : -1;
        double start = uniform(0, 200), at = uniform(0, 200);
        const double width = uniform(5, 40), h = uniform(2, 15);
        std::vector<int> chain;
        for (int depth = 0, n = std::uniform_int_distribution<int>(1, 3)(rng); depth < n; ++depth) {
            Part p;
            p.axis = across == 1 ? 'x' : 'y';
            p.point = {0, 0, h};
            p.point[static_cast<std::size_t>(along)] = start;
            p.point[static_cast<std::size_t>(across)] = at;
            chain.insert(chain.begin(), static_cast<int>(parts.size()) + 1);
            p.chain = chain;
            const double half = uniform(0.5, 1.5), length = uniform(5, 50), gap = uniform(0, 2);
            std::array<double, 6> pin{}, plate{};
            pin[2 * along] = plate[2 * along] = start;
            pin[2 * along + 1] = plate[2 * along + 1] = start + width;
            pin[2 * across] = at - half;
            pin[2 * across + 1] = at + half;
            const double near = at + sign * (half + gap), far = near + sign * length;
            plate[2 * across] = std::min(near, far);
            plate[2 * across + 1] = std::max(near, far);
            pin[4] = plate[4] = h - half;
            pin[5] = plate[5] = h + half;
            p.boxes = {pin, plate};
            if (depth == 0 && rng() % 2) {
                Part staple;
                staple.anchored = true;
                std::array<double, 6> s = pin;
                s[2 * along] = start + width / 3;
                s[2 * along + 1] = start + 2 * width / 3;
                s[2 * across] -= 1;
                s[2 * across + 1] += 1;
                s[4] = h + half;
                s[5] = h + half + 1;
                staple.boxes = {s};
                parts.push_back(p);
                parts.push_back(staple);
            } else {
                parts.push_back(p);
            }
            at = far - sign * half;  // the child's pin lies in the end of this plate
        }
    }
    return parts;
}

// Every colliding pair by the rule, tested on every pair of box lines:
// (line, line) with the smaller first, (line, 0) for the substrate.
std::set<std::pair<int, int>> brute_force(const Layout& layout, const Pose& pose) {
    const std::vector<PosedBox> posed = posed_boxes(layout, pose);
    struct Item {
        const SizedBox* box;
        std::size_t structure;
        const PosedBox* posed;
    };
    std::vector<Item> items;
    std::size_t at = 0;
    for (std::size_t i = 0; i < layout.structures.size(); ++i) {
        for (const SizedBox& b : layout.structures[i].boxes) items.push_back({&b, i, &posed[at++]});
        if (layout.structures[i].reflector) ++at;
    }
    auto number_of = [&](std::size_t i) { return layout.structures[i].number(); };
    auto is_pin = [&](const Item& it) {
        const Structure& s = layout.structures[it.structure];
        if (!s.rotation || s.anchored || s.chain.empty()) return false;
        const int k = s.rotation->axis == 'x' ? 1 : 0;
        return s.rotation->point[k] >= it.box->lo(k) && s.rotation->point[k] <= it.box->hi(k) &&
               s.rotation->point[2] >= it.box->lo(2) && s.rotation->point[2] <= it.box->hi(2);
    };
    auto flat_touch = [](const SizedBox& a, const SizedBox& b) {
        for (int k = 0; k < 3; ++k)
            if (a.hi(k) < b.lo(k) || b.hi(k) < a.lo(k)) return false;
        return true;
    };
    auto pinned = [&](const Item& pin, const Item& other) {
        if (!is_pin(pin)) return false;
        const Structure& s = layout.structures[pin.structure];
        if (s.chain.size() >= 2) return s.chain[1] == number_of(other.structure);
        if (!layout.structures[other.structure].anchored) return false;
        for (const Item& p : items)
            if (p.structure == pin.structure && is_pin(p))
                for (const SizedBox& b : layout.structures[other.structure].boxes)
                    if (flat_touch(*p.box, b)) return true;
        return false;
    };
    std::set<std::pair<int, int>> out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].box->lo(2) < 0) continue;
        double low = INFINITY;
        for (const Vec3& c : items[i].posed->corners) low = std::min(low, c[2]);
        if (low < -1e-6) out.insert({items[i].box->line, 0});
        for (std::size_t j = i + 1; j < items.size(); ++j) {
            if (items[j].box->lo(2) < 0 || items[i].structure == items[j].structure) continue;
            if (pinned(items[i], items[j]) || pinned(items[j], items[i])) continue;
            if (common_volume(*items[i].posed, *items[j].posed) > 1e-7)
                out.insert({std::min(items[i].box->line, items[j].box->line),
                            std::max(items[i].box->line, items[j].box->line)});
        }
    }
    return out;
}

}  // namespace

TEST(Check, AgreesWithEveryPairOnRandomPosesOfHingedChains) {
    std::mt19937 rng(21);
    std::size_t pairs = 0, substrate = 0, free_layouts = 0;
    for (int round = 0; round < 300; ++round) {
        const auto parts = random_layout(rng);
        const Layout layout = parse(write_layout(parts).text);
        PoseRequest request;
        for (const Structure& s : layout.structures)
            if (!s.anchored && !s.chain.empty() && rng() % 4)
                request.degrees[s.number()] = std::uniform_real_distribution<double>(-150, 150)(rng);
        const Pose pose = make_pose(layout, request);
        const CollisionModel model = collision_model(layout, pose);
        std::set<std::pair<int, int>> found;
        for (const Collision& c : find_collisions(model)) {
            const int a = model.boxes[c.box].line, b = c.other ? model.boxes[*c.other].line : 0;
            found.insert(b == 0 ? std::make_pair(a, 0) : std::make_pair(std::min(a, b), std::max(a, b)));
            EXPECT_GT(c.depth, 0);
        }
        const auto expected = brute_force(layout, pose);
        EXPECT_EQ(found, expected) << "round " << round;
        for (const auto& p : expected) (p.second == 0 ? substrate : pairs)++;
        free_layouts += expected.empty();
    }
    // The layouts must hold every kind of outcome to test anything.
    EXPECT_GT(pairs, 50u);
    EXPECT_GT(substrate, 50u);
    EXPECT_GT(free_layouts, 5u);
}

// ---- the command line and hostile files -------------------------------------

namespace {

struct RunResult {
    int status;
    std::string out, err;
};

RunResult run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = run_export(args, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace

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

    RunResult r = run({"--check", file});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "structure 1, line " + plate_line + " and structure 2, line " + block_line +
                         ": overlap 1.5 deep\n1 colliding pair\n");
    r = run({"--check", "--pose", "1=-90", file});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.out.find("structure 1, line " + plate_line + " and the substrate: overlap 91 deep\n"),
              std::string::npos)
        << r.out;
    r = run({"--check", "--pose", "1=30", file});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "no collisions\n");

    // The ranges of a pose that starts in collision set the pair aside.
    r = run({"--ranges", "--json", file});
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
    r = run({"--check", "--stack", doubling, file});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.out.find(": overlap 3 deep\n1 colliding pair\n"), std::string::npos) << r.out;
    r = run({"--ranges", "--stack", low, file});
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
        EXPECT_EQ(run(args).status, 2) << args.size();
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
        const RunResult r = run({"--ranges", file});
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
