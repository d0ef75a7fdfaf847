// Grouping of touching boxes into structures, in memory.
//
// The result is the one the grouping table gives when it is filled and merged
// box by box: every box joins the lowest-numbered slot that holds a box
// touching it; then, again and again, the first box (in slot order, then list
// order) that another active slot accepts makes the lowest such slot merge into
// its own, the absorbed list going behind, until no slot accepts a box of
// another. A slot accepts a box when the slot's bounds touch it and one of the
// slot's boxes does; the bounds are those of the boxes added to the slot
// directly and are not widened by a merge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/box.h"

namespace grouping {

using common::Box;
using common::extend;
using common::touch;

struct Grouping {
    // Box numbers (positions in the input) of every structure in turn, in the
    // order in which the structures and their boxes are written.
    std::vector<std::int32_t> order;
    // ends[s] is one past the last entry of `order` that belongs to structure s.
    std::vector<std::size_t> ends;
};

// `threads` 0 lets the grouping choose (default_threads: two on large
// lists, one otherwise). The result is the same for any number.
Grouping group_into_structures(const std::vector<Box>& boxes, unsigned threads = 0);

}  // namespace grouping
