// Run settings from the command line: defaults, the option walk, the usage and
// version texts.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

inline constexpr const char* CIF2KAVRIT_VERSION = "0.11";

// summary_flag 0, group_flag 0, linkage_flag 1, to_file 0.
void set_defaults();

// What the command line asks for before any file is opened.
enum class CommandLineAction { Convert, Usage, Version };

// Fills run_settings from the arguments and says what to do next; never ends
// the process. parse_command_line() is the ending variant used by the run.
CommandLineAction read_command_line(int argc, const char* const* argv);

// Fills run_settings; prints the usage text or the version line and ends the
// process with status 0 when the command line asks for it.
void parse_command_line(int argc, const char* const* argv);

// The seven usage lines, with run_settings.program_name in the first.
void write_usage(std::FILE* stream);

// "%s version %s\n" with the program name and the version text.
void write_version(std::FILE* stream);

// Writes the usage text to standard output and ends the process with status 0.
[[noreturn]] void print_usage();
