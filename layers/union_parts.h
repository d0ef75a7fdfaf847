// The pieces of the ordered union of the growing step (ordered_union.cpp)
// that stand apart from its sweep bookkeeping: the view of a contour, the
// extents and the grouping of touching contours, and the lone rectangle.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "polygon/engine.h"
#include "polygon/gpc.h"

namespace grow::union_parts {

// A contour handed to the unions, wherever its vertices are kept.
struct ContourView {
    const gpc_vertex* vertex;
    int count;
};

struct Extent {
    double xmin, xmax, ymin, ymax;
};

// The extent of points[0, n), n > 0 (gpc_vertex or polyclip::Point).
template <class P>
Extent extent_of(const P* points, std::size_t n) {
    Extent e{points[0].x, points[0].x, points[0].y, points[0].y};
    for (std::size_t k = 0; k < n; ++k) {
        e.xmin = std::min(e.xmin, points[k].x);
        e.xmax = std::max(e.xmax, points[k].x);
        e.ymin = std::min(e.ymin, points[k].y);
        e.ymax = std::max(e.ymax, points[k].y);
    }
    return e;
}

// Groups contours whose closed bounding boxes meet, directly or through others.
// The contours are taken by increasing xmin; each is joined, in that order, to
// every earlier contour whose box it meets (which root a group ends up with
// depends on that order, and the groups are united in the order of their
// roots). The earlier contours are found through rows of a grid over y, each
// listing the contours whose boxes reach into it in the order they were taken;
// a contour whose box ends left of the current xmin is dropped from a row when
// the row is next read, since no later contour can meet it.
std::vector<int> touching_groups(const std::vector<Extent>& extents);

// The union of nothing and a contour (x0, y0), (x1, y0), (x1, y1), (x0, y1)
// with x0 < x1 and y0 < y1 is that rectangle, which the union gives as
// (x1, y0), (x0, y0), (x0, y1), (x1, y1). False for any other contour (and for
// sides at x = -0, whose sign is the sweep's business): those go through the
// union itself.
bool lone_rectangle(const ContourView& c, polyclip::Contour& piece);

// Whether two closed extents meet.
inline bool touches(const Extent& a, const Extent& b) {
    return a.xmin <= b.xmax && b.xmin <= a.xmax && a.ymin <= b.ymax && b.ymin <= a.ymax;
}

}  // namespace grow::union_parts
