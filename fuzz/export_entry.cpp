// The kavrit-export entry of the fuzz targets: the kavrit reader and every
// writer on raw bytes, with the posing options taken from the first bytes,
// and checks that what is written is finite and well-formed.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "export/cli.h"
#include "export/pose.h"
#include "fuzz/collision_checks.h"
#include "fuzz/entry_points.h"
#include "fuzz/written_files.h"

namespace fs = std::filesystem;

namespace fuzz_entry {

namespace {

using export_checks::check_glb;
using export_checks::check_html;
using export_checks::check_obj;
using export_checks::check_stl;
using export_checks::check_svg;
using export_checks::collisions_and_ranges;

std::string read_all(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

std::string export_bytes(ScratchDirectory& dir, const std::uint8_t* data, std::size_t size) {
    static const char* const formats[] = {"svg", "obj", "stl", "glb", "html"};
    static const char* const views[] = {"iso", "top", "front", "side"};
    // Eight bytes of options, then the kavrit file; shorter inputs are files alone.
    std::uint8_t o[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    const bool with_options = size >= 8 && data[0] == '!';
    if (with_options) std::memcpy(o, data, 8);
    const std::size_t skip = with_options ? 8 : 0;
    const std::string format = formats[with_options ? o[1] % 5 : size % 5];

    std::vector<std::string> args;
    kavrit::PoseRequest request;
    if (format == "svg" && (o[2] & 3) != 0) args.insert(args.end(), {"--view", views[o[2] & 3]});
    const auto signed_byte = [](std::uint8_t b) { return static_cast<int>(b) - 128; };
    if (o[2] & 4) {
        args.push_back("--pose=" + std::to_string(o[3] % 8 + 1) + "=" + std::to_string(signed_byte(o[4]) * 3));
        request.degrees[o[3] % 8 + 1] = signed_byte(o[4]) * 3;
    }
    if (o[2] & 8) {
        const std::string raise = std::to_string(signed_byte(o[5]) * 7) + ".5";
        args.push_back("--raise=" + raise);
        request.raise = std::strtod(raise.c_str(), nullptr);
    }
    if (o[2] & 16) {
        // 0.0001 to 10^306 in decades, so that some overflow every format.
        const int decade = o[6] % 42 * (o[7] & 1 ? 8 : 1) - 4;
        std::string scale = decade < 0 ? "0." + std::string(static_cast<std::size_t>(-decade - 1), '0') + "3"
                                       : "3" + std::string(static_cast<std::size_t>(decade), '0');
        args.push_back("--z-scale=" + scale);
        request.z_scale = std::strtod(scale.c_str(), nullptr);
    }
    const fs::path input = dir.root() / "in.kavrit";
    const fs::path output = dir.root() / ("out." + format);
    const fs::path mtl = dir.root() / "out.mtl";
    {
        std::ofstream f(input, std::ios::binary);
        f.write(reinterpret_cast<const char*>(data + skip), static_cast<std::streamsize>(size - skip));
    }
    // Bits 1 and 2 of byte 7: --check and --ranges (--json with both) instead of a file.
    if (with_options && (o[7] & 6) != 0) {
        std::string problem = collisions_and_ranges(args, input, request, (o[7] & 6) == 6);
        std::error_code ec;
        fs::remove(input, ec);
        std::size_t left = 0;
        for (auto it = fs::directory_iterator(dir.root(), ec); !ec && it != fs::directory_iterator(); ++it)
            if (it->path().filename() != "work") ++left;
        if (problem.empty() && left != 0) problem = "--check or --ranges left a file";
        return problem;
    }
    args.push_back(input.string());
    args.push_back(output.string());

    std::ostringstream out, err;
    int status = -1;
    try {
        status = kavrit::run_export(args, out, err);
    } catch (const std::exception& e) {
        return std::string("an exception left run_export: ") + e.what();
    }
    std::string problem;
    if (status != 0 && status != 1 && status != 2) problem = "exit status " + std::to_string(status);
    if (status != 0 && err.str().empty()) problem = "a refusal without a message";
    if (status == 0 && !err.str().empty()) problem = "a message on success: " + err.str();
    if (problem.empty() && status != 0 && (fs::exists(output) || fs::exists(mtl)))
        problem = "an output file stays after a refusal: " + err.str();
    if (problem.empty() && status == 0) {
        const std::string written = read_all(output);
        if (format == "svg") problem = check_svg(written);
        if (format == "obj") problem = check_obj(written, fs::exists(mtl));
        if (format == "stl") problem = check_stl(written);
        if (format == "glb") problem = check_glb(written);
        if (format == "html") problem = check_html(written);
    }
    std::error_code ec;
    fs::remove(input, ec);
    fs::remove(output, ec);
    fs::remove(mtl, ec);
    std::size_t left = 0;
    for (auto it = fs::directory_iterator(dir.root(), ec); !ec && it != fs::directory_iterator(); ++it)
        if (it->path().filename() != "work") ++left;
    if (problem.empty() && left != 0) problem = "a temporary file stays beside the output";
    return problem;
}

}  // namespace fuzz_entry
