// Runs one reference case of the polygon corpus: a folder holding `op`
// ("diff", "int", "union", or "grow" with an amount on its second line),
// `a.gpc` and, for the boolean operations, `b.gpc`.
#pragma once

#include <string>

#include "polygon/gpc.h"

// Computes the case's strip set. Returns false with a message in `error` when
// the case folder cannot be read.
bool run_corpus_case(const std::string& dir, gpc_tristrip* strips, std::string* error);

// The strip set as the corpus stores it: the strip count, then per strip its
// vertex count and one "%.17g %.17g" line per vertex.
std::string format_strips(const gpc_tristrip& strips);
