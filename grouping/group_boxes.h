// Structure grouping: the stage between layer processing and structure output.
#pragma once

#include <string>
#include <vector>

#include "common/box.h"

namespace grouping {

// Groups the touching boxes of the box list into structures (grouping_table.h
// says how). With `keep`, postmason.file is written to the current directory.
common::GroupedBoxes group_boxes(const std::vector<common::Box>& box_list, bool keep = false);

// The text of postmason.file: per structure one line
// "\t%d\t%d\t%d\t%d\t%d\t%d\n" per box, then an empty line.
std::string grouped_text(const common::GroupedBoxes& grouped);

}  // namespace grouping
