// The shipped example layout converts cleanly from end to end.
#include <gtest/gtest.h>

#include "harness.h"

namespace {

TEST(Example, HingedMirrorConvertsCleanly) {
    const std::string cif = e2e::read_file(e2e::source_dir() + "/examples/hinged_mirror.cif");
    ASSERT_FALSE(cif.empty());
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"-o", "out.kav"}, {"-s", "-o", "out.kav"}, {"-s", "-r", "-nolinkage", "-o", "out.kav"}}) {
        std::vector<std::string> args = options;
        args.push_back("hinged_mirror.cif");
        auto r = e2e::run_cif2kavrit(args, {{"hinged_mirror.cif", cif}});
        EXPECT_TRUE(r.ended_cleanly()) << r.err;
        EXPECT_EQ(r.exit_status, 0);
        // The example places its latch anchor as a symbol.
        EXPECT_EQ(r.err, "cif2kavrit: note: hinged_mirror.cif places symbols; read with --flatten to place every instance\n");
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.file_names(), (std::set<std::string>{"hinged_mirror.cif", "out.kav"}));
        ASSERT_TRUE(r.output_file.has_value());
        int time_lines = 0;
        std::string masked = e2e::mask_time_line(*r.output_file, &time_lines);
        EXPECT_EQ(time_lines, 1);
        // The end command stands alone on the last line: an empty rest of line.
        EXPECT_EQ(masked.substr(0, 1 + e2e::expected_header("hinged_mirror.cif").size()),
                  std::string("\n").append(e2e::expected_header("hinged_mirror.cif")));
        EXPECT_EQ(masked.substr(masked.size() - e2e::FOOTER.size()), e2e::FOOTER);
    }
}

}  // namespace
