// The arithmetic of the growing step: widening a quad's bounding box in single
// precision, the roundings that the trips of its corners through the scratch
// texts impose ("%.2f" in tmpdata1.file, "%.5f" in tmpdata2.file, each read
// back with "%lf"). The widened boxes are united in order by
// polygon::unite_boxes (polygon/ordered_union.h).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/geometry.h"
#include "polygon/gpc.h"

namespace grow {

// The box of a quad is common::bounds_of its four vertices read with "%f"
// (a common::RectF): the first vertex sets all four values, each later one
// lowers a minimum or raises a maximum.

// Widens in single precision, in the order xmax, xmin, ymax, ymin.
common::RectF widen(common::RectF box, int amount);

// The four corner lines "%.2f %.2f\n" of a widened box, in the order
// (xmin, ymin), (xmax, ymin), (xmax, ymax), (xmin, ymax).
std::string corner_lines(const common::RectF& box);

// A vertex of tmpdata1.file as read with "%lf", written with "%.5f %.5f\n" to
// tmpdata2.file and read back with "%lf". False when the text does not read
// back as a number (a negative infinity or NaN).
bool round_trip(double x_read, double y_read, gpc_vertex& vertex);

// The line "%.5f %.5f\n" of tmpdata2.file for a vertex read from tmpdata1.file.
std::string tmpdata2_line(double x_read, double y_read);

// The corners of a widened box as the union step reads them, each as it reads
// back from "%.2f" text and then from "%.5f" text. False when one of them does
// not read back as a number: the reading of the grown boxes stops there.
// With `read`, also each corner as it reads back from the "%.2f" text alone.
bool reread_corners(const common::RectF& box, std::vector<gpc_vertex>& corners,
                    std::vector<common::PointD>* read = nullptr);

}  // namespace grow
