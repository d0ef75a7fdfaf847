// Files the GDSII reader must refuse, each with the byte offset of the record
// and what is wrong, and hostile files that must end with a message, never
// with a crash, a hang or the memory filled.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "gds_bytes.h"
#include "gdsread/read_gds.h"

namespace {

using gdstest::Gds;

// A structure name: a letter and a number.
std::string cell(char letter, int i) {
    std::string s(1, letter);
    s += std::to_string(i);
    return s;
}

gdsread::GdsReadResult read(const std::string& bytes, const cifread::ReadLimits& limits = {}) {
    gdsread::MemorySource source(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    const gdsread::LayerMap map = gdsread::LayerMap::parse("1 CPS\n");
    return gdsread::read_gds(source, &map, "", limits);
}

struct Bad {
    const char* name;
    std::string bytes;
    long long offset;  // -1: none
    std::string message;
};

// A file written by `before` and then `after`: the error is expected at the
// offset of the record `after` begins with.
using Step = std::function<void(Gds&)>;
Bad bad(const char* name, Gds g, const Step& before, const Step& after, const std::string& message) {
    before(g);
    const long long at = static_cast<long long>(g.bytes.size());
    after(g);
    return {name, g.bytes, at, message};
}

// Cell A of one box, and T begun.
void a_then_t(Gds& g) { g.begin("A").rect(1, 0, 0, 0, 1, 1).end().begin("T"); }

std::vector<Bad> bad_files() {
    const Gds nm = Gds::library(1e-9);
    const auto raw = [](std::string bytes) { return [bytes](Gds& g) { g.bytes += bytes; }; };
    const auto nothing = [](Gds&) {};
    // The first BGNSTR of A: after the library's records.
    const long long first_a = static_cast<long long>(nm.bytes.size());
    return {
        bad("odd record length", nm, nothing, raw(std::string("\x00\x05\x05\x02\x00", 5)), "record length 5 is odd"),
        bad("record length below 4", nm, nothing, raw(std::string("\x00\x02\x05\x02", 4)), "record length 2 is below 4"),
        bad("length past the end", nm, nothing, raw(std::string("\xff\xfe\x05\x02\x00\x00", 6)),
            "record BGNSTR of length 65534 reaches past the end of the file (truncated file)"),
        bad("no ENDLIB", nm, [](Gds& g) { g.begin("A").rect(1, 0, 0, 0, 1, 1).end(); }, nothing,
            "the file ends before ENDLIB (truncated file)"),
        bad("undefined structure", nm, [](Gds& g) { g.begin("A"); },
            [](Gds& g) { g.sref("B", {0, 0}).end().end_library(); }, "reference to undefined structure B"),
        bad("direct self reference", nm, [](Gds& g) { g.begin("A").rect(1, 0, 0, 0, 1, 1); },
            [](Gds& g) { g.sref("A", {5, 0}).end().end_library(); }, "structure A references itself (A -> A)"),
        bad("reference through others", nm,
            [](Gds& g) { g.begin("A").sref("B", {0, 0}).end().begin("B").sref("C", {0, 0}).end().begin("C"); },
            [](Gds& g) { g.sref("A", {0, 0}).end().end_library(); }, "structure A references itself (A -> B -> C -> A)"),
        bad("defined twice", nm, [](Gds& g) { g.begin("A").end(); }, [](Gds& g) { g.begin("A").end().end_library(); },
            "structure A defined twice (first at offset " + std::to_string(first_a) + ")"),
        bad("AREF without columns", nm, a_then_t,
            [](Gds& g) { g.aref("A", 0, 3, {0, 0}, {0, 0}, {0, 30}).end().end_library(); },
            "AREF with 0 columns and 3 rows (both must be at least 1)"),
        bad("AREF without rows", nm, a_then_t,
            [](Gds& g) { g.aref("A", 2, 0, {0, 0}, {20, 0}, {0, 0}).end().end_library(); },
            "AREF with 2 columns and 0 rows (both must be at least 1)"),
        bad("boundary without XY", nm, [](Gds& g) { g.begin("A"); },
            [](Gds& g) { g.none(0x08).int16(0x0D, {1}).none(0x11).end().end_library(); }, "BOUNDARY element without XY"),
        bad("XY of broken points", nm, [](Gds& g) { g.begin("A").none(0x08).int16(0x0D, {1}); },
            [](Gds& g) { g.record(0x10, 3, "abcdefghij").none(0x11).end().end_library(); },
            "XY record of 10 bytes does not hold whole points"),
        bad("ENDEL missing", nm, [](Gds& g) { g.begin("A").none(0x08); }, [](Gds& g) { g.begin("B"); },
            "BGNSTR record inside an element (ENDEL missing)"),
        bad("path type 3", nm, [](Gds& g) { g.begin("A"); },
            [](Gds& g) { g.path(1, 3, 10, {{0, 0}, {10, 0}}).end().end_library(); }, "PATHTYPE 3 is none of 0, 1, 2 and 4"),
        bad("no UNITS", Gds{}, [](Gds& g) { g.int16(0x00, {600}).int16(0x01, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}); },
            [](Gds& g) { g.begin("A").end().end_library(); }, "BGNSTR before the UNITS record"),
        bad("negative magnification", nm, a_then_t, [](Gds& g) { g.sref("A", {0, 0}, 0, -2).end().end_library(); },
            "SREF with a magnification that is not a positive number"),
        // 2^31 - 1 micrometres: far beyond the 32-bit CIF range once in 10 nm units.
        bad("2^31 coordinates", Gds::library(1e-6), [](Gds& g) { g.begin("A"); },
            [](Gds& g) { g.rect(1, 0, -2147483647 - 1, 0, 2147483647, 10).end().end_library(); },
            "coordinates out of range (beyond 32-bit CIF numbers once placed)"),
    };
}

TEST(GdsErrors, EachWithItsOffsetAndMessage) {
    for (const Bad& b : bad_files()) {
        SCOPED_TRACE(b.name);
        const auto r = read(b.bytes);
        ASSERT_FALSE(r.ok);
        EXPECT_EQ(r.error.offset, b.offset);
        EXPECT_EQ(r.error.text, b.message);
    }
}

// A small file holding every kind of element, cut after each of its bytes.
TEST(GdsErrors, TruncatedAtEveryByte) {
    Gds g = Gds::library(1e-9);
    g.begin("A").rect(1, 0, 0, 0, 100, 50).path(1, 4, 10, {{0, 0}, {0, 90}}, 3, 4).end();
    g.begin("T").sref("A", {10, 10}, 0x8000, 2, 90).aref("A", 2, 3, {0, 0}, {400, 0}, {0, 900}).end();
    const std::string whole = g.end_library().bytes;
    ASSERT_TRUE(read(whole).ok);
    EXPECT_EQ(read("").error.text, "the file is empty");
    for (std::size_t n = 1; n < whole.size(); ++n) {
        const auto r = read(whole.substr(0, n));
        ASSERT_FALSE(r.ok) << n;
        EXPECT_NE(r.error.text.find("truncated file"), std::string::npos) << n << ": " << r.error.text;
    }
}

TEST(GdsErrors, HostileFilesEndWithAMessage) {
    cifread::ReadLimits small;
    small.max_placed_boxes = 1000;
    small.max_instances = 1000;
    {
        // 64 levels, each placing the next twice: 2^64 boxes, refused
        // before anything is placed.
        Gds g = Gds::library(1e-9);
        g.begin("L64").rect(1, 0, 0, 0, 10, 10).end();
        for (int i = 63; i >= 0; --i)
            g.begin(cell('L', i))
                .sref(cell('L', i + 1), {0, 0})
                .sref(cell('L', i + 1), {20, 0})
                .end();
        const auto r = read(g.end_library().bytes);
        ASSERT_FALSE(r.ok);
        EXPECT_EQ(r.error.text, "the layout places more than 5000000 boxes, more than this reader takes");
    }
    {
        // A chain 20,000 deep places one box.
        Gds g = Gds::library(1e-9);
        const int depth = 20000;
        g.begin(cell('C', depth)).rect(1, 0, 0, 0, 10, 10).end();
        for (int i = depth - 1; i >= 0; --i)
            g.begin(cell('C', i)).sref(cell('C', i + 1), {0, 0}).end();
        const auto r = read(g.end_library().bytes);
        ASSERT_TRUE(r.ok) << r.error.text;
        ASSERT_EQ(r.layout.layers.size(), 1u);
        EXPECT_EQ(r.layout.layers[0].boxes.size(), 1u);
    }
    {
        // The largest AREF the format holds.
        Gds g = Gds::library(1e-9);
        g.begin("A").rect(1, 0, 0, 0, 10, 10).end().begin("T");
        g.aref("A", 32767, 32767, {0, 0}, {32767 * 20, 0}, {0, 32767 * 20}).end();
        const auto r = read(g.end_library().bytes);
        ASSERT_FALSE(r.ok);
        EXPECT_EQ(r.error.text, "the layout places more than 5000000 boxes, more than this reader takes");
    }
    {
        // Magnifications that never repeat make a variant of the cell each,
        // beyond the limits.
        Gds g = Gds::library(1e-9);
        g.begin("A").rect(1, 0, 0, 0, 10, 10).end().begin("T");
        for (int i = 1; i <= 1100; ++i) g.sref("A", {0, 0}, 0, 1 + i / 4096.0);
        const auto r = read(g.end().end_library().bytes, small);
        ASSERT_FALSE(r.ok);
        EXPECT_EQ(r.error.text, "the layout needs more than 1000 placements once its arrays and magnifications are "
                                "spelt out, more than this reader takes");
    }
    {
        // Many of the largest single rows: the calls that spell them out are
        // bounded before they fill the memory.
        Gds g = Gds::library(1e-9);
        g.begin("A").path(1, 1, 10, {{0, 0}, {10, 0}}).end().begin("T");  // places no box
        for (int i = 0; i < 160; ++i) g.aref("A", 32767, 1, {0, i}, {32767, i}, {0, i + 1});
        const auto r = read(g.end().end_library().bytes);
        ASSERT_FALSE(r.ok);
        EXPECT_EQ(r.error.text, "the layout needs more than 5000000 placements once its arrays and magnifications "
                                "are spelt out, more than this reader takes");
    }
    {
        // Magnifications that grow without end multiply out of range.
        Gds g = Gds::library(1e-9);
        g.begin("M0").rect(1, 0, 0, 0, 10, 10).end();
        for (int i = 1; i <= 40; ++i)
            g.begin(cell('M', i)).sref(cell('M', i - 1), {0, 0}, 0, 7.0 / 3).end();
        const auto r = read(g.end_library().bytes);
        ASSERT_FALSE(r.ok);
        EXPECT_NE(r.error.text.find("out of range"), std::string::npos) << r.error.text;
    }
}

}  // namespace
