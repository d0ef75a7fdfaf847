// GDSII layouts written by gdspy (an independent writer) against the same
// layouts as flat CIF, placed with exact fractions by make_layouts.py: both
// through the real binary give the same kavrit file, byte for byte. Both
// inputs are named "layout", so that the header names the same file; the
// reader tells GDSII from CIF by the first bytes.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"

namespace {

const std::string DIR = GDSII_LAYOUTS_DIR;

const std::vector<std::string> CASES = {"strans_1nm",  "strans_1um",    "arrays_5nm",  "arrays_25nm",
                                        "paths_half_nm", "paths_100nm", "absolute_1nm"};

TEST(GdsiiEqualsCif, EveryCaseAndOptionSet) {
    if (e2e::read_file(DIR + "/strans_1nm.gds").empty()) GTEST_SKIP() << "no layouts: python3-gdspy missing";
    for (const std::string& name : CASES) {
        SCOPED_TRACE(name);
        const std::string gds = e2e::read_file(DIR + "/" + name + ".gds");
        const std::string cif = e2e::read_file(DIR + "/" + name + ".cif");
        const std::string map = e2e::read_file(DIR + "/" + name + ".map");
        ASSERT_FALSE(gds.empty());
        ASSERT_FALSE(cif.empty());
        for (const std::vector<std::string>& options :
             std::vector<std::vector<std::string>>{{"-s"}, {"-s", "-r"}, {"-nolinkage"}}) {
            std::vector<std::string> g = options;
            g.insert(g.end(), {"--layers", "process.map", "-o", "out.kav", "layout"});
            std::vector<std::string> c = options;
            c.insert(c.end(), {"--flatten", "-o", "out.kav", "layout"});
            const e2e::RunResult from_gds = e2e::run_cif2kavrit(g, {{"layout", gds}, {"process.map", map}});
            const e2e::RunResult from_cif = e2e::run_cif2kavrit(c, {{"layout", cif}});
            ASSERT_EQ(from_gds.exit_status, 0) << from_gds.err;
            ASSERT_EQ(from_cif.exit_status, 0) << from_cif.err;
            ASSERT_TRUE(from_gds.output_file && from_cif.output_file);
            EXPECT_EQ(e2e::mask_time_line(*from_gds.output_file), e2e::mask_time_line(*from_cif.output_file));
            EXPECT_NE(from_gds.output_file->find("\n{"), std::string::npos) << "no structure at all";
            // Shapes that make no boxes, counted per layer as make_layouts.py counts them.
            std::istringstream counts(e2e::read_file(DIR + "/" + name + ".counts"));
            std::string layer;
            long n = 0;
            while (counts >> layer >> n)
                EXPECT_NE(from_gds.err.find("layout: layer " + layer + ": " + std::to_string(n) +
                                            (n == 1 ? " shape that is" : " shapes that are") + " not rectilinear left out"),
                          std::string::npos)
                    << from_gds.err;
        }
    }
}

}  // namespace
