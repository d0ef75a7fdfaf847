// Every input of the fuzz corpora, replayed through the same entry points the
// fuzz targets use: none may crash, and each entry's own checks must hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/entry_points.h"

namespace fs = std::filesystem;

namespace {

using Entry = std::string (*)(fuzz_entry::ScratchDirectory&, const std::uint8_t*, std::size_t);

std::vector<fs::path> corpus_files(const std::string& target) {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(fs::path(FUZZ_CORPUS_DIR) / target))
        if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::uint8_t> bytes_of(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Returns the number of inputs replayed.
std::size_t replay(const std::string& target, Entry entry, bool names_must_fit) {
    fuzz_entry::ScratchDirectory dir;
    std::size_t replayed = 0;
    for (const fs::path& file : corpus_files(target)) {
        SCOPED_TRACE(file.string());
        const std::vector<std::uint8_t> data = bytes_of(file);
        if (names_must_fit && !fuzz_entry::layer_names_fit(data.data(), data.size())) continue;
        EXPECT_EQ(entry(dir, data.data(), data.size()), "");
        ++replayed;
    }
    return replayed;
}

}  // namespace

TEST(FuzzRegressions, CifScannerInputs) { EXPECT_GT(replay("cif", fuzz_entry::scan_cif_bytes, true), 0u); }

TEST(FuzzRegressions, CifReaderInputs) { EXPECT_GT(replay("cifread", fuzz_entry::cifread_bytes, false), 0u); }

TEST(FuzzRegressions, PolygonFileInputs) { EXPECT_GT(replay("polygon", fuzz_entry::polygon_bytes, false), 0u); }

TEST(FuzzRegressions, WholeConversionInputs) { EXPECT_GT(replay("pipeline", fuzz_entry::pipeline_bytes, true), 0u); }

// A layer name too long for a file name would end the run through exit(1):
// such inputs are kept away from the entries, all others are not.
TEST(FuzzRegressions, OnlyOverlongLayerNamesAreKeptAway) {
    const std::string long_name = "L " + std::string(300, 'N') + ";\nB 1 1 1 1;\n";
    const auto* p = reinterpret_cast<const std::uint8_t*>(long_name.data());
    EXPECT_FALSE(fuzz_entry::layer_names_fit(p, long_name.size()));
    const std::string fits = "L " + std::string(200, 'N') + ";\nB 1 1 1 1;\n";
    EXPECT_TRUE(fuzz_entry::layer_names_fit(reinterpret_cast<const std::uint8_t*>(fits.data()), fits.size()));
    const std::string no_semicolon = "L " + std::string(300, 'N');
    EXPECT_TRUE(fuzz_entry::layer_names_fit(reinterpret_cast<const std::uint8_t*>(no_semicolon.data()),
                                            no_semicolon.size()));
}
