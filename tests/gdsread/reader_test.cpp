// The GDSII reader against positions worked out by hand. Expected boxes are
// in halves of a CIF unit (5 nm): with a 1 nm database unit, a point at
// 1000 nm lies at 200 halves.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <tuple>
#include <string>
#include <vector>

#include "gds_bytes.h"
#include "gdsread/read_gds.h"

namespace {

using cifread::HalfBox;
using gdstest::Gds;
using Boxes = std::vector<HalfBox>;

const char* const MAP = "1 CPS\n2/0 COL\n2/5 CPT\n7/3 CCM\n";

gdsread::GdsReadResult read(const std::string& bytes, const std::string& map_text = MAP, const std::string& top = "",
                            const cifread::ReadLimits& limits = {}) {
    gdsread::MemorySource source(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    const gdsread::LayerMap map = gdsread::LayerMap::parse(map_text);
    return gdsread::read_gds(source, &map, top, limits);
}

Boxes sorted(Boxes b) {
    std::sort(b.begin(), b.end(), [](const HalfBox& p, const HalfBox& q) {
        return std::tie(p.ymin, p.xmin, p.ymax, p.xmax) < std::tie(q.ymin, q.xmin, q.ymax, q.xmax);
    });
    return b;
}

Boxes boxes_of(const gdsread::GdsReadResult& r, const std::string& layer = "CPS") {
    EXPECT_TRUE(r.ok) << r.error.offset << ": " << r.error.text;
    for (const auto& l : r.layout.layers)
        if (l.name == layer) return sorted(l.boxes);
    return {};
}

std::string describe(const Boxes& boxes) {
    std::ostringstream s;
    for (const HalfBox& b : boxes) s << "{" << b.xmin << "," << b.ymin << "," << b.xmax << "," << b.ymax << "} ";
    return s.str();
}

// A library of one unit with cell A (the given body) placed by TOP through `placing`.
std::string placed(double unit, const std::function<void(Gds&)>& cell, const std::function<void(Gds&)>& placing) {
    Gds g = Gds::library(unit);
    g.begin("A");
    cell(g);
    g.end().begin("TOP");
    placing(g);
    return g.end().end_library().bytes;
}

struct Case {
    const char* name;
    std::string bytes;
    Boxes expected;
};

const auto BOX_100_50 = [](Gds& g) { g.rect(1, 0, 0, 0, 100, 50); };

std::vector<Case> placement_cases() {
    return {
        // (x, y) -> (x, -y) -> turned a quarter: (y, x); box 0..100 x 0..50
        // becomes 0..50 x 0..100, at (1000, 2000) nm: 200..210 x 400..420.
        {"reflected and turned 90", placed(1e-9, BOX_100_50, [](Gds& g) { g.sref("A", {1000, 2000}, 0x8000, 1, 90); }),
         {{200, 400, 210, 420}}},
        // Half a turn: -100..0 x -50..0.
        {"turned 180", placed(1e-9, BOX_100_50, [](Gds& g) { g.sref("A", {0, 0}, 0, 1, 180); }), {{-20, -10, 0, 0}}},
        // Three quarters: (x, y) -> (y, -x): 0..50 x -100..0.
        {"turned 270", placed(1e-9, BOX_100_50, [](Gds& g) { g.sref("A", {0, 0}, 0, 1, 270); }), {{0, -20, 10, 0}}},
        // Reflection alone: 0..100 x -50..0.
        {"reflected", placed(1e-9, BOX_100_50, [](Gds& g) { g.sref("A", {0, 0}, 0x8000); }), {{0, -10, 20, 0}}},
        // Magnification 2 then a quarter turn: 0..200 x 0..100 -> -100..0 x 0..200.
        {"magnified then turned", placed(1e-9, BOX_100_50, [](Gds& g) { g.sref("A", {0, 0}, 0, 2, 90); }),
         {{-20, 0, 0, 40}}},
        // 0..7 x 0..3 nm times 1.5: 0..10.5 x 0..4.5 nm, halves 0..2.1 x 0..0.9,
        // rounded to the nearest half unit: 0..2 x 0..1.
        {"magnification that makes fractions",
         placed(1e-9, [](Gds& g) { g.rect(1, 0, 0, 0, 7, 3); }, [](Gds& g) { g.sref("A", {0, 0}, 0, 1.5); }),
         {{0, 0, 2, 1}}},
        // 0.5 nm units: 5 units are 2.5 nm, half a half unit, a tie that
        // rounds away from zero to 1 (the decoded binary unit would give 0).
        {"half-nanometre unit: ties away from zero",
         placed(0.5e-9, [](Gds& g) { g.rect(1, 0, 0, 0, 5, 20); }, [](Gds& g) { g.sref("A", {0, 0}); }),
         {{0, 0, 1, 2}}},
        // 1 um units: 3 units are 300 CIF units, 600 halves.
        {"micrometre unit", placed(1e-6, [](Gds& g) { g.rect(1, 0, 1, 2, 3, 4); }, [](Gds& g) { g.sref("A", {0, 0}); }),
         {{200, 400, 600, 800}}},
        // Skewed lattice: column step (1000, 100), row step (-100, 1000) nm;
        // a 100 nm square at (c*1000 - r*100, c*100 + r*1000).
        {"skewed AREF",
         placed(1e-9, [](Gds& g) { g.rect(1, 0, 0, 0, 100, 100); },
                [](Gds& g) { g.aref("A", 3, 2, {0, 0}, {3000, 300}, {-200, 2000}); }),
         sorted({{0, 0, 20, 20},
                 {200, 20, 220, 40},
                 {400, 40, 420, 60},
                 {-20, 200, 0, 220},
                 {180, 220, 200, 240},
                 {380, 240, 400, 260}})},
        // Columns 1000/3 nm apart: 0, 333.3, 666.7 nm -> halves 0, 66.67, 133.33,
        // each rounded once: 0..10, 67..77, 133..143.
        {"AREF step that does not divide",
         placed(1e-9, [](Gds& g) { g.rect(1, 0, 0, 0, 50, 50); },
                [](Gds& g) { g.aref("A", 3, 1, {0, 0}, {1000, 0}, {0, 10}); }),
         {{0, 0, 10, 10}, {67, 0, 77, 10}, {133, 0, 143, 10}}},
        // The lattice is in the parent's frame; the cell itself is turned.
        {"turned AREF",
         placed(1e-9, BOX_100_50, [](Gds& g) { g.aref("A", 2, 1, {0, 0}, {2000, 0}, {0, 500}, 0, 1, 90); }),
         {{-10, 0, 0, 20}, {190, 0, 200, 20}}},
        // ABSMAG: the child's 1.5 replaces the parent's 2; ABSANGLE: the child
        // keeps angle 0 under a parent turned 90, its origin (1000, 0) turned
        // to (0, 1000) nm and doubled to (0, 2000).
        {"absolute magnification and angle",
         [] {
             Gds g = Gds::library(1e-9);
             g.begin("LEAF").rect(1, 0, 0, 0, 100, 40).end();
             g.begin("MID").sref("LEAF", {1000, 0}, 0x0006, 1.5, 0).end();
             return g.begin("TOP").sref("MID", {0, 0}, 0, 2, 90).end().end_library().bytes;
         }(),
         {{0, 400, 30, 412}}},
    };
}

// Reads each case's library and compares its CPS boxes with the expected ones.
void expect_boxes(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Boxes got = boxes_of(read(c.bytes));
        EXPECT_EQ(got, c.expected) << describe(got);
    }
}

TEST(GdsRead, PlacesByHand) { expect_boxes(placement_cases()); }

std::string path_library(double unit, int type, std::int64_t width, const std::vector<gdstest::XY>& points,
                         std::int64_t begin_ext = 0, std::int64_t end_ext = 0, double mag = 1) {
    return placed(
        unit, [&](Gds& g) { g.path(1, type, width, points, begin_ext, end_ext); },
        [&](Gds& g) { g.sref("A", {0, 0}, 0, mag); });
}

TEST(GdsRead, PathsByHand) {
    // 10 nm units: one unit is one CIF unit, two halves.
    expect_boxes({
        {"flush ends", path_library(1e-8, 0, 2, {{0, 0}, {10, 0}}), {{0, -2, 20, 2}}},
        {"ends extended by half the width", path_library(1e-8, 2, 2, {{0, 0}, {10, 0}}), {{-2, -2, 22, 2}}},
        {"own extensions", path_library(1e-8, 4, 2, {{0, 0}, {10, 0}}, 3, -2), {{-6, -2, 16, 2}}},
        {"odd width keeps its half", path_library(1e-8, 0, 3, {{0, 0}, {0, 10}}), {{-3, 0, 3, 20}}},
        // The joint reaches half the width on: the outer corner is filled.
        {"bend", path_library(1e-8, 0, 2, {{0, 0}, {10, 0}, {10, 10}}), {{0, -2, 22, 2}, {18, 2, 22, 20}}},
        {"repeated points dropped before the ends", path_library(1e-8, 0, 2, {{0, 0}, {0, 0}, {10, 0}, {10, 0}}),
         {{0, -2, 20, 2}}},
        {"drawn backwards", path_library(1e-8, 4, 2, {{10, 0}, {0, 0}}, 1, 0), {{0, -2, 22, 2}}},
        // Magnified 2: centre line 0..20 units; a negative width stays 2 units.
        {"absolute width under magnification", path_library(1e-8, 0, -2, {{0, 0}, {10, 0}}, 0, 0, 2),
         {{0, -2, 40, 2}}},
        {"width magnified", path_library(1e-8, 0, 2, {{0, 0}, {10, 0}}, 0, 0, 2), {{0, -4, 40, 4}}},
        {"zero width draws nothing", path_library(1e-8, 2, 0, {{0, 0}, {10, 0}}), {}},
    });
}

std::vector<std::string> warnings_of(const gdsread::GdsReadResult& r) {
    std::vector<std::string> out;
    for (const auto& w : r.warnings) out.push_back(std::to_string(w.offset) + ": " + w.text);
    for (const auto& w : r.layout.warnings) out.push_back(w.text);
    return out;
}

TEST(GdsRead, ShapesThatMakeNoBoxesAreCounted) {
    Gds g = Gds::library(1e-8);
    g.begin("A").rect(1, 0, 0, 0, 10, 10).end();
    g.begin("TOP");
    g.sref("A", {0, 0}, 0, 1, 45);                        // 1: turned 45 degrees
    g.path(1, 1, 2, {{0, 0}, {10, 0}});                   // 2: round ends
    g.path(1, 0, 2, {{0, 0}, {10, 10}});                  // 3: slanted
    g.boundary(1, 0, {{0, 0}, {10, 0}, {0, 10}, {0, 0}}); // 4: slanted edge
    g.rect(2, 0, 0, 0, 10, 10);                           // COL, a box
    const auto r = read(g.end().end_library().bytes);
    ASSERT_TRUE(r.ok) << r.error.text;
    EXPECT_EQ(warnings_of(r), (std::vector<std::string>{"layer CPS: 4 shapes that are not rectilinear left out"}));
    EXPECT_EQ(boxes_of(r, "COL"), (Boxes{{0, 0, 20, 20}}));
}

TEST(GdsRead, MapEntriesAndRecordsThatAreNotGeometry) {
    Gds g = Gds::library(1e-8);
    g.begin("TOP");
    g.rect(2, 0, 0, 0, 10, 10);   // 2/0 -> COL
    g.rect(2, 5, 20, 0, 30, 10);  // 2/5 -> CPT (exact entry)
    g.rect(1, 9, 40, 0, 50, 10);  // 1/any -> CPS
    g.rect(1, 0, 50, 0, 60, 10);  // 1/any -> CPS, unites with the one before
    g.rect(3, 0, 0, 0, 5, 5);     // not in the map
    // BOX element: its BOXTYPE is the data type of the map.
    g.none(0x2D).int16(0x0D, {7}).int16(0x2E, {3}).xy({{0, 20}, {4, 20}, {4, 24}, {0, 24}, {0, 20}}).none(0x11);
    // TEXT and NODE make nothing; ELFLAGS, PLEX, properties and an unknown
    // record type (twice) are passed over.
    g.none(0x0C).int16(0x0D, {1}).int16(0x16, {0}).xy({{0, 0}}).text(0x19, "label").none(0x11);
    g.none(0x15).int16(0x0D, {1}).int16(0x2A, {0}).xy({{0, 0}}).none(0x11);
    g.none(0x08).int16(0x26, {1}).int32(0x2F, {7}).int16(0x0D, {2}).int16(0x0E, {0});
    g.xy({{100, 0}, {110, 0}, {110, 10}, {100, 10}, {100, 0}}).int16(0x2B, {1}).text(0x2C, "p").none(0x11);
    g.record(0x58, 0, "ab");
    g.record(0x58, 0, "");
    const auto r = read(g.end().end_library().bytes);
    ASSERT_TRUE(r.ok) << r.error.text;
    EXPECT_EQ(boxes_of(r, "COL"), (Boxes{{0, 0, 20, 20}, {200, 0, 220, 20}}));
    EXPECT_EQ(boxes_of(r, "CPT"), (Boxes{{40, 0, 60, 20}}));
    EXPECT_EQ(boxes_of(r, "CPS"), (Boxes{{80, 0, 120, 20}}));
    EXPECT_EQ(boxes_of(r, "CCM"), (Boxes{{0, 40, 8, 48}}));
    const std::vector<std::string> w = warnings_of(r);
    ASSERT_EQ(w.size(), 2u);
    EXPECT_NE(w[0].find("record type 0x58, unknown to the stream format, passed over"), std::string::npos) << w[0];
    EXPECT_EQ(w[1], "-1: layer 3/0 (1 shape) is not in the layer map; left out");
    // The counts of every pair, the unmapped one and the BOX's too.
    std::vector<std::string> held;
    for (const auto& l : r.layers)
        held.push_back(std::to_string(l.layer) + "/" + std::to_string(l.data_type) + ":" + std::to_string(l.shapes));
    EXPECT_EQ(held, (std::vector<std::string>{"1/0:1", "1/9:1", "2/0:2", "2/5:1", "3/0:1", "7/3:1"}));
}

TEST(GdsRead, TopCellsAndTheLibraryContext) {
    Gds g = Gds::library(1e-8);
    g.begin("LIBCELL").rect(1, 0, 0, 0, 10, 10).end();
    g.begin("$$$CONTEXT_INFO$$$").sref("LIBCELL", {0, 0}).end();
    g.begin("ONE").rect(1, 0, 100, 0, 110, 10).end();
    g.begin("TWO").rect(1, 0, 200, 0, 210, 10).end();
    const std::string bytes = g.end_library().bytes;
    // Both tops placed; the context is not, nor the cell only it places.
    EXPECT_EQ(boxes_of(read(bytes)), (Boxes{{200, 0, 220, 20}, {400, 0, 420, 20}}));
    EXPECT_EQ(boxes_of(read(bytes, MAP, "TWO")), (Boxes{{400, 0, 420, 20}}));
    EXPECT_EQ(boxes_of(read(bytes, MAP, "LIBCELL")), (Boxes{{0, 0, 20, 20}}));
    const auto r = read(bytes, MAP, "THREE");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error.text, "no structure THREE to place; the top cells are: ONE, TWO");
}

