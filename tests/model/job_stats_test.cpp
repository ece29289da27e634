// Checks the estimated time and the largest cutting power gathered during a load.
#include "model/job_stats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "gcode_test_support.h"
#include "model/toolpath.h"

namespace {

TEST(JobStats, TimeAddsChordLengthOverFeed)
{
    struct Case {
        const char* name;
        std::string gcode;
        double seconds;
    };
    const std::vector<Case> cases = {
        {"one second", "G1 F600 X10", 1.0},
        {"diagonal", "G1 F600 X3 Y4", 0.5},
        {"rapid is not timed", "G0 F600 X100", 0.0},
        {"no feed anywhere", "G1 X10", 0.0},
        {"zero feed", "F0\nG1 X10", 0.0},
        {"negative feed", "F-600\nG1 X10", 0.0},
        {"an inch feed is inches a minute", "G20 G1 F10 X1", 25.4 / (10.0 * 25.4) * 60.0},
        {"F under G21 keeps its speed after G20", "G21 F600\nG20 G1 X1", 25.4 / 600.0 * 60.0},
        {"F under G20 keeps its speed after G21", "G20 F10\nG21 G1 X254", 254.0 / 254.0 * 60.0},
        {"the line's last unit fixes its F", "G1 F10 X1 G20 G21", 1.0 / 10.0 * 60.0},
        {"travel feed move still timed", "G1 F600 S0 X10", 1.0},
        {"after M5 still timed", "M5 G1 F600 S100 X10", 1.0},
        {"arcs count their chord", "G2 F600 X6 Y8 I3 J4", 1.0},
        {"unchanged position adds nothing", "G1 F600 X10\nX10", 1.0},
        {"sum in file order", "G1 F600 X10\nG0 X0\nG3 F1200 Y20\nG1 F300 X10 Y20",
         10.0 / 600.0 * 60.0 + 20.0 / 1200.0 * 60.0 + 10.0 / 300.0 * 60.0},
        {"lopsided relative steps", "G91 G1 F7 X0.3 Y-0.1\nX0.3 Y-0.1",
         std::sqrt(0.3 * 0.3 + 0.1 * 0.1) / 7.0 * 60.0 * 2.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        interpretText(c.gcode);
        EXPECT_DOUBLE_EQ(toolpath.estimatedSeconds, c.seconds);
    }
}

TEST(JobStats, TimeIsSummedExactlyInFileOrder)
{
    // Every step in double precision, in file order, with no fused multiply-add: the total
    // must match the same sum done here bit for bit.
    std::string gcode = "G1 F733\n";
    double x = 0.0, y = 0.0, expected = 0.0;
    for (int i = 1; i <= 200; ++i) {
        const int wholeX = i * 37 % 101, wholeY = i * 53 % 89;
        gcode += "X" + std::to_string(wholeX) + ".5 Y" + std::to_string(wholeY) + ".25\n";
        // The fraction digits are added one by one, as the number reader does.
        const double ex = wholeX + 5.0 / 10.0;
        const double ey = (wholeY + 2.0 / 10.0) + 5.0 / 100.0;
        if (ex != x || ey != y) {
            const double dx = ex - x, dy = ey - y;
            expected += std::sqrt(dx * dx + dy * dy) / 733.0 * 60.0;
        }
        x = ex;
        y = ey;
    }
    interpretText(gcode);
    EXPECT_EQ(toolpath.estimatedSeconds, expected);
}

TEST(JobStats, MaxPowerComesFromCuttingMovesOnly)
{
    struct Case {
        const char* name;
        std::string gcode;
        double maxPower;
    };
    const std::vector<Case> cases = {
        {"unclamped", "G1 S50000 X10", 50000.0},
        {"travel does not count", "G0 S900 X10", 1000.0},
        {"no S at all", "G1 X1\nG0 Y4", 1000.0},
        {"largest of two", "G1 S300 X1\nS200 X2", 300.0},
        {"below the default", "G1 S80 X1", 80.0},
        {"S raised after the last cut is not counted", "G1 S80 X1\nS900", 80.0},
        {"switched off", "M5 G1 S700 X1\nM3 G1 S60 X2", 60.0},
        {"no move at all", "S500", 1000.0},
        {"fraction", "G1 S249.9 X1", 249.9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        interpretText(c.gcode);
        EXPECT_EQ(toolpath.maxPower, c.maxPower);
    }
    interpretText("G1 S50000 X10");
    EXPECT_EQ(toolpath.moves[0].power, 32767);
}

} // namespace
