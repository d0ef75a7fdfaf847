// The CIF file when it comes through a pipe or a FIFO: the readers step back
// over what they read and look at the file's first bytes by position, so such
// an input must reach them whole and rereadable, byte for byte as sent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/run_error.h"
#include "driver/output_file.h"

namespace {

namespace fs = std::filesystem;

// Bytes of every value, more than one read's worth, so that a copy that stops
// at a zero byte, drops a piece or reorders pieces shows.
std::string sample_bytes() {
    std::string s;
    for (int i = 0; i < 200000; ++i) s.push_back(static_cast<char>((i * 7 + i / 256) & 0xff));
    return s;
}

std::string rest_of(std::FILE* f) {
    std::string text;
    char piece[4096];
    std::size_t got = 0;
    while ((got = std::fread(piece, 1, sizeof piece, f)) > 0) text.append(piece, got);
    return text;
}

TEST(RereadableInput, APipeArrivesWholeAndCanBeReadAgain) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const std::string sent = sample_bytes();
    std::thread writer([&] {
        std::size_t at = 0;
        while (at < sent.size()) {
            const ssize_t n = write(fds[1], sent.data() + at, std::min<std::size_t>(5000, sent.size() - at));
            if (n <= 0) break;
            at += static_cast<std::size_t>(n);
        }
        close(fds[1]);
    });
    std::FILE* in = fdopen(fds[0], "rb");
    ASSERT_NE(in, nullptr);
    std::FILE* copy = driver::rereadable_input(in, "pipe");
    writer.join();
    struct stat st {};
    ASSERT_EQ(fstat(fileno(copy), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(rest_of(copy), sent);
    // Stepping back, as the scanner does after a token, and reading by position.
    ASSERT_EQ(std::fseek(copy, -10, SEEK_CUR), 0);
    EXPECT_EQ(rest_of(copy), sent.substr(sent.size() - 10));
    unsigned char head[4] = {};
    ASSERT_EQ(pread(fileno(copy), head, 4, 0), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(head), 4), sent.substr(0, 4));
    std::fclose(copy);
}

TEST(RereadableInput, ARegularFileOrADeviceIsLeftAsItIs) {
    const fs::path path = fs::temp_directory_path() / ("rereadable-" + std::to_string(getpid()) + ".cif");
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("L CPS; B 2 2 1 1; E\n", f);
        std::fclose(f);
    }
    for (const std::string& name : {path.string(), std::string("/dev/null")}) {
        std::FILE* in = std::fopen(name.c_str(), "rb");
        ASSERT_NE(in, nullptr) << name;
        EXPECT_EQ(driver::rereadable_input(in, name), in) << name;
        std::fclose(in);
    }
    fs::remove(path);
}

TEST(RereadableInput, AFailedReadIsAReadError) {
    // A pipe that stays open but empty, read without waiting: the read fails
    // (EAGAIN) instead of ending.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(fcntl(fds[0], F_SETFL, O_NONBLOCK), 0);
    std::FILE* in = fdopen(dup(fds[0]), "rb");
    ASSERT_NE(in, nullptr);
    try {
        driver::rereadable_input(in, "in.cif");
        ADD_FAILURE() << "no error";
    } catch (const common::RunError& e) {
        EXPECT_EQ(e.message(), "Error reading file in.cif\n");
        EXPECT_EQ(e.status(), 1);
    }
    close(fds[0]);
    close(fds[1]);
}

}  // namespace
