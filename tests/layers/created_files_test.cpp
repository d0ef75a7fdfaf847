// The created-file list: recording in open order, removal in one sweep that
// ignores failures, and names of any length.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "layers/created_files.h"

namespace {

namespace fs = std::filesystem;

class CreatedFileList : public ::testing::Test {
protected:
    void SetUp() override {
        release_created_files();
        previous_ = fs::current_path();
        char pattern[] = "/tmp/created_files_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        fs::current_path(dir_);
    }
    void TearDown() override {
        release_created_files();
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }
    std::set<std::string> files() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) names.insert(entry.path().filename().string());
        return names;
    }
    static void create(const std::string& name) {
        std::FILE* f = open_created_file(name, "w");
        std::fputs("0\n", f);
        std::fclose(f);
    }

    fs::path dir_;
    fs::path previous_;
};

TEST_F(CreatedFileList, RecordsInOpenOrderAndRemovesAll) {
    create("CPS.gpc");
    create("empty.gpc");
    create("ply1.gpc");
    std::FILE* other = std::fopen("premason.file", "w");  // not opened through the list
    std::fclose(other);
    EXPECT_EQ(created_files(), (std::vector<std::string>{"CPS.gpc", "empty.gpc", "ply1.gpc"}));

    remove_created_files();
    EXPECT_TRUE(created_files().empty());
    EXPECT_EQ(files(), std::set<std::string>{"premason.file"});
}

TEST_F(CreatedFileList, NameOpenedTwiceIsRecordedTwiceAndRemovedQuietly) {
    create("CPS.gpc");
    create("CPS.gpc");
    EXPECT_EQ(created_files(), (std::vector<std::string>{"CPS.gpc", "CPS.gpc"}));
    remove_created_files();
    EXPECT_TRUE(created_files().empty());
    EXPECT_TRUE(files().empty());
}

TEST_F(CreatedFileList, RemovalOfAnEmptyListOrOfVanishedFilesDoesNothing) {
    remove_created_files();
    EXPECT_TRUE(created_files().empty());
    record_created_file("never-written.gpc");
    create("kept-then-removed.gpc");
    std::remove("kept-then-removed.gpc");
    remove_created_files();
    EXPECT_TRUE(created_files().empty());
}

TEST_F(CreatedFileList, NamesOfAnyLengthAreKeptWhole) {
    const std::string long_name = std::string(200, 'L') + ".gpc";
    const std::string too_long = std::string(5000, 'N') + ".gpc";
    create(long_name);
    record_created_file(too_long);  // no file system takes it; recorded all the same
    ASSERT_EQ(created_files().size(), 2u);
    EXPECT_EQ(created_files()[0], long_name);
    EXPECT_EQ(created_files()[1], too_long);
    remove_created_files();
    EXPECT_TRUE(files().empty());
}

TEST_F(CreatedFileList, ReleaseForgetsWithoutRemoving) {
    create("CPT.gpc");
    release_created_files();
    EXPECT_TRUE(created_files().empty());
    remove_created_files();
    EXPECT_EQ(files(), std::set<std::string>{"CPT.gpc"});
}

TEST_F(CreatedFileList, FileThatCannotBeCreatedEndsTheRun) {
    EXPECT_EXIT(open_created_file("no such dir/CPS.gpc", "w"), testing::ExitedWithCode(1),
                "^Error opening file no such dir/CPS\\.gpc\n$");
}

}  // namespace
