// The grouping stage on small box lists whose grouping was worked out by
// hand, checked as the text of postmason.file, which the stage reports only
// to a run that keeps its intermediate files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/box.h"
#include "grouping/group_boxes.h"
#include "tests/common/test_traces.h"

namespace {

using common::Box;

std::string group_text(const std::vector<Box>& boxes) {
    test_traces::RecordingTrace trace;
    const common::GroupedBoxes grouped = grouping::group_boxes(boxes, &trace);
    EXPECT_EQ(trace.reported, std::vector<std::string>{"postmason.file"});
    const std::string kept = trace.files["postmason.file"];
    EXPECT_EQ(grouping::grouped_text(grouped), kept);
    return kept;
}

struct Case {
    const char* label;
    std::vector<Box> boxes;
    std::string postmason;
};

TEST(GroupBoxes, HandWorkedLists) {
    const Box a{0, 10, 0, 10, 1, 3}, b{20, 30, 0, 10, 1, 3};
    const std::string A = "\t0\t10\t0\t10\t1\t3\n", B = "\t20\t30\t0\t10\t1\t3\n";
    const std::vector<Case> cases = {
        {"C meets A along an edge (x 10, z 3), B lies apart", {a, b, {10, 15, 5, 8, 3, 5}},
         A + "\t10\t15\t5\t8\t3\t5\n\n" + B + "\n"},
        {"C joins A's slot, then the merge puts B's slot behind", {a, b, {10, 20, 0, 2, 1, 3}},
         A + "\t10\t20\t0\t2\t1\t3\n" + B + "\n"},
        {"empty list", {}, ""},
        {"one box", {{-5, 5, -5, 5, 0, 2}}, "\t-5\t5\t-5\t5\t0\t2\n\n"},
        {"two equal boxes", {{1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}}, "\t1\t2\t3\t4\t5\t6\n\t1\t2\t3\t4\t5\t6\n\n"},
        {"corner contact at (10, 10, 3)", {a, {10, 20, 10, 20, 3, 5}}, A + "\t10\t20\t10\t20\t3\t5\n\n"},
        // A meets the earlier P at P's lower corner, so it joins P's slot on
        // placing, and so does R through A; the merge then puts Q behind R.
        {"a later box below, left and in front of an earlier one joins its slot",
         {{10, 20, 10, 20, 3, 5}, {40, 50, 0, 10, 1, 3}, a, {10, 40, 0, 5, 1, 3}},
         "\t10\t20\t10\t20\t3\t5\n" + A + "\t10\t40\t0\t5\t1\t3\n\t40\t50\t0\t10\t1\t3\n\n"},
        {"one unit apart in x", {a, {11, 20, 0, 10, 1, 3}}, A + "\n\t11\t20\t0\t10\t1\t3\n\n"},
        {"one unit apart in y", {a, {0, 10, 11, 20, 1, 3}}, A + "\n\t0\t10\t11\t20\t1\t3\n\n"},
        {"one unit apart in z", {a, {0, 10, 0, 10, 4, 5}}, A + "\n\t0\t10\t0\t10\t4\t5\n\n"},
        {"extreme coordinates", {{-2147483647 - 1, 2147483647, 50, 60, 1, 3}},
         "\t-2147483648\t2147483647\t50\t60\t1\t3\n\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(group_text(c.boxes), c.postmason);
    }
}

}  // namespace
