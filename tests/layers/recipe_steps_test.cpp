// The three kinds of recipe step through their files: copy, boolean step and
// grow with its two scratch files. What the library makes of the operands is
// checked on the reference corpus (corpus_steps_test.cpp).

#include "layer_test_support.h"
#include "layers/polygon_files.h"
#include "layers/recipe_steps.h"

#include <limits>
#include <utility>

#include "common/run_error.h"

using namespace layers_test;
using namespace layers;

namespace {

using Error = std::pair<std::string, int>;
const std::string same_names = "): Error: output specification same as input.\n";

// The message and status of the RunError that `step` throws ("" and 0 when
// it throws none).
template <class F>
std::pair<std::string, int> run_error_of(F step) {
    try {
        step();
    } catch (const common::RunError& e) {
        return {e.message(), e.status()};
    }
    return {"", 0};
}

}  // namespace

class Steps : public InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        write_empty_polygon_file(files);
    }
};

TEST_F(Steps, CopyIsByteForByte) {
    // lines longer than the 99-character pieces, a NUL byte, CR LF and a last
    // line without a line feed all come through unchanged
    const std::string text = "1\r\n" + std::string(250, '7') + "\n" + std::string("a\0b\n", 4) + std::string(99, 'x') +
                             "\n" + "last";
    put_text("pvtl.gpc", text);
    copy_layer(files, "pvtl", "pvth");
    EXPECT_EQ(read_file("pvth.gpc"), text);
    EXPECT_EQ(files.find("pvth.gpc")->render(), text);
    EXPECT_EQ(files.created().back(), "pvth.gpc");
    EXPECT_EQ(run_error_of([&] { copy_layer(files, "nosuch", "x"); }), Error("Error opening file nosuch.gpc\n", 1));
    EXPECT_FALSE(std::filesystem::exists("x.gpc"));
}

TEST_F(Steps, SameNamesEndTheRun) {
    write_layer("ply1", {{0, 0, 1, 1}});
    EXPECT_EQ(run_error_of([&] { copy_layer(files, "ply1", "ply1"); }), Error("processlayers(209" + same_names, 1));
    EXPECT_EQ(run_error_of([&] { grow_layer(files, "ply1", "ply1", 2); }), Error("processlayers(245" + same_names, 1));
    // nothing was made on the way
    EXPECT_EQ(files.created(), (std::vector<std::string>{"empty.gpc", "ply1.gpc"}));
}

TEST_F(Steps, ClipReadsMissingOperandsAsEmptyAndAlwaysWritesItsResult) {
    EXPECT_EQ(read_file("empty.gpc"), "0\n");
    write_layer("CPS", {{8, 4, 12, 6}});
    clip_layers(files, GPC_DIFF, "CPS", "CHO", "ply1");
    clip_layers(files, GPC_INT, "CPS", "CPT", "tmp7");
    clip_layers(files, 7, "CPS", "CPS", "bad");  // no such operation: no strips
    EXPECT_EQ(read_file("ply1.gpc"), "1\n" + quad_text(8, 4, 12, 6));
    EXPECT_EQ(read_file("tmp7.gpc"), "0\n");
    EXPECT_EQ(read_file("bad.gpc"), "0\n");
    EXPECT_EQ(files.created(), (std::vector<std::string>{"empty.gpc", "CPS.gpc", "ply1.gpc", "tmp7.gpc", "bad.gpc"}));
    // the result is created only after both operands were read
    write_layer("b", {{10, 4, 12, 6}});
    clip_layers(files, GPC_DIFF, "CPS", "b", "CPS");
    EXPECT_EQ(read_file("CPS.gpc"), "1\n" + quad_text(8, 4, 10, 6));
    files.release("empty.gpc");
    EXPECT_EQ(run_error_of([&] { clip_layers(files, GPC_DIFF, "CPS", "CHO", "x"); }),
              Error("Error opening file empty.gpc\n", 1));
    EXPECT_EQ(files.find("x.gpc"), nullptr);
}

TEST_F(Steps, GrowWidensInSinglePrecisionThroughBothScratchFiles) {
    write_layer("ply1", {{0, 0, 10, 4}});
    grow_layer(files, "ply1", "p11", 2);
    EXPECT_EQ(read_file("tmpdata1.file"), "1\n4\n-2.00 -2.00\n12.00 -2.00\n12.00 6.00\n-2.00 6.00\n");
    EXPECT_EQ(read_file("tmpdata2.file"), "1\n4\n-2.00000 -2.00000\n12.00000 -2.00000\n12.00000 6.00000\n-2.00000 6.00000\n");
    EXPECT_EQ(read_file("p11.gpc"), "1\n" + quad_text(-2, -2, 12, 6));
    EXPECT_EQ(files.created().back(), "p11.gpc");
    // 0.045 as a float plus 2 lies just above 2.045 and prints as 2.05 (2.04
    // in double precision); 0.333 - 2 prints as -1.67
    put_text("src.gpc", "1\n4\n-1 0.333\n0.045 0.333\n0.045 1\n-1 1\n");
    grow_layer(files, "src", "dst", 2);
    EXPECT_EQ(read_file("tmpdata1.file"), "1\n4\n-3.00 -1.67\n2.05 -1.67\n2.05 3.00\n-3.00 3.00\n");
    EXPECT_EQ(read_file("tmpdata2.file"), "1\n4\n-3.00000 -1.67000\n2.05000 -1.67000\n2.05000 3.00000\n-3.00000 3.00000\n");
    EXPECT_EQ(read_file("dst.gpc"), "1\n" + quad_text(-3, -1.67, 2.05, 3));
    // 10.125 + 2 is exactly 12.125, a tie that "%.2f" rounds to even
    put_text("tie.gpc", "1\n4\n1 0\n10.125 0\n10.125 1\n1 1\n");
    grow_layer(files, "tie", "dst2", 2);
    EXPECT_EQ(read_file("tmpdata1.file"), "1\n4\n-1.00 -2.00\n12.12 -2.00\n12.12 3.00\n-1.00 3.00\n");
}

