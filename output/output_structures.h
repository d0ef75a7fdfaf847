// Structure output: the last stage of a run.
#pragma once

#include "common/box.h"
#include "common/options.h"
#include "common/output.h"
#include "common/trace.h"

namespace output {

// Reads the grouped boxes into the structure table, finds neighbours and,
// with linkage on, parents and chains, and writes the summary (with -s) and
// the structure blocks to `out`. The blocks of drawn boxes are reported to
// `trace` (when not null) as tmpdata1.file.
void output_structures(const common::Options& options, const common::GroupedBoxes& grouped, const common::Output& out,
                       common::Trace* trace = nullptr);

}  // namespace output
