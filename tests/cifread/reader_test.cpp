// The CIF reader against positions worked out by hand. Expected boxes are in
// halves of a CIF unit: the box "B 400 200 1000 500" covers x 800..1200 and
// y 400..600, which is {1600, 800, 2400, 1200}.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cifread/layout.h"

namespace {

using cifread::Diagnostic;
using cifread::HalfBox;
using Boxes = std::vector<HalfBox>;

// The boxes of one layer; a failed read fails the test.
Boxes boxes_of(const std::string& cif, const std::string& layer = "CPS") {
    const cifread::ReadResult r = cifread::read_layout(cif);
    EXPECT_TRUE(r.ok) << r.error.line << ": " << r.error.text;
    for (const auto& l : r.layout.layers)
        if (l.name == layer) return l.boxes;
    return {};
}

std::vector<std::string> warnings_of(const std::string& cif) {
    std::vector<std::string> out;
    const cifread::ReadResult r = cifread::read_layout(cif);
    for (const Diagnostic& w : r.layout.warnings) out.push_back(std::to_string(w.line) + ": " + w.text);
    return out;
}

Diagnostic error_of(const std::string& cif, const cifread::ReadLimits& limits = {}) {
    const cifread::ReadResult r = cifread::read_layout(cif, limits);
    EXPECT_FALSE(r.ok);
    return r.error;
}

std::string describe(const Boxes& boxes) {
    std::string s;
    for (const HalfBox& b : boxes) {
        s += '{';
        s += std::to_string(b.xmin);
        for (std::int64_t v : {b.ymin, b.xmax, b.ymax}) {
            s += ',';
            s += std::to_string(v);
        }
        s += "} ";
    }
    return s;
}

struct Case {
    const char* name;
    std::string cif;
    Boxes expected;
};

const Boxes ONE_BOX = {{1600, 800, 2400, 1200}};
// Symbol 1 holds one box, x 20..40 and y 0..10.
const std::string S1 = "DS 1; L CPS; B 20 10 30 5; DF;\n";

const std::vector<Case> GRAMMAR = {
    {"plain", "L CPS; B 400 200 1000 500; E", ONE_BOX},
    {"no blanks after command letters", "LCPS;B400 200 1000 500;E", ONE_BOX},
    {"commas between numbers", "L CPS;B 400,200,1000,500;E", ONE_BOX},
    {"upper-case letters separate numbers", "L CPS;B L400 W200 C1000 500;E", ONE_BOX},
    {"nested comments anywhere", "(a (nested; comment) here); L CPS; B 400 200 (inline) 1000 500; E", ONE_BOX},
    {"tabs, line ends, blank before ;", "L\tCPS ;\r\nB\t400\t200\t1000\t500 ;\r\nE\r\n", ONE_BOX},
    {"user extensions skipped to ;", "9 CIF_TOP (no comment;\nL CPS;\n94 label 1 2;\nB 400 200 1000 500;\nE", ONE_BOX},
    {"empty commands", ";;L CPS;;B 400 200 1000 500;;E", ONE_BOX},
    {"odd sizes keep halves", "L CPS; B 5 3 0 0; E", {{-5, -3, 5, 3}}},
    {"direction along y", "L CPS; B 400 200 1000 500 0 1; E", {{1800, 600, 2200, 1400}}},
    {"direction along -y", "L CPS; B 400 200 1000 500 0 -5; E", {{1800, 600, 2200, 1400}}},
    {"direction along -x", "L CPS; B 400 200 1000 500 -1 0; E", ONE_BOX},
    {"rectilinear polygon", "L CPS; P 0 0 200 0 200 100 100 100 100 300 0 300; E", {{0, 0, 400, 200}, {0, 200, 200, 600}}},
    {"polygon drawn clockwise", "L CPS; P 0 0 0 300 100 300 100 100 200 100 200 0; E",
     {{0, 0, 400, 200}, {0, 200, 200, 600}}},
    {"polygon around twice: windings add up", "L CPS; P 0 0 10 0 10 10 0 10 0 0 10 0 10 10 0 10; E", {{0, 0, 20, 20}}},
    {"wire: square ends half the width out", "L CPS; W 20 0 0 100 0 100 50; E", {{-20, -20, 220, 20}, {180, 20, 220, 120}}},
    {"wire of one point", "L CPS; W 10 5 5; E", {{0, 0, 20, 20}}},
    {"overlapping boxes unite", "L CPS; B 20 10 10 5; B 10 20 15 10; E", {{0, 0, 40, 20}, {20, 20, 40, 40}}},
    {"side by side", "L CPS; B 10 10 5 5; B 10 10 15 5; E", {{0, 0, 40, 20}}},
    {"one above the other", "L CPS; B 10 10 5 5; B 10 10 5 15; E", {{0, 0, 20, 40}}},
    {"a box goes on past a band that changes elsewhere", "L CPS; B 10 30 5 15; B 10 10 25 15; E",
     {{0, 0, 20, 60}, {40, 20, 60, 40}}},
    {"the least 32-bit number as a coordinate", "L CPS; P -2147483648 0 -2147483646 0 -2147483646 2 -2147483648 2; E",
     {{-4294967296, 0, -4294967292, 4}}},
    {"zero-size box makes nothing", "L CPS; B 0 10 5 5; B 10 10 5 5; E", {{0, 0, 20, 20}}},
    // x 0..30, y 0..10 and x 0..10, y 10..20 drawn three ways: the cut depends only on the region.
    {"region as two boxes", "L CPS; B 30 10 15 5; B 10 10 5 15; E", {{0, 0, 60, 20}, {0, 20, 20, 40}}},
    {"region as two other boxes", "L CPS; B 10 20 5 10; B 20 10 20 5; E", {{0, 0, 60, 20}, {0, 20, 20, 40}}},
    {"region as a polygon and a box inside", "L CPS; P 0 0 30 0 30 10 10 10 10 20 0 20; B 5 5 5 5; E",
     {{0, 0, 60, 20}, {0, 20, 20, 40}}},
};

// Symbol 1's box x 20..40, y 0..10 through one call each.
const std::vector<Case> TRANSFORMS = {
    {"translation", S1 + "C 1 T 100 200; E", {{240, 400, 280, 420}}},
    {"mirror in x", S1 + "C 1 M X; E", {{-80, 0, -40, 20}}},
    {"mirror in y", S1 + "C 1 M Y; E", {{40, -20, 80, 0}}},
    {"quarter turn", S1 + "C 1 R 0 1; E", {{-20, 40, 0, 80}}},
    {"half turn", S1 + "C 1 R -1 0; E", {{-80, -20, -40, 0}}},
    {"half turn written with the least 32-bit number", S1 + "C 1 R -2147483648 0; E", {{-80, -20, -40, 0}}},
    {"quarter turn written with it", S1 + "C 1 R 0 -2147483648; E", {{0, -80, 20, -40}}},
    {"three quarters", S1 + "C 1 R 0 -1; E", {{0, -80, 20, -40}}},
    {"rotation along x is none", S1 + "C 1 R 5 0; E", {{40, 0, 80, 20}}},
    {"translate, then turn", S1 + "C 1 T 100 0 R 0 1; E", {{-20, 240, 0, 280}}},
    {"turn, then translate", S1 + "C 1 R 0 1 T 100 0; E", {{180, 40, 200, 80}}},
    {"translate, then half a turn", S1 + "C 1 T 100 0 R -1 0; E", {{-280, -20, -240, 0}}},
    {"mirror, then turn", S1 + "C 1 M X R 0 1; E", {{-20, -80, 0, -40}}},
    {"turn, then mirror", S1 + "C 1 R 0 1 M X; E", {{0, 40, 20, 80}}},
    {"packed and with commas", S1 + "C1T-5,-5MYMXR0,1;E", {{-10, -70, 10, -30}}},
    {"scale factor", "DS 1 3 2; L CPS; B 20 10 30 5; DF; C 1 T 10 10; E", {{80, 20, 140, 50}}},
    {"scale applies to the caller's translations, not the callee",
     S1 + "DS 2 2 1; C 1 T 10 0; DF; C 2; E", {{80, 0, 120, 20}}},
    {"three deep", S1 + "DS 2; C 1 M X T 100 0; DF; DS 3; C 2 R 0 1 T 0 1000; DF; C 3 T 5 5; E",
     {{-10, 2130, 10, 2170}}},
    {"three deep with scales",
     "DS 1 1 2; L CPS; B 20 10 30 5; DF; DS 2 3 1; C 1 T 10 0; DF; DS 3 2 1; C 2 T 0 7; DF; C 3; E",
     {{80, 28, 100, 38}}},
    {"called before defined", "C 1 T 100 200; " + S1 + "E", {{240, 400, 280, 420}}},
    {"top level empty: the symbols nobody calls", S1 + "DS 2; C 1 T 100 0; DF; E", {{240, 0, 280, 20}}},
    {"top level with only a shape of no layer", "B 1 1 0 0; " + S1 + "E", {{40, 0, 80, 20}}},
    {"top level empty: two such symbols", S1 + "DS 2; L CPS; B 10 10 5 5; DF; E", {{0, 0, 20, 20}, {40, 0, 80, 20}}},
    {"deleted symbols defined anew", "DS 1; L CPS; B 10 10 5 5; DF; C 1; DD 1; DS 1; L CPS; B 10 10 105 5; DF; C 1; E",
     {{0, 0, 20, 20}, {200, 0, 220, 20}}},
    {"finer fractions rounded", "DS 1 1 3; L CPS; B 2 2 1 1; DF; C 1; E", {{0, 0, 1, 1}}},
    {"halves of that away from zero", "DS 1 1 4; L CPS; B 6 6 0 0; DF; C 1; E", {{-2, -2, 2, 2}}},
    {"quarters to halves", "DS 1 1 2; L CPS; B 3 1 1 1; DF; C 1; E", {{-1, 1, 3, 2}}},
};

TEST(CifRead, GrammarRules) {
    for (const Case& c : GRAMMAR) EXPECT_EQ(describe(boxes_of(c.cif)), describe(c.expected)) << c.name;
}

TEST(CifRead, Transformations) {
    for (const Case& c : TRANSFORMS) EXPECT_EQ(describe(boxes_of(c.cif)), describe(c.expected)) << c.name;
}

TEST(CifRead, LayersAndEndLine) {
    const cifread::ReadResult r =
        cifread::read_layout("L CPS; B 10 10 5 5; L CPT; B 10 10 5 5; L CPS; B 10 10 15 5; E rest\r\nnot read (");
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.layout.layers.size(), 2u);
    EXPECT_EQ(r.layout.layers[0].name, "CPS");
    EXPECT_EQ(describe(r.layout.layers[0].boxes), describe({{0, 0, 40, 20}}));
    EXPECT_EQ(r.layout.layers[1].name, "CPT");
    EXPECT_EQ(describe(r.layout.layers[1].boxes), describe({{0, 0, 20, 20}}));
    EXPECT_TRUE(r.layout.has_end);
    EXPECT_EQ(r.layout.end_rest, " rest\r\n");
    EXPECT_EQ(cifread::read_layout("E").layout.end_rest, "");
    // An empty layer name is a layer of its own; the boxes after it do not
    // go to the layer before it.
    const cifread::ReadResult empty = cifread::read_layout("L CPS; B 10 10 5 5; L ; B 10 10 25 5; L; B 2 2 1 1; E");
    ASSERT_TRUE(empty.ok);
    ASSERT_EQ(empty.layout.layers.size(), 2u);
    EXPECT_EQ(describe(empty.layout.layers[0].boxes), describe({{0, 0, 20, 20}}));
    EXPECT_EQ(empty.layout.layers[1].name, "");
    EXPECT_EQ(describe(empty.layout.layers[1].boxes), describe({{0, 0, 4, 4}, {40, 0, 60, 20}}));
    EXPECT_EQ(cifread::read_layout("E" + std::string(150, 'x')).layout.end_rest, std::string(99, 'x'));
}

