// The path an output name writes to, through the symbolic links at its last
// component, and the directory its temporary neighbour goes to. What a run
// does with them is checked through the real binary (tests/e2e).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/output_file.h"

namespace fs = std::filesystem;

namespace {

TEST(OutputFile, DirectoryPart) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"out.kav", ""},         {"./out.kav", "./"},   {"a/b/out.kav", "a/b/"},
        {"/out.kav", "/"},       {"dir/", "dir/"},      {"", ""},
        {"a//b", "a//"},         {"../x", "../"},
    };
    for (const auto& [path, dir] : cases) EXPECT_EQ(driver::directory_part(path), dir) << path;
}

TEST(OutputFile, FinalTargetFollowsLinksFromTheirOwnDirectory) {
    std::string pattern = (fs::temp_directory_path() / "outfile-XXXXXX").string();
    const fs::path base = mkdtemp(pattern.data());
    ASSERT_EQ(chdir(base.c_str()), 0);
    fs::create_directories("sub/deep");
    fs::create_symlink("sub/file.kav", "to_sub");        // relative to the current directory
    fs::create_symlink("deep/x.kav", "sub/to_deep");      // relative to sub/
    fs::create_symlink("sub/to_deep", "chain");           // a link to a link
    fs::create_symlink("../y.kav", "sub/deep/up");        // back up from sub/deep/
    fs::create_symlink(base / "abs.kav", "absolute");     // absolute target
    fs::create_symlink("loop_b", "loop_a");
    fs::create_symlink("loop_a", "loop_b");
    fs::create_symlink("sub", "dirlink");                 // a link in the directory part stays
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain.kav", "plain.kav"},             // not there: as it is
        {"to_sub", "sub/file.kav"},
        {"sub/to_deep", "sub/deep/x.kav"},
        {"chain", "sub/deep/x.kav"},
        {"sub/deep/up", "sub/deep/../y.kav"},
        {"absolute", (base / "abs.kav").string()},
        {"loop_a", "loop_a"},                   // no end: the name itself
        {"dirlink/to_deep", "dirlink/deep/x.kav"},
    };
    for (const auto& [name, target] : cases) EXPECT_EQ(driver::final_target(name), target) << name;
    ASSERT_EQ(chdir("/"), 0);
    fs::remove_all(base);
}

}  // namespace
