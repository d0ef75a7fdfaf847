// Header and footer texts, the output destination, the fatal open and the
// removal of the fixed intermediate files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "driver/header_footer.h"
#include "driver/run.h"
#include "driver/run_settings.h"

namespace {

// Captures what is written to the output destination.
class OutputCapture {
public:
    OutputCapture() {
        stream_ = open_memstream(&buffer_, &size_);
        run_settings.out_stream = stream_;
        run_settings.to_file = 1;
    }
    ~OutputCapture() {
        run_settings.to_file = 0;
        run_settings.out_stream = nullptr;
        std::fclose(stream_);
        std::free(buffer_);
    }
    std::string text() {
        std::fflush(stream_);
        return std::string(buffer_, size_);
    }

private:
    std::FILE* stream_ = nullptr;
    char* buffer_ = nullptr;
    std::size_t size_ = 0;
};

std::tm make_time(int year, int month, int day, int hour, int minute) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    return t;
}

TEST(TimeLine, TwoDigitFieldsAndAnEnglishMonth) {
    EXPECT_EQ(format_time_line(make_time(2024, 3, 5, 9, 7)), "# generated on 05 March 2024, 09:07.\n");
    EXPECT_EQ(format_time_line(make_time(1999, 12, 31, 23, 59)), "# generated on 31 December 1999, 23:59.\n");
}

TEST(Header, ByteForByte) {
    run_settings.cif_name = "layouts/hinge test.cif";
    OutputCapture out;
    write_header_at(make_time(2024, 9, 1, 0, 0));
    EXPECT_EQ(out.text(),
              "#\n"
              "# cif input file: layouts/hinge test.cif\n"
              "#\n"
              "# Cif file convert to kavrit format\n"
              "# Use kavrit matlab script to render and manipulate it.\n"
              "# This is a generated data file, edit at own risk.\n"
              "#\n"
              "# Please direct questions/comments for kavrit to: \n"
              "#   cif2kavrit developers\n"
              "#   cif2kavrit@users.invalid\n"
              "#\n"
              "# generated on 01 September 2024, 00:00.\n"
              "#\n");
    run_settings.cif_name.clear();
}

TEST(Header, CurrentTimeLineFollowsThePattern) {
    run_settings.cif_name = "a.cif";
    OutputCapture out;
    write_header();
    std::string text = out.text();
    std::size_t at = text.find("# generated on ");
    ASSERT_NE(at, std::string::npos);
    std::string line = text.substr(at, text.find('\n', at) + 1 - at);
    EXPECT_TRUE(testing::internal::RE::FullMatch(
        line, "# generated on [0-9][0-9] [A-Z][a-z]+ [0-9][0-9][0-9][0-9], [0-9][0-9]:[0-9][0-9]\\.\n"))
        << line;
    run_settings.cif_name.clear();
}

TEST(Footer, ToTheFileOrToStandardOutput) {
    {
        OutputCapture out;
        write_footer();
        EXPECT_EQ(out.text(), "#\n# end of kavrit file\n");
    }
    testing::internal::CaptureStdout();
    write_footer();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "#\n# end of kavrit file\n");
}

TEST(OpenOrExit, MissingFileEndsTheRunWithStatusOne) {
    EXPECT_EXIT(open_or_exit("no such dir/x.cif", "rb"), testing::ExitedWithCode(1),
                "^Error opening file no such dir/x\\.cif\n$");
    EXPECT_EXIT(open_or_exit("", "rb"), testing::ExitedWithCode(1), "^Error opening file \n$");
}

TEST(TemporaryFiles, TheFiveFixedNamesAreRemovedAndNothingElse) {
    namespace fs = std::filesystem;
    fs::path previous = fs::current_path();
    char pattern[] = "/tmp/driver_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    fs::current_path(pattern);

    remove_temporary_files();  // none there: nothing happens
    for (const char* name : {"tmpdata1.file", "tmpdata2.file", "premason.file", "postmason.file",
                             "minimizedm.file", "tmpdata3.file", "CPS.gpc", "a.cif"})
        std::ofstream(name) << "x\n";
    remove_temporary_files();
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(".")) left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"tmpdata3.file", "CPS.gpc", "a.cif"}));

    fs::current_path(previous);
    fs::remove_all(pattern);
}

}  // namespace
