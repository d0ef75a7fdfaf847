// The axis-aligned 3-D box that layer processing makes, grouping groups and
// structure output describes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/geometry.h"

namespace common {

// Six signed 32-bit integers, lower <= upper on each axis; x and y in the
// units of the polygon files, z in level units.
struct Box {
    std::int32_t xmin = 0, xmax = 0, ymin = 0, ymax = 0, zmin = 0, zmax = 0;
    friend bool operator==(const Box&, const Box&) = default;
};

// The 3-D box in the vocabulary of geometry.h: touch and extend work on it
// as they work on a rectangle, with z as a third axis.

// Closed intervals on all three axes: overlap, a shared face, a shared edge or a
// shared corner all count as touching; a gap of one unit does not.
constexpr bool touch(const Box& a, const Box& b) {
    return a.xmin <= b.xmax && b.xmin <= a.xmax &&
           a.ymin <= b.ymax && b.ymin <= a.ymax &&
           a.zmin <= b.zmax && b.zmin <= a.zmax;
}

// Widens r to take o: the smaller lower end and the larger upper end on each axis.
constexpr void extend(Box& r, const Box& o) {
    if (o.xmin < r.xmin) r.xmin = o.xmin;
    if (r.xmax < o.xmax) r.xmax = o.xmax;
    if (o.ymin < r.ymin) r.ymin = o.ymin;
    if (r.ymax < o.ymax) r.ymax = o.ymax;
    if (o.zmin < r.zmin) r.zmin = o.zmin;
    if (r.zmax < o.zmax) r.zmax = o.zmax;
}

// The box over the rectangle r from height zmin to height zmax.
constexpr Box lift(const Rect32& r, std::int32_t zmin, std::int32_t zmax) {
    return {r.xmin, r.xmax, r.ymin, r.ymax, zmin, zmax};
}

}  // namespace common

namespace common {

// The boxes grouped into structures, as postmason.file lists them: the boxes
// of each structure in turn; ends[s] is one past the last box of structure s.
struct GroupedBoxes {
    std::vector<Box> boxes;
    std::vector<std::size_t> ends;
};

}  // namespace common
