// The command line of kavrit-export.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kavrit {

// Runs kavrit-export with the arguments after the program name.  Messages
// go to `err`, the help text to `out`.  Returns the exit status: 0 done,
// 1 the input could not be read or is no kavrit file, or the output could not
// be written; 2 a wrong command line.
int run_export(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

extern const char* const HELP_TEXT;

}  // namespace kavrit
