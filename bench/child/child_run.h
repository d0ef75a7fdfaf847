// Timing a child process: wall time from fork to wait, CPU time and peak
// resident memory from wait4's resource usage.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace bench {

struct ChildFigures {
    bool ok = false;       // ended with exit status 0
    bool stopped = false;  // killed on reaching its CPU limit
    int status = 0;        // the wait status
    double wall = 0;       // seconds
    double cpu = 0;        // user + system seconds
    double peak_mib = 0;   // peak resident memory
};

// Runs child() in a forked process; what it returns is the exit status.
// Standard output is flushed first, so that nothing is written twice.
ChildFigures measure(const std::function<int()>& child);

// Runs argv[0] (a path) with its arguments in `dir`, standard error thrown
// away, and with a CPU limit of cpu_limit seconds when that is above 0.
ChildFigures run_program(const std::vector<std::string>& argv, const std::string& dir, long cpu_limit = 0);

// "  12.34 s wall   12.00 s CPU   123.4 MiB peak", and " FAILED" or
// " STOPPED" when it did not end well: the figures as every benchmark prints them.
std::string figures_text(const ChildFigures& f);

// The whole content of a file the program wrote ("" when it cannot be read).
std::string file_text(const std::string& path);

// A kavrit text without its "# generated on" line, which differs from run to
// run, so that two runs' outputs can be compared byte for byte.
std::string without_time_line(const std::string& text);

}  // namespace bench