TEST(CifRead, Warnings) {
    struct W {
        std::string cif;
        std::vector<std::string> expected;
    };
    const std::vector<W> cases = {
        {"L CPS;\nDS 1;\nB 10 10 5 5;\nDF;\nB 10 10 25 5;\nC 1;\nE\n", {"3: box with no layer left out"}},
        {"P 0 0 1 0 1 1;\nW 1 0 0;\nR 1 0 0;\nE", {"1: polygon with no layer left out", "2: wire with no layer left out",
                                                  "3: round flash with no layer left out"}},
        {"L CPS; R 10 0 0; B 10 10 5 5 1 1; P 0 0 10 10 0 10; B 10 10 5 5; L CPT; W 2 0 0 10 10; E",
         {"0: layer CPS: 3 shapes that are not rectilinear left out",
          "0: layer CPT: 1 shape that is not rectilinear left out"}},
        {"DS 1; L CPS; B 10 10 5 5; DF; C 1 R 1 1; C 1 R 1 1 R 1 1; C 1 T 100 0; E",
         {"0: layer CPS: 2 shapes that are not rectilinear left out"}},
        {"DS 1 1 3; L CPS; B 2 2 1 1; B 3 3 0 0; P 0 0 3 0 3 3 0 3; DF; C 1; C 1 T 1 0; E",
         {"0: 2 shapes rounded to the nearest half CIF unit"}},
        {"L CPS; B 1 1 0 0;", {"0: the file has no end command; read to its end"}},
    };
    for (const W& w : cases) EXPECT_EQ(warnings_of(w.cif), w.expected) << w.cif;
    // Shapes with no layer: ten lines, then a count.
    std::string many;
    for (int i = 0; i < 13; ++i) many += "B 1 1 0 0;\n";
    const std::vector<std::string> got = warnings_of(many + "E");
    ASSERT_EQ(got.size(), 11u);
    EXPECT_EQ(got[9], "10: box with no layer left out");
    EXPECT_EQ(got[10], "0: 3 more shapes with no layer left out");
}

