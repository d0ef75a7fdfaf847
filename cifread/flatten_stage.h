// The CIF reading of a run with --flatten, in place of the byte scanner, and
// the note that the default reading gives for layouts that place symbols.
#pragma once

#include <cstdio>

#include "cifread/layout.h"
#include "common/options.h"
#include "common/output.h"
#include "common/polygon_file.h"
#include "common/trace.h"

namespace cifread {

// Reads the CIF file `cif` with the CIF reader and returns its layer polygon
// files; the rest of the end command's line goes to `out`. A layout that
// cannot be read ends the run with a message naming the line and status 1,
// before any file is made.
common::PolygonFiles flatten_cif(const common::Options& options, std::FILE* cif, const common::Output& out,
                                  common::Trace* trace = nullptr);

// "cif2kavrit: FILE:LINE: TEXT" on standard error, without ":LINE" when the
// diagnostic names no line.
void print_diagnostic(const std::string& file, const Diagnostic& d);

// One polygon file <layer>.gpc per layer that has boxes, each box one
// four-vertex contour, lower left corner first and counter-clockwise, into
// `files`. Layer names that cannot name a file in the current directory make
// no file; their boxes are left out with a warning naming `cif_name`.
void write_layer_files(const FlatLayout& layout, const std::string& cif_name, common::PolygonFiles& files);

// When the CIF file (a regular file) holds symbol definitions or calls,
// prints the one-line note that --flatten places them. Reads the file with
// pread and leaves the stream as it is.
void note_if_places_symbols(const common::Options& options, std::FILE* cif);

}  // namespace cifread
