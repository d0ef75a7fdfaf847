// The character scan over in-memory CIF text, run in a fresh directory: the
// layer files it makes (and that it writes none into the directory), what its
// end commands write to the output, what it prints, and the point table of
// the polygon and wire commands.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cif/cif_reader.h"
#include "cif/scan_cif.h"
#include "common/output.h"
#include "common/polygon_file.h"
#include "tests/common/scratch_dir.h"

namespace {

// A text read through a stream of its own that counts the bytes it delivers.
// The stream's buffer is small, so that a seek back re-reads little more
// than the bytes it goes back over.
struct CountedText {
    std::string text;
    long pos = 0;
    long delivered = 0;

    std::FILE* open(const std::string& t) {
        text = t;
        cookie_io_functions_t io{};
        io.read = [](void* c, char* buf, std::size_t n) -> ssize_t {
            auto* self = static_cast<CountedText*>(c);
            const long left = static_cast<long>(self->text.size()) - self->pos;
            const long k = std::min(static_cast<long>(n), std::max(0L, left));
            std::copy_n(self->text.data() + self->pos, k, buf);
            self->pos += k;
            self->delivered += k;
            return k;
        };
        io.seek = [](void* c, off64_t* offset, int whence) -> int {
            auto* self = static_cast<CountedText*>(c);
            const long base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? self->pos : static_cast<long>(self->text.size());
            const long to = base + static_cast<long>(*offset);
            if (to < 0 || to > static_cast<long>(self->text.size())) return -1;
            self->pos = to;
            *offset = to;
            return 0;
        };
        std::FILE* f = fopencookie(this, "rb", io);
        if (f != nullptr) std::setvbuf(f, nullptr, _IOFBF, 64);
        return f;
    }
};

using namespace cif;

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;  // file name -> content

// The five lines of one box contour, lower left first, counter-clockwise.
std::string contour(const char* x0, const char* y0, const char* x1, const char* y1) {
    return std::string("4\n") + x0 + " " + y0 + "\n" + x1 + " " + y0 + "\n" + x1 + " " + y1 + "\n" + x0 + " " + y1 + "\n";
}
const std::string kTraced = contour("8.0", "4.0", "12.0", "6.0");  // B 400 200 1000 500
const std::string kUnit = contour("-0.5", "-0.5", "0.5", "0.5");   // B 100 100 0 0

std::string pairs(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text.append(" ").append(std::to_string(i)).append(" ").append(std::to_string(2 * i));
    return text;
}

struct ScanCase {
    const char* label;
    std::string cif;
    Files files;               // every file the scan leaves
    std::string out = "";      // what the end commands wrote
    std::string console = "";  // standard output
    int points = -1;           // point_count afterwards, checked when not -1
    common::PointF last{};          // the last pair stored, checked when points > 0
    std::vector<std::string> created = {};  // the created-file list, checked when given
};

class ScanTest : public ::testing::Test {
protected:
    // Scans `text`; gives what went to the output and keeps the files made.
    // With `delivered`, the input is a stream that counts the bytes it hands
    // the scanner, read again after a seek back included.
    std::string scan(std::string text, CountedText* delivered = nullptr) {
        char* buffer = nullptr;
        std::size_t size = 0;
        std::FILE* out = open_memstream(&buffer, &size);
        std::FILE* in = delivered ? delivered->open(text) : fmemopen(text.data(), text.size(), "rb");
        if (out == nullptr || in == nullptr) {
            ADD_FAILURE() << "cannot open the memory streams";
            return "";
        }
        const common::Output output(out, "out");
        files_ = common::PolygonFiles();
        scanner_ = std::make_unique<Scanner>(in, output, files_);
        scanner_->scan();
        std::fclose(in);
        std::fclose(out);
        std::string written(buffer, size);
        std::free(buffer);
        return written;
    }

    Files files() const {
        Files found;
        for (const std::string& name : files_.created()) found[name] = files_.find(name)->render();
        return found;
    }
    std::vector<std::string> created() const { return files_.created(); }

