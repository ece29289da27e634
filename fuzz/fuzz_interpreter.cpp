// Fuzzes the G-code interpreter with arbitrary bytes, as a file load hands them over,
// and checks the toolpath it leaves against the store's invariants and a second reading.
#include "model/interpreter.h"
#include "model/loading_progress.h"
#include "model/toolpath.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "tests/model/reference_interpreter.h"

namespace {

constexpr std::int16_t LargestPower = 32767;

int lastPercent = -1;
int progressCalls = 0;

[[noreturn]] void fail(const char* what, long index)
{
    std::fprintf(stderr, "\ninvariant broken: %s (move %ld of %d)\n", what, index, toolpath.moveCount);
    std::fflush(stderr);
    __builtin_trap();
}

// The progress a load reports only climbs, from 0 to at most 100.
void watchProgress(const std::string&, int percent)
{
    if (percent < 0 || percent > 100 || percent < lastPercent)
        fail("loading progress out of order", percent);
    lastPercent = percent;
    ++progressCalls;
}

// Equal, or the same bits: a NaN that started in one move must carry on in the next. A
// position may turn from 0 into -0 without a move (they compare equal), so == decides there.
bool sameCoordinate(float a, float b)
{
    return a == b || std::memcmp(&a, &b, sizeof a) == 0;
}

bool samePoint(float ax, float ay, float bx, float by)
{
    return sameCoordinate(ax, bx) && sameCoordinate(ay, by);
}

bool sameNumber(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

bool containsOrigin(const Bounds& b)
{
    return b.valid && b.minX <= 0.0 && b.maxX >= 0.0 && b.minY <= 0.0 && b.maxY >= 0.0;
}

void checkStore()
{
    if (toolpath.moveCount < 0 || toolpath.moveCount > toolpath.capacity)
        fail("moveCount outside the storage", -1);
    if (!(toolpath.maxPower > 0.0))
        fail("maxPower not above zero after a load", -1);
    if (toolpath.moveCount > 0 && !containsOrigin(toolpath.allBounds))
        fail("allBounds misses the origin every chain starts from", -1);
    bool anyCut = false;
    for (std::int32_t i = 0; i < toolpath.moveCount; ++i) {
        const Move& move = toolpath.moves[i];
        const float startX = i == 0 ? 0.0f : toolpath.moves[i - 1].x2;
        const float startY = i == 0 ? 0.0f : toolpath.moves[i - 1].y2;
        if (!samePoint(move.x1, move.y1, startX, startY))
            fail("the chain breaks: a move starts away from where the last one ended", i);
        if (move.travel > 1)
            fail("travel flag other than 0 or 1", i);
        if (move.unused != 0)
            fail("unused byte not zero", i);
        if (move.power < 0 || move.power > LargestPower)
            fail("power outside 0..32767", i);
        anyCut = anyCut || move.travel == 0;
    }
    if (anyCut != toolpath.cutBounds.valid)
        fail("cutBounds validity does not match the cutting moves", -1);
}

// The same text read by the slow line-by-line reading in the model tests.
void checkAgainstReference(const std::uint8_t* data, std::size_t size)
{
    const ReferenceResult expected =
        referenceInterpret(std::string(reinterpret_cast<const char*>(data), size));
    if (static_cast<std::size_t>(toolpath.moveCount) != expected.moves.size())
        fail("move count differs from the reference reading", static_cast<long>(expected.moves.size()));
    for (std::int32_t i = 0; i < toolpath.moveCount; ++i) {
        if (std::memcmp(&toolpath.moves[i], &expected.moves[i], sizeof(Move)) != 0)
            fail("move differs from the reference reading", i);
    }
    if (!sameNumber(toolpath.maxPower, expected.maxPower))
        fail("maxPower differs from the reference reading", -1);
    if (!sameNumber(toolpath.estimatedSeconds, expected.estimatedSeconds))
        fail("estimatedSeconds differs from the reference reading", -1);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!createToolpath()) {
        std::fprintf(stderr, "no memory for the toolpath\n");
        std::abort();
    }
    loadingProgressHook = watchProgress;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Exactly the size a file load allocates, so any read past it is caught.
    const std::unique_ptr<unsigned char[]> buffer(new unsigned char[size + 2]);
    if (size > 0)
        std::memcpy(buffer.get(), data, size);
    lastPercent = -1;
    progressCalls = 0;
    interpretGcodeBuffer(buffer.get(), size, "fuzz.gcode");
    if (progressCalls == 0)
        fail("a load showed no progress at all", -1);
    checkStore();
    checkAgainstReference(data, size);
    // Again with the arcs followed: the points are computed another way in the reference,
    // so only the store's invariants are checked, byte for byte.
    if (size > 0)
        std::memcpy(buffer.get(), data, size);
    lastPercent = -1;
    loadArcs = true;
    interpretGcodeBuffer(buffer.get(), size, "fuzz.gcode");
    loadArcs = false;
    checkStore();
    return 0;
}
