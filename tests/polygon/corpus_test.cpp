// Every reference case of the polygon corpus must come out byte for byte as
// the reference library returned it, on two threads at once: the engine keeps
// its working buffers per thread, so a buffer shared between calls on
// different threads fails this.
#include <gtest/gtest.h>

#include <thread>

#include "tests/polygon/corpus_pack.h"

namespace {

// The cases whose strips differ from the reference (or that cannot run).
std::vector<std::string> mismatching(const std::vector<CorpusCase>& cases) {
    std::vector<std::string> names;
    for (const CorpusCase& c : cases) {
        gpc_tristrip strips{0, nullptr};
        std::string error;
        if (!run_corpus_case(c, &strips, &error) || format_strips(strips) != c.expected)
            names.push_back(c.name + (error.empty() ? "" : ": " + error));
        gpc_free_tristrip(&strips);
    }
    return names;
}

}  // namespace

TEST(PolygonCorpus, EveryCaseMatchesTheReferenceStripsOnTwoThreadsAtOnce) {
    std::vector<CorpusCase> cases;
    std::string error;
    ASSERT_TRUE(read_corpus_pack(POLYGON_CORPUS_PACK, &cases, &error)) << error;
    ASSERT_GT(cases.size(), 1000u);
    std::vector<std::string> first, second;
    std::thread other([&] { second = mismatching(cases); });
    first = mismatching(cases);
    other.join();
    for (const auto* names : {&first, &second})
        EXPECT_TRUE(names->empty()) << names->size() << " of " << cases.size() << " cases differ, the first "
                                    << names->front();
}