    void check(const std::vector<ScanCase>& cases) {
        for (const ScanCase& c : cases) {
            SCOPED_TRACE(c.label);
            testing::internal::CaptureStdout();
            EXPECT_EQ(scan(c.cif), c.out);
            EXPECT_EQ(testing::internal::GetCapturedStdout(), c.console);
            EXPECT_EQ(files(), c.files);
            if (!c.created.empty()) {
                EXPECT_EQ(created(), c.created);
            }
            if (c.points >= 0) {
                EXPECT_EQ(scanner_->point_count, c.points);
            }
            if (c.points > 0) {
                EXPECT_FLOAT_EQ(scanner_->point_table[c.points - 1].x, c.last.x);
                EXPECT_FLOAT_EQ(scanner_->point_table[c.points - 1].y, c.last.y);
            }
            // Nothing is written to the current directory.
            EXPECT_TRUE(fs::is_empty("."));
        }
    }

    ScratchDir dir_;
    common::PolygonFiles files_;
    std::unique_ptr<Scanner> scanner_;
};

TEST_F(ScanTest, BoxAndLayerCommands) {
    const std::string digits(200, '9');
    check({
        {"traced layout", "L CPS;\nB 400 200 1000 500;\nE\n",
         {{"CPS.gpc", "1\n4\n8.0 4.0\n12.0 4.0\n12.0 6.0\n8.0 6.0\n"}}, "\n", "", -1, {}, {"CPS.gpc"}},
        {"two layers of two boxes",
         "L CPS;\nB 400 200 1000 500;\nB 200 200 2000 2000;\nL CPT;\nB 100 100 0 0;\nB 1000 400 -500 -200;\nE\n",
         {{"CPS.gpc", "2\n" + kTraced + contour("19.0", "19.0", "21.0", "21.0")},
          {"CPT.gpc", "2\n" + kUnit + contour("-10.0", "-4.0", "0.0", "0.0")}},
         "\n"},
        // 4.5 / 100 = 0.045 prints 0.0; an integer half (5) would give 0.05, printed 0.1
        {"exact halves", "L CPS;\nB 11 2 10 0;\n", {{"CPS.gpc", "1\n" + contour("0.0", "-0.0", "0.2", "0.0")}}},
        {"edges of the int range", "L CPS;\nB 2147483647 2 2147483647 0;\nB 2 2 -2147483648 0;\n",
         {{"CPS.gpc", "2\n" + contour("10737418.0", "-0.0", "32212254.0", "0.0") +
                          contour("-21474836.0", "-0.0", "-21474836.0", "0.0")}}},
        {"malformed boxes are dropped",
         "L CPS;\n"
         "B +400 200 1000 500;\n"         // a sign the run does not take
         "B 400  200 1000 500;\n"         // two blanks: an empty run
         "B 400 200 1000;\n"              // a number missing
         "B 99999999999 200 1000 500;\n"  // does not fit an int
         "B - 200 1000 500;\n"            // no digits
         "B 12-3 200 1000 500;\n"         // "%d" reads 12
         "B 400\t200\t1000\t500;\n"       // one tab is one separating byte
         "B 400 200 1000 500 1 0;\n",     // a direction vector is passed over
         {{"CPS.gpc", "8\n" + contour("9.9", "4.0", "10.1", "6.0") + kTraced + kTraced}}},
        {"numbers of 200 digits",
         "L CPS;\nB " + digits + " 200 1000 500;\nB 400 200 1000 " + digits + ";\nB 400 200 1000 500;\nP " + digits +
             " " + digits + ";\nW " + digits + " 1 1;\n",
         {{"CPS.gpc", "3\n" + kTraced}}},
        {"box cut short by the end of the file", "L CPS;\nB 400 200 1000 500", {{"CPS.gpc", "1\n"}}},
        {"box letter without blank: counted, nothing written", "L CPS;\nBad;\nB 400 200 1000 500;\nBX 400 200 1000 500;\n",
         {{"CPS.gpc", "3\n" + kTraced}}},
        {"boxes without an open layer file",
         "B 400 200 1000 500;\nL CPS;\nB 100 100 0 0;\nE\nB 400 200 1000 500;\n", {{"CPS.gpc", "1\n" + kUnit}}, "\n"},
        {"layer followed by a polygon closes the previous file",
         "L CPS;\nB 400 200 1000 500;\nL CPT;\nP 0 0 10 0 10 10;\nB 100 100 0 0;\n", {{"CPS.gpc", "1\n" + kTraced}}},
        // 'C' is consumed; the 'P' of the name starts a polygon that ends at once on "S"
        {"layer letter without blank", "LCPS;\nB 400 200 1000 500;\n", {}},
        {"same layer twice keeps the later boxes",
         "L CPS;\nB 400 200 1000 500;\nL CPT;\nB 100 100 0 0;\nL CPS;\nB 200 200 2000 2000;\n",
         {{"CPS.gpc", "1\n" + contour("19.0", "19.0", "21.0", "21.0")}, {"CPT.gpc", "1\n" + kUnit}}, "", "", -1, {},
         {"CPS.gpc", "CPT.gpc", "CPS.gpc"}},
        {"blank before ';' belongs to the name", "L CPS ;\nB 400 200 1000 500;\n", {{"CPS .gpc", "1\n" + kTraced}}},
        {"unsafe names make no file and drop their boxes",
         "L CPS;\nB 400 200 1000 500;\nL ../cif_scan_escape;\nB 100 100 0 0;\nL /tmp/cif_scan_escape;\nB 100 100 0 0;\n"
         "L ;\nB 100 100 0 0;\nL A\tB;\nB 100 100 0 0;\nL CPS\r\n;\nB 100 100 0 0;\n" +
             std::string("L A\0B;\n", 7) + "B 100 100 0 0;\n",
         {{"CPS.gpc", "1\n" + kTraced}}, "", "", -1, {}, {"CPS.gpc"}},
        {"layer without ';' ends the scan", "L CPS;\nB 400 200 1000 500;\nL CPT\nB 100 100 0 0\nE\n",
         {{"CPS.gpc", "1\n" + kTraced}}},
        {"break in the box run: more contours than counted",
         "L CPS;\nB 400 200 1000 500;\n(a comment)\nB 100 100 0 0;\nE\n", {{"CPS.gpc", "1\n" + kTraced + kUnit}}, "\n"},
        {"comment before a box on its line hides it", "L CPS; (12) B 400 200 1000 500;\n", {{"CPS.gpc", "1\n"}}},
        {"'9' before a box on its line hides it", "L CPT;\nB 100 100 0 0; 9 B 400 200 1000 500;\n",
         {{"CPT.gpc", "2\n" + kUnit}}},
        {"look-ahead stops at a lower-case b", "L CPS;\nb 1 1 0 0;\nB 400 200 1000 500;\n", {}},
        {"look-ahead passes over digits and punctuation",
         "L CPT;\n;;12;\n  B 400 200 1000 500;\n,.;B 100 100 0 0; DF;\nB 1 1 0 0;\n",
         {{"CPT.gpc", "2\n" + kTraced + kUnit + contour("-0.0", "-0.0", "0.0", "0.0")}}},
        // each "L a;" after a box's fourth number ends a statement that the first look-ahead counted
        {"layer commands inside a box run", "L a;B 100 100 0 0 L a;B 100 100 0 0 L a;B 100 100 0 0 L a;E\n",
         {{"a.gpc", "1\n" + kUnit}}, "\n", "", -1, {}, {"a.gpc", "a.gpc", "a.gpc"}},
    });
}

TEST_F(ScanTest, CommentsExtensionsAndTheEndCommand) {
    check({
        {"one-line comment, then boxes", "(Layout of a hinge; boxes follow)\nL CPS;\nB 400 200 1000 500;\n",
         {{"CPS.gpc", "1\n" + kTraced}}},
        {"E on a comment's second line acts", "(first line of a comment\nEnd of it)\n", {}, "nd of it)\n"},
        {"a comment line is skipped for 99 bytes only", "(" + std::string(99, 'x') + "Etail\n", {}, "tail\n"},
        {"'9' loses its line", "94 Ext B 1 1 0 0;\nL CPS;\nB 400 200 1000 500;\n", {{"CPS.gpc", "1\n" + kTraced}}},
        {"without the '9' the E acts", "4 Ext;\n", {}, "xt;\n"},
        {"lower-case letters are no commands", "l CPS;\nb 400 200 1000 500;\ne\n", {}},
        {"CR LF line ends", "L CPS;\r\nB 400 200 1000 500;\r\nE\r\n", {{"CPS.gpc", "1\n" + kTraced}}, "\r\n"},
        {"end line written up to a NUL byte", std::string("E ab\0cd\nE z\n", 12), {}, " ab z\n"},
        {"end closes the layer, the scan goes on",
         "L CPS;\nB 400 200 1000 500;\nE\nB 100 100 0 0;\nL CPT;\nB 100 100 0 0;\nE\n",
         {{"CPS.gpc", "1\n" + kTraced}, {"CPT.gpc", "1\n" + kUnit}}, "\n\n"},
        {"byte 255 ends the scan", "L CPS;\nB 400 200 1000 500;\n\xff" "B 100 100 0 0;\nE\n",
         {{"CPS.gpc", "2\n" + kTraced}}},
        {"symbol definitions and calls are passed over",
         "DS 1 1 1;\n9 cell;\nL CPS;\nB 400 200 1000 500;\nDF;\nC 1 T 500 0;\nE\n", {{"CPS.gpc", "1\n" + kTraced}}, "\n"},
    });
}

TEST_F(ScanTest, PolygonsAndWires) {
    const std::string too_many = "Too many points in line.\r\n";
    check({
        {"polygon hands its ending token back", "L CPS;\nB 100 100 0 0;\nP 0 0 10 0 10 10;\nB 400 200 1000 500;\n",
         {{"CPS.gpc", "1\n" + kUnit + kTraced}}, "", "", 3, {10, 10}},
        // "94 x" is a fourth pair (a word is y = 0); "E" is read as x, the y read
        // meets the end of the file and the scan resumes at the 'E'
        {"digit statements read as pairs", "P 0 0 1 1 2 2; 94 x;\nE\n", {}, "\n", "", 4, {94, 0}},
        {"501st pair: the scan resumes at its y", "P" + pairs(500) + " 3 Etail;\n", {}, "tail;\n", too_many, 500,
         {499, 998}},
        {"exactly 500 pairs", "P" + pairs(500) + ";\nDF;\n", {}, "", "", 500, {499, 998}},
        {"wire: width, then pairs", "W 20 0 0 100 0; E\n", {}, "\n", "", 2, {100, 0}},
        {"wire without width keeps the word consumed", "W xE1\n", {}},
        {"polygon hands the same word back", "P xE1\n", {}, "1\n"},
        {"wire stops at 500 pairs", "W 5" + pairs(700) + ";\n", {}, "", too_many, 500, {499, 998}},
    });
}

TEST_F(ScanTest, ManyLayerCommandsInsideOneBoxRunStayLinear) {
    std::string text = "L a;";
    const int n = 500;
    for (int i = 0; i < n; ++i) text += "B 100 100 0 0 L a;";
    text += "B 200 200 0 0;E\n";
    CountedText input;
    EXPECT_EQ(scan(text, &input), "\n");
    EXPECT_EQ(files(), (Files{{"a.gpc", "1\n" + contour("-1.0", "-1.0", "1.0", "1.0")}}));
    EXPECT_EQ(created().size(), static_cast<std::size_t>(n + 1));
    // One look-ahead over the run, not one per layer command: the text is
    // read about once (a look-ahead per command would read some n * n / 2
    // boxes of 18 bytes, over 2 MB, for these 9 kB).
    EXPECT_LE(input.delivered, 2 * static_cast<long>(text.size()));
}

}  // namespace
