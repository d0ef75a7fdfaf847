// The arithmetic of the growing step: widening a quad's bounding box in single
// precision, the roundings that the trips of its corners through the scratch
// texts impose ("%.2f" in tmpdata1.file, "%.5f" in tmpdata2.file, each read
// back with "%lf"), and the union of the widened boxes in order.
#pragma once

#include <cmath>
#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "polygon/engine.h"
#include "polygon/gpc.h"

namespace grow {

struct FloatBox {
    float xmin, xmax, ymin, ymax;
};

// Bounding box of four vertices read with "%f": the first vertex sets all four
// values, each later one lowers a minimum or raises a maximum.
FloatBox bounding_box(const float x[4], const float y[4]);

// A whole number of quarters below 2^52 in size has at most two decimal
// places: its text with two or five places is exact and reads back as the
// value itself. Most coordinates are such numbers; this spares them the
// general conversion.
inline bool whole_quarters(double value) {
    const double quarters = value * 4;
    return quarters == std::trunc(quarters) && std::fabs(value) < 0x1p52;
}

// Widens in single precision, in the order xmax, xmin, ymax, ymin.
FloatBox widen(FloatBox box, int amount);

// The four corner lines "%.2f %.2f\n" of a widened box, in the order
// (xmin, ymin), (xmax, ymin), (xmax, ymax), (xmin, ymax).
std::string corner_lines(const FloatBox& box);

// A vertex of tmpdata1.file as read with "%lf", written with "%.5f %.5f\n" to
// tmpdata2.file and read back with "%lf". False when the text does not read
// back as a number (a negative infinity or NaN).
bool round_trip(double x_read, double y_read, gpc_vertex& vertex);

// The line "%.5f %.5f\n" of tmpdata2.file for a vertex read from tmpdata1.file.
std::string tmpdata2_line(double x_read, double y_read);

// The corners of a widened box as the union step reads them, each as it reads
// back from "%.2f" text and then from "%.5f" text. False when one of them does
// not read back as a number: the reading of the grown boxes stops there.
bool reread_corners(const FloatBox& box, std::vector<gpc_vertex>& corners,
                    std::vector<std::pair<double, double>>* read = nullptr);

// accumulator = (((accumulator ∪ c0) ∪ c1) ∪ ...), each union as
// gpc_polygon_clip(GPC_UNION, accumulator, ci, accumulator) returns it: a
// contour that is not rectilinear or holds a value that is not finite leaves
// the library's union empty, and then the accumulator too.
void unite_in_order(const std::vector<std::vector<gpc_vertex>>& contours, gpc_polygon* accumulator);

// The same for contours of four vertices each, kept one after the other in
// `corners` (contour b is corners[4b] to corners[4b + 3]).
void unite_boxes(const std::vector<gpc_vertex>& corners, gpc_polygon* accumulator);

// The unions of the growing step, remembered by their shape. The union sweep
// compares x values only with x values and y values only with y values, and
// each vertex it gives takes its x and its y from vertices of its operands;
// so two unions whose operands have the same contours with the same numbers
// of vertices, and whose values stand in the same order and equalities,
// give the same contours with the values put in place. A union of a few
// vertices is taken from the union of that shape met before, when there was
// one; values of -0 and values that are not finite always go through the
// sweep. When few unions repeat, the memo stops looking.
class UnionMemo {
public:
    // The contours of polyclip::clip_to_polygon(Union, subject, {clip}).
    polyclip::Contours unite(const polyclip::Contours& subject, const polyclip::Contour& clip);

    std::size_t hits() const { return hits_; }

private:
    bool find_shape(const polyclip::Contours& subject, const polyclip::Contour& clip);
    bool remember(const polyclip::Contours& result);
    polyclip::Contours recall(const std::string& shape) const;

    std::unordered_map<std::string, std::string> shapes_;
    std::string key_;
    std::vector<double> xs_, ys_;  // the distinct values of the operands, in order
    std::size_t looked_ = 0, hits_ = 0;
    bool looking_ = true;
};

}  // namespace grow
