// The CIF or GDSII file given as a pipe (/dev/stdin fed by another program):
// the run must see every byte, as it does when the same name is a regular
// file. Before, the default reader's steps back failed on a pipe and it lost
// most of the layout without a word, and a GDSII file was not recognised.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "harness.h"

namespace {

namespace fs = std::filesystem;

// A path as one shell word (the paths here hold no quote).
std::string shell_word(const fs::path& path) {
    std::string word = path.string();
    word.insert(word.begin(), '\'');
    word.push_back('\'');
    return word;
}

struct Seen {
    int status = -1;
    std::string output;  // the -o file, time line masked
    std::string err;
};

// Runs `FEED_BEFORE binary ARGS -o NAME.kav /dev/stdin FEED_AFTER` in `dir`
// through the shell: standard input is a redirected file (" < file" after)
// or a pipe ("cat file | " before).
Seen run_shell(const fs::path& dir, const std::string& feed_before, const std::string& feed_after,
               const std::string& args, const std::string& name) {
    const std::string command = "cd " + shell_word(dir) + " && " + feed_before + shell_word(e2e::binary_path()) + " " + args +
                                " -o " + name + ".kav /dev/stdin" + feed_after + " 2> " + name + ".err";
    const int raw = std::system(command.c_str());
    Seen s;
    s.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    s.output = e2e::mask_time_line(e2e::read_file((dir / (name + ".kav")).string()));
    s.err = e2e::read_file((dir / (name + ".err")).string());
    return s;
}

TEST(PipedInput, GivesWhatTheSameFileGives) {
    const fs::path examples = fs::path(e2e::source_dir()) / "examples";
    std::string pattern = (fs::temp_directory_path() / "piped-input-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;
    struct Case {
        std::string file, args;
    };
    const std::vector<Case> cases = {
        {"hinged_mirror.cif", "-s"},  // places symbols: the default reading notes it
        {"mirror_array.cif", "-s -r"},
        {"hinged_mirror.cif", "--flatten -s"},
        {"hinged_mirror.gds", "--layers " + shell_word(examples / "hinged_mirror.map") + " -s"},
    };
    for (const Case& c : cases) {
        const std::string file = shell_word(examples / c.file);
        const Seen regular = run_shell(dir, "", " < " + file, c.args, "regular");
        const Seen piped = run_shell(dir, "cat " + file + " | ", "", c.args, "piped");
        EXPECT_EQ(regular.status, 0) << c.file << " " << c.args << ": " << regular.err;
        EXPECT_GT(regular.output.size(), 1000u) << c.file << " " << c.args;
        EXPECT_EQ(piped.status, regular.status) << c.file << " " << c.args;
        EXPECT_EQ(piped.output, regular.output) << c.file << " " << c.args;
        EXPECT_EQ(piped.err, regular.err) << c.file << " " << c.args;
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
}

}  // namespace
