// The grouping stage from premason.file to postmason.file on small lists
// whose grouping was worked out by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "grouping/group_boxes.h"
#include "scratch_dir.h"

namespace {

std::string group_text(const std::string& premason) {
    ScratchDir dir;
    write_file("premason.file", premason);
    group_boxes();
    return read_file("postmason.file");
}

struct Case {
    const char* label;
    std::string premason, postmason;
};

TEST(GroupBoxes, HandWorkedLists) {
    const std::string A = "\t0\t10\t0\t10\t1\t3\n", B = "\t20\t30\t0\t10\t1\t3\n";
    const std::vector<Case> cases = {
        {"C meets A along an edge (x 10, z 3), B lies apart", "0 10 0 10 1 3\n20 30 0 10 1 3\n10 15 5 8 3 5\n",
         A + "\t10\t15\t5\t8\t3\t5\n\n" + B + "\n"},
        {"C joins A's slot, then the merge puts B's slot behind",
         "0 10 0 10 1 3\n20 30 0 10 1 3\n10 20 0 2 1 3\n", A + "\t10\t20\t0\t2\t1\t3\n" + B + "\n"},
        {"empty list", "", ""},
        {"one box", "-5 5 -5 5 0 2\n", "\t-5\t5\t-5\t5\t0\t2\n\n"},
        {"two equal boxes", "1 2 3 4 5 6\n1 2 3 4 5 6\n", "\t1\t2\t3\t4\t5\t6\n\t1\t2\t3\t4\t5\t6\n\n"},
        {"corner contact at (10, 10, 3)", "0 10 0 10 1 3\n10 20 10 20 3 5\n", A + "\t10\t20\t10\t20\t3\t5\n\n"},
        // A meets the earlier P at P's lower corner, so it joins P's slot on
        // placing, and so does R through A; the merge then puts Q behind R.
        {"a later box below, left and in front of an earlier one joins its slot",
         "10 20 10 20 3 5\n40 50 0 10 1 3\n0 10 0 10 1 3\n10 40 0 5 1 3\n",
         "\t10\t20\t10\t20\t3\t5\n" + A + "\t10\t40\t0\t5\t1\t3\n\t40\t50\t0\t10\t1\t3\n\n"},
        {"one unit apart in x", "0 10 0 10 1 3\n11 20 0 10 1 3\n", A + "\n\t11\t20\t0\t10\t1\t3\n\n"},
        {"one unit apart in y", "0 10 0 10 1 3\n0 10 11 20 1 3\n", A + "\n\t0\t10\t11\t20\t1\t3\n\n"},
        {"one unit apart in z", "0 10 0 10 1 3\n0 10 0 10 4 5\n", A + "\n\t0\t10\t0\t10\t4\t5\n\n"},
        {"lines without six 32-bit integers are skipped; tabs, signs and trailing words are read",
         "0 10 0 10 1 3\n1 2 3 4 5\ngarbage\n\n1 2 3 4 5 99999999999\n2147483648 0 0 0 0 0\n1 2 3 4 5 -\n"
         "1,2,3,4,5,6\n\t-1\t+2\t3\t4\t5\t6\n20 30 0 10 1 3 trailing words\n-2147483648 2147483647 50 60 1 3\n",
         A + "\n\t-1\t2\t3\t4\t5\t6\n\n" + B + "\n\t-2147483648\t2147483647\t50\t60\t1\t3\n\n"},
        // 93 blanks and "0 10 0" fill a piece of 99 characters; the rest of the
        // line, " 10 1 3", is a piece of its own: neither holds a box.
        {"a long line split into pieces without a box", std::string(93, ' ') + "0 10 0 10 1 3\n", ""},
        {"a long line whose two pieces each hold a box",
         std::string(80, ' ') + "0 10 0 10 1 3" + std::string(6, ' ') + "20 30 0 10 1 3\n", A + "\n" + B + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(group_text(c.premason), c.postmason);
    }
}

}  // namespace