TEST(GdsRead, Real8AndUnitRatios) {
    struct Real {
        std::vector<std::uint8_t> bytes;
        double value;
    };
    // Values from the stream format's description of its reals.
    const std::vector<Real> reals = {
        {{0x41, 0x10, 0, 0, 0, 0, 0, 0}, 1.0},
        {{0x40, 0x80, 0, 0, 0, 0, 0, 0}, 0.5},
        {{0xC1, 0x20, 0, 0, 0, 0, 0, 0}, -2.0},
        {{0x42, 0x64, 0, 0, 0, 0, 0, 0}, 100.0},
        {{0x39, 0x44, 0xB8, 0x2F, 0xA0, 0x9B, 0x5A, 0x54}, 1e-9},
        {{0x3E, 0x41, 0x89, 0x37, 0x4B, 0xC6, 0xA7, 0xF0}, 1e-3},
        {{0, 0, 0, 0, 0, 0, 0, 0}, 0.0},
    };
    for (const Real& r : reals) EXPECT_NEAR(gdsread::decode_real8(r.bytes.data()), r.value, 1e-15 * std::fabs(r.value));

    struct RatioCase {
        double value;
        std::int64_t p, q;
    };
    const std::vector<RatioCase> ratios = {
        {4.999999999999969e-10 / 1e-8, 1, 20},  // 0.5 nm as a real file stores it
        {1e-9 / 1e-8, 1, 10},
        {5e-9 / 1e-8, 1, 2},
        {25e-9 / 1e-8, 5, 2},
        {1e-7 / 1e-8, 10, 1},
        {1e-6 / 1e-8, 100, 1},
        {1.5, 3, 2},
        {1.0 / 3, 1, 3},
        {0.001, 1, 1000},
    };
    for (const RatioCase& c : ratios) {
        std::int64_t p = 0, q = 0;
        ASSERT_TRUE(gdsread::exact_ratio(c.value, p, q)) << c.value;
        EXPECT_EQ(p, c.p) << c.value;
        EXPECT_EQ(q, c.q) << c.value;
    }
    std::int64_t p = 0, q = 0;
    EXPECT_FALSE(gdsread::exact_ratio(0, p, q));
    EXPECT_FALSE(gdsread::exact_ratio(-1, p, q));
    EXPECT_FALSE(gdsread::exact_ratio(1e300, p, q));
}

