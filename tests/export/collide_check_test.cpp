// --check against an independent test of every box pair (the volume of the
// two boxes' intersection, cut out face by face) on generated chains of
// hinged plates under random poses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>

#include "export/collide.h"
#include "export/kavrit.h"
#include "export/pose.h"
#include "tests/export/kavrit_writer.h"

using namespace kavrit;
using kavrit_test::cross;
using kavrit_test::dot;
using kavrit_test::minus;
using kavrit_test::parse;
using kavrit_test::Part;
using kavrit_test::write_layout;

namespace {

using Face = std::vector<Vec3>;  // counter-clockwise seen from outside
using Solid = std::vector<Face>;

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
            const double a = dot(n, p) - d, b = dot(n, q) - d;
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
        Vec3 u = std::fabs(n[0]) < 0.9 ? cross(n, {1, 0, 0}) : cross(n, {0, 1, 0});
        const Vec3 v = cross(n, u);
        std::sort(on_plane.begin(), on_plane.end(), [&](const Vec3& a, const Vec3& b) {
            return std::atan2(dot(minus(a, mid), v), dot(minus(a, mid), u)) <
                   std::atan2(dot(minus(b, mid), v), dot(minus(b, mid), u));
        });
        out.push_back(on_plane);
    }
    return out;
}

double volume(const Solid& s) {
    double v = 0;
    for (const Face& f : s)
        for (std::size_t i = 1; i + 1 < f.size(); ++i) v += dot(f[0], cross(f[i], f[i + 1])) / 6;
    return v;
}

double common_volume(const PosedBox& a, const PosedBox& b) {
    Solid s = solid_of(a);
    for (const BoxFace& f : BOX_FACES) {
        const Vec3& p0 = b.corners[static_cast<std::size_t>(f.corners[0])];
        const Vec3 n = cross(minus(b.corners[static_cast<std::size_t>(f.corners[1])], p0),
                              minus(b.corners[static_cast<std::size_t>(f.corners[2])], p0));
        s = cut(s, n, dot(n, p0));
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
