// The command line of kavrit-export.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kavrit {

struct Layout;
struct Pose;

// Reads INPUT ("-": standard input) into `layout` and, with a stack file,
// puts its z values at their heights.  Returns 0, or 1 after a message on
// `err` (INPUT or the stack cannot be opened, read or applied).
int load_layout(const std::string& input, const std::string* stack_name, Layout& layout, std::ostream& err);

// The STEP writer lives in a library of its own (it links the solid-modelling
// kernel); the program hands it in, and without it .step output is refused.
using StepWriter = std::string (*)(const Layout& layout, const Pose& pose);

// Runs kavrit-export with the arguments after the program name.  Messages
// go to `err`, the help text to `out`.  Returns the exit status: 0 done,
// 1 the input could not be read or is no kavrit file, or the output could not
// be written; 2 a wrong command line.
int run_export(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               StepWriter step_writer = nullptr);

extern const char* const HELP_TEXT;

}  // namespace kavrit
