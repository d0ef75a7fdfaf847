#include "driver/header_footer.h"

#include <clocale>
#include <cstdio>

namespace driver {

std::string format_time_line(const std::tm& when) {
    // The month is spelled in English whatever the environment says: the
    // process never leaves the "C" locale, but make sure of it for LC_TIME.
    const char* previous = std::setlocale(LC_TIME, nullptr);
    std::string saved = previous != nullptr ? previous : "C";
    bool switched = saved != "C" && saved != "POSIX";
    if (switched) std::setlocale(LC_TIME, "C");

    char buffer[100];
    std::size_t n = std::strftime(buffer, sizeof buffer, "# generated on %d %B %Y, %H:%M.\n", &when);

    if (switched) std::setlocale(LC_TIME, saved.c_str());
    return std::string(buffer, n);
}

void write_header_at(const common::Options& options, const common::Output& output, const std::tm& when) {
    std::FILE* out = output.stream();
    std::fprintf(out, "#\n# cif input file: %s\n#\n", options.cif_name.c_str());
    std::fprintf(out, "# Cif file convert to kavrit format\n");
    std::fprintf(out, "# Use kavrit matlab script to render and manipulate it.\n");
    std::fprintf(out, "# This is a generated data file, edit at own risk.\n");
    std::fprintf(out, "#\n");
    std::fprintf(out, "# Please direct questions/comments for kavrit to: \n");
    std::fprintf(out, "#   %s\n", HEADER_MAINTAINER);
    std::fprintf(out, "#   %s\n#\n", HEADER_CONTACT);
    std::fprintf(out, "%s", format_time_line(when).c_str());
    std::fprintf(out, "#\n");
}

void write_header(const common::Options& options, const common::Output& out) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    write_header_at(options, out, local);
}

void write_footer(const common::Output& out) { out.write("#\n# end of kavrit file\n"); }

}  // namespace driver
