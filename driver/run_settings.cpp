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

std::FILE* output_destination() {
    return run_settings.to_file == 1 ? run_settings.out_stream : stdout;
}
