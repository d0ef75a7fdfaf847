// One conversion run: the command line, the opens, the stages in order, the
// closes and the removal of the fixed intermediate file names.
#pragma once

#include <cstdio>

#include "common/options.h"
#include "common/output.h"

namespace driver {

// Removes the five fixed intermediate file names from the current directory,
// one after another; failures are ignored.
void remove_temporary_files();

// The stages in their order: CIF split, layer recipe, grouping, header,
// structure output, footer. `cif` is the open CIF file.
void run_stages(const common::Options& options, std::FILE* cif, const common::Output& out);

// The whole run; returns the exit status of a run that reaches its end (0).
// Usage, version and fatal errors end the process on their own.
int run_cif2kavrit(int argc, const char* const* argv);

}  // namespace driver
