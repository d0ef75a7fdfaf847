// One conversion run: the command line, the opens, the stages in order, the
// closes and the removal of the fixed intermediate file names.
#pragma once

#include <cstdio>

#include "common/options.h"
#include "common/output.h"
#include "common/trace.h"

namespace driver {

// Removes the five fixed intermediate file names from the current directory,
// one after another; failures are ignored.
void remove_temporary_files();

// The stages in their order: CIF split, layer recipe, grouping, header,
// structure output, footer. `cif` is the open CIF file; `trace` receives the
// intermediate results (null: none is kept). A stage that cannot go on
// throws a common::RunError.
void run_stages(const common::Options& options, std::FILE* cif, const common::Output& out, common::Trace* trace);

// The whole run; returns its exit status: 0 for a run that reaches its end
// and for the usage and version texts, the status of the RunError that ended
// it otherwise (its message written to standard error first). The process
// ends when main returns this status, which runs the clean-ups of the output.
int run_cif2kavrit(int argc, const char* const* argv);

}  // namespace driver
