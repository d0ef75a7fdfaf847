// The arithmetic of the growing step: its corners as they read back from the
// scratch texts.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "layers/grow.h"

// Corners that are whole quarters read back from "%.2f" and "%.5f" as
// themselves (the sign of -0 too); others are rounded by the texts.
TEST(GrowGrouping, CornersReadBackFromBothTexts) {
    struct Case {
        float value;
        double read;
    };
    const std::vector<Case> cases = {
        {0.25f, 0.25},     {-3.75f, -3.75},   {-0.0f, -0.0},           {16777216.0f, 16777216.0},
        {1e20f, 100000002004087734272.0},     {0.1f, 0.1},             {1234.5678f, 1234.57},
        {2.375f, 2.38},    {-2.375f, -2.38},  {0.004f, 0.0},           {-0.004f, -0.0},
    };
    for (const Case& c : cases) {
        std::vector<gpc_vertex> corners;
        ASSERT_TRUE(grow::reread_corners({c.value, c.value, c.value + 1, c.value + 1}, corners)) << c.value;
        ASSERT_EQ(corners.size(), 4u);
        EXPECT_EQ(corners[0].x, c.read) << c.value;
        EXPECT_EQ(std::signbit(corners[0].x), std::signbit(c.read)) << c.value;
        EXPECT_EQ(corners[1].y, c.read) << c.value;
    }
}
