// The three kinds of step of the layer recipe (boolean operation, copy, grow)
// and the union of grown boxes behind the grow. Each step reads its operands
// from "<name>.gpc" files in the current directory and writes "<result>.gpc"
// through the created-file list.
#pragma once

#include <string>

#include "polygon/gpc.h"

// <result>.gpc = <first> op <second>, as quads. A missing operand file reads
// as empty.gpc.
void clip_layers(int op, const std::string& first, const std::string& second, const std::string& result);

// <destination>.gpc = a byte-for-byte copy of <source>.gpc. Equal names, or a
// missing source, end the run with status 1.
void copy_layer(const std::string& source, const std::string& destination);

// <destination>.gpc = <source> with each quad widened by `amount` on all four
// sides, the widened boxes united. A missing source writes nothing. Equal
// names end the run with status 1. Leaves the widened boxes in tmpdata1.file
// and the last of them in tmpdata2.file.
void grow_layer(const std::string& source, const std::string& destination, int amount);

// accumulator = accumulator united with every contour of the polygon file
// `path`, one after the other in file order, each vertex taken as it reads
// back after being written with "%.5f". tmpdata2.file receives the last
// contour in that form.
void unite_contours(const std::string& path, gpc_polygon* accumulator);