TEST(CifRead, Errors) {
    struct E {
        std::string cif;
        Diagnostic expected;
    };
    const std::vector<E> cases = {
        {"L CPS;\nC 7;\nE\n", {2, "call of undefined symbol 7"}},
        {"DS 1;\nC 3;\nDF;\nC 1;\nC 9;\nE", {2, "call of undefined symbol 3"}},
        {"DS 1;\nC 1;\nDF;\nC 1;\nE", {2, "recursive call of symbol 1"}},
        {"DS 1;\nC 2;\nDF;\nDS 2;\nC 1;\nDF;\nC 1;\nE", {5, "recursive call of symbol 1"}},
        {"DS 1;\nC 2;\nDF;\nDS 2;\nC 1;\nDF;\nE", {5, "recursive call of symbol 1"}},
        {"DS 1;\nL CPS;\nB 1 1 0 0;\nDF;\nC 1;\nDD 1;\nC 1;\nE", {7, "call of undefined symbol 1"}},
        {"L CPS;\nB 10 10 a;\nE", {2, "cannot read the box command"}},
        {"L CPS;\nB 1 1 1 1\nE", {2, "cannot read the box command"}},
        {"L CPS;\nB -1 1 1 1;\nE", {2, "cannot read the box command"}},
        {"L CPS;\nP 0 0 1;\nE", {2, "cannot read the polygon command"}},
        {"L CPS;\nP;\nE", {2, "no points in the polygon command"}},
        {"L CPS;\nW 1;\nE", {2, "no points in the wire command"}},
        {"L CPS;\nL", {2, "cannot read the layer command"}},
        {"L CPS X;\nE", {1, "cannot read the layer command"}},
        {"L CPS;\nX 1 2;\nE", {2, "cannot read a command beginning with 'X'"}},
        {"L CPS;\n)\nE", {2, "cannot read a command beginning with ')'"}},
        {"L CPS;\n(open (comment)\nB 1 1 1 1;\nE", {2, "comment not closed"}},
        {"L CPS;\nB 1 1 99999999999 0;\nE", {2, "number out of range in the box command"}},
        {"L CPS;\nB 1 1 2147483648 0;\nE", {2, "number out of range in the box command"}},
        {"L CPS;\nP -2147483649 0 1 0 1 1;\nE", {2, "number out of range in the polygon command"}},
        {"DS 1;\nDF;\nC 1 R -2147483649 0;\nE", {3, "number out of range in the call command"}},
        {"L CPS;\nB 2 2 -2147483648 0;\nE", {2, "coordinates out of range (beyond 32-bit CIF numbers once placed)"}},
        {"DS 1;\nDS 2;\nDF;\nDF;\nE", {2, "definition of symbol 2 inside the definition of symbol 1"}},
        {"DF;\nE", {1, "definition finish with no definition started"}},
        {"DS 1;\nDD 1;\nDF;\nE", {2, "definition delete inside the definition of symbol 1"}},
        {"DS 1;\nE", {2, "end command inside the definition of symbol 1"}},
        {"DS 1;\nL CPS;\n", {1, "the file ends inside the definition of symbol 1"}},
        {"DS 1;\nDF;\nDS 1;\nDF;\nE", {3, "symbol 1 defined twice (first on line 1)"}},
        {"DS 1 0 1;\nDF;\nE", {1, "scale factor 0 1 of symbol 1 is zero"}},
        {"DX 1;\nE", {1, "cannot read the definition command"}},
        {"L CPS;\nB 1 1 1 1 0 0;\nE", {2, "box direction 0 0"}},
        {"DS 1;\nDF;\nC 1 R 0 0;\nE", {3, "rotation 0 0 in the call command"}},
        {"DS 1;\nDF;\nC 1 M Z;\nE", {3, "cannot read the call command"}},
        {"DS 1;\nDF;\nC 1 Q;\nE", {3, "cannot read the call command"}},
        {"L CPS;\n9 text", {2, "the file ends inside a user extension command"}},
        {"DS 1 1000 1;\nL CPS;\nB 10 10 2000000000 0;\nDF;\nC 1;\nE",
         {3, "coordinates out of range (beyond 32-bit CIF numbers once placed)"}},
        {"DS 1;\nL CPS;\nB 10 10 0 0;\nDF;\nC 1 T 2147483647 0 T 2147483647 0;\nE",
         {3, "coordinates out of range (beyond 32-bit CIF numbers once placed)"}},
    };
    for (const E& e : cases) EXPECT_EQ(error_of(e.cif), e.expected) << e.cif;
}

