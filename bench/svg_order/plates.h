// The layouts of bench-svg-order: plates hinged at one edge, as a kavrit file
// and as a layout, and the sides of a posed layout that face the viewer.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "export/kavrit.h"
#include "export/pose.h"
#include "export/view.h"

namespace svg_order_bench {

struct Plate {
    double x, y, z;            // lower corner
    double w, d, t;            // sizes
    char axis;                 // hinge along +x at the front edge, or +y at the left edge
};

std::string kavrit_of(const std::vector<Plate>& plates);
kavrit::Layout layout_of(const std::vector<Plate>& plates);

// n plates over the same spot, 3 levels apart.
std::vector<Plate> stack(std::size_t n);
// n plates in a square array, 110 um apart.
std::vector<Plate> array_of(std::size_t n);

// The sides facing the viewer, as render_svg passes them.
std::vector<kavrit::Face3> faces_of(const kavrit::Layout& layout, const kavrit::Pose& pose, const kavrit::View& view);

// The layout with every structure raised by `degrees`.
kavrit::Pose raised(const kavrit::Layout& layout, double degrees);

}  // namespace svg_order_bench
