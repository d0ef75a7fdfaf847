// Boxes of one structure joined into fewer boxes before the modelling kernel
// unites them: two boxes that have the same extent along two axes and touch
// or overlap along the third are one box.  The union stays the same point
// set; a structure that is one box once joined needs no Boolean fuse at all.
#pragma once

#include <vector>

#include "export/mesh.h"

namespace kavrit {

// The boxes joined pairwise until no two can be joined.  Extents count as
// the same when they differ by at most tolerance.
std::vector<Cuboid> join_boxes(std::vector<Cuboid> boxes, double tolerance);

}  // namespace kavrit
