// Character classes, the token reader, the box number
// conversion and the layer-name check, on small in-memory streams.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "cif/cif_reader.h"
#include "common/file_names.h"

namespace {

using namespace cif;
using common::layer_name_is_safe;

// `text` as a byte stream, with what is left of it after reading.
struct MemoryStream {
    explicit MemoryStream(std::string t) : text(std::move(t)), stream(fmemopen(text.data(), text.size(), "rb")) {}
    ~MemoryStream() { std::fclose(stream); }
    std::string rest() {
        std::string r;
        for (int c = std::getc(stream); c != EOF; c = std::getc(stream)) r.push_back(static_cast<char>(c));
        return r;
    }
    std::string text;
    std::FILE* stream;
};

TEST(CharacterClasses, SeparatorsAndNumberStarts) {
    for (int c : std::string("azAZqQ_()0123456789-+Ee.")) EXPECT_EQ(is_separator(c), 0) << char(c);
    // ':' is a separator as a byte; the token reader delivers it as '_'
    for (int c : std::string(" \t\r\n;,:/*!\"'#[]{}<>|\\@$%&=?~`^")) EXPECT_EQ(is_separator(c), 1) << int(c);
    for (int c : {EOF, 0, 0x80, 0xff}) EXPECT_EQ(is_separator(c), 1) << c;
    for (int c : std::string("0123456789-+Ee.")) EXPECT_EQ(is_number_start(c), 1) << char(c);
    for (int c : std::string("aDdFfx_() ;")) EXPECT_EQ(is_number_start(c), 0) << char(c);
    EXPECT_EQ(is_number_start(EOF), 0);
}

// The first token of each input: whether one was read, its text and value,
// how many bytes came before it (-1: no token byte) and what the stream
// holds afterwards (all other bytes were consumed).
TEST(TokenReader, FirstTokenOfEachInput) {
    struct Case {
        std::string input;
        int got;
        std::string text;
        float value;
        long offset;
        std::string rest;
    };
    const std::string long_run = std::string(100, '1') + "2" + std::string(49, '3') + " ";
    const std::vector<Case> cases = {
        {"  \tabc;def ", 1, "abc", 0, 3, "def "},  // the separator after the token is consumed
        {"a:b ", 1, "a_b", 0, 0, ""},
        {"(x) ", 1, "(x)", 0, 0, ""},
        {"12.5e1 ", 1, "12.5e1", 125, 0, ""},  // the longest decimal prefix
        {"-3.25E+ ", 1, "-3.25E+", -3.25f, 0, ""},
        {".5x ", 1, ".5x", 0.5f, 0, ""},
        {"E5 ", 1, "E5", 0, 0, ""},  // 'E' starts a number, but none follows
        {"+7 ", 1, "+7", 7, 0, ""},
        {"abc12 ", 1, "abc12", 0, 0, ""},  // a word has the value 0
        {"1e999 ", 1, "1e999", INFINITY, 0, ""},  // out of range: infinities, not an undefined conversion
        {"-1e999 ", 1, "-1e999", -INFINITY, 0, ""},
        {"34", 0, "", 0, 0, ""},  // a token that runs into the end of the file is lost
        {" \n\t ", 0, "", 0, -1, ""},
        // cut at 100 characters: the byte after them is consumed and lost
        {long_run, 1, std::string(100, '1'), INFINITY, 0, long_run.substr(101)},
        {"\xff\x80x1\xc3\xa9y", 1, "x1", 0, 2, "\xa9y"},  // bytes above 7 bits separate
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.substr(0, 20));
        MemoryStream in(c.input);
        std::string text;
        float value = -1;
        long consumed = 0, offset = 0;
        EXPECT_EQ(read_token(in.stream, TOKEN_LENGTH, text, value, &consumed, &offset), c.got);
        if (c.got == 1) {
            EXPECT_EQ(text, c.text);
            EXPECT_EQ(value, c.value);
        }
        EXPECT_EQ(offset, c.offset);
        EXPECT_EQ(consumed, static_cast<long>(c.input.size() - c.rest.size()));
        EXPECT_EQ(in.rest(), c.rest);
    }
}

TEST(BoxNumbers, ConvertAsPercentDOrRefuse) {
    const std::vector<std::pair<std::string, int>> good = {
        {"0", 0}, {"-0", 0}, {"12-3", 12}, {"-45", -45}, {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1}, {std::string(199, '0') + "5", 5}};
    for (const auto& [run, expected] : good) {
        int v = -7;
        EXPECT_TRUE(convert_box_number(run, v)) << run;
        EXPECT_EQ(v, expected) << run;
    }
    for (const std::string& run : {std::string(), std::string("-"), std::string("--1"), std::string("2147483648"),
                                   std::string("-2147483649"), std::string(200, '9')}) {
        int v = 42;
        EXPECT_FALSE(convert_box_number(run, v)) << run;
        EXPECT_EQ(v, 42) << run;  // untouched by a refused run
    }
}

TEST(LayerNames, OnlyNamesThatStayInTheCurrentDirectory) {
    // ".." becomes "...gpc", a plain file here
    for (const std::string& name : {std::string("CPS"), std::string("CPS "), std::string(".."),
                                    std::string("\xc3\xa9t\xc3\xa9"), std::string(5000, 'N')})
        EXPECT_TRUE(layer_name_is_safe(name)) << name;
    for (const std::string& name : {std::string(), std::string("../CPS"), std::string("/tmp/CPS"),
                                    std::string("C\0S", 3), std::string("C\tS"), std::string("CPS\r"), std::string("C\x7fS")})
        EXPECT_FALSE(layer_name_is_safe(name)) << name;
}

}  // namespace
