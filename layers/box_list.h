// Layer heights and the box list: lifting the rectangles of the final body
// files into 3-D boxes, the list that premason.file holds one line per box.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "common/box.h"
#include "common/polygon_file.h"
#include "layers/process.h"

namespace layers {

// Looks `name` up in `table` without regard to case; a name that matches no
// row gets 0, 0, 0.
LayerHeight lookup_layer_height(std::string_view name, const HeightTable& table);
LayerHeight lookup_layer_height(std::string_view name);

// The boxes of one body file: one per four-vertex contour, its x and y extent
// from the truncated coordinates ("%f" reads), z from `height`. A contour with
// another vertex count is reported on `messages` and passed over.
std::vector<common::Box> lift_body(const common::PolygonFile& file, const LayerHeight& height, std::string& messages);

// The text of premason.file for a box list: one line
// "xmin xmax ymin ymax zmin zmax" per box.
std::string box_list_text(const std::vector<common::Box>& boxes);

}  // namespace layers
