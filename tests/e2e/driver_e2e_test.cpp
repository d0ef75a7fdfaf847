// The command line and the run as a user meets them through the binary.
#include <gtest/gtest.h>

#include "harness.h"

namespace {

using e2e::InputFile;
using e2e::run_cif2kavrit;
using Names = std::set<std::string>;

const InputFile kTraced{"a.cif", "L CPS;\nB 400 200 1000 500;\nE\n"};

bool starts_with(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}
bool ends_with(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A conversion's output: the rest of the end line, the header for cif_name,
// whatever the structure stages write, the footer.
void expect_framed(const std::string& output, const std::string& end_line, const std::string& cif_name) {
    int time_lines = 0;
    std::string masked = e2e::mask_time_line(output, &time_lines);
    EXPECT_EQ(time_lines, 1);
    EXPECT_TRUE(starts_with(masked, end_line + e2e::expected_header(cif_name))) << masked;
    EXPECT_TRUE(ends_with(masked, e2e::FOOTER)) << masked;
}

TEST(Usage, NoArgumentsOrOneThatIsNotMinusV) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"-h"}, {"a.cif"}, {"-s"}, {"-vv"}}) {
        auto r = run_cif2kavrit(args, {kTraced});
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.out, e2e::expected_usage());
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.file_names(), Names{"a.cif"});  // nothing converted
    }
}

TEST(Usage, NamesTheProgramAsCalled) {
    e2e::RunOptions options;
    options.program_name = "./tools/c2k";
    auto r = run_cif2kavrit({}, {}, options);
    EXPECT_EQ(r.out, e2e::expected_usage("./tools/c2k"));
}

TEST(Version, MinusVAlone) {
    auto r = run_cif2kavrit({"-v"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, "cif2kavrit version 0.11\n");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(r.files.empty());
}

// Where the conversion goes and which name its header gives: the end line,
// the header, the footer, nothing on standard error and no file left but the
// inputs and the -o file.
TEST(Conversion, OutputPlaceAndCifName) {
    const std::string long_cif = std::string(200, 'c') + ".cif", long_out = std::string(200, 'o') + ".kav";
    struct Case {
        std::vector<std::string> args;
        std::vector<InputFile> inputs;
        std::string end_line, cif_name;
        std::string out_file;  // empty: the output goes to standard output
    };
    const Case cases[] = {
        {{"-s", "a.cif"}, {kTraced}, "\n", "a.cif", ""},
        // -h and -v before the file are ignored, as are unknown options
        {{"-v", "a.cif"}, {kTraced}, "\n", "a.cif", ""},
        {{"-h", "a.cif"}, {kTraced}, "\n", "a.cif", ""},
        {{"-x", "a.cif"}, {kTraced}, "\n", "a.cif", ""},
        {{"-", "a.cif"}, {kTraced}, "\n", "a.cif", ""},
        {{"-o", "out.txt", "a.cif"}, {kTraced}, "\n", "a.cif", "out.txt"},
        // an existing output file is truncated: its end would show after the footer
        {{"-o", "out.kav", "a.cif"}, {kTraced, {"out.kav", std::string(10000, 'x')}}, "\n", "a.cif", "out.kav"},
        {{"-o", "", "a.cif"}, {kTraced}, "\n", "a.cif", ""},
        // with -o last, the last argument "-o" is also the CIF name
        {{"a.cif", "-o"}, {{"-o", kTraced.content}}, "\n", "-o", ""},
        {{"a.cif", "b.cif"}, {{"a.cif", "E A\n"}, {"b.cif", "E B\n"}}, " B\n", "b.cif", ""},
        {{"-o", long_out, long_cif}, {{long_cif, kTraced.content}}, "\n", long_cif, long_out},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back().substr(0, 20));
        const auto r = run_cif2kavrit(c.args, c.inputs);
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(r.outside_files.empty());
        Names left;
        for (const InputFile& f : c.inputs) left.insert(f.name);
        if (c.out_file.empty()) {
            expect_framed(r.out, c.end_line, c.cif_name);
        } else {
            EXPECT_EQ(r.out, "");
            ASSERT_TRUE(r.output_file.has_value());
            expect_framed(*r.output_file, c.end_line, c.cif_name);
            left.insert(c.out_file);
        }
        // layer files and intermediates all removed
        EXPECT_EQ(r.file_names(), left);
    }
}

TEST(Conversion, FixedIntermediateFilesAreRemovedAtTheEnd) {
    std::vector<InputFile> inputs = {kTraced};
    for (const char* name : {"tmpdata1.file", "tmpdata2.file", "premason.file", "postmason.file", "minimizedm.file",
                             "tmpdata3.file", "notes.gpc.txt"})
        inputs.push_back({name, "stale\n"});
    auto r = run_cif2kavrit({"-o", "out.kav", "a.cif"}, inputs);
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.file_names(), (Names{"a.cif", "out.kav", "tmpdata3.file", "notes.gpc.txt"}));
}

// A run that cannot open its CIF file or its output names the file, ends with
// status 1 and leaves the directory as it found it.
TEST(Failure, StatusOneNamesTheFileThatCannotBeOpened) {
    struct Case {
        std::vector<std::string> args;
        std::vector<InputFile> inputs;
        std::string err;
    };
    const Case cases[] = {
        {{"-o", "out.kav", "missing.cif"}, {}, "Error opening file missing.cif\n"},
        {{"-s", "-r"}, {}, "Error opening file \n"},  // no CIF name among the arguments
        {{"-s", "-o", "a.cif"}, {kTraced}, "Error opening file \n"},
        {{"a.cif", "-s"}, {kTraced}, "Error opening file -s\n"},  // the CIF name is the last argument
        {{"-o", "no/such/dir.kav", "a.cif"}, {kTraced}, "Error opening file no/such/dir.kav\n"},
    };
    for (const Case& c : cases) {
        auto r = run_cif2kavrit(c.args, c.inputs);
        EXPECT_EQ(r.exit_status, 1) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "") << c.err;
        Names left;
        for (const InputFile& f : c.inputs) left.insert(f.name);
        EXPECT_EQ(r.file_names(), left) << c.err;
    }
}

TEST(Harness, TimeLinePattern) {
    EXPECT_TRUE(e2e::is_time_line("# generated on 07 December 2026, 02:22.\n"));
    EXPECT_TRUE(e2e::is_time_line("# generated on 31 May 1999, 23:59.\n"));
    EXPECT_FALSE(e2e::is_time_line("# generated on 7 December 2026, 02:22.\n"));
    EXPECT_FALSE(e2e::is_time_line("# generated on 07 Dezember 2026, 02:22.\n"));
    EXPECT_FALSE(e2e::is_time_line("# generated on 07 December 2026, 2:22.\n"));
    EXPECT_FALSE(e2e::is_time_line("# generated on 07 December 2026, 02:22\n"));
    EXPECT_EQ(e2e::output_name_of({"-o", "a", "-output", "b", "c.cif"}), "b");
    EXPECT_EQ(e2e::output_name_of({"c.cif", "-o"}), "");
}

}  // namespace