// ------------------------------------------------------------- hostile ----

// Symbol k calls symbol k - 1 `fan` times, symbol 1 holds one box.
std::string nested_array(int depth, int fan) {
    std::string cif = "DS 1; L CPS; B 1 1 0 0; DF;\n";
    for (int k = 2; k <= depth; ++k) {
        cif += "DS " + std::to_string(k) + ";";
        for (int i = 0; i < fan; ++i) cif += " C " + std::to_string(k - 1) + " T " + std::to_string(2 * i) + " 0;";
        cif += " DF;\n";
    }
    return cif + "C " + std::to_string(depth) + ";\nE\n";
}

TEST(CifReadHostile, ExponentialInstancesAreRefusedBeforeAnythingIsPlaced) {
    EXPECT_EQ(error_of(nested_array(40, 10)),
              (Diagnostic{0, "the layout places more than 5000000 boxes, more than this reader takes"}));
    cifread::ReadLimits small;
    small.max_placed_boxes = 999;
    EXPECT_EQ(error_of(nested_array(4, 10), small),
              (Diagnostic{0, "the layout places more than 999 boxes, more than this reader takes"}));
    small.max_placed_boxes = 1000;
    EXPECT_TRUE(cifread::read_layout(nested_array(4, 10), small).ok);
    // Symbols that place only shapes that make no boxes count as instances.
    const std::string array = nested_array(30, 10);
    const std::string flashes = "DS 1; L CPS; R 1 0 0; DF;\n" + array.substr(array.find('\n') + 1);
    EXPECT_EQ(error_of(flashes), (Diagnostic{0, "the layout places more than 20000000 symbol instances, more than this reader takes"}));
    small.max_instances = 1000;
    EXPECT_EQ(error_of(nested_array(4, 10), small).text,
              "the layout places more than 1000 symbol instances, more than this reader takes");
}

