// The CIF split: the first stage of a run.
#pragma once

#include <cstdio>

#include "common/output.h"
#include "common/polygon_file.h"
#include "common/trace.h"

namespace cif {

// Reads the CIF file `cif` from its current position to its end and returns
// one polygon file per layer command that is followed by boxes, "<layer>.gpc",
// each box a four-vertex contour. The rest of the line of every end command
// goes to `out`. Each layer file is reported to `trace` (when not null) as it
// is made.
common::PolygonFiles scan_cif(std::FILE* cif, const common::Output& out, common::Trace* trace = nullptr);

}  // namespace cif
