// Hostile input and odd outputs: names that are not UTF-8, coordinates the
// formats cannot hold, special files at the output name, repeated numbers
// far apart.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>

#include "export/checks.h"
#include "export/cli.h"
#include "export/kavrit.h"
#include "export/output_file.h"
#include "tests/export/kavrit_writer.h"
#include "tests/export/test_support.h"

using namespace kavrit;
namespace fs = std::filesystem;
using kavrit_test::export_run;
using kavrit_test::ExportRun;
using kavrit_test::free_block;
using kavrit_test::kavrit_text;
using kavrit_test::read_file;
using kavrit_test::ScratchDir;

namespace {

const std::string DATA = KAVRIT_TEST_DATA;

}  // namespace

TEST(ValidUtf8, KeepsWellFormedSequencesAndReplacesEveryOtherByte) {
    struct Case {
        std::string in, out;
    };
    const std::vector<Case> cases = {
        {"plain ascii\t~", "plain ascii\t~"},
        {"\xc2\xb5m caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "\xc2\xb5m caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
        {"m\xb5.cif", "m?.cif"},                  // Latin-1 micro sign
        {"\xc0\xaf \xc1\xbf", "?? ??"},           // overlong two-byte forms
        {"\xe0\x80\xaf", "???"},                  // overlong three-byte form
        {"\xed\xa0\x80", "???"},                  // a surrogate
        {"\xf4\x90\x80\x80", "????"},             // beyond U+10FFFF
        {"\xf5\x80\x80\x80 \xff", "???? ?"},      // no lead byte at all
        {"cut \xe2\x82", "cut ??"},               // a sequence cut by the end
        {"\xe2\x82" "a", "??a"},                  // ... and by an ASCII byte
        {"\x80\xbf", "??"},                       // continuation bytes alone
    };
    for (const Case& c : cases) EXPECT_EQ(valid_utf8(c.in), c.out) << c.in;
}

// A file name with a Latin-1 byte: the glTF and the page carry the name
// with '?' for it, and the run ends with status 0 rather than an abort.
TEST(ExportFaults, NameThatIsNotUtf8GoesIntoJsonAsValidText) {
    ScratchDir dir("kavrit-export-faults");
    const std::string input = dir / "in.kavrit";
    std::ofstream(input) << kavrit_text({free_block("4.0 2.0 1.0 2.0 1.0 0.5")}, "m\xb5-\xff.cif");
    for (const std::string name : {"m.glb", "m.html"}) {
        const ExportRun r = export_run({input, dir / name});
        ASSERT_EQ(r.status, 0) << name << ": " << r.err;
        const std::string written = read_file(dir / name);
        EXPECT_NE(written.find("m?-?.cif"), std::string::npos) << name;
        EXPECT_EQ(written.find("m\xb5"), std::string::npos) << name;
    }
}

// --z-scale written out as 10^39 puts z beyond single precision (STL, glTF);
// 10^308 makes z of 5 levels infinite in every format, and turned corners
// not numbers.  Each is refused as an option out of range, with no file.
TEST(ExportFaults, CoordinatesBeyondTheFormatEndTheRunWithoutOutput) {
    auto power_of_ten = [](std::size_t zeros) { return std::string("1").append(zeros, '0'); };
    const std::string e39 = power_of_ten(39);
    const std::string e308 = power_of_ten(308);
    struct Case {
        std::vector<std::string> options;
        std::string output;
        int status;  // 0: written
    };
    const std::vector<Case> cases = {
        {{"--z-scale", e39}, "a.stl", 2},
        {{"--z-scale", e39}, "a.glb", 2},
        {{"--z-scale", e39}, "a.html", 2},
        {{"--z-scale", e39}, "a.obj", 0},  // doubles hold 7.75e39
        {{"--z-scale", e39}, "a.svg", 0},
        {{"--z-scale", e308}, "a.obj", 2},
        {{"--z-scale", e308}, "a.svg", 2},
        {{"--z-scale", e308, "--pose", "2=30"}, "a.svg", 2},
        {{"--z-scale", e308, "--raise", "45"}, "a.obj", 2},
        {{"--z-scale", e308, "--raise", "45"}, "a.stl", 2},
        {{"--z-scale", e308}, "a.glb", 2},
        {{"--z-scale", power_of_ten(37)}, "a.stl", 0},  // 7.75e37 is still a float
    };
    for (const Case& c : cases) {
        ScratchDir dir("kavrit-export-faults");
        std::vector<std::string> args = c.options;
        args.push_back(DATA + "/hinged_summary.kavrit");
        args.push_back(dir / c.output);
        const ExportRun r = export_run(args);
        const std::string what = c.output + " 1e" + std::to_string(c.options[1].size() - 1);
        EXPECT_EQ(r.status, c.status) << what << ": " << r.err;
        EXPECT_EQ(fs::exists(dir / c.output), c.status == 0) << what;
        if (c.status == 2) {
            EXPECT_NE(r.err.find("--z-scale, --pose or --raise out of range"), std::string::npos) << r.err;
            EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 0) << what;
        }
    }
}

