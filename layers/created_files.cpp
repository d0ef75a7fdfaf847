#include "layers/created_files.h"

#include "driver/run_settings.h"

namespace {
std::vector<std::string>& file_list() {
    static std::vector<std::string> names;
    return names;
}
}  // namespace

std::FILE* open_created_file(const std::string& name, const char* mode) {
    std::FILE* f = open_or_exit(name, mode);
    record_created_file(name);
    return f;
}

void record_created_file(const std::string& name) { file_list().push_back(name); }

void remove_created_files() {
    for (const std::string& name : file_list()) std::remove(name.c_str());
    release_created_files();
}

void release_created_files() { file_list().clear(); }

const std::vector<std::string>& created_files() { return file_list(); }
