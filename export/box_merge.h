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

// The union of the boxes as boxes that share no volume, only faces: the
// grid of all the boxes' coordinates, its covered cells gathered greedily
// into boxes, each as long along x, then as wide along y, then as tall along
// z as the covered cells allow.  Empty when the grid would have more than
// max_cells cells.
std::vector<Cuboid> disjoint_boxes(const std::vector<Cuboid>& boxes, std::size_t max_cells);

}  // namespace kavrit
