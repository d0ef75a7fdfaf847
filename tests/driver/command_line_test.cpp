// The option walk and the header's time line. The usage and version texts,
// their exit statuses, the header and footer, the fatal open and the removal
// of the intermediate files are checked through the real binary (tests/e2e).
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "driver/command_line.h"
#include "driver/header_footer.h"
#include "driver/threads.h"
#include "common/run_error.h"
#include "common/options.h"

namespace {

using namespace driver;
using Action = CommandLineAction;

// The argument vector of `cif2kavrit ARGS...` (null-terminated, as main gets
// it) and a label naming the line, each argument cut at `shown` characters.
struct Line {
    std::vector<const char*> argv{"cif2kavrit"};
    std::string label = "cif2kavrit";
    explicit Line(const std::vector<std::string>& args, std::size_t shown = std::string::npos) {
        for (const std::string& a : args) {
            argv.push_back(a.c_str());
            label.append(" ").append(a, 0, shown);
        }
        argv.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(argv.size()) - 1; }
};

struct Case {
    std::vector<std::string> args;  // argument 0 excluded
    Action action;
    std::string cif, out;
    int summary = 0, group = 0, linkage = 1;
    bool keep = false;
};

TEST(CommandLine, OptionWalk) {
    const std::string long_out(300, 'o'), long_cif(5000, 'c');
    const std::vector<Case> cases = {
        // One argument or none never converts; only "-v" exactly is the version.
        {{}, Action::Usage, "", ""},
        {{"-v"}, Action::Version, "", ""},
        {{"-h"}, Action::Usage, "", ""},
        {{"a.cif"}, Action::Usage, "", ""},
        {{"-version"}, Action::Usage, "", ""},
        {{"-s"}, Action::Usage, "", ""},
        // Among others -h and -v are ignored; options are known by their second character.
        {{"-v", "a.cif"}, Action::Convert, "a.cif", ""},
        {{"-h", "b.cif"}, Action::Convert, "b.cif", ""},
        {{"-summary", "-rotate", "-x", "-", "a.cif"}, Action::Convert, "a.cif", "", 1, 1, 1},
        // Only exactly -nolinkage switches linkage off; the last -n... wins.
        {{"-nolinkage", "a.cif"}, Action::Convert, "a.cif", "", 0, 0, 0},
        {{"-nolinkage", "-n", "a.cif"}, Action::Convert, "a.cif", "", 0, 0, 1},
        {{"-nolinkagex", "a.cif"}, Action::Convert, "a.cif", "", 0, 0, 1},
        {{"-nolink", "-nolinkage", "a.cif"}, Action::Convert, "a.cif", "", 0, 0, 0},
        // The output name is the next argument whatever it is, and is skipped.
        {{"-o", "out.txt", "a.cif"}, Action::Convert, "a.cif", "out.txt"},
        {{"-o", "-s", "a.cif"}, Action::Convert, "a.cif", "-s"},
        {{"-output", "x.kav", "-o", "y.kav", "a.cif"}, Action::Convert, "a.cif", "y.kav"},
        {{"-output", "x.kav", "-summary", "a.cif"}, Action::Convert, "a.cif", "x.kav", 1},
        {{"a.cif", "-o"}, Action::Convert, "-o", ""},
        {{"-o", long_out, long_cif}, Action::Convert, long_cif, long_out},
        // The CIF name is always the last argument, once any argument is not an option.
        {{"a.cif", "b.cif"}, Action::Convert, "b.cif", ""},
        {{"a.cif", "-s"}, Action::Convert, "-s", "", 1},
        {{"-s", "-r"}, Action::Convert, "", "", 1, 1},
        {{"-s", "-o", "out.kav"}, Action::Convert, "", "out.kav", 1},
        // Long options: only --keep-intermediates exactly is known; others are ignored.
        {{"--keep-intermediates", "a.cif"}, Action::Convert, "a.cif", "", 0, 0, 1, true},
        {{"--keep", "--summary", "a.cif"}, Action::Convert, "a.cif", "", 0, 0, 1, false},
        {{"--keep-intermediates"}, Action::Usage, "", ""},
    };
    for (const Case& c : cases) {
        const Line line(c.args, 20);
        SCOPED_TRACE(line.label);
        common::Options options;
        EXPECT_EQ(read_command_line(line.argc(), line.argv.data(), options), c.action);
        EXPECT_EQ(options.program_name, "cif2kavrit");
        EXPECT_EQ(options.cif_name, c.cif);
        EXPECT_EQ(options.out_name, c.out);
        EXPECT_EQ(options.summary, c.summary == 1);
        EXPECT_EQ(options.group, c.group == 1);
        EXPECT_EQ(options.linkage, c.linkage == 1);
        EXPECT_EQ(options.keep_intermediates, c.keep);
    }
}

TEST(TimeLine, TwoDigitFieldsTwentyFourHoursAndAnEnglishMonth) {
    auto line = [](int year, int month, int day, int hour, int minute) {
        std::tm t{};
        t.tm_year = year - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = hour;
        t.tm_min = minute;
        return format_time_line(t);
    };
    EXPECT_EQ(line(2024, 3, 5, 9, 7), "# generated on 05 March 2024, 09:07.\n");
    EXPECT_EQ(line(1999, 12, 31, 23, 59), "# generated on 31 December 1999, 23:59.\n");
}

}  // namespace

