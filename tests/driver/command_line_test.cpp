// The option walk, the usage and version texts, and the exits they lead to.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/command_line.h"
#include "driver/run_settings.h"

namespace {

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        run_settings = RunSettings{};
        set_defaults();
    }

    // Reads a command line given without argument 0 ("cif2kavrit" stands in).
    CommandLineAction read(std::vector<std::string> args) {
        args.insert(args.begin(), "cif2kavrit");
        std::vector<const char*> argv;
        for (const std::string& a : args) argv.push_back(a.c_str());
        argv.push_back(nullptr);
        return read_command_line(static_cast<int>(args.size()), argv.data());
    }
};

std::string captured(void (*writer)(std::FILE*)) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    writer(out);
    std::fclose(out);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

TEST_F(CommandLine, DefaultsAreSetWhateverCameBefore) {
    run_settings.summary_flag = 1;
    run_settings.group_flag = 1;
    run_settings.linkage_flag = 0;
    run_settings.to_file = 1;
    set_defaults();
    EXPECT_EQ(run_settings.summary_flag, 0);
    EXPECT_EQ(run_settings.group_flag, 0);
    EXPECT_EQ(run_settings.linkage_flag, 1);
    EXPECT_EQ(run_settings.to_file, 0);
}

TEST_F(CommandLine, NoneOrOneArgumentNeverConverts) {
    EXPECT_EQ(read({}), CommandLineAction::Usage);
    EXPECT_EQ(run_settings.program_name, "cif2kavrit");
    EXPECT_EQ(read({"-v"}), CommandLineAction::Version);
    EXPECT_EQ(read({"-h"}), CommandLineAction::Usage);
    EXPECT_EQ(read({"a.cif"}), CommandLineAction::Usage);
    EXPECT_EQ(read({"-version"}), CommandLineAction::Usage);  // only "-v" exactly
    EXPECT_EQ(read({"-s"}), CommandLineAction::Usage);
    EXPECT_EQ(run_settings.cif_name, "");
}

TEST_F(CommandLine, HelpAndVersionAmongOthersAreIgnored) {
    EXPECT_EQ(read({"-v", "a.cif"}), CommandLineAction::Convert);
    EXPECT_EQ(run_settings.cif_name, "a.cif");
    EXPECT_EQ(read({"-h", "b.cif"}), CommandLineAction::Convert);
    EXPECT_EQ(run_settings.cif_name, "b.cif");
}

TEST_F(CommandLine, OptionsAreKnownByTheirSecondCharacter) {
    EXPECT_EQ(read({"-summary", "-rotate", "-x", "-", "a.cif"}), CommandLineAction::Convert);
    EXPECT_EQ(run_settings.summary_flag, 1);
    EXPECT_EQ(run_settings.group_flag, 1);
    EXPECT_EQ(run_settings.linkage_flag, 1);
    EXPECT_EQ(run_settings.out_name, "");
    EXPECT_EQ(run_settings.cif_name, "a.cif");
}

TEST_F(CommandLine, OnlyExactNoLinkageSwitchesLinkageOffAndTheLastWins) {
    read({"-nolinkage", "a.cif"});
    EXPECT_EQ(run_settings.linkage_flag, 0);
    read({"-nolinkage", "-n", "a.cif"});
    EXPECT_EQ(run_settings.linkage_flag, 1);
    read({"-nolinkagex", "a.cif"});
    EXPECT_EQ(run_settings.linkage_flag, 1);
    read({"-nolink", "-nolinkage", "a.cif"});
    EXPECT_EQ(run_settings.linkage_flag, 0);
}

TEST_F(CommandLine, OutputNameIsTheNextArgumentWhateverItIs) {
    read({"-o", "out.txt", "a.cif"});
    EXPECT_EQ(run_settings.out_name, "out.txt");
    EXPECT_EQ(run_settings.cif_name, "a.cif");

    read({"-o", "-s", "a.cif"});
    EXPECT_EQ(run_settings.out_name, "-s");
    EXPECT_EQ(run_settings.summary_flag, 0);  // "-s" was taken as the name

    read({"-output", "x.kav", "-o", "y.kav", "a.cif"});
    EXPECT_EQ(run_settings.out_name, "y.kav");
}

TEST_F(CommandLine, OutputOptionLastGivesNoOutputName) {
    read({"a.cif", "-o"});
    EXPECT_EQ(run_settings.out_name, "");
    EXPECT_EQ(run_settings.cif_name, "-o");  // the last argument, as always
}

TEST_F(CommandLine, CifNameIsAlwaysTheLastArgument) {
    read({"a.cif", "b.cif"});
    EXPECT_EQ(run_settings.cif_name, "b.cif");
    read({"a.cif", "-s"});
    EXPECT_EQ(run_settings.cif_name, "-s");
}

TEST_F(CommandLine, NoCifNameWhenEveryWalkedArgumentIsAnOption) {
    read({"-s", "-r"});
    EXPECT_EQ(run_settings.cif_name, "");
    read({"-s", "-o", "out.kav"});  // the name after -o is skipped by the walk
    EXPECT_EQ(run_settings.cif_name, "");
    EXPECT_EQ(run_settings.out_name, "out.kav");
}

TEST_F(CommandLine, NamesOfAnyLengthAreKeptWhole) {
    const std::string out(300, 'o');
    const std::string cif(5000, 'c');
    read({"-o", out, cif});
    EXPECT_EQ(run_settings.out_name, out);
    EXPECT_EQ(run_settings.cif_name, cif);
}

TEST_F(CommandLine, UsageTextByteForByte) {
    run_settings.program_name = "./bin/cif2kavrit";
    EXPECT_EQ(captured(write_usage),
              "usage: ./bin/cif2kavrit [-v]|[-h]|[[-s][-r][-nolinkage][-o kavritname] cifname]\n"
              "  -o output kavrit file name.\n"
              "  -s generate structure summary in output (default no).\n"
              "  -r attempts to group structures (default no).\n"
              "  -nolinkage whether to form linkage info (default yes).\n"
              "  -v prints the current version number.\n"
              "  -h help (this screen).\n"
              "\n");
}

TEST_F(CommandLine, VersionText) {
    run_settings.program_name = "cif2kavrit";
    EXPECT_EQ(captured(write_version), "cif2kavrit version 0.11\n");
}

TEST_F(CommandLine, UsageAndVersionEndTheProcessWithStatusZero) {
    const char* none[] = {"cif2kavrit", nullptr};
    EXPECT_EXIT(parse_command_line(1, none), testing::ExitedWithCode(0), "");
    const char* version[] = {"cif2kavrit", "-v", nullptr};
    EXPECT_EXIT(parse_command_line(2, version), testing::ExitedWithCode(0), "");
    const char* help[] = {"cif2kavrit", "-h", nullptr};
    EXPECT_EXIT(parse_command_line(2, help), testing::ExitedWithCode(0), "");
}

}  // namespace
