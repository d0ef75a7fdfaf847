// One libFuzzer target: the build gives FUZZ_NAME (the target's name) and
// FUZZ_ENTRY (the fuzz_entry function it runs on each input; see
// entry_points.h for what each one exercises and checks). Any problem that the
// entry reports ends the run, so libFuzzer keeps the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/entry_points.h"

namespace {
fuzz_entry::ScratchDirectory* scratch = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    scratch = new fuzz_entry::ScratchDirectory();
    std::atexit([] { delete scratch; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem = fuzz_entry::FUZZ_ENTRY(*scratch, data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s: %s\n", FUZZ_NAME, problem.c_str());
        std::abort();
    }
    return 0;
}
