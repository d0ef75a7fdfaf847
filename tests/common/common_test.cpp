// The bottom layer: fixed-point text and what the C library reads back from
// it, and the line pieces of a fixed line buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "common/decimal.h"
#include "common/line_piece.h"

namespace {

std::string printed(double v, int precision) {
    std::vector<char> text(400);
    std::snprintf(text.data(), text.size(), "%.*f", precision, v);
    return text.data();
}

// The text must be printf's, ties rounded to even included, and the values
// read back strtod's and strtof's, also where a cached or exact shortcut
// answers (repeated values, values with few binary places).
TEST(Decimal, PrintfDigitsAndCLibraryReads) {
    std::mt19937_64 rng(99);
    // ties and near-ties at the fifteenth decimal, the largest double and the
    // least normal one among them
    std::vector<double> values = {0.0, -0.0, 0.25, 0.75, -0.25, 2.5, 12.125, 0.05, 0.15, 1e-16, 5e-16, -5e-16,
                                  1.5e-15, 2.5e-15, 0.1, 1.0 / 3, 1e20, -1e300, 123456789.123456789, 4.9e-324,
                                  2.2250738585072014e-308, 1.7976931348623157e308, 3.4028235677973366e38, 1e39};
    for (int i = 0; i < 20000; ++i) {
        const long long k = static_cast<long long>(rng() % 4000001) - 2000000;
        switch (i % 4) {
            case 0: values.push_back(static_cast<float>(static_cast<double>(k) / 100)); break;
            case 1: values.push_back(static_cast<double>(k) / 64); break;
            case 2: values.push_back(static_cast<double>(k) / 100 + 1e-12); break;
            default: values.push_back(static_cast<double>(k) * 1e-7 / 3); break;
        }
    }
    for (int pass = 0; pass < 2; ++pass)  // the second pass meets the cache
        for (const double v : values)
            for (const int precision : {1, 2, 5, 15}) {
                const std::string text = printed(v, precision);
                std::string ours;
                common::append_fixed(ours, v, precision);
                ASSERT_EQ(ours, text) << v;
                const common::Reread r = common::reread(v, precision);
                ASSERT_EQ(r.as_double, std::strtod(text.c_str(), nullptr)) << text;
                ASSERT_EQ(r.as_float, std::strtof(text.c_str(), nullptr)) << text;
            }
}

TEST(LinePiece, StopsAfterTheLineFeedOrAtTheLimitAndKeepsNulBytes) {
    const std::string text = "abc\r\ndef\n" + std::string(120, 'x') + "\n" + std::string("a\0b\n", 4);
    const std::vector<std::string> pieces = {"abc\r\n", "def\n", std::string(99, 'x'), std::string(21, 'x') + "\n",
                                             std::string("a\0b\n", 4)};
    std::size_t position = 0;
    std::string piece;
    for (const std::string& expected : pieces) {
        EXPECT_EQ(common::read_line_piece(text, position, 99, piece), expected.size());
        EXPECT_EQ(piece, expected);
    }
    EXPECT_EQ(common::read_line_piece(text, position, 99, piece), 0u);
    EXPECT_EQ(common::up_to_nul(pieces[4]), "a");
    // the same through a stream
    std::string copy = text;
    std::FILE* in = fmemopen(copy.data(), copy.size(), "rb");
    ASSERT_NE(in, nullptr);
    for (const std::string& expected : pieces) {
        common::read_line_piece(in, 99, piece);
        EXPECT_EQ(piece, expected);
    }
    std::fclose(in);
}

}  // namespace
