// Every pair of touching boxes of a box list, found at once by joining a
// packed R-tree with itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/box.h"

namespace grouping {

using common::Box;

// The touching boxes of every box (the box itself not included), in one array:
// those of box b are list[start[b]] up to list[start[b + 1]], in no particular
// order but the same for every number of threads.
struct Neighbours {
    std::vector<std::size_t> start;
    std::vector<std::int32_t> list;
};

// `threads` 0 stands for default_threads(boxes.size()).
Neighbours touching_neighbours(const std::vector<Box>& boxes, unsigned threads = 0);

// Two threads for large lists where the machine has two cores, one otherwise:
// below some tens of thousands of boxes, starting a thread costs more than it
// saves.
unsigned default_threads(std::size_t boxes);

}  // namespace grouping
