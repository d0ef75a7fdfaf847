// cif2kavrit --flatten through the real binary: layouts drawn with symbols
// against the same layouts written flat, the scanner's own flat dialect with
// and without the option, the option on the command line, and failures.
#include <gtest/gtest.h>

#include "harness.h"

namespace {

using e2e::run_cif2kavrit;
using Names = std::set<std::string>;

const std::string NOTE_TAIL = " places symbols; read with --flatten to place every instance\n";

// The output without the header's file name line and time line, and without
// what came before the header (the rest of the end command's line).
std::string comparable(const std::string& output) {
    std::string masked = e2e::mask_time_line(output);
    const std::size_t header = masked.find("#\n# cif input file: ");
    if (header == std::string::npos) return masked;
    masked.erase(0, header);
    masked.erase(2, masked.find('\n', 2) - 1);  // "# cif input file: NAME\n"
    return masked;
}

// A conversion that must end well: returns the -o file.
std::string convert_ok(const std::vector<std::string>& options, const std::string& name, const std::string& cif,
                       const std::string& err = "") {
    std::vector<std::string> args = options;
    args.insert(args.end(), {"-o", "out.kav", name});
    const e2e::RunResult r = run_cif2kavrit(args, {{name, cif}});
    EXPECT_TRUE(r.ended_cleanly()) << r.err;
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(r.file_names(), (Names{name, "out.kav"}));
    return r.output_file.value_or("<no output file>");
}

std::size_t count_of(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::string data_file(const std::string& path) {
    const std::string text = e2e::read_file(e2e::source_dir() + "/tests/data/" + path);
    EXPECT_FALSE(text.empty()) << path;
    return text;
}

// ---------------------------------------------------------------- pairs ----

TEST(Flatten, HierarchicalLayoutsMatchTheirFlatCopies) {
    for (const char* sample : {"sample-0.cif", "sample-1.cif", "sample-2.cif"}) {
        SCOPED_TRACE(sample);
        const std::string hierarchical = data_file(std::string("cif-hierarchy/hierarchical/") + sample);
        const std::string flat = data_file(std::string("cif-hierarchy/flat/") + sample);
        for (const std::vector<std::string>& options :
             {std::vector<std::string>{"--flatten", "-s"}, {"-r", "--flatten", "-nolinkage"}}) {
            const std::string a = convert_ok(options, "h.cif", hierarchical);
            const std::string b = convert_ok(options, "f.cif", flat);
            EXPECT_TRUE(comparable(a) == comparable(b));
            // The device is there: many structures, hinged ones, reflectors.
            EXPECT_GT(count_of(a, "start -----"), 100u);
            EXPECT_GT(count_of(a, "reflect start"), 10u);
            EXPECT_GT(count_of(a, "anchor: true"), 10u);
        }
        // Read as written, the two files give other devices, with the note.
        const std::string a = convert_ok({"-s"}, "h.cif", hierarchical, "cif2kavrit: note: h.cif" + NOTE_TAIL);
        const std::string b = convert_ok({"-s"}, "f.cif", flat, "cif2kavrit: note: f.cif" + NOTE_TAIL);
        EXPECT_FALSE(comparable(a) == comparable(b));
        EXPECT_FALSE(comparable(a) == comparable(convert_ok({"-s", "--flatten"}, "h.cif", hierarchical)));
    }
}

// ------------------------------------------------- the scanner's dialect ----

// Flat layouts give the scanner's output byte for byte, and halves that meet
// are united into the region of the whole box, which is cut the same way.
TEST(Flatten, FlatLayoutsGiveTheScannersOutput) {
    const std::string example = e2e::read_file(e2e::source_dir() + "/examples/hinged_mirror.cif");
    // The plate and a frame bar each drawn as two halves that meet.
    std::string split = example;
    for (const auto& [whole, halves] : std::vector<std::pair<std::string, std::string>>{
             {"B 14000 7000 10000 9500;", "B 7000 7000 6500 9500;\nB 7000 7000 13500 9500;"},
             {"B 20000 1000 10000 500;", "B 10000 1000 5000 500;\nB 10000 1000 15000 500;"}}) {
        const std::size_t at = split.find(whole);
        ASSERT_NE(at, std::string::npos);
        split.replace(at, whole.size(), halves);
    }
    const std::string note = "cif2kavrit: note: a.cif" + NOTE_TAIL;
    for (const std::string& cif :
         {example, data_file("../export/data/three_bodies.cif"), data_file("../export/data/anchored_reflector.cif")}) {
        const bool symbols = cif.find("DS 1") != std::string::npos;
        EXPECT_EQ(comparable(convert_ok({"-s"}, "a.cif", cif, symbols ? note : "")),
                  comparable(convert_ok({"-s", "--flatten"}, "a.cif", cif)));
    }
    EXPECT_EQ(comparable(convert_ok({"-s", "--flatten"}, "a.cif", split)),
              comparable(convert_ok({"-s", "--flatten"}, "a.cif", example)));
}

// ------------------------------------------------------ command line ----

TEST(Flatten, TheOptionIsOneExactArgumentAnywhereBeforeTheName) {
    const std::string cif = "DS 1;\nL CPS;\nB 400 200 1000 500;\nDF;\nC 1 T 1000 0;\nE\n";
    const std::string flat = "L CPS;\nB 400 200 2000 500;\nE\n";
    const std::string expected = comparable(convert_ok({"-s"}, "a.cif", flat));
    EXPECT_EQ(comparable(convert_ok({"--flatten", "-s"}, "a.cif", cif)), expected);
    EXPECT_EQ(comparable(convert_ok({"-s", "--flatten"}, "a.cif", cif)), expected);
    // Not exactly --flatten: ignored as before, and the default reading notes the symbols.
    EXPECT_NE(comparable(convert_ok({"-s", "--flattenx"}, "a.cif", cif, "cif2kavrit: note: a.cif" + NOTE_TAIL)),
              expected);
    // After -o it is the output file's name.
    const e2e::RunResult r = run_cif2kavrit({"-o", "--flatten", "a.cif"}, {{"a.cif", cif}});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, "cif2kavrit: note: a.cif" + NOTE_TAIL);
    EXPECT_EQ(r.file_names(), (Names{"a.cif", "--flatten"}));
}

TEST(Flatten, EndLineWarningsAndStandardOutput) {
    const e2e::RunResult r = run_cif2kavrit(
        {"--flatten", "-s", "a.cif"},
        {{"a.cif", "B 1 1 0 0;\nL CPS;\nB 400 200 1000 500;\nR 10 0 0;\nDS 1 1 3;\nL CPS;\nB 2 2 1 1;\nDF;\nC 1;\nE tail\r\n"}});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err,
              "cif2kavrit: a.cif:1: box with no layer left out\n"
              "cif2kavrit: a.cif: layer CPS: 1 shape that is not rectilinear left out\n"
              "cif2kavrit: a.cif: 1 shape rounded to the nearest half CIF unit\n");
    EXPECT_EQ(r.out.substr(0, 7), " tail\r\n");
    EXPECT_EQ(r.file_names(), (Names{"a.cif"}));
}

