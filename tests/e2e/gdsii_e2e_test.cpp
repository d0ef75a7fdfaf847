// GDSII files and layer maps through the real binary: the first try without
// a map, errors with the file name and the record's offset, the options, CIF
// read with a map, and the shipped GDSII example against its CIF original.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "../gdsread/gds_bytes.h"
#include "harness.h"

namespace {

using e2e::run_cif2kavrit;
using gdstest::Gds;

// Two cells: A holds a COL bar and a box on 5/2, TOP places A twice.
std::string two_cells() {
    Gds g = Gds::library(1e-9);
    g.begin("A").rect(1, 0, 0, 0, 40000, 4000).rect(5, 2, 0, 0, 2000, 2000).end();
    g.begin("TOP").sref("A", {0, 0}).sref("A", {0, 10000}).rect(1, 0, 0, 0, 4000, 20000).end();
    return g.end_library().bytes;
}

TEST(Gdsii, WithoutAMapTheLayersAreListed) {
    const e2e::RunResult r = run_cif2kavrit({"-s", "-o", "out.kav", "chip.gds"}, {{"chip.gds", two_cells()}});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "cif2kavrit: chip.gds: a GDSII file needs a layer map: --layers FILE\n"
              "cif2kavrit: chip.gds: it holds 2 layer/data type pairs:\n"
              "  1/0: 2 shapes\n"
              "  5/2: 1 shape\n"
              "A map to start from (one entry a line, LAYER/DATATYPE NAME or LAYER NAME for every data type;\n"
              "'#' starts a comment; replace each name by a process layer such as COL, COF, COT, CPS, CPT,\n"
              "CHO, CHT, CMB, CCM, CHM, and delete the lines of layers to leave out):\n"
              "1/0 L1_0\n"
              "5/2 L5_2\n");
    EXPECT_EQ(r.file_names(), (std::set<std::string>{"chip.gds"}));
}

TEST(Gdsii, TheMapMakesItConvertAndUnmappedLayersAreNamed) {
    // The same layout as CIF: A's bar at y 0 and 1000 (CIF units), TOP's post.
    const std::string cif =
        "DS 1 1 10;\nL COL;\nB 40000 4000 20000 2000;\nDF;\nC 1;\nC 1 T 0 1000;\n"
        "DS 2 1 10; L COL; B 4000 20000 2000 10000; DF;\nC 2;\nE\n";
    const e2e::RunResult g = run_cif2kavrit({"-s", "--layers", "m.map", "-o", "out.kav", "layout"},
                                            {{"layout", two_cells()}, {"m.map", "1 COL\n"}});
    const e2e::RunResult c = run_cif2kavrit({"-s", "--flatten", "-o", "out.kav", "layout"}, {{"layout", cif}});
    ASSERT_EQ(g.exit_status, 0) << g.err;
    ASSERT_EQ(c.exit_status, 0) << c.err;
    EXPECT_EQ(g.err, "cif2kavrit: layout: layer 5/2 (1 shape) is not in the layer map; left out\n");
    ASSERT_TRUE(g.output_file && c.output_file);
    EXPECT_EQ(e2e::mask_time_line(*g.output_file), e2e::mask_time_line(*c.output_file));
    EXPECT_NE(g.output_file->find("total boxes: "), std::string::npos);
}

TEST(Gdsii, ErrorsNameTheFileAndOffsetAndLeaveNoOutput) {
    Gds g = Gds::library(1e-9);
    g.begin("TOP");
    const std::size_t at = g.bytes.size();
    g.sref("MISSING", {0, 0}).end().end_library();
    const e2e::RunResult r = run_cif2kavrit({"--layers", "m.map", "-o", "out.kav", "bad.gds"},
                                            {{"bad.gds", g.bytes}, {"m.map", "1 COL\n"}});
    EXPECT_EQ(r.exit_status, 1);
    std::string expected = "cif2kavrit: bad.gds: offset ";
    expected += std::to_string(at);
    expected += ": reference to undefined structure MISSING\n";
    EXPECT_EQ(r.err, expected);
    EXPECT_EQ(r.file_names(), (std::set<std::string>{"bad.gds", "m.map"}));

    // Cut inside the last record.
    const std::string cut = two_cells().substr(0, two_cells().size() - 2);
    const e2e::RunResult t = run_cif2kavrit({"--layers", "m.map", "-o", "out.kav", "cut.gds"},
                                            {{"cut.gds", cut}, {"m.map", "1 COL\n"}});
    EXPECT_EQ(t.exit_status, 1);
    expected = "cif2kavrit: cut.gds: offset ";
    expected += std::to_string(cut.size() - 2);
    expected += ": the file ends inside a record header (truncated file)\n";
    EXPECT_EQ(t.err, expected);
    EXPECT_FALSE(t.has_file("out.kav"));
}

