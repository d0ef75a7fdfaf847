#include "export/ranges.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <set>
#include <sstream>

namespace kavrit {

namespace {

constexpr double BISECT_TO = 1e-4;  // degrees

double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// The turn by `radians` about the unit direction `u` (right-hand rule).
Mat3 turn_matrix(const Vec3& u, double radians) {
    const double c = std::cos(radians), s = std::sin(radians), t = 1 - c;
    return {{{c + t * u[0] * u[0], t * u[0] * u[1] - s * u[2], t * u[0] * u[2] + s * u[1]},
             {t * u[1] * u[0] + s * u[2], c + t * u[1] * u[1], t * u[1] * u[2] - s * u[0]},
             {t * u[2] * u[0] - s * u[1], t * u[2] * u[1] + s * u[0], c + t * u[2] * u[2]}}};
}

Vec3 times(const Mat3& m, const Vec3& v) { return {dot(m[0], v), dot(m[1], v), dot(m[2], v)}; }

// One structure's search: its moving boxes, what each may meet, the axis.
struct Search {
    const CollisionModel& model;
    Vec3 point{}, direction{};
    std::vector<std::size_t> moving;                    // model indices
    std::vector<std::vector<std::size_t>> candidates;   // per moving box
    std::set<std::pair<std::size_t, std::size_t>> set_aside;  // (moving, other or npos)
    long tests = 0;
    long long* work = nullptr;
    long long work_limit = 0;

    static constexpr std::size_t SUBSTRATE = static_cast<std::size_t>(-1);

    SolidBox turned(std::size_t m, const Mat3& r) const {
        SolidBox b = model.boxes[m];
        Vec3 rel{};
        for (int k = 0; k < 3; ++k) rel[k] = b.centre[k] - point[k];
        const Vec3 moved = times(r, rel);
        for (int k = 0; k < 3; ++k) b.centre[k] = point[k] + moved[k];
        for (Vec3& a : b.axes) a = times(r, a);
        return b;
    }

    // The first pair that collides at `degrees` from the posed angle and was
    // not set aside: (moving box, other box or SUBSTRATE).
    std::optional<std::pair<std::size_t, std::size_t>> hit(double degrees) {
        ++tests;
        const Mat3 r = turn_matrix(direction, degrees * std::numbers::pi / 180);
        for (std::size_t k = 0; k < moving.size(); ++k) {
            const std::size_t m = moving[k];
            *work += static_cast<long long>(candidates[k].size()) + 1;
            if (*work > work_limit)
                throw RangeWorkError("the range search would test more than " + std::to_string(work_limit) +
                                     " pairs of boxes");
            const SolidBox b = turned(m, r);
            if (lowest_z(b) < -model.tolerance && !set_aside.count({m, SUBSTRATE})) return std::make_pair(m, SUBSTRATE);
            const Cuboid bounds = aabb_of(b);
            for (std::size_t o : candidates[k]) {
                const SolidBox& other = model.boxes[o];
                if (!cuboids_touch(bounds, aabb_of(other))) continue;
                if (overlap_depth(b, other, model.tolerance) && !set_aside.count({m, o})) return std::make_pair(m, o);
            }
        }
        return std::nullopt;
    }

