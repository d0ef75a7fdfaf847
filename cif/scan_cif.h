// The CIF split: the first stage of a run.
#pragma once

#include <cstdio>

#include "common/output.h"
#include "common/polygon_file.h"

namespace cif {

// Reads the CIF file `cif` from its current position to its end and returns
// one polygon file per layer command that is followed by boxes, "<layer>.gpc",
// each box a four-vertex contour. The rest of the line of every end command
// goes to `out`. With `keep` the layer files are also written to the current
// directory.
common::PolygonFiles scan_cif(std::FILE* cif, const common::Output& out, bool keep = false);

}  // namespace cif
