// Parallel projections of the layout and the drawing order of its boxes.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "export/mesh.h"

namespace kavrit {

enum class ViewName { iso, top, front, side };

std::optional<ViewName> parse_view_name(const std::string& text);
const char* view_title(ViewName view);

// A parallel projection: `toward_viewer` points from the scene to the eye;
// `right` and `up` span the picture (x to the right, y upwards).  The three
// are orthogonal, and right x up points toward the viewer.
struct View {
    Vec3 toward_viewer;
    Vec3 right;
    Vec3 up;
};

// iso looks from the front left above (from -x, -y, +z), top from +z, front
// from -y and side from +x.
View make_view(ViewName view);

// Where p lies in the picture: x to the right, y upwards.
common::PointD project(const View& view, const Vec3& p);

// Distance toward the viewer (larger is nearer).
double nearness(const View& view, const Vec3& p);

// Painter's order for boxes that do not pierce each other: the indices of
// `boxes`, each box before every box that hides part of it, so that drawing
// them in this order shows at each point of the picture the nearest box.
// Boxes whose pictures overlap are ordered by the plane that separates them;
// the rest follow nearness of their centres.  Should boxes hide each other
// in a ring (possible with long interleaved bars), the farthest box left is
// taken next regardless, so the order always holds every box once.
std::vector<std::size_t> painter_order(const View& view, const std::vector<Cuboid>& boxes);

// A flat convex side of a turned box: its corners in order round it and its
// outward normal (unit length).
struct Face3 {
    std::array<Vec3, 4> corners;
    Vec3 normal;
};

// Painter's order for sides of boxes that do not pierce each other, turned
// any way; the caller passes only the sides that face the viewer.  Two sides
// whose pictures overlap (by more than a sliver) are compared at a point
// inside the overlap, where the plane of each gives its distance: the farther
// is drawn first.  Sides that touch or lie in one plane have no order between
// them.  Otherwise and in a ring, the farthest side by its centre goes first;
// ties by index, so the order is reproducible.
std::vector<std::size_t> face_order(const View& view, const std::vector<Face3>& faces);

// The same, with the crowding above which sides of boxes turned alike are
// ordered by a walk through the picture painted so far instead of pairwise:
// the pairs per side their cells of the picture would give (face_order takes
// 512).  0 walks every group; infinity compares every pair.  The order is
// the same either way wherever the sides hide each other in no ring.
std::vector<std::size_t> face_order(const View& view, const std::vector<Face3>& faces, double pairs_per_side);

}  // namespace kavrit