TEST_F(Steps, GrowOfMissingOrEmptySource) {
    write_file("tmpdata1.file", "earlier\n");
    grow_layer(files, "COL", "c2st", 5);  // nothing written, nothing recorded
    EXPECT_FALSE(std::filesystem::exists("c2st.gpc"));
    EXPECT_EQ(read_file("tmpdata1.file"), "earlier\n");
    EXPECT_EQ(files.created(), std::vector<std::string>{"empty.gpc"});
    write_file("tmpdata2.file", "earlier\n");
    put_text("ply1.gpc", "0\n");
    grow_layer(files, "ply1", "p11", 2);
    EXPECT_EQ(read_file("p11.gpc"), "0\n");
    EXPECT_EQ(read_file("tmpdata1.file"), "0\n");
    EXPECT_EQ(read_file("tmpdata2.file"), "earlier\n");
}

TEST_F(Steps, GrowPassesOverOtherVertexCountsAndTruncation) {
    // the first quad's vertices in no corner order, the first inside: its bounding box counts
    put_text("src.gpc", "4\n4\n5.5 2.5\n7 1\n4 3\n6 4\n3\n5 5\n6 5\n6 6\n4\n10 0\n11 0\n11 1\n10 1\n4\n3 3\n4");
    testing::internal::CaptureStderr();
    grow_layer(files, "src", "dst", 2);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "processlayers(289): Error: nuber of vertices != 4.\n");
    // the scratch file holds just the grown boxes, so it always reads back whole
    EXPECT_EQ(read_file("tmpdata1.file"), "2\n" + corners("%.2f %.2f\n", 2, -1, 9, 6) + corners("%.2f %.2f\n", 8, -2, 13, 3));
    EXPECT_EQ(read_file("tmpdata2.file"), "1\n" + corners("%.5f %.5f\n", 8, -2, 13, 3));
    put_text("c.gpc", "nonsense");
    grow_layer(files, "c", "d", 2);
    EXPECT_EQ(read_file("d.gpc"), "0\n");
}

TEST_F(Steps, UniteRoundsThroughTwoAndThenFiveDecimals) {
    // 0.125 is a tie that "%.2f" rounds to even; 2.004f and 3.0049f print as
    // 2.00 and 3.00, and the "%.5f" of those keeps them
    const std::vector<common::RectF> boxes = {{0, 0, 1, 1}, {0.125f, 2.004f, 3, 3.0049f}};
    gpc_polygon acc{0, nullptr, nullptr};
    unite_contours(boxes, &acc, &trace);
    EXPECT_EQ(read_file("tmpdata2.file"), "1\n4\n0.12000 2.00000\n3.00000 2.00000\n3.00000 3.00000\n0.12000 3.00000\n");
    EXPECT_EQ(acc.num_contours, 2);
    for (int c = 0; c < acc.num_contours; ++c)
        for (int i = 0; i < acc.contour[c].num_vertices; ++i) {
            const gpc_vertex v = acc.contour[c].vertex[i];
            EXPECT_TRUE(v.x == 0 || v.x == 1 || v.x == 0.12 || v.x == 3) << v.x;
            EXPECT_TRUE(v.y == 0 || v.y == 1 || v.y == 2 || v.y == 3) << v.y;
        }
    gpc_free_polygon(&acc);
    // A corner that prints as "-inf" reads back as nothing: the reading stops
    // there, before the box, as a read of the scratch file would.
    const float inf = std::numeric_limits<float>::infinity();
    unite_contours({{0, 0, 1, 1}, {-inf, 2, 3, 3}, {5, 5, 6, 6}}, &acc, &trace);
    EXPECT_EQ(read_file("tmpdata2.file"), "1\n4\n0.00000 0.00000\n1.00000 0.00000\n1.00000 1.00000\n0.00000 1.00000\n");
    EXPECT_EQ(acc.num_contours, 1);
    gpc_free_polygon(&acc);
    // Without kept files nothing is written.
    std::filesystem::remove("tmpdata2.file");
    unite_contours({{0, 0, 1, 1}}, &acc);
    EXPECT_FALSE(std::filesystem::exists("tmpdata2.file"));
    gpc_free_polygon(&acc);
}
