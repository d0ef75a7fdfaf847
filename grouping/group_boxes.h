// Structure grouping: the stage between layer processing and structure output.
#pragma once

#include <string>
#include <vector>

#include "common/box.h"
#include "common/trace.h"

namespace grouping {

// Groups the touching boxes of the box list into structures (grouping_table.h
// says how). The grouped box list is reported to `trace` (when not null) as
// postmason.file. A large list is grouped on `most_threads` threads, a small
// one on one; the result is the same for any number.
common::GroupedBoxes group_boxes(const std::vector<common::Box>& box_list, common::Trace* trace = nullptr,
                                 unsigned most_threads = 2);

// The text of postmason.file: per structure one line
// "\t%d\t%d\t%d\t%d\t%d\t%d\n" per box, then an empty line.
std::string grouped_text(const common::GroupedBoxes& grouped);

}  // namespace grouping
