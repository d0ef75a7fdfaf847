// The sweep-line engine behind the gpc_* calls, on plain C++ containers.
#pragma once

#include <cstddef>
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

// Contours given one at a time, for operands kept in another form than the
// ones above (the sweep reads each contour once or twice, in order).
class ContourSource {
public:
    virtual int count() const = 0;
    // About how many vertices the contours hold in all (for reserving).
    virtual size_t vertices() const = 0;
    // Contour i's vertices into `out`, replacing what it held.
    virtual void contour(int i, std::vector<Point>& out) const = 0;

protected:
    ~ContourSource() = default;
};

// Takes the triangle strips of a clip one at a time, in the order
// clip_to_tristrip lists them, each as its vertex pairs from the bottom up
// (the left vertex of a pair first). Strips of fewer than two pairs are left
// out, as there.
class StripSink {
public:
    // Once, before the first strip, also when there is none: how many strips
    // and vertex pairs in all follow.
    virtual void begin(size_t strips, size_t pairs) = 0;
    virtual void strip(int pairs) = 0;  // a strip of `pairs` pairs begins
    virtual void pair(double xl, double xr, double y) = 0;

protected:
    ~StripSink() = default;
};

// The engine's operation for a library operation code.
Operation to_operation(gpc_op op);

// An operand with an edge that is neither horizontal nor vertical, or with a
// value that is not finite, makes the result empty.
Strips clip_to_strips(Operation op, const Contours& subject, const Contours& clip);
PolygonResult clip_to_polygon(Operation op, const Contours& subject, const Contours& clip);
// Writes the strips straight into `result` (arrays allocated with new[]).
void clip_to_tristrip(Operation op, const gpc_polygon& subject, const gpc_polygon& clip, gpc_tristrip* result);
PolygonResult clip_to_polygon(Operation op, const gpc_polygon& subject, const gpc_polygon& clip);
// The strips of clip_to_tristrip, handed to `sink` instead of copied out.
void clip_to_sink(Operation op, const ContourSource& subject, const ContourSource& clip, StripSink& sink);

}  // namespace polyclip
