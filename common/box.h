// The axis-aligned 3-D box that layer processing makes, grouping groups and
// structure output describes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace common {

// Six signed 32-bit integers, lower <= upper on each axis; x and y in the
// units of the polygon files, z in level units.
struct Box {
    std::int32_t xmin = 0, xmax = 0, ymin = 0, ymax = 0, zmin = 0, zmax = 0;
    friend bool operator==(const Box&, const Box&) = default;
};

// Closed intervals on all three axes: overlap, a shared face, a shared edge or a
// shared corner all count as touching; a gap of one unit does not.
inline bool boxes_touch(const Box& a, const Box& b) {
    return a.xmin <= b.xmax && b.xmin <= a.xmax &&
           a.ymin <= b.ymax && b.ymin <= a.ymax &&
           a.zmin <= b.zmax && b.zmin <= a.zmax;
}

// Smaller lower end and larger upper end on each axis.
inline Box bounding_union(const Box& a, const Box& b) {
    Box u;
    u.xmin = a.xmin < b.xmin ? a.xmin : b.xmin;
    u.xmax = a.xmax > b.xmax ? a.xmax : b.xmax;
    u.ymin = a.ymin < b.ymin ? a.ymin : b.ymin;
    u.ymax = a.ymax > b.ymax ? a.ymax : b.ymax;
    u.zmin = a.zmin < b.zmin ? a.zmin : b.zmin;
    u.zmax = a.zmax > b.zmax ? a.zmax : b.zmax;
    return u;
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