TEST(CifReadHostile, DeepChainsAndCyclesUseNoCallStack) {
    const int depth = 200000;
    std::string chain = "DS 1; L CPS; B 2 2 0 0; DF;\n";
    for (int k = 2; k <= depth; ++k) chain += "DS " + std::to_string(k) + "; C " + std::to_string(k - 1) + " T 1 0; DF;\n";
    chain += "E\n";
    // Placed once from the only symbol nobody calls, moved by 1 at each of
    // the depth - 1 calls.
    EXPECT_EQ(describe(boxes_of(chain)), describe({{2 * (depth - 1) - 2, -2, 2 * (depth - 1) + 2, 2}}));

    std::string cycle;
    for (int k = 1; k <= depth; ++k) cycle += "DS " + std::to_string(k) + "; C " + std::to_string(k % depth + 1) + "; DF;\n";
    cycle += "C 1;\nE\n";
    EXPECT_EQ(error_of(cycle), (Diagnostic{depth, "recursive call of symbol 1"}));

    const std::string comments = std::string(1000000, '(') + std::string(1000000, ')') + "; L CPS; B 2 2 0 0; E";
    EXPECT_EQ(describe(boxes_of(comments)), describe({{-2, -2, 2, 2}}));
}

TEST(CifReadHostile, HugeNumbersAndTranslations) {
    // Translations that grow by a factor of 2^31 at each level overflow every
    // exact representation: refused with the line of a call or a shape.
    std::string cif = "DS 1; L CPS; B 1 1 0 0; DF;\n";
    for (int k = 2; k <= 12; ++k)
        cif += "DS " + std::to_string(k) + " 2147483647 1; C " + std::to_string(k - 1) + " T 2147483647 0; DF;\n";
    cif += "C 12;\nE\n";
    const Diagnostic e = error_of(cif);
    EXPECT_GT(e.line, 0);
    EXPECT_NE(e.text.find("out of range"), std::string::npos) << e.text;
    EXPECT_EQ(error_of("C 1 T 1 1" + std::string(300, '1') + ";"), (Diagnostic{1, "number out of range in the call command"}));
}

