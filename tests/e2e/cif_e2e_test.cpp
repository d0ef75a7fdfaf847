// The CIF split seen from outside: what reaches the output before the header,
// what stays in the directory, and hostile input that must end cleanly.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "harness.h"

namespace {

using e2e::InputFile;
using e2e::run_cif2kavrit;
using Names = std::set<std::string>;

// Output up to the header's first line.
std::string before_header(const std::string& output) {
    std::size_t at = output.find("#\n# cif input file: ");
    return at == std::string::npos ? output : output.substr(0, at);
}

e2e::RunResult convert(const std::string& cif) {
    return run_cif2kavrit({"-o", "out.kav", "in.cif"}, {{"in.cif", cif}});
}

// Junk may hold what reads as a symbol call: the note on it is allowed there.
void expect_clean_conversion(const e2e::RunResult& r, bool note_allowed = false) {
    EXPECT_TRUE(r.ended_cleanly()) << "status " << r.exit_status << " signal " << r.signal << "\n" << r.err;
    EXPECT_EQ(r.exit_status, 0);
    const std::string note = "cif2kavrit: note: in.cif places symbols; read with --flatten to place every instance\n";
    if (!(note_allowed && r.err == note)) {
        EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(r.file_names(), (Names{"in.cif", "out.kav"}));
    EXPECT_TRUE(r.outside_files.empty());
    ASSERT_TRUE(r.output_file.has_value());
    std::string masked = e2e::mask_time_line(*r.output_file);
    EXPECT_NE(masked.find(e2e::expected_header("in.cif")), std::string::npos);
    EXPECT_EQ(masked.substr(masked.size() - e2e::FOOTER.size()), e2e::FOOTER);
}

// Each layout converts cleanly; what its end commands write comes before the
// header, and the scan's own message goes to standard output.
TEST(CifSplit, EndLinesLayerFilesAndMessages) {
    std::string every_layer;
    for (const char* layer : {"COL", "COT", "COF", "CPS", "CPT", "CMB", "CCM", "CHM", "CHO", "CHT", "XYZ", "cps"})
        every_layer += std::string("L ") + layer + ";\nB 400 200 1000 500;\nB 200 200 3000 500;\n";
    every_layer += "L CPS ;\nB 400 200 1000 500;\nE\n";
    std::string polygon = "P";
    for (int i = 0; i < 600; ++i) {
        polygon += ' ';
        polygon += std::to_string(i);
        polygon += " 0";
    }
    const struct {
        const char* label;
        std::string cif;
        std::string before_header;
        std::string out;
    } cases[] = {
        {"end lines come before the header",
         "L CPS;\r\nB 400 200 1000 500;\r\nE first\r\n(E is no comment)\nL CPT;\nB 400 200 1000 500;\nE\n",
         " first\r\n\n", ""},
        {"E as the last byte writes nothing", "L CPS;\nB 400 200 1000 500;\nE", "", ""},
        {"every layer file is removed", every_layer, "\n", ""},
        {"layer names never write outside",
         "L ../escape;\nB 400 200 1000 500;\nL ../../escape;\nB 400 200 1000 500;\n"
         "L /tmp/cif2kavrit_escape;\nB 400 200 1000 500;\nL ;\nB 1 1 0 0;\nE\n",
         "\n", ""},
        {"too many points goes to standard output", "L CPS;\nB 400 200 1000 500;\n" + polygon + ";\nE\n", "\n",
         "Too many points in line.\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const e2e::RunResult r = convert(c.cif);
        expect_clean_conversion(r);
        ASSERT_TRUE(r.output_file.has_value());
        EXPECT_EQ(before_header(*r.output_file), c.before_header);
        EXPECT_EQ(r.out, c.out);
    }
    EXPECT_FALSE(std::filesystem::exists("/tmp/cif2kavrit_escape.gpc"));
}

// Hostile input: none of it may crash or hang the run, and the directory
// must be left as it was found.

TEST(HostileInput, BinaryJunk) {
    for (unsigned seed : {1u, 2u, 3u}) {
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> byte(0, 255);
        std::string junk;
        for (int i = 0; i < 300000; ++i) junk.push_back(static_cast<char>(byte(random)));
        expect_clean_conversion(convert(junk), true);
    }
}

TEST(HostileInput, JunkMadeOfCommandCharacters) {
    std::mt19937 random(7);
    const std::string alphabet = "BLPWE9(); -0123456789CPSOTHMxyz\n\r\t:";
    std::uniform_int_distribution<int> pick(0, static_cast<int>(alphabet.size()) - 1);
    std::string junk;
    for (int i = 0; i < 300000; ++i) junk.push_back(alphabet[pick(random)]);
    auto r = convert(junk);
    EXPECT_TRUE(r.ended_cleanly()) << r.err;
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_FALSE(r.has_file("CPS.gpc"));
}

// Lines of ten megabytes, numbers of two hundred digits, bytes of 255 and
// files that end before their commands do.
TEST(HostileInput, LongLinesHugeNumbersAndFilesCutShort) {
    const std::string big(10 * 1024 * 1024, '4'), digits(200, '9'), negative = "-" + digits;
    const std::vector<std::string> inputs = {
        "L CPS;\nB " + big + " 200 1000 500;\nB 400 200 1000 500;\nE\n",
        "(" + big + "\nL CPS;\nB 400 200 1000 500;\nE\n",
        "L CPS;\nB 400 200 1000 500;\nE " + big + "\n",
        "P " + big + "\n",
        "L " + std::string(10 * 1024 * 1024, 'N'),  // no ';' ever
        "L CPS;\nB " + digits + " " + digits + " " + negative + " " + digits + ";\nB 400 200 1000 500;\nP " + digits +
            " " + negative + " 1e" + digits + " 2;\nW " + digits + " 1 1 2 2;\nE\n",
        std::string(100000, '\xff'),
        "",
        "L CPS;\nB 400 200 1000 500;\n",  // no end command: file closed all the same
        "L CPS;\nB 400 200",
    };
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        SCOPED_TRACE(i);
        expect_clean_conversion(convert(inputs[i]));
    }
    auto r = convert("L CPS;\nB 400 200 1000 500;\n\xff\xff" "E after\n");
    expect_clean_conversion(r);
    EXPECT_EQ(before_header(*r.output_file), "");  // the scan ended at the first 255
}

TEST(HostileInput, FiveThousandCharacterLayerName) {
    const std::string name(5000, 'N');
    expect_clean_conversion(convert("L " + name + ";\nL CPS;\nB 400 200 1000 500;\nE\n"));
    // The layer files are kept in memory, so a name no file system takes is
    // just a name: the run converts as for any other unknown layer.
    expect_clean_conversion(convert("L " + name + ";\nB 400 200 1000 500;\nE\n"));
    // Written to the directory, the file system refuses it: a clear message, status 1.
    auto r = run_cif2kavrit({"--keep-intermediates", "-o", "out.kav", "in.cif"},
                            {{"in.cif", "L " + name + ";\nB 400 200 1000 500;\nE\n"}});
    EXPECT_TRUE(r.ended_cleanly()) << r.err;
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.err, "Error opening file " + name + ".gpc\n");
    EXPECT_FALSE(r.output_file.has_value());
}

TEST(HostileInput, FilesOfOneLetter) {
    for (char letter : {'B', 'L', 'P', 'W', 'E', '(', '9', ';'}) {
        auto r = convert(std::string(200000, letter));
        EXPECT_TRUE(r.ended_cleanly()) << letter << "\n" << r.err;
        EXPECT_EQ(r.exit_status, 0) << letter;
        EXPECT_EQ(r.file_names(), (Names{"in.cif", "out.kav"})) << letter;
    }
}

}  // namespace
