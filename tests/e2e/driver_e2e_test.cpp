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

TEST(Conversion, TracedRunToStandardOutput) {
    auto r = run_cif2kavrit({"-s", "a.cif"}, {kTraced});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, "");
    expect_framed(r.out, "\n", "a.cif");
    EXPECT_EQ(r.file_names(), Names{"a.cif"});  // layer files and intermediates all removed
    EXPECT_TRUE(r.outside_files.empty());
}

TEST(Conversion, HelpOrVersionBeforeTheFileIsIgnored) {
    for (const char* option : {"-v", "-h", "-x", "-"}) {
        auto r = run_cif2kavrit({option, "a.cif"}, {kTraced});
        EXPECT_EQ(r.exit_status, 0) << option;
        expect_framed(r.out, "\n", "a.cif");
    }
}

TEST(Conversion, OutputFileNamedWithMinusO) {
    auto r = run_cif2kavrit({"-o", "out.txt", "a.cif"}, {kTraced});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    ASSERT_TRUE(r.output_file.has_value());
    expect_framed(*r.output_file, "\n", "a.cif");
    EXPECT_EQ(r.file_names(), (Names{"a.cif", "out.txt"}));
}

TEST(Conversion, SameResultWhateverTheOptionSpelling) {
    auto plain = run_cif2kavrit({"-o", "out.kav", "-s", "a.cif"}, {kTraced});
    auto spelled = run_cif2kavrit({"-output", "out.kav", "-summary", "a.cif"}, {kTraced});
    ASSERT_TRUE(plain.output_file && spelled.output_file);
    EXPECT_EQ(e2e::mask_time_line(*plain.output_file), e2e::mask_time_line(*spelled.output_file));
}

TEST(Conversion, OutputFileIsTruncated) {
    auto r = run_cif2kavrit({"-o", "out.kav", "a.cif"}, {kTraced, {"out.kav", std::string(10000, 'x')}});
    ASSERT_TRUE(r.output_file.has_value());
    EXPECT_EQ(r.output_file->find('x'), std::string::npos);
}

TEST(Conversion, EmptyOutputNameOrMinusOLastKeepsStandardOutput) {
    auto empty = run_cif2kavrit({"-o", "", "a.cif"}, {kTraced});
    EXPECT_EQ(empty.exit_status, 0);
    expect_framed(empty.out, "\n", "a.cif");
    EXPECT_EQ(empty.file_names(), Names{"a.cif"});

    // With -o last, the last argument "-o" is also the CIF name.
    auto last = run_cif2kavrit({"a.cif", "-o"}, {{"-o", kTraced.content}});
    EXPECT_EQ(last.exit_status, 0);
    expect_framed(last.out, "\n", "-o");
    EXPECT_EQ(last.file_names(), Names{"-o"});
}

TEST(Conversion, LastArgumentIsTheCifFile) {
    auto r = run_cif2kavrit({"a.cif", "b.cif"}, {{"a.cif", "E A\n"}, {"b.cif", "E B\n"}});
    EXPECT_EQ(r.exit_status, 0);
    expect_framed(r.out, " B\n", "b.cif");
}

TEST(Conversion, LongNamesAreKeptWhole) {
    const std::string cif = std::string(200, 'c') + ".cif";
    const std::string out = std::string(200, 'o') + ".kav";
    auto r = run_cif2kavrit({"-o", out, cif}, {{cif, kTraced.content}});
    EXPECT_EQ(r.exit_status, 0);
    ASSERT_TRUE(r.output_file.has_value());
    expect_framed(*r.output_file, "\n", cif);
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
