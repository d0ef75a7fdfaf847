// A plain rendering of the structure output stage, step by step as the rules
// read: fixed-size line reads of the grouped list, searches over all
// structures and entries. The search for an anchored structure keeps a visited
// set (the starting structure counted as visited), so that it ends on rings.
// Used only to check the output stage against it.
#pragma once

#include <string>

namespace reference {

struct Flags {
    int summary = 0, group = 0, linkage = 1;
};

// The output text for the given postmason.file text; `blocks` receives the
// text of tmpdata1.file.
std::string output_text(const std::string& postmason, const Flags& flags, std::string* blocks = nullptr);

}  // namespace reference
