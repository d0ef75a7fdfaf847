#include "export/box_merge.h"

#include <algorithm>
#include <cmath>

namespace kavrit {

namespace {

bool same(double a, double b, double tolerance) { return std::fabs(a - b) <= tolerance; }

// True when a and b are one box together; a becomes that box.
bool join(Cuboid& a, const Cuboid& b, double tolerance) {
    for (int axis = 0; axis < 3; ++axis) {
        bool others_equal = true;
        for (int o = 0; o < 3 && others_equal; ++o)
            if (o != axis) others_equal = same(a.lo[o], b.lo[o], tolerance) && same(a.hi[o], b.hi[o], tolerance);
        if (!others_equal) continue;
        // Touching or overlapping along this axis: no gap between them.
        if (b.lo[axis] > a.hi[axis] + tolerance || a.lo[axis] > b.hi[axis] + tolerance) return false;
        a.lo[axis] = std::min(a.lo[axis], b.lo[axis]);
        a.hi[axis] = std::max(a.hi[axis], b.hi[axis]);
        return true;
    }
    return false;
}

}  // namespace

std::vector<Cuboid> join_boxes(std::vector<Cuboid> boxes, double tolerance) {
    // Each pass joins what it can; a joined box may join others, so passes
    // repeat until one joins nothing.  Every join removes a box, so there
    // are at most as many passes as boxes.
    for (bool joined = true; joined;) {
        joined = false;
        for (std::size_t i = 0; i < boxes.size(); ++i)
            for (std::size_t j = i + 1; j < boxes.size();) {
                if (join(boxes[i], boxes[j], tolerance)) {
                    boxes.erase(boxes.begin() + static_cast<std::ptrdiff_t>(j));
                    joined = true;
                } else {
                    ++j;
                }
            }
    }
    return boxes;
}

}  // namespace kavrit
