// The arithmetic of the growing step, in memory: widening a quad's bounding
// box in single precision, the roundings that its trips through the scratch
// files impose, and the union of the widened boxes in file order.
#pragma once

#include <string>
#include <vector>

#include "polygon/gpc.h"

namespace grow {

struct FloatBox {
    float xmin, xmax, ymin, ymax;
};

// Bounding box of four vertices read with "%f": the first vertex sets all four
// values, each later one lowers a minimum or raises a maximum.
FloatBox bounding_box(const float x[4], const float y[4]);

// Widens in single precision, in the order xmax, xmin, ymax, ymin.
FloatBox widen(FloatBox box, int amount);

// The four corner lines "%.2f %.2f\n" of a widened box, in the order
// (xmin, ymin), (xmax, ymin), (xmax, ymax), (xmin, ymax).
std::string corner_lines(const FloatBox& box);

// A vertex line of tmpdata1.file ("%.2f" text) read with "%lf", written with
// "%.5f %.5f\n" to tmpdata2.file and read back with "%lf".
gpc_vertex round_trip(double x_read, double y_read, std::string* tmpdata2_line = nullptr);

// The corners of a widened box as the union step reads them.
std::vector<gpc_vertex> reread_corners(const FloatBox& box);

// accumulator = (((accumulator ∪ c0) ∪ c1) ∪ ...), each union as
// gpc_polygon_clip(GPC_UNION, accumulator, ci, accumulator) returns it.
void unite_in_order(const std::vector<std::vector<gpc_vertex>>& contours, gpc_polygon* accumulator);

}  // namespace grow
