// Turning the hinged structures of a layout about their axes.
//
// A structure with link lines turns about its own axis: the line through the
// point of its rotate line along +x or +y, by the right-hand rule for a
// positive angle.  It hangs from the structure of its second link line, or,
// with a single link line, from its anchor, which never moves.  A structure
// carries its descendants along: its pose is its parent's pose followed by
// its own turn about its axis where the parent's pose has moved it.
// Anchored structures and structures without link lines never move.
//
// x and y are micrometres, z level units; `z_scale` micrometres per level
// unit stretch z before anything turns.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "export/kavrit.h"
#include "export/mesh.h"

namespace kavrit {

using Mat3 = std::array<Vec3, 3>;  // rows

// x -> m x + t.
struct Affine {
    Mat3 m{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    Vec3 t{0, 0, 0};

    Vec3 apply(const Vec3& p) const;
    Vec3 turn(const Vec3& direction) const;  // m alone
    // True when m maps every axis onto an axis (turns by multiples of 90
    // degrees): boxes then stay axis-aligned.
    bool keeps_axes() const;
};

// outer after inner.
Affine compose(const Affine& outer, const Affine& inner);

// The turn by `degrees` about the line through `point` along +x ('x') or +y
// ('y').  Multiples of 90 degrees give exact matrices, so a turn by 0 or by
// 360 is the identity exactly.
Affine turn_about(char axis, const Vec3& point, double degrees);

class PoseError : public std::runtime_error {
public:
    // `asked`: the fault lies in the turns asked for, not in the file.
    explicit PoseError(const std::string& what, bool asked = false) : std::runtime_error(what), asked_(asked) {}
    bool asked() const { return asked_; }

private:
    bool asked_;
};

// The hanging of each structure (index into Layout::structures).
struct HingeNode {
    bool turns = false;                 // it has link lines (and no anchor)
    std::optional<std::size_t> parent;  // the structure of its second link line; none: hangs from the fixed frame
    bool hangs_from_anchor = false;     // a single link line
};

// Throws PoseError when a second link line names a structure the file does
// not hold.  A ring of parents (only hinges that loop without an anchor give
// one) is cut: each member of the ring hangs from the fixed frame.
std::vector<HingeNode> hinge_tree(const Layout& layout);

// Structure indices from roots to leaves: every parent before its children.
std::vector<std::size_t> tree_order(const std::vector<HingeNode>& tree);

// The turns asked for: by structure number (that of the link lines), and
// `raise` for every structure that hangs from its anchor; a number given
// explicitly wins over `raise`.
struct PoseRequest {
    std::map<int, double> degrees;
    std::optional<double> raise;
    double z_scale = 1;
};

// Parses "N=DEG[,N=DEG...]" into `into`; returns an error text or "".
std::string parse_pose_list(const std::string& text, std::map<int, double>& into);

// Where every structure is: `world[i]` maps the flat coordinates of the file
// (z in level units) to the posed ones (z stretched by z_scale);
// `rotation[i]` is its turning part alone; `degrees[i]` its own turn.
struct Pose {
    std::vector<HingeNode> tree;
    std::vector<Affine> world;
    std::vector<Affine> rotation;
    std::vector<double> degrees;
    double z_scale = 1;
    bool keeps_axes() const;
};

// Throws PoseError for a number that no structure has, or that names an
// anchored structure or one without link lines.
Pose make_pose(const Layout& layout, const PoseRequest& request);

// The same hinge tree and z scale with every turn undone.
Pose unturned(const Pose& pose);

// The flat layout, z stretched by z_scale; no hinge tree needed.
Pose flat_pose(const Layout& layout, double z_scale = 1);

// The axis of a structure in flat coordinates with z stretched: its point and
// its unit direction.
Vec3 axis_point(const Structure& s, double z_scale);
Vec3 axis_direction(const Structure& s);

// A drawn box where the pose has put it: its eight corners (numbered as
// corner() numbers them) and the directions of its own x, y and z edges.
struct PosedBox {
    std::array<Vec3, 8> corners{};
    Mat3 edges{};  // edges[a]: unit direction of the box's axis a
    std::size_t structure = 0;
    bool reflector = false;
};
std::vector<PosedBox> posed_boxes(const Layout& layout, const Pose& pose);

// Back to a Cuboid, for a box whose edges lie along the axes.
Cuboid bounding_cuboid(const PosedBox& box);

}  // namespace kavrit