    RangeEnd run(int sign, double step) {
        RangeEnd end;
        double free_to = 0;
        for (long k = 1;; ++k) {
            const double at = std::min(static_cast<double>(k) * step, 360.0);
            if (auto h = hit(sign * at)) {
                double lo = free_to, hi = at;
                auto last = *h;
                while (hi - lo > BISECT_TO) {
                    const double mid = (lo + hi) / 2;
                    if (auto hm = hit(sign * mid)) hi = mid, last = *hm;
                    else lo = mid;
                }
                end.free = false;
                end.degrees = lo;
                end.moving = last.first;
                if (last.second != SUBSTRATE) end.hit = last.second;
                return end;
            }
            free_to = at;
            if (at >= 360) return end;
        }
    }
};

}  // namespace

std::vector<HingeRange> hinge_ranges(const Layout& layout, const Pose& pose, const CollisionModel& model,
                                     bool broad_phase, std::size_t limit, long long work_limit) {
    long long work = 0;
    const auto& all = layout.structures;
    const auto& boxes = model.boxes;
    std::vector<std::vector<std::size_t>> children(all.size()), boxes_of(all.size());
    for (std::size_t i = 0; i < all.size(); ++i)
        if (pose.tree[i].parent) children[*pose.tree[i].parent].push_back(i);
    for (std::size_t b = 0; b < boxes.size(); ++b) boxes_of[boxes[b].structure].push_back(b);
    std::vector<Cuboid> bounds;
    for (const SolidBox& b : boxes) bounds.push_back(aabb_of(b));
    const BoxGrid grid(bounds);

    std::vector<HingeRange> out;
    std::vector<bool> moves(all.size(), false);
    for (std::size_t s = 0; s < all.size(); ++s) {
        if (!pose.tree[s].turns) continue;
        if (out.size() >= limit) break;
        HingeRange range;
        range.structure = s;
        range.posed = pose.degrees[s];

        // The structure and everything that hangs from it.
        std::vector<std::size_t> set{s};
        for (std::size_t k = 0; k < set.size(); ++k)
            for (std::size_t c : children[set[k]]) set.push_back(c);
        for (std::size_t i : set) moves[i] = true;

        Search search{model, {}, {}, {}, {}, {}, 0, &work, work_limit};
        const Structure& st = all[s];
        search.point = pose.world[s].apply(st.rotation ? st.rotation->point : Vec3{0, 0, 0});
        search.direction = pose.rotation[s].turn(axis_direction(st));

        // Each moving box sweeps a cylinder about the axis; the boxes that
        // stand still within its bounds are what it may meet.
        double thinnest = INFINITY, reach = 0;
        for (std::size_t i : set)
            for (std::size_t m : boxes_of[i]) {
                const SolidBox& b = boxes[m];
                search.moving.push_back(m);
                double t_lo = INFINITY, t_hi = -INFINITY, r = 0;
                for (int c = 0; c < 8; ++c) {
                    Vec3 rel{};
                    for (int k = 0; k < 3; ++k)
                        rel[k] = b.centre[k] - search.point[k] + ((c & 1) ? 1 : -1) * b.half[0] * b.axes[0][k] +
                                 ((c & 2) ? 1 : -1) * b.half[1] * b.axes[1][k] +
                                 ((c & 4) ? 1 : -1) * b.half[2] * b.axes[2][k];
                    const double t = dot(rel, search.direction);
                    common::extend_span(t_lo, t_hi, t);
                    r = std::max(r, std::sqrt(std::max(0.0, dot(rel, rel) - t * t)));
                }
                reach = std::max(reach, r);
                for (double h : b.half) thinnest = std::min(thinnest, 2 * h);
                Cuboid sweep;
                for (int k = 0; k < 3; ++k) {
                    const double a = search.point[k] + t_lo * search.direction[k];
                    const double z = search.point[k] + t_hi * search.direction[k];
                    const double across = r * std::sqrt(std::max(0.0, 1 - search.direction[k] * search.direction[k]));
                    sweep.lo[k] = std::min(a, z) - across - model.tolerance;
                    sweep.hi[k] = std::max(a, z) + across + model.tolerance;
                }
                std::vector<std::size_t> near;
                auto consider = [&](std::size_t o) {
                    if (moves[boxes[o].structure] || model.exempt(b, boxes[o])) return;
                    near.push_back(o);
                    for (double h : boxes[o].half) thinnest = std::min(thinnest, 2 * h);
                };
                if (broad_phase) grid.query(sweep, consider);
                else
                    for (std::size_t o = 0; o < boxes.size(); ++o) consider(o);
                std::sort(near.begin(), near.end());
                search.candidates.push_back(std::move(near));
                // What already collides at the posed angle is set aside.
                if (lowest_z(b) < -model.tolerance) {
                    search.set_aside.insert({m, Search::SUBSTRATE});
                    range.at_start.push_back({m, std::nullopt, -lowest_z(b)});
                }
                for (std::size_t o : search.candidates.back())
                    if (auto d = overlap_depth(b, boxes[o], model.tolerance)) {
                        search.set_aside.insert({m, o});
                        range.at_start.push_back({m, o, *d});
                    }
            }
        for (std::size_t i : set) moves[i] = false;

        // No corner travels further than half the thinnest size per step.
        double step = 2.0;
        if (reach > 0 && thinnest < INFINITY) step = std::min(step, thinnest / 2 / reach * 180 / std::numbers::pi);
        step = std::max(step, MIN_STEP);
        if (!search.moving.empty()) {
            range.down = search.run(-1, step);
            range.up = search.run(+1, step);
        }
        range.tests = search.tests;
        out.push_back(std::move(range));
    }
    return out;
}

namespace {

std::string degrees_text(double d) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", std::round(d * 100) / 100);
    return buf;
}

std::string hit_text(const Layout& layout, const CollisionModel& model, const RangeEnd& e) {
    if (e.free) return "free";
    return degrees_text(e.degrees) + ", " + box_name(layout, model.boxes[e.moving]) + " hits " +
           (e.hit ? box_name(layout, model.boxes[*e.hit]) : std::string("the substrate"));
}

}  // namespace

