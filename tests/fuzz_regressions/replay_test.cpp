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
std::size_t replay(const std::string& target, Entry entry) {
    fuzz_entry::ScratchDirectory dir;
    std::size_t replayed = 0;
    for (const fs::path& file : corpus_files(target)) {
        SCOPED_TRACE(file.string());
        const std::vector<std::uint8_t> data = bytes_of(file);
        EXPECT_EQ(entry(dir, data.data(), data.size()), "");
        ++replayed;
    }
    return replayed;
}

}  // namespace

TEST(FuzzRegressions, CifScannerInputs) { EXPECT_GT(replay("cif", fuzz_entry::scan_cif_bytes), 0u); }

TEST(FuzzRegressions, CifReaderInputs) { EXPECT_GT(replay("cifread", fuzz_entry::cifread_bytes), 0u); }

TEST(FuzzRegressions, PolygonFileInputs) { EXPECT_GT(replay("polygon", fuzz_entry::polygon_bytes), 0u); }

TEST(FuzzRegressions, WholeConversionInputs) { EXPECT_GT(replay("pipeline", fuzz_entry::pipeline_bytes), 0u); }

TEST(FuzzRegressions, KavritExportInputs) { EXPECT_GT(replay("export", fuzz_entry::export_bytes), 0u); }

TEST(FuzzRegressions, GdsReaderInputs) { EXPECT_GT(replay("gdsread", fuzz_entry::gdsread_bytes), 0u); }

// Layer names are names in memory now: one too long for any file name is
// converted like any other.
TEST(FuzzRegressions, OverlongLayerNamesAreConverted) {
    const std::string long_name = "L " + std::string(300, 'N') + ";\nB 100 100 0 0;\nE\n";
    fuzz_entry::ScratchDirectory dir;
    const auto* p = reinterpret_cast<const std::uint8_t*>(long_name.data());
    EXPECT_EQ(fuzz_entry::scan_cif_bytes(dir, p, long_name.size()), "");
    EXPECT_EQ(fuzz_entry::pipeline_bytes(dir, p, long_name.size()), "");
}
