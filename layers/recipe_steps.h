// The three kinds of step of the layer recipe (boolean operation, copy, grow)
// and the union of grown boxes behind the grow. Each step reads its operands
// from the polygon files "<name>.gpc" of the run and creates "<result>.gpc".
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "common/polygon_file.h"
#include "common/trace.h"
#include "layers/grow.h"
#include "polygon/gpc.h"

namespace layers {

// <result>.gpc = <first> op <second>, as quads. A missing operand reads as
// empty.gpc.
void clip_layers(common::PolygonFiles& files, int op, const std::string& first, const std::string& second,
                 const std::string& result);

// <destination>.gpc = the same file as <source>.gpc. Equal names, or a
// missing source, throw a RunError (status 1).
void copy_layer(common::PolygonFiles& files, const std::string& source, const std::string& destination);

// <destination>.gpc = <source> with each quad widened by `amount` on all four
// sides, the widened boxes united. A missing source creates nothing. Equal
// names throw a RunError (status 1). With a trace, tmpdata1.file receives the
// widened boxes and tmpdata2.file the last of them.
void grow_layer(common::PolygonFiles& files, const std::string& source, const std::string& destination, int amount);

// The widened boxes of a body file (four-vertex contours read with "%d" and
// "%f %f"); a contour with another vertex count is reported on standard error
// and passed over.
std::vector<common::RectF> read_widened_boxes(const common::PolygonFile& file, int amount);

// accumulator = accumulator united with every box, one after the other, each
// corner as it reads back from the scratch texts. The last box's scratch
// text is reported to `trace` (when not null) as tmpdata2.file.
void unite_contours(const std::vector<common::RectF>& boxes, gpc_polygon* accumulator,
                    common::Trace* trace = nullptr);

}  // namespace layers
