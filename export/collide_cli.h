// --check and --ranges of kavrit-export.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "export/pose.h"

namespace kavrit {

struct CollisionRun {
    std::vector<std::string> names;  // the file names of the command line
    PoseRequest request;
    std::optional<std::string> stack_name;  // --stack
    bool check = false;
    bool ranges = false;
    bool json = false;
    bool view = false;  // --view was given
};

// Reads the one INPUT, poses it and writes the report of --check or --ranges
// to `out`.  Returns 0, 3 (--check found a collision), 1 (INPUT unreadable or
// no kavrit file, a broken chain) or what `usage_error` returns for a wrong
// command line.
int run_collisions(const CollisionRun& run, std::ostream& out, std::ostream& err,
                   const std::function<int(const std::string&)>& usage_error);

}  // namespace kavrit
