// The number text of the structure output against printf, at the extremes of
// 32-bit coordinates, and the buffered writing across many small pieces.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "output/block_text.h"
#include "run_stage.h"

namespace {

template <class... Args>
std::string printed(const char* format, Args... args) {
    char buf[512];
    std::snprintf(buf, sizeof buf, format, args...);
    return buf;
}

const std::vector<std::int32_t> EXTREMES = {INT_MIN, INT_MIN + 1, -16777217, -3, -1, 0, 1, 2, 3,
                                            16777216, 16777217, 33554435, INT_MAX - 1, INT_MAX};

TEST(BlockText, BoxLinesAsPrintfWritesThem) {
    for (const std::int32_t lo : EXTREMES) {
        for (const std::int32_t hi : EXTREMES) {
            // Lower above upper never comes from the box list; the text must still be printf's.
            const common::Box b{lo, hi, hi, lo, lo, lo};
            auto d = [](std::int64_t v) { return static_cast<double>(v); };
            const std::string expected = printed(
                "  %.1f %.1f %.1f %.1f %.1f %.1f\n", d(std::int64_t{b.xmax} - b.xmin), d(std::int64_t{b.ymax} - b.ymin),
                d(std::int64_t{b.zmax} - b.zmin), d(std::int64_t{b.xmin} + b.xmax) / 2,
                d(std::int64_t{b.ymin} + b.ymax) / 2, d(std::int64_t{b.zmin} + b.zmax) / 2);
            std::string text = "x";
            output::append_box_line(text, b);
            EXPECT_EQ(text, "x" + expected) << lo << " " << hi;
        }
    }
}

TEST(BlockText, IntegersAndHalvesAsPrintfWritesThem) {
    for (const std::int64_t v : {std::int64_t{INT64_MIN}, std::int64_t{-8589934590}, std::int64_t{INT_MIN},
                                 std::int64_t{-1}, std::int64_t{0}, std::int64_t{7}, std::int64_t{INT_MAX},
                                 std::int64_t{8589934590}, std::int64_t{INT64_MAX}}) {
        std::string text;
        output::append_int(text, v);
        EXPECT_EQ(text, printed("%lld", static_cast<long long>(v)));
    }
    for (std::int64_t twice = -8589934592; twice <= 8589934592; twice += 8589934592 / 7 + 1) {
        for (const std::int64_t t : {twice, twice + 1, -1 - twice}) {
            std::string one, two;
            output::append_half_1(one, t);
            output::append_half_2(two, t);
            EXPECT_EQ(one, printed("%.1f", static_cast<double>(t) / 2)) << t;
            EXPECT_EQ(two, printed("%.2f", static_cast<double>(t) / 2)) << t;
        }
    }
}

// The turn point is held in single precision: beyond 2^24 the centre of a
// hinge box rounds as a float does.
TEST(BlockText, RotatePointRoundsAsAFloat) {
    // Longer in y: the axis is +y through the x centre, lo + 1, whose double
    // is no float in each case.
    for (const std::int32_t lo : {16777218, -33554434, INT_MAX - 6, INT_MIN}) {
        const std::string list = printed("\t%d\t%d\t0\t6\t1\t4\n\n", lo, lo + 2);
        const float x = static_cast<float>(std::int64_t{lo} + lo + 2) / 2;
        const std::string expected = printed("  rotate: +y %.2f %.2f %.2f\n", static_cast<double>(x), 0.0, 2.0);
        const std::string out = run_output_stage(list, {0, 0, 1}).output;
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "in\n" << out;
    }
}

TEST(BlockText, SinkPassesEveryPieceOnInOrder) {
    ScratchDir dir;
    for (const std::size_t flush_at : {std::size_t{0}, std::size_t{1}, std::size_t{7}, std::size_t{1} << 20}) {
        std::string expected;
        {
            common::Output out(std::fopen("sink.txt", "w"), "sink.txt");
            {
                output::TextSink sink(out, flush_at);
                for (int i = 0; i < 500; ++i) {
                    const std::string piece = std::string(static_cast<std::size_t>(i % 13), 'a' + i % 26) + "\n";
                    expected += piece;
                    if (i % 2 == 0) {
                        sink.add(piece);
                    } else {
                        sink.text() += piece;
                        sink.done();
                    }
                }
            }  // the rest goes out here
            std::fclose(out.release());
        }
        EXPECT_EQ(read_file("sink.txt"), expected) << flush_at;
    }
}

}  // namespace
