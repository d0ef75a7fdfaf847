// The run settings from the command line: the option walk, the usage and
// version texts.
#pragma once

#include <cstdio>

#include "common/options.h"

namespace driver {

inline constexpr const char* CIF2KAVRIT_VERSION = "0.11";

// Reads the CIF file with the reader that places symbols.
inline constexpr const char* FLATTEN_OPTION = "--flatten";

// Keeps every intermediate file in the current directory.
inline constexpr const char* KEEP_INTERMEDIATES_OPTION = "--keep-intermediates";

// Reads the layer map from the next argument (GDSII files, and CIF files read
// with the reader that places symbols).
inline constexpr const char* LAYERS_OPTION = "--layers";

// Places only the GDSII structure named by the next argument.
inline constexpr const char* TOP_OPTION = "--top";

// What the command line asks for before any file is opened.
enum class CommandLineAction { Convert, Usage, Version };

// Fills `options` (which starts from its defaults) from the arguments and
// says what to do next; never ends the process. A --threads without a
// number it takes throws a common::RunError with status 2.
CommandLineAction read_command_line(int argc, const char* const* argv, common::Options& options);

// The seven usage lines, with the program name in the first.
void write_usage(std::FILE* stream, const common::Options& options);

// "%s version %s\n" with the program name and the version text.
void write_version(std::FILE* stream, const common::Options& options);

}  // namespace driver
