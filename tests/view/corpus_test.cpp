// Real third-party G-code files through the fit and the renderer: the fitted job lands
// inside the canvas margins and nothing unusable reaches the drawing surface.
#include "model/interpreter.h"
#include "tests/view/view_world.h"

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace {

TEST(Corpus, EveryFileFitsInsideTheCanvasAndDrawsSanely)
{
    const std::filesystem::path folder = TOLVAN_CORPUS_DIR;
    if (!std::filesystem::is_directory(folder))
        GTEST_SKIP() << "no corpus folder at " << folder;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().extension() != ".md")
            files.push_back(entry.path());
    ASSERT_FALSE(files.empty());

    int drawn = 0;
    for (const std::filesystem::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        resetWorld(1000, 700);
        rendererOptions.moveDrawing = MoveDrawing::Painter; // every segment reaches the surface
        settings.showBed = 1;
        settings.showTravel = 1;
        ASSERT_TRUE(loadGcodeFile(file.string()));
        if (toolpath.moveCount == 0)
            continue;
        fitView();
        ++drawn;

        // The chosen bounds map inside the available area: 66..980 across, 20..658 down.
        const Bounds& b = toolpath.cutBounds.valid ? toolpath.cutBounds : toolpath.allBounds;
        if (std::isfinite(b.minX) && std::isfinite(b.maxX) && std::isfinite(b.minY) &&
            std::isfinite(b.maxY)) {
            double left, top, right, bottom;
            machineToCanvas(b.minX, b.maxY, left, top);
            machineToCanvas(b.maxX, b.minY, right, bottom);
            EXPECT_GE(left, 66.0 - 1e-6);
            EXPECT_LE(right, 980.0 + 1e-6);
            EXPECT_GE(top, 20.0 - 1e-6);
            EXPECT_LE(bottom, 658.0 + 1e-6);
            EXPECT_NEAR((left + right) / 2.0, 523.0, 1e-6) << "centred on the available area";
            EXPECT_NEAR((top + bottom) / 2.0, 339.0, 1e-6);
        }
        std::size_t lines = 0;
        for (const Call& call : surface.calls) {
            if (call.op != Op::MoveTo && call.op != Op::LineTo)
                continue;
            lines += call.op == Op::LineTo;
            ASSERT_TRUE(std::isfinite(call.a) && std::isfinite(call.b));
            ASSERT_LE(std::fabs(call.a), 20010.0);
            ASSERT_LE(std::fabs(call.b), 20010.0);
        }
        EXPECT_GT(lines, 0u);
    }
    EXPECT_GT(drawn, 0);
}

} // namespace
