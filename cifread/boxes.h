// Region arithmetic on axis-aligned rectangles with exact 64-bit coordinates:
// the region of a rectilinear polygon, and the union of many rectangles cut
// into a canonical set of non-overlapping boxes.
#pragma once

#include <cstdint>
#include <vector>

#include "cifread/layout.h"
#include "common/geometry.h"

namespace cifread {

// Steps the sweeps may still take; a sweep that runs out stops and reports it.
struct SweepBudget {
    std::uint64_t left = 0;
    bool spend(std::uint64_t steps) {
        if (steps > left) {
            left = 0;
            return false;
        }
        left -= steps;
        return true;
    }
};

// A vertex of an outline, in halves of a CIF unit.
using Point = common::Point64;

// True when every edge of the closed outline is horizontal or vertical.
bool is_rectilinear(const std::vector<Point>& outline);

// The points of nonzero winding number of a closed rectilinear outline, as
// rectangles appended to out. False when the budget ran out.
bool outline_rects(const std::vector<Point>& outline, std::vector<HalfBox>& out, SweepBudget& budget);

// The union of the rectangles (empty ones ignored), cut into non-overlapping
// boxes: per band between consecutive distinct y edges the maximal x runs, a
// box going on upwards while its run stays exactly the same; sorted by
// (ymin, xmin). The cut depends only on the union. False when the budget ran out.
bool union_boxes(const std::vector<HalfBox>& rects, std::vector<HalfBox>& out, SweepBudget& budget);

}  // namespace cifread
