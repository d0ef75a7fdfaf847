// The order-preserving incremental union: contours united one at a time into
// an accumulator, exactly as one gpc_polygon_clip union per contour in order
// would unite them, but each union made only over the pieces of the
// accumulator that the contour touches. ordered_union.cpp says why that gives
// the same contours.
#pragma once

#include <vector>

#include "polygon/gpc.h"

namespace polygon {

// accumulator = (((accumulator ∪ c0) ∪ c1) ∪ ...) for contours of four
// vertices each, kept one after the other in `corners` (contour b is
// corners[4b] to corners[4b + 3]), each union as gpc_polygon_clip(GPC_UNION,
// accumulator, cb, accumulator) returns it: a contour that is not
// rectilinear or holds a value that is not finite leaves the library's union
// empty, and then the accumulator too.
void unite_boxes(const std::vector<gpc_vertex>& corners, gpc_polygon* accumulator);

}  // namespace polygon
