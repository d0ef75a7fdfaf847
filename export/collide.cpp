#include "export/collide.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

namespace kavrit {

namespace {

double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Vec3 minus(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

// Half the length of the box's shadow on `axis` (not necessarily of unit length).
double shadow(const SolidBox& b, const Vec3& axis) {
    return std::fabs(dot(b.axes[0], axis)) * b.half[0] + std::fabs(dot(b.axes[1], axis)) * b.half[1] +
           std::fabs(dot(b.axes[2], axis)) * b.half[2];
}

// The structure's hinge axis passes through the box (its ends included):
// both coordinates across the axis lie within the box, in file coordinates.
bool on_axis(const Structure& s, const SizedBox& b) {
    if (!s.rotation) return false;
    const int across[2] = {s.rotation->axis == 'x' ? 1 : 0, 2};
    for (int k : across)
        if (s.rotation->point[k] < b.lo(k) || s.rotation->point[k] > b.hi(k)) return false;
    return true;
}

}  // namespace

Cuboid aabb_of(const SolidBox& b) {
    Cuboid out;
    for (int k = 0; k < 3; ++k) {
        const double r = std::fabs(b.axes[0][k]) * b.half[0] + std::fabs(b.axes[1][k]) * b.half[1] +
                         std::fabs(b.axes[2][k]) * b.half[2];
        out.lo[k] = b.centre[k] - r;
        out.hi[k] = b.centre[k] + r;
    }
    return out;
}

bool cuboids_touch(const Cuboid& a, const Cuboid& b) {
    for (int k = 0; k < 3; ++k)
        if (a.hi[k] < b.lo[k] || b.hi[k] < a.lo[k]) return false;
    return true;
}

std::optional<double> overlap_depth(const SolidBox& a, const SolidBox& b, double tolerance) {
    const Vec3 d = minus(b.centre, a.centre);
    double depth = INFINITY;
    auto test = [&](const Vec3& axis) {
        const double length = std::sqrt(dot(axis, axis));
        // Cross products of (nearly) parallel edges separate nothing the
        // edge directions themselves would not.
        if (!(length > 1e-9)) return true;
        const double overlap = (shadow(a, axis) + shadow(b, axis) - std::fabs(dot(d, axis))) / length;
        depth = std::min(depth, overlap);
        return overlap > tolerance;
    };
    for (const Vec3& axis : a.axes)
        if (!test(axis)) return std::nullopt;
    for (const Vec3& axis : b.axes)
        if (!test(axis)) return std::nullopt;
    for (const Vec3& ea : a.axes)
        for (const Vec3& eb : b.axes)
            if (!test(cross(ea, eb))) return std::nullopt;
    return depth;
}

double lowest_z(const SolidBox& b) { return b.centre[2] - shadow(b, {0, 0, 1}); }

bool CollisionModel::exempt(const SolidBox& a, const SolidBox& b) const {
    auto pinned_in = [&](const SolidBox& pin, const SolidBox& other) {
        if (!pin.pin) return false;
        if (pin_parent[pin.structure]) return *pin_parent[pin.structure] == other.structure;
        const auto& a = pin_anchors[pin.structure];
        return std::binary_search(a.begin(), a.end(), other.structure);
    };
    return pinned_in(a, b) || pinned_in(b, a);
}

CollisionModel collision_model(const Layout& layout, const Pose& pose) {
    const auto& all = layout.structures;
    CollisionModel model;
    model.anchored.resize(all.size());
    model.pin_parent.resize(all.size());
    model.pin_anchors.resize(all.size());
    std::map<int, std::size_t> by_number;
    for (std::size_t i = 0; i < all.size(); ++i) by_number[all[i].number()] = i;
    for (std::size_t i = 0; i < all.size(); ++i) {
        model.anchored[i] = all[i].anchored;
        if (all[i].kind() != Kind::hinged) continue;
        const auto parent = all[i].listed_parent();
        if (parent) {
            auto it = by_number.find(*parent);
            if (it == by_number.end())
                throw PoseError("structure " + std::to_string(all[i].number()) + " hangs from structure " +
                                std::to_string(*parent) + ", which the file does not hold");
            model.pin_parent[i] = it->second;
        }
    }

    // posed_boxes gives the boxes in the order of drawn_boxes: each
    // structure's box lines, then its reflector.
    const std::vector<PosedBox> posed = posed_boxes(layout, pose);
    std::size_t at = 0;
    double largest = 1;
    for (std::size_t i = 0; i < all.size(); ++i) {
        for (const SizedBox& b : all[i].boxes) {
            const PosedBox& p = posed[at++];
            if (b.lo(2) < 0) continue;  // the substrate itself
            SolidBox s;
            bool solid = true;
            for (int a = 0; a < 3; ++a) {
                const Vec3 edge = minus(p.corners[static_cast<std::size_t>(1 << a)], p.corners[0]);
                const double length = std::sqrt(dot(edge, edge));
                if (!(length > 0) || !std::isfinite(length)) {
                    solid = false;
                    break;
                }
                s.half[a] = length / 2;
                for (int k = 0; k < 3; ++k) s.axes[a][k] = edge[k] / length;
            }
            if (!solid) continue;
            for (int k = 0; k < 3; ++k) {
                s.centre[k] = (p.corners[0][k] + p.corners[7][k]) / 2;
                largest = std::max(largest, std::fabs(s.centre[k]) + s.half[0] + s.half[1] + s.half[2]);
            }
            s.structure = i;
            s.line = b.line;
            s.pin = on_axis(all[i], b);
            model.boxes.push_back(s);
        }
        if (all[i].reflector) ++at;
    }
    model.tolerance = 1e-9 * largest;

    // The anchor of each structure with a single link line: the anchored
    // structures with a box that touches or overlaps one of its pins, flat.
    std::vector<Cuboid> flat;
    std::vector<std::size_t> flat_owner;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i].anchored)
            for (const SizedBox& b : all[i].boxes) {
                flat.push_back({{b.lo(0), b.lo(1), b.lo(2)}, {b.hi(0), b.hi(1), b.hi(2)}});
                flat_owner.push_back(i);
            }
    const BoxGrid anchors(flat);
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i].kind() != Kind::hinged || model.pin_parent[i]) continue;
        auto& found = model.pin_anchors[i];
        for (const SizedBox& b : all[i].boxes)
            if (on_axis(all[i], b))
                anchors.query({{b.lo(0), b.lo(1), b.lo(2)}, {b.hi(0), b.hi(1), b.hi(2)}},
                              [&](std::size_t k) { found.push_back(flat_owner[k]); });
        std::sort(found.begin(), found.end());
        found.erase(std::unique(found.begin(), found.end()), found.end());
    }
    return model;
}