// Sizes of 5e-316 (below the normal doubles) make the top view's scale
// infinite: the file's own values overflow the picture, status 1.
TEST(ExportFaults, FileWhosePictureOverflowsIsRefusedWithStatus1) {
    ScratchDir dir("kavrit-export-faults");
    const std::string tiny = "0." + std::string(315, '0') + "5";
    const std::string input = dir / "tiny.kavrit";
    std::ofstream(input) << kavrit_text({free_block(tiny + " " + tiny + " 1.0 0.0 0.0 0.0")}, "t.cif");
    const ExportRun r = export_run({"--view", "top", input, dir / "t.svg"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("tiny.kavrit: a coordinate of the .svg output would be"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "t.svg"));
}

TEST(OutputFiles, SymbolicLinkStaysAndItsTargetIsReplaced) {
    ScratchDir dir("kavrit-export-faults");
    fs::create_directory(dir.path() / "sub");
    std::ofstream(dir / "sub/real.svg") << "old";
    fs::create_symlink("sub/real.svg", dir / "near.svg");           // relative to the link's folder
    fs::create_symlink("../near.svg", dir / "sub/chain.svg");       // a chain of two links
    fs::create_symlink("missing.svg", dir / "dangling.svg");        // leads to a file still to make
    write_files({{dir / "sub/chain.svg", "new"}});
    EXPECT_TRUE(fs::is_symlink(dir / "near.svg"));
    EXPECT_TRUE(fs::is_symlink(dir / "sub/chain.svg"));
    EXPECT_EQ(read_file(dir / "sub/real.svg"), "new");
    write_files({{dir / "dangling.svg", "made"}});
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.svg"));
    EXPECT_EQ(read_file(dir / "missing.svg"), "made");

    // A link to a device: the device is written through and stays.
    fs::create_symlink("/dev/null", dir / "null.stl");
    write_files({{dir / "null.stl", "discarded"}});
    EXPECT_TRUE(fs::is_symlink(dir / "null.stl"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 5);  // sub, 3 links, missing.svg
}

TEST(OutputFiles, FifoIsWrittenThroughAndStays) {
    ScratchDir dir("kavrit-export-faults");
    const std::string fifo = dir / "pipe.obj";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // The reader opens the FIFO at the same time; it sees every byte.
    auto reader = std::async(std::launch::async, [&] { return read_file(fifo); });
    write_files({{fifo, std::string(100000, 'v')}});
    EXPECT_EQ(reader.get(), std::string(100000, 'v'));
    struct stat st;
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// The repeated number is found however far apart the blocks lie, and the
// message names the first block's start line: block k starts at line 5 + 9 (k - 1).
TEST(KavritReaderFaults, RepeatedNumberFarApartNamesTheFirstBlock) {
    std::vector<std::string> blocks(3000, free_block("1.0 1.0 1.0 0.0 0.0 0.5"));
    std::string text = kavrit_text(blocks, "far.cif");
    const std::string last = "# structure 3000 start";
    text.replace(text.find(last), last.size(), "# structure 7 start");
    text.replace(text.find("# structure 3000 end"), 20, "# structure 7 end");
    try {
        kavrit_test::parse(text);
        FAIL() << "a repeated structure number was read";
    } catch (const ParseError& e) {
        EXPECT_EQ(e.line(), 5 + 9 * 2999);
        EXPECT_NE(std::string(e.what()).find("structure 7 was already given at line 59"), std::string::npos)
            << e.what();
    }
}
