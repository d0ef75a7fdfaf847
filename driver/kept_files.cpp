#include "driver/kept_files.h"

#include <sys/stat.h>

#include "common/run_error.h"

namespace driver {

KeptFiles::KeptFiles(std::FILE* input, std::string input_name) : input_name_(std::move(input_name)) {
    struct stat st {};
    if (input == nullptr || fstat(fileno(input), &st) != 0) return;
    protected_ = true;
    device_ = st.st_dev;
    inode_ = st.st_ino;
}

void KeptFiles::made(const std::string& name, std::string_view text) {
    struct stat st {};
    if (protected_ && stat(name.c_str(), &st) == 0 && st.st_dev == device_ && st.st_ino == inode_)
        throw common::RunError("cif2kavrit: intermediate file " + name + " is the CIF file " + input_name_ +
                               "; nothing more written\n");
    std::FILE* f = common::open_file(name, "w");
    std::fwrite(text.data(), 1, text.size(), f);
    common::close_written(f, name);
}

}  // namespace driver
