// How a run ends early: a stage that cannot go on throws a RunError with the
// message the user sees and the exit status of the run. Nothing below the
// driver prints it or ends the process; the driver catches it, writes the
// message to standard error as it stands and returns the status, so that the
// clean-ups of the run (removing an unfinished output file) always run.
#pragma once

#include <cstdio>
#include <exception>
#include <string>
#include <utility>

namespace common {

class RunError : public std::exception {
public:
    // `message` is written as it stands (it carries its own line feed); an
    // empty one for a stage that has already written its diagnostics.
    explicit RunError(std::string message, int status = 1) : message_(std::move(message)), status_(status) {}

    const std::string& message() const { return message_; }
    int status() const { return status_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
    int status_;
};

// "Error opening file NAME\n", status 1.
RunError open_error(const std::string& name);

// "Error writing file NAME\n", status 1.
RunError write_error(const std::string& name);

// Opens `name` with the stdio mode `mode`; throws open_error(name) on failure.
std::FILE* open_file(const std::string& name, const char* mode);

// Closes a file this run has written. A write that failed on the way (a full
// disk, an unwritable device) or a failed close throws write_error(name), so
// that no reader takes a file cut short for a whole one.
void close_written(std::FILE* file, const std::string& name);

// The rest of an open stream, read to its end in pieces of 64 KiB.
std::string read_rest(std::FILE* in);

}  // namespace common
