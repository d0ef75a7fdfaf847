// --threads through the real binary: every count gives the same bytes as a
// run without it, kept files included; a count it does not take ends the run
// with status 2 before anything is opened.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "harness.h"

namespace {

// Two plates on poly 1 and poly 2 joined by a hinge staple, with a hole.
const e2e::InputFile kLayout{"a.cif",
                             "L CPS;\nB 40 20 20 10;\nL CPT;\nB 40 20 60 10;\nL CHO;\nB 4 4 20 10;\n"
                             "L COL;\nB 10 10 40 10;\nL CCM;\nB 6 6 60 10;\nE\n"};

TEST(Threads, EveryCountGivesTheSameRun) {
    for (const std::vector<std::string>& base :
         {std::vector<std::string>{"-s", "-o", "out.kav", "a.cif"}, {"-r", "--keep-intermediates", "a.cif"}}) {
        const e2e::RunResult plain = e2e::run_cif2kavrit(base, {kLayout});
        ASSERT_EQ(plain.exit_status, 0) << plain.err;
        for (const char* count : {"--threads=1", "--threads=2", "--threads=3", "--threads=4"}) {
            std::vector<std::string> args = base;
            args.insert(args.begin(), count);
            const e2e::RunResult r = e2e::run_cif2kavrit(args, {kLayout});
            SCOPED_TRACE(count);
            EXPECT_EQ(r.exit_status, 0);
            EXPECT_EQ(e2e::mask_time_line(r.out), e2e::mask_time_line(plain.out));
            EXPECT_EQ(r.err, plain.err);
            ASSERT_EQ(r.file_names(), plain.file_names());
            for (const auto& [name, content] : plain.files)
                EXPECT_EQ(e2e::mask_time_line(r.files.at(name)), e2e::mask_time_line(content)) << name;
        }
    }
}

TEST(Threads, ACountNotTakenEndsTheRunWithStatusTwo) {
    const std::map<std::vector<std::string>, std::string> cases = {
        {{"--threads=0", "-o", "out.kav", "a.cif"}, "takes a whole number from 1 to 256, not \"0\""},
        {{"--threads", "many", "-o", "out.kav", "a.cif"}, "takes a whole number from 1 to 256, not \"many\""},
        {{"-o", "out.kav", "a.cif", "--threads"}, "needs a whole number from 1 to 256"},
    };
    for (const auto& [args, what] : cases) {
        const e2e::RunResult r = e2e::run_cif2kavrit(args, {kLayout});
        EXPECT_EQ(r.exit_status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "cif2kavrit: --threads " + what + "\n");
        EXPECT_EQ(r.file_names(), std::set<std::string>{"a.cif"});  // no output, no intermediate file
    }
}

}  // namespace
