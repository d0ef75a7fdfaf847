// The reading of a run for a GDSII file, and for a CIF file read with a layer
// map: in place of cifread::flatten_cif, the layer polygon files of the run.
#pragma once

#include <cstdio>

#include "common/options.h"
#include "common/output.h"
#include "common/polygon_file.h"
#include "common/trace.h"

namespace gdsread {

// True when the file (a regular file) begins with a GDSII HEADER record.
// Reads with pread and leaves the stream as it is.
bool is_gdsii(std::FILE* file);

// Reads the GDSII file with the layer map of options.layers_name. Without a
// map the run ends with status 1 after listing the file's layers and a map to
// start from; an error ends it with the file name, the byte offset of the
// record and what is wrong, status 1, before any file is made.
common::PolygonFiles read_gds_stage(const common::Options& options, std::FILE* gds, const common::Output& out,
                                  common::Trace* trace = nullptr);

// Reads the CIF file with the placing reader, its layers renamed by the map
// of options.layers_name (layers the map leaves out are dropped with a line
// each on standard error).
common::PolygonFiles read_cif_mapped(const common::Options& options, std::FILE* cif, const common::Output& out,
                                  common::Trace* trace = nullptr);

}  // namespace gdsread