TEST(CifReadHostile, SweepsStopAtTheirBudget) {
    // 200 thin columns and 200 thin rows cross in 40,000 pieces.
    std::string grid = "L CPS;";
    for (int i = 0; i < 200; ++i) {
        // Appended piece by piece: a chain of string + to_string trips a false
        // -Wrestrict in g++ 12.
        grid += " B 1 1000 ";
        grid += std::to_string(5 * i);
        grid += " 500; B 1000 1 500 ";
        grid += std::to_string(5 * i);
        grid += ";";
    }
    cifread::ReadLimits tight;
    tight.max_sweep_steps = 10000;
    EXPECT_EQ(error_of(grid + " E", tight), (Diagnostic{0, "layer CPS is too complex to cut into boxes"}));
    EXPECT_TRUE(cifread::read_layout(grid + " E").ok);
    std::string comb = "L CPS;\nP 0 0";
    for (int i = 0; i < 500; ++i)
        for (int v : {2 * i, 1000 + i, 2 * i + 1, 1000 + i, 2 * i + 1, 0, 2 * i + 2, 0}) {
            comb += ' ';
            comb += std::to_string(v);
        }
    EXPECT_EQ(error_of(comb + ";\nE", tight), (Diagnostic{2, "polygon too complex to cut into boxes"}));
}

// Symbol 1 scaled by 2147483647 / 2147483646: its box's x edges at
// -+1073741823 halves of a written unit land on -+1073741823.5 halves of a
// CIF unit, ties that go away from zero, plus whatever its caller adds.
const std::string WIDE = "DS 1 2147483647 2147483646; L CPS; B 1073741823 2 0 1; DF;\n";

