// The boolean and growing steps, through polygon files, on every case of the
// reference corpus (packed in the polygon tests): the result file must hold
// the reference strips as quads.
#include <algorithm>

#include "corpus_pack.h"
#include "layer_test_support.h"
#include "layers/polygon_files.h"
#include "layers/recipe_steps.h"

using namespace layers_test;
using namespace layers;

namespace {

// The reference strips ("%.17g" vertices) laid out as quads.
std::string expected_quads(const std::string& strips_text) {
    std::istringstream in(strips_text);
    int strips = 0, quads = 0;
    std::string body;
    for (in >> strips; strips-- > 0;) {
        int n = 0;
        in >> n;
        std::vector<gpc_vertex> v(std::max(n, 0));
        for (auto& p : v) in >> p.x >> p.y;
        for (std::size_t j = 0; j + 3 < v.size(); j += 2, ++quads) {
            body += "4\n";
            for (std::size_t k : {j, j + 1, j + 3, j + 2}) {
                char line[128];
                std::snprintf(line, sizeof line, " %.15f %.15f\n", v[k].x, v[k].y);
                body += line;
            }
        }
    }
    return std::to_string(quads) + "\n" + body;
}

}  // namespace

class CorpusSteps : public InTempDir {};

TEST_F(CorpusSteps, EveryCaseThroughClipLayersAndGrowLayer) {
    std::vector<CorpusCase> cases;
    std::string error;
    ASSERT_TRUE(read_corpus_pack(POLYGON_CORPUS_PACK, &cases, &error)) << error;
    ASSERT_GT(cases.size(), 1000u);
    int failures = 0;
    for (const CorpusCase& c : cases) {
        common::PolygonFiles files;
        write_empty_polygon_file(files);
        std::istringstream op_line(c.op);
        std::string op;
        int amount = 0;
        op_line >> op >> amount;
        layers_test::put_text(files, "a.gpc", c.a);
        layers_test::put_text(files, "b.gpc", c.b.value_or(""));
        if (op == "grow") grow_layer(files, "a", "r", amount);
        else clip_layers(files, op == "diff" ? GPC_DIFF : op == "int" ? GPC_INT : GPC_UNION, "a", "b", "r");
        const std::string want = expected_quads(c.expected);
        const common::PolygonFilePtr result = files.find("r.gpc");
        const std::string got = result != nullptr ? result->render() : "";
        if (got == want) continue;
        if (++failures > 5) continue;
        const auto at = std::mismatch(want.begin(), want.end(), got.begin(), got.end()).first - want.begin();
        const auto from = std::max<std::ptrdiff_t>(0, at - 60);
        ADD_FAILURE() << c.name << ": expected ..." << want.substr(from, 140) << "\ngot ..." << got.substr(from, 140);
    }
    EXPECT_EQ(failures, 0) << "of " << cases.size() << " cases";
}
