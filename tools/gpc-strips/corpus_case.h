// One reference case of the polygon corpus: `op` ("diff", "int", "union", or
// "grow" with an amount on its second line), `a.gpc`, for the boolean
// operations `b.gpc`, and `expected.strips`. A case comes from its folder
// (load_corpus_case) or from the packed corpus of the tests.
#pragma once

#include <optional>
#include <string>

#include "polygon/gpc.h"

struct CorpusCase {
    std::string name;
    std::string op;                // the texts of the case's files
    std::string a;
    std::optional<std::string> b;  // absent for growing cases
    std::string expected;          // empty when the folder has none
};

// Reads the case in folder `dir`. Returns false with a message in `error`
// when `op` or `a.gpc` cannot be read.
bool load_corpus_case(const std::string& dir, CorpusCase* c, std::string* error);

// Computes the case's strip set, reading its texts exactly as the converter
// reads the files. Returns false with a message in `error` when the case is
// malformed.
bool run_corpus_case(const CorpusCase& c, gpc_tristrip* strips, std::string* error);

// The strip set as the corpus stores it: the strip count, then per strip its
// vertex count and one "%.17g %.17g" line per vertex.
std::string format_strips(const gpc_tristrip& strips);
