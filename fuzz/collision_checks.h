// --check and --ranges under the kavrit-export fuzz entry, checked against
// the library and against simpler computations.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "export/pose.h"

namespace fuzz_entry::export_checks {

// --check and --ranges on the same layout and pose, against the library and
// against simpler computations:
//  - the colliding pairs of find_collisions (a grid) are those of a test of
//    every pair, and --check reports as many with status 3 (0 for none);
//  - every range end lies within a full turn, "free" exactly at a full turn,
//    and the JSON of the ranges is valid;
//  - turned to the end of a range the structure collides with nothing new,
//    deeper than a ten-thousandth of a degree's turn could make;
//  - --ranges [--json] writes what the library computes.
// The search runs under a small bound of work; a layout that needs more is
// left at the bound, and the program's own --ranges is then not run.
std::string collisions_and_ranges(const std::vector<std::string>& pose_args, const std::filesystem::path& input,
                                  const kavrit::PoseRequest& request, bool json);

}  // namespace fuzz_entry::export_checks
