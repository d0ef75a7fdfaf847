// Traces for tests of the stages: one that keeps what a stage reports in
// memory, one that writes it to the current directory as the run's kept
// files do.
#pragma once

#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/trace.h"

namespace test_traces {

class RecordingTrace final : public common::Trace {
public:
    void made(const std::string& name, std::string_view text) override {
        files[name] = std::string(text);
        reported.push_back(name);
    }
    using common::Trace::made;

    std::map<std::string, std::string> files;  // the last text of each name
    std::vector<std::string> reported;         // every report, in order
};

class WritingTrace final : public common::Trace {
public:
    void made(const std::string& name, std::string_view text) override {
        std::ofstream(name, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    using common::Trace::made;
};

}  // namespace test_traces
