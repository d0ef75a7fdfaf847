// Structure output: the last stage of a run.
#pragma once

#include "common/box.h"
#include "common/options.h"
#include "common/output.h"

namespace output {

// Reads the grouped boxes into the structure table, finds neighbours and,
// with linkage on, parents and chains, and writes the summary (with -s) and
// the structure blocks to `out`. With kept intermediates, tmpdata1.file
// receives the blocks.
void output_structures(const common::Options& options, const common::GroupedBoxes& grouped, const common::Output& out);

}  // namespace output