std::string ranges_table(const Layout& layout, const CollisionModel& model, const std::vector<HingeRange>& ranges) {
    std::ostringstream out;
    out << "structure  posed  down (turning by negative angles) / up (positive angles)\n";
    for (const HingeRange& r : ranges) {
        out << "structure " << layout.structures[r.structure].number() << " at " << degrees_text(r.posed) << "\n"
            << "  down: " << hit_text(layout, model, r.down) << "\n"
            << "  up:   " << hit_text(layout, model, r.up) << "\n";
        for (const Collision& c : r.at_start)
            out << "  already colliding, set aside: " << box_name(layout, model.boxes[c.box]) << " and "
                << (c.other ? box_name(layout, model.boxes[*c.other]) : std::string("the substrate")) << "\n";
    }
    if (ranges.empty()) out << "no hinged structures\n";
    return out.str();
}

std::string ranges_json(const Layout& layout, const CollisionModel& model, const std::vector<HingeRange>& ranges) {
    std::ostringstream out;
    auto box = [&](std::size_t b) {
        return "{\"structure\": " + std::to_string(layout.structures[model.boxes[b].structure].number()) +
               ", \"line\": " + std::to_string(model.boxes[b].line) + "}";
    };
    auto end = [&](const RangeEnd& e) {
        if (e.free) return std::string("{\"free\": true}");
        return "{\"free\": false, \"degrees\": " + degrees_text(e.degrees) + ", \"moving\": " + box(e.moving) +
               ", \"hits\": " + (e.hit ? box(*e.hit) : std::string("\"substrate\"")) + "}";
    };
    out << "{\"ranges\": [";
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        const HingeRange& r = ranges[i];
        out << (i ? ",\n  " : "\n  ") << "{\"structure\": " << layout.structures[r.structure].number()
            << ", \"posed\": " << format_number(r.posed) << ", \"down\": " << end(r.down) << ", \"up\": " << end(r.up)
            << ", \"set_aside\": [";
        for (std::size_t k = 0; k < r.at_start.size(); ++k)
            out << (k ? ", " : "") << "[" << box(r.at_start[k].box) << ", "
                << (r.at_start[k].other ? box(*r.at_start[k].other) : std::string("\"substrate\"")) << "]";
        out << "]}";
    }
    out << "\n]}\n";
    return out.str();
}

}  // namespace kavrit
