// A scanner test runs scan_cif over in-memory input inside a fresh temporary
// directory (layer files go to the current directory) and captures what the
// end command writes to the output destination.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "cif/cif_reader.h"
#include "cif/scan_cif.h"
#include "driver/run_settings.h"
#include "layers/created_files.h"

class ScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_dir_ = std::filesystem::current_path();
        char pattern[] = "/tmp/cif_scan_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        std::filesystem::current_path(dir_);
        out_ = open_memstream(&out_buffer_, &out_size_);
        ASSERT_NE(out_, nullptr);
        run_settings.out_stream = out_;
        run_settings.to_file = 1;
    }

    void TearDown() override {
        reset_cif_scanner();
        release_created_files();
        run_settings.to_file = 0;
        run_settings.out_stream = nullptr;
        run_settings.cif_stream = nullptr;
        std::fclose(out_);
        std::free(out_buffer_);
        std::filesystem::current_path(previous_dir_);
        std::filesystem::remove_all(dir_);
    }

    // Opens `text` as the CIF stream (binary, in memory). An empty text gets
    // an empty temporary file instead, which fmemopen may refuse.
    std::FILE* open_input(const std::string& text) {
        input_ = text;
        std::FILE* in = input_.empty() ? std::tmpfile() : fmemopen(input_.data(), input_.size(), "rb");
        EXPECT_NE(in, nullptr);
        run_settings.cif_stream = in;
        return in;
    }

    void scan(const std::string& text) {
        std::FILE* in = open_input(text);
        scan_cif();
        std::fclose(in);
        run_settings.cif_stream = nullptr;
    }

    // What the scan wrote to the output destination.
    std::string output() {
        std::fflush(out_);
        return std::string(out_buffer_, out_size_);
    }

    // The names of the files in the test directory.
    std::set<std::string> files() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_))
            names.insert(entry.path().filename().string());
        return names;
    }

    std::string file(const std::string& name) const {
        std::ifstream in(dir_ / name, std::ios::binary);
        EXPECT_TRUE(in.good()) << "missing " << name;
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::filesystem::path dir_;

private:
    std::filesystem::path previous_dir_;
    std::string input_;
    std::FILE* out_ = nullptr;
    char* out_buffer_ = nullptr;
    std::size_t out_size_ = 0;
};

// The five lines of one box contour.
inline std::string contour(const char* x0, const char* y0, const char* x1, const char* y1) {
    return std::string("4\n") + x0 + " " + y0 + "\n" + x1 + " " + y0 + "\n" + x1 + " " + y1 + "\n" + x0 + " " +
           y1 + "\n";
}
