// The created-file list: recording in open order, removal in one sweep that
// ignores failures, and names of any length.
#include <cstdio>

#include "layer_test_support.h"

using namespace layers_test;

namespace {

void create(const std::string& name) {
    std::FILE* f = open_created_file(name, "w");
    std::fputs("0\n", f);
    std::fclose(f);
}

}  // namespace

class CreatedFileList : public InTempDir {};

TEST_F(CreatedFileList, RemovesWhatWasRecordedInOneSweep) {
    remove_created_files();  // an empty list: nothing to do
    create("CPS.gpc");
    create("empty.gpc");
    create("CPS.gpc");  // recorded twice, removed once, the second removal fails quietly
    record_created_file("never-written.gpc");
    write_file("premason.file", "");  // not opened through the list
    EXPECT_EQ(created_files(), (std::vector<std::string>{"CPS.gpc", "empty.gpc", "CPS.gpc", "never-written.gpc"}));
    remove_created_files();
    EXPECT_TRUE(created_files().empty());
    EXPECT_EQ(files_here(), std::set<std::string>{"premason.file"});
}

TEST_F(CreatedFileList, NamesOfAnyLengthAreKeptWhole) {
    const std::string long_name = std::string(200, 'L') + ".gpc";
    const std::string too_long = std::string(5000, 'N') + ".gpc";
    create(long_name);
    record_created_file(too_long);  // no file system takes it; recorded all the same
    EXPECT_EQ(created_files(), (std::vector<std::string>{long_name, too_long}));
    remove_created_files();
    EXPECT_TRUE(files_here().empty());
}

TEST_F(CreatedFileList, FileThatCannotBeCreatedEndsTheRun) {
    EXPECT_EXIT(open_created_file("no such dir/CPS.gpc", "w"), testing::ExitedWithCode(1),
                "^Error opening file no such dir/CPS\\.gpc\n$");
}
