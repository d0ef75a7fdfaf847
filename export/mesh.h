// Boxes of a layout as solid geometry: corners, faces and bounds, shared by
// the OBJ, STL and SVG writers.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "common/geometry.h"
#include "export/kavrit.h"

namespace kavrit {

using Vec3 = std::array<double, 3>;

// A box by its lower and upper corner.
struct Cuboid {
    Vec3 lo{};
    Vec3 hi{};
};

Cuboid to_cuboid(const SizedBox& box);

// Corner c of a cuboid: bit 0 of c picks x (0 lower, 1 upper), bit 1 y, bit 2 z.
Vec3 corner(const Cuboid& box, int c);

// One side of a box: its four corners, counter-clockwise seen from outside,
// and its outward normal as an axis (0 x, 1 y, 2 z) and a sign (-1 or +1).
struct BoxFace {
    std::array<int, 4> corners;
    int axis;
    int side;
};
extern const std::array<BoxFace, 6> BOX_FACES;

// Every box that is drawn: the box lines of each structure, then its
// reflector, structure by structure in file order.
struct DrawnBox {
    Cuboid box;
    std::size_t structure;  // index into Layout::structures
    bool reflector;
};
std::vector<DrawnBox> drawn_boxes(const Layout& layout);

// The bounding box of boxes or points in space.
using Bounds = common::Extent<Vec3>;
Bounds bounds_of(const std::vector<DrawnBox>& boxes);

// The shortest decimal text that reads back as the same value ("2", "-0.75").
std::string format_number(double value);

}  // namespace kavrit
