#include "harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace e2e {

namespace fs = std::filesystem;

std::string binary_path() { return CIF2KAVRIT_BINARY; }
std::string source_dir() { return CIF2KAVRIT_SOURCE_DIR; }

std::set<std::string> RunResult::file_names() const {
    std::set<std::string> names;
    for (const auto& [name, content] : files) names.insert(name);
    return names;
}

bool RunResult::ended_cleanly() const {
    if (timed_out || signal != 0 || exit_status < 0) return false;
    for (const char* mark : {"Sanitizer", "runtime error:"})
        if (err.find(mark) != std::string::npos || out.find(mark) != std::string::npos) return false;
    return true;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

static void write_file(const fs::path& path, const std::string& content) {
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

Dir::Dir() {
    std::string pattern = (fs::temp_directory_path() / "e2e-dir-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path = pattern;
}

Dir::~Dir() {
    std::error_code ec;
    fs::remove_all(path, ec);
}

void Dir::write(const std::string& name, const std::string& text) const { write_file(path / name, text); }

std::string Dir::read(const std::string& name) const { return read_file((path / name).string()); }

int Dir::sh(const std::string& command) const {
    const int status = std::system(("cd '" + path.string() + "' && " + command).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::set<std::string> Dir::entries() const {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(path)) names.insert(e.path().lexically_relative(path).string());
    return names;
}

mode_t Dir::mode(const std::string& name) const {
    struct stat st {};
    return lstat((path / name).c_str(), &st) == 0 ? st.st_mode : 0;
}

std::string quoted_binary() { return "'" + binary_path() + "'"; }

std::string output_name_of(const std::vector<std::string>& args) {
    std::string name;
    if (args.size() < 2) return name;  // usage or version: nothing is opened
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() >= 2 && a[0] == '-' && a[1] == 'o' && i + 1 < args.size()) {
            name = args[i + 1];
            ++i;
        }
    }
    return name;
}

RunResult run_cif2kavrit(const std::vector<std::string>& args, const std::vector<InputFile>& inputs,
                         const RunOptions& options) {
    RunResult result;
    char pattern[] = "/tmp/cif2kavrit_e2e.XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        result.err = std::string("harness: mkdtemp failed: ") + std::strerror(errno);
        return result;
    }
    const fs::path base = pattern;
    const fs::path run_dir = base / "run";
    fs::create_directory(run_dir);
    for (const InputFile& input : inputs) write_file(run_dir / input.name, input.content);
    const fs::path out_path = base / "stdout";
    const fs::path err_path = base / "stderr";

    // Everything the child needs is prepared before the fork.
    const std::string binary = binary_path();
    std::vector<std::string> arg_strings;
    arg_strings.push_back(options.program_name);
    arg_strings.insert(arg_strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : arg_strings) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string run_dir_text = run_dir.string();
    const std::string out_text = out_path.string();
    const std::string err_text = err_path.string();

    pid_t pid = fork();
    if (pid == 0) {
        int in_fd = open("/dev/null", O_RDONLY);
        int out_fd = open(out_text.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err_fd = open(err_text.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in_fd < 0 || out_fd < 0 || err_fd < 0 || chdir(run_dir_text.c_str()) != 0) _exit(127);
        dup2(in_fd, 0);
        dup2(out_fd, 1);
        dup2(err_fd, 2);
        execv(binary.c_str(), argv.data());
        _exit(127);
    }
    if (pid < 0) {
        result.err = std::string("harness: fork failed: ") + std::strerror(errno);
        fs::remove_all(base);
        return result;
    }

    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    int status = 0;
    for (;;) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) break;
        if (std::chrono::steady_clock::now() > deadline) {
            result.timed_out = true;
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!result.timed_out) {
        if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
        if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    }

    result.out = read_file(out_text);
    result.err = read_file(err_text);
    for (const auto& entry : fs::directory_iterator(run_dir)) {
        if (entry.is_regular_file()) result.files[entry.path().filename().string()] = read_file(entry.path().string());
        else result.files[entry.path().filename().string() + "/"] = "";
    }
    for (const auto& entry : fs::directory_iterator(base)) {
        std::string name = entry.path().filename().string();
        if (name != "run" && name != "stdout" && name != "stderr") result.outside_files.insert(name);
    }
    const std::string out_name = options.output_name.empty() ? output_name_of(args) : options.output_name;
    if (!out_name.empty()) {
        auto it = result.files.find(out_name);
        if (it != result.files.end()) result.output_file = it->second;
        else if (fs::is_regular_file(run_dir / out_name)) result.output_file = read_file((run_dir / out_name).string());
    }

    if (std::getenv("CIF2KAVRIT_E2E_KEEP") == nullptr) fs::remove_all(base);
    return result;
}

bool is_time_line(const std::string& line) {
    static const std::regex pattern(
        "# generated on [0-3][0-9] "
        "(January|February|March|April|May|June|July|August|September|October|November|December) "
        "[0-9]{4}, [0-2][0-9]:[0-5][0-9]\\.\n");
    return std::regex_match(line, pattern);
}

std::string mask_time_line(const std::string& text, int* count) {
    std::string masked;
    int replaced = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        std::size_t next = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(pos, next - pos);
        if (is_time_line(line)) {
            masked += TIME_LINE_MASK;
            ++replaced;
        } else {
            masked += line;
        }
        pos = next;
    }
    if (count != nullptr) *count = replaced;
    return masked;
}

std::string expected_header(const std::string& cif_name) {
    return "#\n# cif input file: " + cif_name +
           "\n#\n"
           "# Cif file convert to kavrit format\n"
           "# Use kavrit matlab script to render and manipulate it.\n"
           "# This is a generated data file, edit at own risk.\n"
           "#\n"
           "# Please direct questions/comments for kavrit to: \n"
           "#   cif2kavrit developers\n"
           "#   cif2kavrit@users.invalid\n"
           "#\n" +
           TIME_LINE_MASK + "#\n";
}

std::string expected_usage(const std::string& program_name) {
    return "usage: " + program_name +
           " [-v]|[-h]|[[-s][-r][-nolinkage][-o kavritname] cifname]\n"
           "  -o output kavrit file name.\n"
           "  -s generate structure summary in output (default no).\n"
           "  -r attempts to group structures (default no).\n"
           "  -nolinkage whether to form linkage info (default yes).\n"
           "  -v prints the current version number.\n"
           "  -h help (this screen).\n\n";
}

}  // namespace e2e
