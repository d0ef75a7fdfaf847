#include "common/fatal.h"

#include <cstdlib>

#include <sys/stat.h>

namespace common {

namespace {

// The CIF file of the run; set before any stage starts a thread.
struct ProtectedInput {
    bool set = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::string name;
};
ProtectedInput protected_input;

}  // namespace

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

void protect_input(std::FILE* input, const std::string& name) {
    struct stat st {};
    if (input == nullptr || fstat(fileno(input), &st) != 0) return;
    protected_input = {true, st.st_dev, st.st_ino, name};
}

std::FILE* create_or_exit(const std::string& name) {
    struct stat st {};
    if (protected_input.set && stat(name.c_str(), &st) == 0 && st.st_dev == protected_input.device &&
        st.st_ino == protected_input.inode)
        fatal("cif2kavrit: intermediate file " + name + " is the CIF file " + protected_input.name +
              "; nothing more written\n");
    return open_or_exit(name, "w");
}

void write_failed(const std::string& name) { fatal("Error writing file " + name + "\n"); }

void close_written_or_exit(std::FILE* file, const std::string& name) {
    const bool failed = std::ferror(file) != 0;
    if (std::fclose(file) != 0 || failed) write_failed(name);
}

void write_whole_file(const std::string& name, std::string_view text) {
    std::FILE* f = create_or_exit(name);
    std::fwrite(text.data(), 1, text.size(), f);
    close_written_or_exit(f, name);
}

}  // namespace common
