// Whole-file output that never leaves a file written half: the content goes
// to a temporary file beside the target, which is renamed over the target
// only once every byte is written and the file is closed.  A symbolic link
// at the name stays: the file it leads to is the target.  A FIFO or a device
// there is written through.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace kavrit {

class OutputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PendingFile {
    std::string path;
    std::string content;
};

// Writes all files, or none of them: on any failure the temporary files are
// removed, no target is touched and OutputError says what failed.
void write_files(const std::vector<PendingFile>& files);

}  // namespace kavrit
