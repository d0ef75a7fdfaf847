// The boolean and growing steps, through their files, on every case of the
// reference corpus: the result file must be the reference strips written as
// quads.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "layer_test_support.h"
#include "layers/polygon_files.h"
#include "layers/recipe_steps.h"

using namespace layers_test;

namespace {

const std::filesystem::path corpus_dir = std::filesystem::path(CIF2KAVRIT_SHARED_DIR) / "polygon-corpus";

// The reference strips ("%.17g" vertices) as the quad writer lays them out.
std::string expected_quads(const std::string& strips_text) {
    std::istringstream in(strips_text);
    int strips = 0;
    in >> strips;
    std::vector<std::vector<std::pair<double, double>>> all;
    for (int s = 0; s < strips; ++s) {
        int n = 0;
        in >> n;
        std::vector<std::pair<double, double>> v(n);
        for (auto& p : v) in >> p.first >> p.second;
        all.push_back(v);
    }
    std::string body;
    int quads = 0;
    char line[256];
    for (const auto& v : all) {
        for (std::size_t j = 0; j + 3 < v.size(); j += 2) {
            ++quads;
            body += "4\n";
            for (std::size_t k : {j, j + 1, j + 3, j + 2}) {
                std::snprintf(line, sizeof line, " %.15f %.15f\n", v[k].first, v[k].second);
                body += line;
            }
        }
    }
    return std::to_string(quads) + "\n" + body;
}

// The text with every negative zero written as a zero.
std::string without_zero_signs(std::string text) {
    const std::string negative = " -0.000000000000000";
    for (std::size_t at = text.find(negative); at != std::string::npos; at = text.find(negative, at))
        text.erase(at + 1, 1);
    return text;
}

struct Mismatch {
    std::string name;
    std::string detail;
};

}  // namespace

class CorpusSteps : public InTempDir {};

TEST_F(CorpusSteps, EveryCaseThroughClipLayersAndGrowLayer) {
    ASSERT_TRUE(std::filesystem::is_directory(corpus_dir)) << corpus_dir;
    std::vector<std::filesystem::path> cases;
    for (const auto& e : std::filesystem::directory_iterator(corpus_dir))
        if (e.is_directory()) cases.push_back(e.path());
    std::sort(cases.begin(), cases.end());
    ASSERT_FALSE(cases.empty());

    std::vector<Mismatch> mismatches;
    int zero_sign_only = 0;
    for (const auto& dir : cases) {
        for (const auto& e : std::filesystem::directory_iterator(".")) std::filesystem::remove(e.path());
        release_created_files();
        write_empty_polygon_file();
        std::istringstream op_text(read_file((dir / "op").string()));
        std::string op;
        int amount = 0;
        op_text >> op >> amount;
        write_file("a.gpc", read_file((dir / "a.gpc").string()));
        if (op == "grow") {
            grow_layer("a", "r", amount);
        } else {
            write_file("b.gpc", read_file((dir / "b.gpc").string()));
            const int code = op == "diff" ? GPC_DIFF : op == "int" ? GPC_INT : GPC_UNION;
            clip_layers(code, "a", "b", "r");
        }
        const std::string want = expected_quads(read_file((dir / "expected.strips").string()));
        const std::string got = read_file("r.gpc");
        if (got != want) {
            if (without_zero_signs(got) == without_zero_signs(want)) ++zero_sign_only;
            std::size_t at = 0;
            while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
            const std::size_t from = at > 60 ? at - 60 : 0;
            mismatches.push_back({dir.filename().string(), "expected ..." + want.substr(from, 140) + "\n got ..." +
                                                               got.substr(from, 140)});
        }
    }
    std::string names;
    for (const Mismatch& m : mismatches) names += " " + m.name;
    for (std::size_t i = 0; i < mismatches.size() && i < 5; ++i)
        ADD_FAILURE() << mismatches[i].name << ":\n" << mismatches[i].detail;
    EXPECT_EQ(mismatches.size(), 0u) << "of " << cases.size() << " cases; " << zero_sign_only
                                     << " of the mismatches differ only in the sign of a zero;" << names;
}
