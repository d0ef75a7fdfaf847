// Collisions between the posed boxes of a layout.
//
// The rule: after posing, two box lines of different structures collide when
// their insides overlap; touching faces, edges or corners do not count.  The
// boxes that a structure's own hinge axis passes through (its hinge pins)
// never collide with the structure it hangs from (that of its second link
// line; for a single link line, its anchor: the anchored structures that
// touch or overlap one of its pins in the flat layout), because the pins turn
// inside that structure's staples.  A box collides with the substrate
// when any part of it lies below z = 0.  Box lines that lie below z = 0 in the
// flat layout are the substrate itself, boxes with a size of 0 have no inside
// and reflector lines only draw the mirror surface: these take no part.
//
// Two posed boxes are oriented boxes; their insides overlap when no axis
// separates them (the 3 edge directions of each and the 9 cross products of
// one edge direction of each), and the depth of the overlap is the least
// overlap of their shadows over those axes.  An overlap no thicker than
// `tolerance` (1e-9 of the largest coordinate, at least 1e-9 micrometre)
// counts as touching, so the rounding of turned coordinates never turns a
// contact into a collision.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "export/kavrit.h"
#include "export/pose.h"

namespace kavrit {

// A box line where the pose has put it.
struct SolidBox {
    Vec3 centre{};
    Vec3 half{};   // half sizes along its own axes
    Mat3 axes{};   // axes[a]: unit direction of its own axis a
    std::size_t structure = 0;  // index into Layout::structures
    int line = 0;               // its line in the kavrit file
    bool pin = false;           // its structure's hinge axis passes through it
};

// The axis-aligned box around a posed box.
Cuboid aabb_of(const SolidBox& box);
// Whether two axis-aligned boxes share a point: no axis has a gap between them.
bool cuboids_touch(const Cuboid& a, const Cuboid& b);

// The depth of the overlap of two boxes' insides, or nothing when they are
// apart or only touch (overlap no thicker than `tolerance`).
std::optional<double> overlap_depth(const SolidBox& a, const SolidBox& b, double tolerance);

// The lowest z any part of the box reaches.
double lowest_z(const SolidBox& box);

// The boxes that take part and who may touch whom.
struct CollisionModel {
    std::vector<SolidBox> boxes;
    std::vector<bool> anchored;                            // per structure
    std::vector<std::optional<std::size_t>> pin_parent;    // per structure: its second link line's structure
    std::vector<std::vector<std::size_t>> pin_anchors;     // per structure with a single link line: its anchor, sorted
    double tolerance = 1e-9;

    // True when the rule exempts the pair (pins in the staples they turn in).
    bool exempt(const SolidBox& a, const SolidBox& b) const;
};

// Throws PoseError, as make_pose does, for a broken chain.
CollisionModel collision_model(const Layout& layout, const Pose& pose);

// A colliding pair: two boxes of the model, or a box and the substrate
// (`other` empty).
struct Collision {
    std::size_t box = 0;
    std::optional<std::size_t> other;
    double depth = 0;
};

// Every colliding pair, ordered by the first box's line, then the second's
// (the substrate last).
std::vector<Collision> find_collisions(const CollisionModel& model);

// The boxes of `model` that could meet `region`, found through a grid of
// cells in x and y over all boxes where they lie.
class BoxGrid {
public:
    explicit BoxGrid(const std::vector<Cuboid>& boxes);
    // Calls `visit` once for each box whose bounds overlap `region` (closed).
    void query(const Cuboid& region, const std::function<void(std::size_t)>& visit) const;

private:
    std::vector<Cuboid> boxes_;
    double lo_[2]{}, cell_[2]{1, 1};
    long cells_[2]{1, 1};
    std::vector<std::vector<std::size_t>> grid_;
    std::vector<std::size_t> everywhere_;  // boxes too large (or too far out) for the cells
    mutable std::vector<unsigned> stamp_;
    mutable unsigned round_ = 0;
    bool cell_range(const Cuboid& b, long out[4]) const;
};

// "structure 5, line 48"
std::string box_name(const Layout& layout, const SolidBox& box);

// The report of --check: one line per colliding pair, then a count.
std::string collision_report(const Layout& layout, const CollisionModel& model, const std::vector<Collision>& found);

}  // namespace kavrit
