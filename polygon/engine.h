// The sweep-line engine behind the gpc_* calls, on plain C++ containers.
#pragma once

#include <vector>

#include "polygon/gpc.h"

namespace polyclip {

struct Point {
    double x;
    double y;
};

using Contour = std::vector<Point>;
using Contours = std::vector<Contour>;
using Strips = std::vector<std::vector<Point>>;

enum class Operation { Difference, Intersection, ExclusiveOr, Union };

struct PolygonResult {
    Contours contours;
    std::vector<bool> holes;
};

// Both operands must be rectilinear (every edge horizontal or vertical).
Strips clip_to_strips(Operation op, const Contours& subject, const Contours& clip);
PolygonResult clip_to_polygon(Operation op, const Contours& subject, const Contours& clip);
// Writes the strips straight into `result` (arrays allocated with new[]).
void clip_to_tristrip(Operation op, const gpc_polygon& subject, const gpc_polygon& clip, gpc_tristrip* result);
PolygonResult clip_to_polygon(Operation op, const gpc_polygon& subject, const gpc_polygon& clip);

}  // namespace polyclip
