// The CIF reading of a run with --flatten, in place of the byte scanner, and
// the note that the default reading gives for layouts that place symbols.
#pragma once

#include <cstdio>

#include "cifread/layout.h"

// Reads run_settings.cif_stream with the CIF reader and writes its layer
// polygon files; the rest of the end command's line goes to the output
// destination. A layout that cannot be read ends the run with a message
// naming the line and status 1, before any file is written.
void flatten_cif();

// Writes one polygon file <layer>.gpc per layer that has boxes (through the
// created-file list), each box one four-vertex contour, lower left corner
// first and counter-clockwise. Layer names that cannot name a file in the
// current directory make no file; their boxes are left out with a warning.
void write_layer_files(const cifread::FlatLayout& layout);

// When the CIF file (a regular file) holds symbol definitions or calls,
// prints the one-line note that --flatten places them. Reads the file with
// pread and leaves the stream as it is.
void note_if_places_symbols();
