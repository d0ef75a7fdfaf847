#include "driver/run_settings.h"

#include <cstdlib>

RunSettings run_settings;

std::FILE* open_or_exit(const std::string& name, const char* mode) {
    std::FILE* f = std::fopen(name.c_str(), mode);
    if (f == nullptr) {
        std::fprintf(stderr, "Error opening file %s\n", name.c_str());
        std::exit(1);
    }
    return f;
}

void close_written_or_exit(std::FILE* file, const std::string& name) {
    const bool failed = std::ferror(file) != 0;
    if (std::fclose(file) != 0 || failed) write_failed(name);
}

void write_failed(const std::string& name) {
    std::fprintf(stderr, "Error writing file %s\n", name.c_str());
    std::exit(1);
}

std::FILE* output_destination() {
    return run_settings.to_file == 1 ? run_settings.out_stream : stdout;
}
