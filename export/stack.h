// Real heights for the levels of a kavrit file.
//
// The z values of a kavrit file are level units.  A stack file gives the
// height in micrometres of level boundaries, one per line:
//
//     # level  height (um)
//     0        0
//     1        2.0
//     3        2.75
//
// Levels and heights both increase strictly from line to line; '#' starts a
// comment, blank lines are allowed.  A z value between two listed levels is
// placed linearly between their heights.
#pragma once

#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

#include "export/kavrit.h"

namespace kavrit {

class StackError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct StackLevel {
    double level = 0;
    double height = 0;  // micrometres
    int line = 0;       // in the stack file
};

struct Stack {
    std::string name;  // the file, for messages
    std::vector<StackLevel> levels;  // at least two, increasing

    bool covers(double level) const;
    // The height of a level within [first level, last level].
    double height_of(double level) const;
};

// Reads a stack file; throws StackError "NAME: line N: reason".
Stack read_stack(std::istream& in, const std::string& name);

// Puts every z value of the layout (boxes, reflectors, hinge points) at its
// height.  Throws StackError naming the structure, its line in `layout_name`
// and the stack's end that a z value lies beyond.
void apply_stack(Layout& layout, const Stack& stack, const std::string& layout_name);

}  // namespace kavrit
