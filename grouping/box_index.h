// A static packed R-tree over a fixed set of boxes, for finding every box that
// touches a given box without testing them all.
#pragma once

#include <cstdint>
#include <vector>

#include "common/box.h"

namespace grouping {

using common::Box;
using common::bounding_union;
using common::boxes_touch;

class BoxIndex {
public:
    explicit BoxIndex(const std::vector<Box>& boxes);

    // Appends to `out` the numbers of all indexed boxes that touch `probe`, in
    // no particular order.
    void touching(const Box& probe, std::vector<std::int32_t>& out) const;

private:
    struct Node {
        Box bounds;
        std::int32_t first = 0;  // first child node, or first entry of `items_` for a leaf
        std::int32_t count = 0;
        bool leaf = false;
    };
    const std::vector<Box>& boxes_;
    std::vector<std::int32_t> items_;  // box numbers in leaf order
    std::vector<Node> nodes_;
    std::int32_t root_ = -1;
};

}  // namespace grouping
