// Runs that meet a full device or share a directory with other runs.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "harness.h"

namespace fs = std::filesystem;

namespace {

const char* const kLayout =
    "(two plates, one anchor)\nL COL;\nB 400 400 200 200;\nL CPS;\nB 2000 1000 1000 500;\nB 400 400 200 200;\n"
    "L CPT;\nB 800 800 3000 3000;\nE\n";

using e2e::Dir;

std::string bin() { return e2e::quoted_binary(); }

}  // namespace

TEST(WriteFaults, AFullOutputDeviceEndsTheRunWithAnError) {
    Dir d;
    d.write("a.cif", kLayout);
    EXPECT_EQ(d.sh(bin() + " -s -o /dev/full a.cif 2>err"), 1);
    EXPECT_EQ(d.read("err"), "Error writing file /dev/full\n");
    struct stat st {};
    ASSERT_EQ(stat("/dev/full", &st), 0);  // left as it was
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(d.sh(bin() + " -s a.cif >/dev/full 2>err"), 1);
    EXPECT_EQ(d.read("err"), "Error writing standard output\n");
}

const char* const kIntermediates[] = {"CPS.gpc", "empty.gpc", "ply1.gpc", "pvth.gpc", "tmpdata1.file",
                                      "tmpdata2.file", "premason.file", "postmason.file"};

// Kept intermediate files are checked as they are written: when one of them
// cannot be written, the run stops with status 1, names the file, and leaves
// no output. A run that keeps nothing never touches them.
TEST(WriteFaults, AnIntermediateFileThatCannotBeWrittenStopsAKeepingRun) {
    Dir plain;
    plain.write("a.cif", kLayout);
    ASSERT_EQ(plain.sh(bin() + " -s -o out.kav a.cif"), 0);
    const std::string expected = e2e::mask_time_line(plain.read("out.kav"));
    for (const char* name : kIntermediates) {
        Dir d;
        d.write("a.cif", kLayout);
        ASSERT_EQ(d.sh(std::string("ln -s /dev/full ") + name), 0);
        EXPECT_EQ(d.sh(bin() + " --keep-intermediates -s -o out.kav a.cif 2>err"), 1) << name;
        EXPECT_EQ(d.read("err"), std::string("Error writing file ") + name + "\n");
        EXPECT_FALSE(fs::exists(d.path / "out.kav")) << name;
        EXPECT_EQ(d.sh(bin() + " -s -o out.kav a.cif 2>err"), 0) << name;
        EXPECT_EQ(e2e::mask_time_line(d.read("out.kav")), expected) << name;
    }
}

// A keeping run makes its bodies in the recipe's order, so a failed write
// leaves the bodies before it and none after: c2st is the recipe's first
// step, though tmp7 starts its longest chain of steps.
TEST(WriteFaults, AKeepingRunStopsWhereTheRecipeOrderStops) {
    Dir d;
    d.write("a.cif", kLayout);
    ASSERT_EQ(d.sh("ln -s /dev/full c2st.gpc"), 0);
    EXPECT_EQ(d.sh(bin() + " --keep-intermediates -s -o out.kav a.cif 2>err"), 1);
    EXPECT_EQ(d.read("err"), "Error writing file c2st.gpc\n");
    for (const char* layer : {"COL.gpc", "CPS.gpc", "CPT.gpc"}) EXPECT_TRUE(fs::exists(d.path / layer)) << layer;
    for (const char* body : {"tmp5.gpc", "tmp7.gpc", "ply1.gpc"}) EXPECT_FALSE(fs::exists(d.path / body)) << body;
}

TEST(WriteFaults, AFailedOpenLeavesNoHalfWrittenOutput) {
    Dir d;
    d.write("a.cif", kLayout);
    fs::create_directory(d.path / "premason.file");  // cannot be opened for writing
    EXPECT_EQ(d.sh(bin() + " --keep-intermediates -o out.kav a.cif 2>err"), 1);
    EXPECT_EQ(d.read("err"), "Error opening file premason.file\n");
    EXPECT_FALSE(fs::exists(d.path / "out.kav"));
}

