// The two earlier ways in which face_order found the pairs of sides to compare,
// kept for bench-svg-order as references: each gives the order face_order must give.
#pragma once

#include <cstddef>
#include <vector>

#include "export/view.h"

namespace svg_order_bench {

// The sweep that compared every pair of sides whose left-to-right ranges meet.
std::vector<std::size_t> sweep_order(const kavrit::View& view, const std::vector<kavrit::Face3>& faces);

// The grid of picture cells that compared every pair of sides whose rectangles overlap.
std::vector<std::size_t> grid_order(const kavrit::View& view, const std::vector<kavrit::Face3>& faces);

}  // namespace svg_order_bench
