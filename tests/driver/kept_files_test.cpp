// The trace of a run that keeps its intermediate files: each report becomes a
// file of that name, replacing an earlier one; the CIF file is never written
// over, and a name that cannot be opened ends the run with the open message.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include "common/run_error.h"
#include "driver/kept_files.h"
#include "tests/common/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

class KeptFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream("layout.cif") << "L CPS; B 2 2 1 1; E\n";
        cif_ = std::fopen("layout.cif", "rb");
        ASSERT_NE(cif_, nullptr);
    }
    void TearDown() override {
        if (cif_ != nullptr) std::fclose(cif_);
    }

    // The message and status of the RunError of writing `name` ("" and 0 for none).
    std::pair<std::string, int> write(driver::KeptFiles& kept, const std::string& name, const std::string& text) {
        try {
            kept.made(name, text);
        } catch (const common::RunError& e) {
            return {e.message(), e.status()};
        }
        return {"", 0};
    }

    ScratchDir dir_;
    std::FILE* cif_ = nullptr;
};

TEST_F(KeptFilesTest, WritesReplacesAndRefuses) {
    using Error = std::pair<std::string, int>;
    driver::KeptFiles kept(cif_, "layout.cif");
    EXPECT_EQ(write(kept, "CPS.gpc", "1\n"), Error("", 0));
    EXPECT_EQ(write(kept, "CPS.gpc", std::string("0\n\0x", 4)), Error("", 0));
    EXPECT_EQ(read_file("CPS.gpc"), std::string("0\n\0x", 4));

    // A layer named so that its file would be the CIF file, directly or
    // through a link: refused before anything is written.
    fs::create_symlink("layout.cif", "link.gpc");
    EXPECT_EQ(write(kept, "layout.cif", "0\n"),
              Error("cif2kavrit: intermediate file layout.cif is the CIF file layout.cif; nothing more written\n", 1));
    EXPECT_EQ(write(kept, "link.gpc", "0\n"),
              Error("cif2kavrit: intermediate file link.gpc is the CIF file layout.cif; nothing more written\n", 1));
    EXPECT_EQ(read_file("layout.cif"), "L CPS; B 2 2 1 1; E\n");

    // No file system takes a name of 5000 characters; nor is a directory a file.
    const std::string too_long = std::string(5000, 'N') + ".gpc";
    EXPECT_EQ(write(kept, too_long, "0\n"), Error("Error opening file " + too_long + "\n", 1));
    fs::create_directory("dir.gpc");
    EXPECT_EQ(write(kept, "dir.gpc", "0\n"), Error("Error opening file dir.gpc\n", 1));
}

TEST_F(KeptFilesTest, AFullDeviceIsAWriteError) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    driver::KeptFiles kept(nullptr, "");
    EXPECT_EQ(write(kept, "/dev/full", std::string(1 << 16, 'x')),
              std::make_pair(std::string("Error writing file /dev/full\n"), 1));
}

}  // namespace
