// End-to-end harness: runs the real cif2kavrit binary in a fresh temporary
// directory and reports what a user would see — standard output and error,
// the exit status, the -o file and every file left in the directory.
//
//   auto r = e2e::run_cif2kavrit({"-o", "out.kav", "a.cif"}, {{"a.cif", "L CPS;\nB 4 2 10 5;\nE\n"}});
//   EXPECT_EQ(r.exit_status, 0);
//   EXPECT_EQ(r.file_names(), (std::set<std::string>{"a.cif", "out.kav"}));
//   EXPECT_TRUE(r.output_file && e2e::mask_time_line(*r.output_file) == ...);
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace e2e {

struct InputFile {
    std::string name;     // relative to the run directory
    std::string content;  // written byte for byte
};

struct RunOptions {
    std::string program_name = "cif2kavrit";  // argument 0 as the program sees it
    std::chrono::seconds timeout{120};        // the run is killed after this
    // Name of the output file to report as output_file; empty: the name that
    // the command line's -o gives (see output_name_of).
    std::string output_name;
};

struct RunResult {
    int exit_status = -1;  // the exit code; -1 when the process did not exit by itself
    int signal = 0;        // the signal that ended it, 0 if none
    bool timed_out = false;
    std::string out;  // standard output
    std::string err;  // standard error
    // Every regular file left in the run directory, with its content
    // (input files included).
    std::map<std::string, std::string> files;
    // The -o file's content, when the command line named one and it exists.
    std::optional<std::string> output_file;
    // Entries that appeared beside the run directory (a file written outside
    // the current directory would land there or further up).
    std::set<std::string> outside_files;

    std::set<std::string> file_names() const;
    bool has_file(const std::string& name) const { return files.count(name) != 0; }
    // No crash, no hang, no sanitizer report.
    bool ended_cleanly() const;
};

// Runs the binary with the given arguments (argument 0 excluded) in a fresh
// directory holding the input files; the directory is removed afterwards
// unless the environment variable CIF2KAVRIT_E2E_KEEP is set.
RunResult run_cif2kavrit(const std::vector<std::string>& args, const std::vector<InputFile>& inputs = {},
                         const RunOptions& options = {});

// The binary under test and the project's source folder.
std::string binary_path();
std::string source_dir();

// The output name that the command line gives: the argument after the last
// one that begins with '-' and has 'o' second, as the option walk takes it.
std::string output_name_of(const std::vector<std::string>& args);

// True for one header time line, "# generated on DD Month YYYY, HH:MM.\n".
bool is_time_line(const std::string& line);

// Replaces each header time line in text by TIME_LINE_MASK; count receives
// how many were replaced.
inline const std::string TIME_LINE_MASK = "# generated on <time>.\n";
std::string mask_time_line(const std::string& text, int* count = nullptr);

// The header for cif_name, with the time line masked, and the footer.
std::string expected_header(const std::string& cif_name);
inline const std::string FOOTER = "#\n# end of kavrit file\n";

// The usage text for a program name.
std::string expected_usage(const std::string& program_name = "cif2kavrit");

// Reads a whole file; empty when it cannot be read.
std::string read_file(const std::string& path);

// A fresh temporary directory, removed again with everything below it, for
// tests that run the binary by shell command lines of their own.
struct Dir {
    std::filesystem::path path;
    Dir();
    ~Dir();
    Dir(const Dir&) = delete;
    Dir& operator=(const Dir&) = delete;
    void write(const std::string& name, const std::string& text) const;
    std::string read(const std::string& name) const;
    // Runs a shell command in the directory; gives its exit status (-1 when
    // it did not exit by itself).
    int sh(const std::string& command) const;
    // Everything below the directory, hidden entries and links as they are.
    std::set<std::string> entries() const;
    // lstat's mode of an entry, 0 when there is none.
    mode_t mode(const std::string& name) const;
};

// The binary's path quoted for a shell command line.
std::string quoted_binary();

}  // namespace e2e
