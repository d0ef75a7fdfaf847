// The clipping facade: one operation on two operands, its result as triangle
// strips (handed to a StripSink) or as contours with hole flags. It runs the
// sweep (sweep.h) with one of its two builders (strip_builder.h,
// polygon_builder.h) on buffers kept per thread, so the many small calls of
// a run allocate only while their inputs grow.
//
// An operand with an edge that is neither horizontal nor vertical, or with a
// value that is not finite, makes the result empty.
#pragma once

#include "polygon/types.h"

namespace polygon {

// The strips of subject op clip, to `sink`.
void clip_to_sink(Operation op, const ContourSource& subject, const ContourSource& clip, StripSink& sink);

// The contours of subject op clip.
PolygonResult clip_to_polygon(Operation op, const ContourSource& subject, const ContourSource& clip);
PolygonResult clip_to_polygon(Operation op, const Contours& subject, const Contours& clip);

}  // namespace polygon
