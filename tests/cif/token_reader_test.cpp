// Character classes, the token reader, the line pieces and the box number
// conversion, each on small in-memory streams.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "cif/cif_reader.h"

namespace {

struct MemoryStream {
    explicit MemoryStream(std::string text) : text_(std::move(text)) {
        stream = fmemopen(text_.data(), text_.size(), "rb");
    }
    ~MemoryStream() {
        if (stream != nullptr) std::fclose(stream);
    }
    std::string rest() {
        std::string r;
        int c;
        while ((c = std::getc(stream)) != EOF) r.push_back(static_cast<char>(c));
        return r;
    }
    std::string text_;
    std::FILE* stream = nullptr;
};

struct Token {
    int got;
    std::string text;
    float value;
    long consumed;
    long offset;
};

Token next_token(std::FILE* in) {
    Token t{};
    t.got = read_token(in, TOKEN_LENGTH, t.text, t.value, &t.consumed, &t.offset);
    return t;
}

TEST(CharacterClasses, SeparatorsAndTokenCharacters) {
    for (int c : std::string("azAZqQ_()0123456789-+Ee.")) EXPECT_EQ(is_separator(c), 0) << char(c);
    for (int c : std::string(" \t\r\n;,/*!\"'#[]{}<>|\\@$%&=?~`^")) EXPECT_EQ(is_separator(c), 1) << int(c);
    EXPECT_EQ(is_separator(EOF), 1);
    EXPECT_EQ(is_separator(0), 1);
    EXPECT_EQ(is_separator(0x80), 1);
    EXPECT_EQ(is_separator(0xff), 1);
    // ':' is a separator as a byte, but the token reader delivers it as '_'.
    EXPECT_EQ(is_separator(':'), 1);
}

TEST(CharacterClasses, NumberStarts) {
    for (int c : std::string("0123456789-+Ee.")) EXPECT_EQ(is_number_start(c), 1) << char(c);
    for (int c : std::string("aDdFfx_() ;")) EXPECT_EQ(is_number_start(c), 0) << char(c);
    EXPECT_EQ(is_number_start(EOF), 0);
}

TEST(TokenReader, SkipsSeparatorsAndConsumesTheOneAfterTheToken) {
    MemoryStream in("  \tabc;def ");
    Token t = next_token(in.stream);
    EXPECT_EQ(t.got, 1);
    EXPECT_EQ(t.text, "abc");
    EXPECT_EQ(t.value, 0.0f);
    EXPECT_EQ(t.offset, 3);
    EXPECT_EQ(t.consumed, 7);  // three separators, the token and the ';'
    EXPECT_EQ(in.rest(), "def ");
}

TEST(TokenReader, ColonReadsAsUnderscoreAndParenthesesBelongToTokens) {
    MemoryStream in("a:b (x)");
    EXPECT_EQ(next_token(in.stream).text, "a_b");
    EXPECT_EQ(next_token(in.stream).text, "(x)");
}

TEST(TokenReader, NumberValuesAreTheLongestDecimalPrefix) {
    MemoryStream in("12.5e1 -3.25E+ .5x E5 +7 abc12 1e999 -1e999 ");
    EXPECT_FLOAT_EQ(next_token(in.stream).value, 125.0f);
    EXPECT_FLOAT_EQ(next_token(in.stream).value, -3.25f);
    EXPECT_FLOAT_EQ(next_token(in.stream).value, 0.5f);
    EXPECT_FLOAT_EQ(next_token(in.stream).value, 0.0f);  // 'E' starts a number, but none follows
    EXPECT_FLOAT_EQ(next_token(in.stream).value, 7.0f);
    EXPECT_FLOAT_EQ(next_token(in.stream).value, 0.0f);  // a word has the value 0
    // Out of single-precision range: infinities, not an undefined conversion.
    EXPECT_EQ(next_token(in.stream).value, INFINITY);
    EXPECT_EQ(next_token(in.stream).value, -INFINITY);
}

TEST(TokenReader, EndOfFileLosesTheTokenItCutsShort) {
    MemoryStream in("12 34");
    EXPECT_EQ(next_token(in.stream).got, 1);
    Token cut = next_token(in.stream);
    EXPECT_EQ(cut.got, 0);
    EXPECT_EQ(cut.offset, 0);
    EXPECT_EQ(cut.consumed, 2);

    MemoryStream blanks(" \n\t ");
    Token none = next_token(blanks.stream);
    EXPECT_EQ(none.got, 0);
    EXPECT_EQ(none.offset, -1);
    EXPECT_EQ(none.consumed, 4);
}

TEST(TokenReader, LongRunIsCutAtOneHundredAndTheNextByteIsLost) {
    std::string run(100, '1');
    run += "2";
    run += std::string(49, '3');
    MemoryStream in(run + " ");
    Token first = next_token(in.stream);
    EXPECT_EQ(first.got, 1);
    EXPECT_EQ(first.text, std::string(100, '1'));
    EXPECT_EQ(first.consumed, 101);  // the '2' is consumed and lost
    Token second = next_token(in.stream);
    EXPECT_EQ(second.text, std::string(49, '3'));
}

TEST(TokenReader, BytesAboveSevenBitsSeparateTokens) {
    MemoryStream in("\xff\x80x1\xc3\xa9y");
    EXPECT_EQ(next_token(in.stream).text, "x1");
    EXPECT_EQ(next_token(in.stream).got, 0);  // "y" runs into the end of the file
}

TEST(LinePiece, StopsAfterTheLineFeedOrAtNinetyNineBytes) {
    MemoryStream in("abc\r\ndef\n" + std::string(120, 'x'));
    EXPECT_EQ(read_line_piece(in.stream), "abc\r\n");
    EXPECT_EQ(read_line_piece(in.stream), "def\n");
    EXPECT_EQ(read_line_piece(in.stream), std::string(99, 'x'));
    EXPECT_EQ(read_line_piece(in.stream), std::string(21, 'x'));
    EXPECT_EQ(read_line_piece(in.stream), "");
}

TEST(BoxNumbers, ConvertAsPercentD) {
    int v = -7;
    EXPECT_TRUE(convert_box_number("0", v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(convert_box_number("-0", v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(convert_box_number("12-3", v));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(convert_box_number("-45", v));
    EXPECT_EQ(v, -45);
    EXPECT_TRUE(convert_box_number("2147483647", v));
    EXPECT_EQ(v, 2147483647);
    EXPECT_TRUE(convert_box_number("-2147483648", v));
    EXPECT_EQ(v, -2147483647 - 1);
    EXPECT_TRUE(convert_box_number(std::string(199, '0') + "5", v));
    EXPECT_EQ(v, 5);
}

TEST(BoxNumbers, RefuseEmptyRunsSignsAloneAndOverflow) {
    int v = 42;
    EXPECT_FALSE(convert_box_number("", v));
    EXPECT_FALSE(convert_box_number("-", v));
    EXPECT_FALSE(convert_box_number("--1", v));
    EXPECT_FALSE(convert_box_number("2147483648", v));
    EXPECT_FALSE(convert_box_number("-2147483649", v));
    EXPECT_FALSE(convert_box_number(std::string(200, '9'), v));
    EXPECT_EQ(v, 42);  // untouched by a refused run
}

TEST(LayerNames, OnlyNamesThatStayInTheCurrentDirectory) {
    EXPECT_TRUE(layer_name_is_safe("CPS"));
    EXPECT_TRUE(layer_name_is_safe("CPS "));
    EXPECT_TRUE(layer_name_is_safe(".."));  // becomes "...gpc", a plain file here
    EXPECT_TRUE(layer_name_is_safe("\xc3\xa9t\xc3\xa9"));
    EXPECT_TRUE(layer_name_is_safe(std::string(5000, 'N')));
    EXPECT_FALSE(layer_name_is_safe(""));
    EXPECT_FALSE(layer_name_is_safe("../CPS"));
    EXPECT_FALSE(layer_name_is_safe("/tmp/CPS"));
    EXPECT_FALSE(layer_name_is_safe(std::string("C\0S", 3)));
    EXPECT_FALSE(layer_name_is_safe("C\tS"));
    EXPECT_FALSE(layer_name_is_safe("CPS\r"));
    EXPECT_FALSE(layer_name_is_safe("C\x7fS"));
}

}  // namespace