TEST(LayerMap, Entries) {
    const gdsread::LayerMap m = gdsread::LayerMap::parse(
        "# a comment line\n\n  1/0   COL   # trailing comment\n1 CPS\n2\tCPT\r\nM1 CCM\n3/4 CCM\n");
    struct Lookup {
        int layer, data_type;
        const char* name;  // nullptr: left out
    };
    for (const Lookup& l : std::vector<Lookup>{
             {1, 0, "COL"}, {1, 1, "CPS"}, {2, 9, "CPT"}, {3, 4, "CCM"}, {3, 0, nullptr}, {4, 0, nullptr}}) {
        const std::string* got = m.gdsii_name(l.layer, l.data_type);
        if (l.name == nullptr)
            EXPECT_EQ(got, nullptr) << l.layer << "/" << l.data_type;
        else
            EXPECT_TRUE(got != nullptr && *got == l.name) << l.layer << "/" << l.data_type;
    }
    ASSERT_NE(m.cif_name("M1"), nullptr);
    EXPECT_EQ(*m.cif_name("M1"), "CCM");
    EXPECT_EQ(m.cif_name("M2"), nullptr);
}

TEST(LayerMap, LinesThatCannotBeRead) {
    struct Bad {
        const char* text;
        long line;
        const char* message;
    };
    const std::vector<Bad> bad = {
        {"1/0 COL\n1/0\n", 2, "cannot read the entry: expected a source layer and a name, found 1 words"},
        {"1/0 COL extra\n", 1, "cannot read the entry: expected a source layer and a name, found 3 words"},
        {"\n\n1/x COL\n", 3, "cannot read \"1/x\" as LAYER/DATATYPE (two numbers from 0 to 65535)"},
        {"70000/0 COL\n", 1, "cannot read \"70000/0\" as LAYER/DATATYPE (two numbers from 0 to 65535)"},
        {"1 COL\n2 CPS\n1 CPT\n", 3, "1 is mapped a second time (first on line 1)"},
        {"1 a/b\n", 1, "the name \"a/b\" cannot name a layer file"},
    };
    for (const Bad& b : bad) {
        try {
            gdsread::LayerMap::parse(b.text);
            ADD_FAILURE() << "read: " << b.text;
        } catch (const gdsread::MapError& e) {
            EXPECT_EQ(e.line, b.line) << b.text;
            EXPECT_EQ(e.text, b.message);
        }
    }
}

}  // namespace
