// Every reference case of the polygon corpus must come out byte for byte as
// the reference library returned it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/gpc-strips/corpus_case.h"

namespace fs = std::filesystem;

namespace {

std::string read_file(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

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

}  // namespace

TEST(PolygonCorpus, EveryCaseMatchesTheReferenceStrips) {
    const fs::path corpus = fs::path(CIF2KAVRIT_SHARED_DIR) / "polygon-corpus";
    if (!fs::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
    std::vector<fs::path> cases;
    for (const auto& entry : fs::directory_iterator(corpus))
        if (entry.is_directory() && fs::exists(entry.path() / "expected.strips")) cases.push_back(entry.path());
    std::sort(cases.begin(), cases.end());
    ASSERT_GT(cases.size(), 1000u);

    int mismatches = 0;
    for (const fs::path& dir : cases) {
        gpc_tristrip strips{0, nullptr};
        std::string error;
        ASSERT_TRUE(run_corpus_case(dir.string(), &strips, &error)) << error;
        const std::string got = format_strips(strips);
        gpc_free_tristrip(&strips);
        const std::string expected = read_file(dir / "expected.strips");
        if (got == expected) continue;
        if (++mismatches > 10) continue;  // report the first few in full
        const auto g = strip_blocks(got), e = strip_blocks(expected);
        size_t i = 0;
        while (i < g.size() && i < e.size() && g[i] == e[i]) ++i;
        ADD_FAILURE() << dir.filename().string() << ": first difference at strip " << i << "\n  expected:\n"
                      << (i < e.size() ? e[i] : "(none)") << "  got:\n"
                      << (i < g.size() ? g[i] : "(none)");
    }
    EXPECT_EQ(mismatches, 0) << "of " << cases.size() << " cases";
}
