#include "common/fatal.h"

#include <cstdlib>

namespace common {

void end_run(int status) {
    std::fflush(stderr);
    std::exit(status);
}

void fatal(std::string_view message) {
    std::fwrite(message.data(), 1, message.size(), stderr);
    end_run(1);
}

std::FILE* open_or_exit(const std::string& name, const char* mode) {
    std::FILE* f = std::fopen(name.c_str(), mode);
    if (f == nullptr) fatal("Error opening file " + name + "\n");
    return f;
}

void write_failed(const std::string& name) { fatal("Error writing file " + name + "\n"); }

void close_written_or_exit(std::FILE* file, const std::string& name) {
    const bool failed = std::ferror(file) != 0;
    if (std::fclose(file) != 0 || failed) write_failed(name);
}

void write_whole_file(const std::string& name, std::string_view text) {
    std::FILE* f = open_or_exit(name, "w");
    std::fwrite(text.data(), 1, text.size(), f);
    close_written_or_exit(f, name);
}

}  // namespace common