TEST(Gdsii, TopCell) {
    const std::vector<e2e::InputFile> in = {{"chip.gds", two_cells()}, {"m.map", "1 COL\n5 CPS\n"}};
    const e2e::RunResult a = run_cif2kavrit({"--layers", "m.map", "--top", "A", "-o", "out.kav", "chip.gds"}, in);
    EXPECT_EQ(a.exit_status, 0) << a.err;
    EXPECT_TRUE(a.has_file("out.kav"));
    const e2e::RunResult b = run_cif2kavrit({"--top", "B", "--layers", "m.map", "-o", "out.kav", "chip.gds"}, in);
    EXPECT_EQ(b.exit_status, 1);
    EXPECT_EQ(b.err, "cif2kavrit: chip.gds: no structure B to place; the top cells are: TOP\n");
    EXPECT_FALSE(b.has_file("out.kav"));
}

TEST(Gdsii, MapFilesThatCannotBeRead) {
    const e2e::RunResult r = run_cif2kavrit({"--layers", "m.map", "chip.gds"},
                                            {{"chip.gds", two_cells()}, {"m.map", "1 COL\n\n5/x CPS\n"}});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, "cif2kavrit: m.map:3: cannot read \"5/x\" as LAYER/DATATYPE (two numbers from 0 to 65535)\n");
    const e2e::RunResult missing = run_cif2kavrit({"--layers", "none.map", "chip.gds"}, {{"chip.gds", two_cells()}});
    EXPECT_EQ(missing.exit_status, 1);
    EXPECT_EQ(missing.err, "Error opening file none.map\n");
}

TEST(Gdsii, CifLayersRenamedByTheMap) {
    // POLY and ANCHOR renamed; ANCHOR2 joins ANCHOR's layer; NOTE is left out.
    const std::string named =
        "L ANCHOR; B 2000 400 1000 200;\nL ANCHOR2; B 400 2000 200 1000;\nL POLY; B 3000 300 1500 1000;\n"
        "L NOTE; B 10 10 5 5; B 10 10 50 5;\nE\n";
    const e2e::RunResult m = run_cif2kavrit({"-s", "--layers", "m.map", "-o", "out.kav", "in.cif"},
                                            {{"in.cif", named}, {"m.map", "ANCHOR COL\nANCHOR2 COL\nPOLY CPS\n"}});
    ASSERT_EQ(m.exit_status, 0) << m.err;
    EXPECT_EQ(m.err, "cif2kavrit: in.cif: layer NOTE (2 shapes) is not in the layer map; left out\n");
    ASSERT_TRUE(m.output_file);
    // The byte scanner takes a later L COL as a replacement; the placing
    // reader unites them, as the map does.
    const e2e::RunResult f = run_cif2kavrit({"-s", "--flatten", "-o", "out.kav", "in.cif"},
                                            {{"in.cif", "L COL; B 2000 400 1000 200; B 400 2000 200 1000;\n"
                                                        "L CPS; B 3000 300 1500 1000;\nE\n"}});
    ASSERT_TRUE(f.output_file);
    EXPECT_EQ(e2e::mask_time_line(*m.output_file), e2e::mask_time_line(*f.output_file));
}

TEST(Gdsii, TheShippedExampleEqualsItsCifOriginal) {
    const std::string dir = e2e::source_dir() + "/examples/";
    const std::string gds = e2e::read_file(dir + "hinged_mirror.gds");
    const std::string cif = e2e::read_file(dir + "hinged_mirror.cif");
    ASSERT_FALSE(gds.empty());
    const e2e::RunResult g = run_cif2kavrit({"-s", "--layers", "hinged_mirror.map", "-o", "out.kav", "layout"},
                                            {{"layout", gds}, {"hinged_mirror.map", e2e::read_file(dir + "hinged_mirror.map")}});
    const e2e::RunResult c = run_cif2kavrit({"-s", "-o", "out.kav", "layout"}, {{"layout", cif}});
    ASSERT_EQ(g.exit_status, 0) << g.err;
    EXPECT_EQ(g.err, "");
    ASSERT_TRUE(g.output_file && c.output_file);
    EXPECT_EQ(e2e::mask_time_line(*g.output_file), e2e::mask_time_line(*c.output_file));
}

}  // namespace