BoxGrid::BoxGrid(const std::vector<Cuboid>& boxes) : boxes_(boxes), stamp_(boxes.size(), 0) {
    if (boxes_.empty()) return;
    Bounds all;
    for (const Cuboid& b : boxes_) all.add(b.lo, b.hi);
    const long side = std::clamp(static_cast<long>(std::sqrt(static_cast<double>(boxes_.size()))), 1L, 2048L);
    for (int k = 0; k < 2; ++k) {
        lo_[k] = all.lo[k];
        const double extent = all.hi[k] - all.lo[k];
        cells_[k] = extent > 0 && std::isfinite(extent) ? side : 1;
        cell_[k] = extent > 0 && std::isfinite(extent) ? extent / static_cast<double>(cells_[k]) : 1;
    }
    grid_.resize(static_cast<std::size_t>(cells_[0] * cells_[1]));
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        long r[4];
        if (!cell_range(boxes_[i], r) || (r[1] - r[0] + 1) * (r[3] - r[2] + 1) > 64) {
            everywhere_.push_back(i);
            continue;
        }
        for (long y = r[2]; y <= r[3]; ++y)
            for (long x = r[0]; x <= r[1]; ++x) grid_[static_cast<std::size_t>(y * cells_[0] + x)].push_back(i);
    }
}

// The cells a region covers, clamped to the grid: x from out[0] to out[1],
// y from out[2] to out[3].  False when the region lies off the grid.
bool BoxGrid::cell_range(const Cuboid& b, long out[4]) const {
    for (int k = 0; k < 2; ++k) {
        const double first = std::floor((b.lo[k] - lo_[k]) / cell_[k]);
        const double last = std::floor((b.hi[k] - lo_[k]) / cell_[k]);
        if (!(last >= 0) || !(first < static_cast<double>(cells_[k]))) return false;
        const double top = static_cast<double>(cells_[k] - 1);
        out[2 * k] = static_cast<long>(std::clamp(first, 0.0, top));
        out[2 * k + 1] = static_cast<long>(std::clamp(last, 0.0, top));
    }
    return true;
}

void BoxGrid::query(const Cuboid& region, const std::function<void(std::size_t)>& visit) const {
    if (++round_ == 0) {
        std::fill(stamp_.begin(), stamp_.end(), 0u);
        round_ = 1;
    }
    auto consider = [&](std::size_t i) {
        if (stamp_[i] == round_) return;
        stamp_[i] = round_;
        if (cuboids_touch(region, boxes_[i])) visit(i);
    };
    for (std::size_t i : everywhere_) consider(i);
    long r[4];
    if (grid_.empty() || !cell_range(region, r)) return;
    for (long y = r[2]; y <= r[3]; ++y)
        for (long x = r[0]; x <= r[1]; ++x)
            for (std::size_t i : grid_[static_cast<std::size_t>(y * cells_[0] + x)]) consider(i);
}

std::vector<Collision> find_collisions(const CollisionModel& model) {
    const auto& boxes = model.boxes;
    std::vector<Cuboid> bounds;
    bounds.reserve(boxes.size());
    for (const SolidBox& b : boxes) bounds.push_back(aabb_of(b));
    const BoxGrid grid(bounds);
    std::vector<Collision> found;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const double low = lowest_z(boxes[i]);
        if (low < -model.tolerance) found.push_back({i, std::nullopt, -low});
        grid.query(bounds[i], [&](std::size_t j) {
            if (j <= i || boxes[j].structure == boxes[i].structure || model.exempt(boxes[i], boxes[j])) return;
            if (auto depth = overlap_depth(boxes[i], boxes[j], model.tolerance)) found.push_back({i, j, *depth});
        });
    }
    auto key = [&](const Collision& c) {
        return std::make_pair(boxes[c.box].line, c.other ? boxes[*c.other].line : INT32_MAX);
    };
    std::stable_sort(found.begin(), found.end(), [&](const Collision& a, const Collision& b) { return key(a) < key(b); });
    return found;
}

std::string box_name(const Layout& layout, const SolidBox& box) {
    return "structure " + std::to_string(layout.structures[box.structure].number()) + ", line " +
           std::to_string(box.line);
}

std::string collision_report(const Layout& layout, const CollisionModel& model, const std::vector<Collision>& found) {
    std::ostringstream out;
    for (const Collision& c : found) {
        out << box_name(layout, model.boxes[c.box]) << " and ";
        if (c.other) out << box_name(layout, model.boxes[*c.other]);
        else out << "the substrate";
        out << ": overlap " << format_number(std::round(c.depth * 1e4) / 1e4) << " deep\n";
    }
    if (found.empty()) out << "no collisions\n";
    else out << found.size() << (found.size() == 1 ? " colliding pair\n" : " colliding pairs\n");
    return out.str();
}

}  // namespace kavrit
