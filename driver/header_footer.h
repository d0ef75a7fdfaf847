// The header and footer that frame every kavrit file.
#pragma once

#include <ctime>
#include <string>

#include "common/options.h"
#include "common/output.h"

namespace driver {

// The maintainer and contact lines of the header.
inline constexpr const char* HEADER_MAINTAINER = "cif2kavrit developers";
inline constexpr const char* HEADER_CONTACT = "cif2kavrit@users.invalid";

// "# generated on %d %B %Y, %H:%M.\n" for the given time, month names in English.
std::string format_time_line(const std::tm& when);

// The header for the given time.
void write_header_at(const common::Options& options, const common::Output& out, const std::tm& when);

// The header with the current local time.
void write_header(const common::Options& options, const common::Output& out);

// "#\n# end of kavrit file\n".
void write_footer(const common::Output& out);

}  // namespace driver