namespace {

// --layers and --top take the next argument, which is then never the input.
TEST(CommandLine, LayerMapAndTopTakeTheNextArgument) {
    struct MapCase {
        std::vector<std::string> args;
        CommandLineAction action;
        std::string cif, layers, top, out;
    };
    const std::vector<MapCase> cases = {
        {{"--layers", "m.map", "a.gds"}, CommandLineAction::Convert, "a.gds", "m.map", "", ""},
        {{"-s", "--top", "CHIP", "--layers", "m.map", "a.gds"}, CommandLineAction::Convert, "a.gds", "m.map", "CHIP", ""},
        {{"--layers", "-s", "a.gds"}, CommandLineAction::Convert, "a.gds", "-s", "", ""},
        {{"-o", "--layers", "a.gds"}, CommandLineAction::Convert, "a.gds", "", "", "--layers"},
        {{"--layers", "x.map", "--layers", "y.map", "a.gds"}, CommandLineAction::Convert, "a.gds", "y.map", "", ""},
        // Its argument last, or missing: no input is named.
        {{"a.gds", "--layers", "m.map"}, CommandLineAction::Usage, "a.gds", "m.map", "", ""},
        {{"a.gds", "--layers"}, CommandLineAction::Usage, "", "", "", ""},
        {{"-s", "a.gds", "--top", "TOP"}, CommandLineAction::Usage, "", "", "", ""},
        {{"-s", "--top"}, CommandLineAction::Usage, "", "", "", ""},
        {{"a.gds", "--top"}, CommandLineAction::Usage, "a.gds", "", "", ""},
    };
    for (const MapCase& c : cases) {
        const Line line(c.args);
        SCOPED_TRACE(line.label);
        common::Options options;
        EXPECT_EQ(read_command_line(line.argc(), line.argv.data(), options), c.action);
        if (c.action != CommandLineAction::Convert) continue;
        EXPECT_EQ(options.cif_name, c.cif);
        EXPECT_EQ(options.layers_name, c.layers);
        EXPECT_EQ(options.top_name, c.top);
        EXPECT_EQ(options.out_name, c.out);
    }
}

}  // namespace

namespace {

// --threads N and --threads=N: a whole number from 1 to 256; anything else
// ends the run with status 2 and says what is wrong.
TEST(CommandLine, ThreadCount) {
    struct ThreadCase {
        std::vector<std::string> args;
        int threads;            // -1: refused
        std::string cif;
        std::string message;    // of a refusal
    };
    const std::string range = "a whole number from 1 to 256";
    const std::vector<ThreadCase> cases = {
        {{"-s", "a.cif"}, 0, "a.cif", ""},
        {{"--threads", "3", "a.cif"}, 3, "a.cif", ""},
        {{"--threads=1", "-s", "a.cif"}, 1, "a.cif", ""},
        {{"--threads=256", "a.cif"}, 256, "a.cif", ""},
        {{"--threads=2", "--threads", "4", "a.cif"}, 4, "a.cif", ""},
        {{"--threads=0", "a.cif"}, -1, "", "takes " + range + ", not \"0\""},
        {{"--threads=257", "a.cif"}, -1, "", "takes " + range + ", not \"257\""},
        {{"--threads=+2", "a.cif"}, -1, "", "takes " + range + ", not \"+2\""},
        {{"--threads=", "a.cif"}, -1, "", "takes " + range + ", not \"\""},
        {{"--threads", "two", "a.cif"}, -1, "", "takes " + range + ", not \"two\""},
        {{"--threads", "0002", "a.cif"}, -1, "", "takes " + range + ", not \"0002\""},
        {{"a.cif", "--threads"}, -1, "", "needs " + range},
        // the number is never the input, as with --layers
        {{"-s", "--threads", "2"}, 2, "", ""},
        // an unknown long option that merely begins alike is ignored
        {{"--threadsx", "a.cif"}, 0, "a.cif", ""},
    };
    for (const ThreadCase& c : cases) {
        const Line line(c.args);
        SCOPED_TRACE(line.label);
        common::Options options;
        try {
            const CommandLineAction action = read_command_line(line.argc(), line.argv.data(), options);
            EXPECT_NE(c.threads, -1) << "not refused";
            EXPECT_EQ(options.threads, c.threads);
            EXPECT_EQ(action, c.cif.empty() ? CommandLineAction::Usage : CommandLineAction::Convert);
            EXPECT_EQ(options.cif_name, c.cif);
        } catch (const common::RunError& e) {
            EXPECT_EQ(c.threads, -1) << "refused";
            EXPECT_EQ(e.message(), "cif2kavrit: --threads " + c.message + "\n");
            EXPECT_EQ(e.status(), 2);
        }
    }
}

TEST(Threads, RequestedOrWhatTheMachineHasUpToFour) {
    EXPECT_EQ(run_threads(3), 3);
    EXPECT_EQ(run_threads(200), 200);
    const int chosen = run_threads(0);
    EXPECT_GE(chosen, 1);
    EXPECT_LE(chosen, 4);
}

}  // namespace
