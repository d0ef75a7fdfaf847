// How a run ends early: one path for every fatal end, so that the clean-up the
// driver registers (removing an unfinished output file) always runs.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace common {

// Ends the process with `status`. Every early end of a run goes through here.
[[noreturn]] void end_run(int status);

// Writes `message` to standard error as it stands and ends the run with status 1.
[[noreturn]] void fatal(std::string_view message);

// Opens `name` with the stdio mode `mode`; on failure ends the run with
// "Error opening file %s\n".
std::FILE* open_or_exit(const std::string& name, const char* mode);

// Names the CIF file of the run (open as `input`), which no file the run
// writes through create_or_exit may replace.
void protect_input(std::FILE* input, const std::string& name);

// Opens `name` for writing (created or truncated) as open_or_exit does. A
// name that is the protected CIF file (same device and inode) ends the run
// with a message instead, before the file is touched.
std::FILE* create_or_exit(const std::string& name);

// Ends the run with "Error writing file %s\n" after a write that failed.
[[noreturn]] void write_failed(const std::string& name);

// Closes a file this run has written. A write that failed on the way (a full
// disk, an unwritable device) or a failed close ends the run through
// write_failed, so that no reader takes a file cut short for a whole one.
void close_written_or_exit(std::FILE* file, const std::string& name);

// Writes `text` to a new file `name` (created or truncated) and closes it,
// ending the run on any failure.
void write_whole_file(const std::string& name, std::string_view text);

}  // namespace common