// ------------------------------------------------------------ failures ----

TEST(Flatten, UnreadableLayoutsEndWithTheLineAndNoOutputFile) {
    struct Bad {
        std::string cif;
        std::string err;
    };
    std::string exponential = "DS 1; L CPS; B 1 1 0 0; DF;\n";
    for (int k = 2; k <= 30; ++k)
        exponential += "DS " + std::to_string(k) + "; C " + std::to_string(k - 1) + "; C " + std::to_string(k - 1) +
                       " T 1 0; DF;\n";
    exponential += "C 30;\nE\n";
    const std::vector<Bad> cases = {
        // one error with a line and one without; the reader's other errors are CifRead.Errors
        {"L CPS;\nB 400 200 1000 500;\nC 7;\nE\n", "cif2kavrit: in.cif:3: call of undefined symbol 7\n"},
        {exponential, "cif2kavrit: in.cif: the layout places more than 5000000 boxes, more than this reader takes\n"},
        {std::string(200000, '(') + "\nE\n", "cif2kavrit: in.cif:1: comment not closed\n"},
    };
    for (const Bad& b : cases) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"--flatten", "-o", "out.kav", "in.cif"}, {"--flatten", "-s", "in.cif"}}) {
            const e2e::RunResult r = run_cif2kavrit(args, {{"in.cif", b.cif}});
            EXPECT_TRUE(r.ended_cleanly());
            EXPECT_EQ(r.exit_status, 1);
            EXPECT_EQ(r.err, b.err);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.file_names(), (Names{"in.cif"}));
            EXPECT_TRUE(r.outside_files.empty());
        }
    }
}

TEST(Flatten, UnsafeLayerNamesMakeNoFile) {
    const e2e::RunResult r = run_cif2kavrit({"--flatten", "-o", "out.kav", "in.cif"},
                                            {{"in.cif", "L ../CPS;\nB 400 200 1000 500;\nL CPS;\nB 400 200 1000 500;\nE\n"}});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.err, "cif2kavrit: in.cif: layer name \"../CPS\" cannot name a file; its boxes are left out\n");
    EXPECT_EQ(r.file_names(), (Names{"in.cif", "out.kav"}));
    EXPECT_TRUE(r.outside_files.empty());
}

// An empty layer name is such a name too: its boxes are left out, and the
// layout converts as if they were not there, in the default reading and here.
TEST(Flatten, AnEmptyLayerNameDropsItsBoxesWithAWarning) {
    const std::string kept = "L CPS;\nB 400 200 1000 500;\nL CPT;\nB 800 800 3000 3000;\n";
    const std::string without = comparable(convert_ok({"-s"}, "in.cif", kept + "E\n"));
    for (const std::string dropped : {"L;\nB 2000 1000 1000 500;\n", "L ;\nB 2000 1000 1000 500;\n"}) {
        SCOPED_TRACE(dropped);
        EXPECT_EQ(comparable(convert_ok({"--flatten", "-s"}, "in.cif", kept + dropped + "E\n",
                                        "cif2kavrit: in.cif: layer name \"\" cannot name a file; its boxes are left out\n")),
                  without);
    }
    // The default reading takes "L ;" as a layer named "" and drops its boxes without a word.
    EXPECT_EQ(comparable(convert_ok({"-s"}, "in.cif", kept + "L ;\nB 2000 1000 1000 500;\nE\n")), without);
}

}  // namespace
