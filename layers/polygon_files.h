// Writers of polygon files: the empty polygon file that every step can fall
// back on, and the quad writer that re-cuts a set of triangle strips into
// four-vertex contours.
#pragma once

#include <cstdio>

#include "polygon/gpc.h"

// Writes "empty.gpc" (the single line "0\n"), recorded in the created-file list.
void write_empty_polygon_file();

// Number of complete quads that write_quads writes for `strips`.
long long count_quads(const gpc_tristrip* strips);

// Writes `strips` to `file` as a polygon file of quads: the quad count, then per
// quad "4" and the vertices left k, right k, right k+1, left k+1 of its strip,
// each as " %.15f %.15f". A strip with an odd vertex count gives only its
// complete quads. Leaves the file open.
void write_quads(std::FILE* file, const gpc_tristrip* strips);