TEST(CifRead, FractionsWithLargeNumbersRoundAsSmallOnes) {
    // The y edges 0 and 4 scale to 0 and 4.0000000019 (rounded to 4).
    const std::vector<Case> cases = {
        {"ties away from zero", WIDE + "C 1; E", {{-1073741824, 0, 1073741824, 4}}},
        // A caller scaled by 1 / 2147483647 moves it by 2 / 2147483647 halves:
        // every product of the corner leaves 64 bits.
        {"a tiny move right breaks the ties upwards", WIDE + "DS 2 1 2147483647; C 1 T 1 0; DF; C 2; E",
         {{-1073741823, 0, 1073741824, 4}}},
        {"a tiny move left breaks them downwards", WIDE + "DS 2 1 2147483647; C 1 T -1 0; DF; C 2; E",
         {{-1073741824, 0, 1073741823, 4}}},
        {"mirrored, then moved right", WIDE + "DS 2 1 2147483647; C 1 M X T 1 0; DF; C 2; E",
         {{-1073741823, 0, 1073741824, 4}}},
        {"turned a quarter: the ties on y", WIDE + "DS 2 1 2147483647; C 1 R 0 1 T 0 -1; DF; C 2; E",
         {{-4, -1073741824, 0, 1073741823}}},
    };
    for (const Case& c : cases) EXPECT_EQ(describe(boxes_of(c.cif)), describe(c.expected)) << c.name;
}

TEST(CifRead, CountsAgreeInNumber) {
    struct W {
        std::string cif;
        std::string expected;  // the last warning
    };
    std::string eleven;
    for (int i = 0; i < 11; ++i) eleven += "B 1 1 0 0;\n";
    std::string twelve = eleven + "B 1 1 0 0;\n";
    const std::vector<W> cases = {
        // one and two shapes not rectilinear, two rounded and three more: CifRead.Warnings
        {WIDE + "C 1; E", "0: 1 shape rounded to the nearest half CIF unit"},
        {eleven + "E", "0: 1 more shape with no layer left out"},
        {twelve + "E", "0: 2 more shapes with no layer left out"},
    };
    for (const W& w : cases) {
        const std::vector<std::string> got = warnings_of(w.cif);
        ASSERT_FALSE(got.empty()) << w.cif;
        EXPECT_EQ(got.back(), w.expected) << w.cif;
    }
    cifread::ReadLimits one;
    one.max_placed_boxes = 1;
    EXPECT_EQ(error_of("L CPS; B 2 2 0 0; B 2 2 9 9; E", one).text,
              "the layout places more than 1 box, more than this reader takes");
    one.max_placed_boxes = 100;
    one.max_instances = 1;
    EXPECT_EQ(error_of(S1 + "C 1; E", one).text,
              "the layout places more than 1 symbol instance, more than this reader takes");
}

// ------------------------------------------------------ symbol detector ----

TEST(SymbolDetector, FindsDefinitionsAndCallsAsCommandsOnly) {
    struct D {
        std::string cif;
        bool found;
    };
    const std::vector<D> cases = {
        {"L CPS;\nB 1 1 1 1;\nE\n", false},
        {"DS 1; DF;", true},
        {"L CPS; C 1;", true},
        {"  \n D\tS 1;", true},
        {"(C 1; (DS 1;)) L CPS;", false},
        {"(a (b) C 1;) L CPS;", false},
        {"L CCM; B 1 1 1 1;", false},
        {"9 C 1 (; L CPS;", false},
        {"DD 1; DF;", false},
        {"E\nC 1;", false},
        {"L CPS;\nE", false},
        {"B 1 1 1 1; (x) C1;", true},
        {"C X 1; DSX;", false},
        {"C (1) 2;", true},
    };
    for (const D& d : cases) {
        cifread::SymbolDetector whole;
        whole.feed(d.cif.data(), d.cif.size());
        EXPECT_EQ(whole.found(), d.found) << d.cif;
        cifread::SymbolDetector bytewise;
        for (char c : d.cif) bytewise.feed(&c, 1);
        EXPECT_EQ(bytewise.found(), d.found) << d.cif;
    }
}

}  // namespace
