// The axis-aligned 3-D box shared by the grouping and output stages, and the
// integer scanning of the box list files.
#pragma once

#include <cstdint>
#include <string_view>

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

// Reads six decimal integers from the start of `text` the way a scan with six
// "%d" conversions does: each number may be preceded by white space and a sign;
// anything after the sixth number is ignored. Returns false when the text does
// not start with six integers or when a number does not fit 32 bits; such a
// line cannot come from this program and the callers skip it.
bool scan_six_ints(std::string_view text, Box& out);
