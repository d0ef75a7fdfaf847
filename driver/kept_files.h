// The trace of a run with --keep-intermediates: every intermediate a stage
// reports is written at once to the current directory under its name, as a
// file opened for writing (created or truncated).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include <sys/types.h>

#include "common/trace.h"

namespace driver {

class KeptFiles final : public common::Trace {
public:
    // `input` is the open CIF file named `input_name`, which no kept file may
    // replace (the layout chooses the names of its layer files).
    KeptFiles(std::FILE* input, std::string input_name);

    // Writes the file. A name that is the CIF file (same device and inode)
    // throws a RunError before the file is touched; so does a file that
    // cannot be opened ("Error opening file NAME") or written in full
    // ("Error writing file NAME").
    void made(const std::string& name, std::string_view text) override;
    using common::Trace::made;

private:
    bool protected_ = false;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    std::string input_name_;
};

}  // namespace driver
