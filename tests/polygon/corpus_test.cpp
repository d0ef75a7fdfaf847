// Every reference case of the polygon corpus must come out byte for byte as
// the reference library returned it.
#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "tests/polygon/corpus_pack.h"

namespace {

// Splits a strip set in corpus format into its strips (as text blocks), so a
// mismatch can name the first strip that differs.
std::vector<std::string> strip_blocks(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> blocks;
    std::string line;
    if (!std::getline(in, line)) return blocks;
    blocks.push_back("count " + line);
    while (std::getline(in, line)) {
        const int n = std::atoi(line.c_str());
        std::string block = line + "\n";
        for (int i = 0; i < n && std::getline(in, line); ++i) block += line + "\n";
        blocks.push_back(block);
    }
    return blocks;
}

// The cases whose strips differ from the reference (or that cannot run).
std::vector<std::string> mismatching(const std::vector<CorpusCase>& cases) {
    std::vector<std::string> names;
    for (const CorpusCase& c : cases) {
        gpc_tristrip strips{0, nullptr};
        std::string error;
        const bool ran = run_corpus_case(c, &strips, &error);
        if (!ran || format_strips(strips) != c.expected) names.push_back(c.name);
        gpc_free_tristrip(&strips);
    }
    return names;
}

}  // namespace

TEST(PolygonCorpus, EveryCaseMatchesTheReferenceStrips) {
    std::vector<CorpusCase> cases;
    std::string error;
    ASSERT_TRUE(read_corpus_pack(POLYGON_CORPUS_PACK, &cases, &error)) << error;
    ASSERT_GT(cases.size(), 1000u);

    int mismatches = 0;
    for (const CorpusCase& c : cases) {
        gpc_tristrip strips{0, nullptr};
        ASSERT_TRUE(run_corpus_case(c, &strips, &error)) << error;
        const std::string got = format_strips(strips);
        gpc_free_tristrip(&strips);
        if (got == c.expected) continue;
        if (++mismatches > 10) continue;  // report the first few in full
        const auto g = strip_blocks(got), e = strip_blocks(c.expected);
        size_t i = 0;
        while (i < g.size() && i < e.size() && g[i] == e[i]) ++i;
        ADD_FAILURE() << c.name << ": first difference at strip " << i << "\n  expected:\n"
                      << (i < e.size() ? e[i] : "(none)") << "  got:\n"
                      << (i < g.size() ? g[i] : "(none)");
    }
    EXPECT_EQ(mismatches, 0) << "of " << cases.size() << " cases";
}

// The engine keeps its working buffers per thread: two threads running the
// whole corpus at once must each get every reference result.
TEST(PolygonCorpus, TwoThreadsAtOnceGetTheReferenceStrips) {
    std::vector<CorpusCase> cases;
    std::string error;
    ASSERT_TRUE(read_corpus_pack(POLYGON_CORPUS_PACK, &cases, &error)) << error;
    std::vector<std::string> first, second;
    std::thread other([&] { second = mismatching(cases); });
    first = mismatching(cases);
    other.join();
    EXPECT_TRUE(first.empty()) << first.size() << " cases differ, the first " << first.front();
    EXPECT_TRUE(second.empty()) << second.size() << " cases differ, the first " << second.front();
}
