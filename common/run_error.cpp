#include "common/run_error.h"

#include <vector>

namespace common {

RunError open_error(const std::string& name) { return RunError("Error opening file " + name + "\n"); }

RunError write_error(const std::string& name) { return RunError("Error writing file " + name + "\n"); }

std::FILE* open_file(const std::string& name, const char* mode) {
    std::FILE* f = std::fopen(name.c_str(), mode);
    if (f == nullptr) throw open_error(name);
    return f;
}

void close_written(std::FILE* file, const std::string& name) {
    const bool failed = std::ferror(file) != 0;
    if (std::fclose(file) != 0 || failed) throw write_error(name);
}

std::string read_rest(std::FILE* in) {
    std::string text;
    std::vector<char> piece(1 << 16);
    std::size_t got = 0;
    while ((got = std::fread(piece.data(), 1, piece.size(), in)) > 0) text.append(piece.data(), got);
    return text;
}

}  // namespace common