// A run that keeps its intermediate files leaves every one of them: the layer
// files, empty.gpc, each body of the recipe and the five fixed files but the
// one no stage writes; the output is the same as without them.
TEST(KeepIntermediates, EveryIntermediateFileStays) {
    Dir d;
    d.write("a.cif", kLayout);
    ASSERT_EQ(d.sh(bin() + " -s -o plain.kav a.cif"), 0);
    ASSERT_EQ(d.sh(bin() + " --keep-intermediates -s -o kept.kav a.cif"), 0);
    EXPECT_EQ(e2e::mask_time_line(d.read("kept.kav")), e2e::mask_time_line(d.read("plain.kav")));
    std::set<std::string> expected = {"a.cif", "plain.kav", "kept.kav", "COL.gpc", "CPS.gpc", "CPT.gpc", "empty.gpc",
                                      "tmpdata1.file", "tmpdata2.file", "premason.file", "postmason.file"};
    for (const char* body : {"c2st", "tmp5", "tmp6", "pvt1", "tmp7", "tmp8", "tmp9", "tmp10", "pvt2", "pvtl", "pvth",
                             "mtl", "refl", "ply1", "p2tmp", "p11", "p12", "p13", "p2hi", "tmp1", "tmp2", "tmp3",
                             "tmp4", "p2lo", "ply2"})
        expected.insert(std::string(body) + ".gpc");
    EXPECT_EQ(d.entries(), expected);
    EXPECT_EQ(d.read("CPS.gpc"), "2\n4\n0.0 0.0\n20.0 0.0\n20.0 10.0\n0.0 10.0\n4\n0.0 0.0\n4.0 0.0\n4.0 4.0\n0.0 4.0\n");
    EXPECT_EQ(d.read("pvth.gpc"), d.read("pvtl.gpc"));
    // the grouped list holds the box list's lines, grouped
    std::istringstream pre(d.read("premason.file")), post(d.read("postmason.file"));
    std::multiset<std::string> listed, grouped;
    for (std::string line; std::getline(pre, line);) listed.insert(line);
    for (std::string line; std::getline(post, line);) {
        if (line.empty()) continue;
        for (char& c : line) c = c == '\t' ? ' ' : c;
        grouped.insert(line.substr(1));
    }
    EXPECT_FALSE(listed.empty());
    EXPECT_EQ(listed, grouped);
    EXPECT_EQ(d.read("tmpdata1.file").rfind("# structure 1 start --------------------\n{\n", 0), 0u);
}

// Conversions started together in one directory do not share anything: each
// output is the one its layout gives alone. With --keep-intermediates they
// would share the file names; the directory lock then makes them run one
// after another.
TEST(ConcurrentRuns, EightRunsInOneDirectoryGiveTheirSoloOutputs) {
    std::string example = e2e::read_file(e2e::source_dir() + "/examples/hinged_mirror.cif");
    ASSERT_FALSE(example.empty());
    std::vector<std::string> layouts;
    for (int k = 0; k < 8; ++k) {
        // Each variant drops a different box line of the example.
        std::istringstream in(example);
        std::string line, text;
        int boxes = 0;
        while (std::getline(in, line)) {
            const bool box = line.rfind("B ", 0) == 0 || line.find(" B ") != std::string::npos;
            if (box && boxes++ == 3 * k) continue;
            text += line + "\n";
        }
        layouts.push_back(text);
    }
    std::vector<std::string> solo;
    for (int k = 0; k < 8; ++k) {
        Dir d;
        d.write("a.cif", layouts[k]);
        ASSERT_EQ(d.sh(bin() + " -s -o out.kav a.cif"), 0);
        solo.push_back(e2e::mask_time_line(d.read("out.kav")));
    }
    EXPECT_NE(solo[0], solo[1]);

    for (const std::string keep : {"", "--keep-intermediates "}) {
        SCOPED_TRACE(keep);
        Dir shared;
        std::string command;
        for (int k = 0; k < 8; ++k) {
            shared.write(std::string("l").append(std::to_string(k)).append(".cif"), layouts[k]);
            command += bin() + " " + keep + "-s -o out" + std::to_string(k) + ".kav l" + std::to_string(k) + ".cif & ";
        }
        ASSERT_EQ(shared.sh("( " + command + "wait )"), 0);
        for (int k = 0; k < 8; ++k) {
            std::string got = e2e::mask_time_line(shared.read("out" + std::to_string(k) + ".kav"));
            // The header names the input file, which is l<k>.cif here.
            const std::string name = std::string("l").append(std::to_string(k)).append(".cif");
            const size_t at = got.find(name);
            ASSERT_NE(at, std::string::npos) << "run " << k;
            got.replace(at, name.size(), "a.cif");
            EXPECT_EQ(got, solo[k]) << "run " << k;
        }
        if (!keep.empty()) continue;
        for (const auto& entry : fs::directory_iterator(shared.path)) {
            const std::string f = entry.path().filename().string();
            EXPECT_TRUE(f.size() > 4 && (f.substr(f.size() - 4) == ".cif" || f.substr(f.size() - 4) == ".kav")) << f;
        }
    }
}
