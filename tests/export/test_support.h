// Helpers shared by the export tests.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "export/cli.h"
#include "export/kavrit.h"
#include "export/mesh.h"

namespace kavrit_test {

inline std::string read_file(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A fresh folder in the temporary directory, removed with the object. The
// process id in its name keeps test programs that run at once apart.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& stem)
        : path_(std::filesystem::temp_directory_path() / (stem + "-" + std::to_string(getpid()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() { std::filesystem::remove_all(path_); }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Degrees per radian.
const double DEG = 180 / std::numbers::pi;

// Vector arithmetic of the tests' own geometry (ray casts, clipped solids,
// frames), kept apart from the code under test.
inline double dot(const kavrit::Vec3& a, const kavrit::Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline kavrit::Vec3 minus(const kavrit::Vec3& a, const kavrit::Vec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
inline kavrit::Vec3 cross(const kavrit::Vec3& a, const kavrit::Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// How often `what` occurs in `text` (overlapping occurrences counted).
inline std::size_t count_of(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

inline kavrit::Layout parse(const std::string& text) {
    std::istringstream in(text);
    return kavrit::read_kavrit(in);
}

// kavrit-export run in the test's process: its exit status and what it
// wrote to standard output and standard error.
struct ExportRun {
    int status;
    std::string out, err;
};
inline ExportRun export_run(const std::vector<std::string>& args, kavrit::StepWriter step_writer = nullptr) {
    std::ostringstream out, err;
    const int status = kavrit::run_export(args, out, err, step_writer);
    return {status, out.str(), err.str()};
}

}  // namespace kavrit_test
