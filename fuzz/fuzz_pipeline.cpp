// The whole conversion, stage by stage, on raw bytes as the CIF file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/entry_points.h"

namespace {
fuzz_entry::ScratchDirectory* scratch = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // One private directory for the whole fuzzing process, removed at its end.
    scratch = new fuzz_entry::ScratchDirectory();
    std::atexit([] { delete scratch; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem = fuzz_entry::pipeline_bytes(*scratch, data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "fuzz_pipeline: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
