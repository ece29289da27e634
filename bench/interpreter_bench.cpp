// Measures how fast the interpreter reads laser raster G-code, against two plain passes over
// the same buffer, and how much memory a load from a file takes at its peak.
//
//   interpreter_bench            about 1 MB and 30 MB, plus the corpus raster when present,
//                                and arcs drawn as chords against arcs followed
//   interpreter_bench --arcs     only the arcs: generated, and every corpus file with arcs
//   interpreter_bench --arcs PATH [ROUNDS]   only the arcs of PATH, best of ROUNDS (60)
//   interpreter_bench --large    also about 200 MB
//   interpreter_bench --file PATH   only the load figures of PATH, beside wc -l
//   interpreter_bench --load-child FILE   (internal) loads FILE once and exits
#include <algorithm>
#include <cctype>
#include <cmath>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "bench/load_figures.h"
#include "model/interpreter.h"
#include "model/toolpath.h"

namespace {

constexpr double Megabyte = 1024.0 * 1024.0;
constexpr double MemoryAllowance = 20.0 * Megabyte; // program, libraries, stack
constexpr double BytesPerMove = 20.0;

// A small deterministic generator, so that every run measures the same text.
struct Lcg {
    std::uint64_t state = 0x2545F4914F6CDD1DULL;
    std::uint32_t next()
    {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state >> 33);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
};

void appendFixed(std::string& text, double value)
{
    char number[32];
    std::snprintf(number, sizeof number, "%.3f", value);
    text += number;
}

// Laser raster: scan lines in alternating directions, each a rapid to its start, then runs
// of "G1 X.. S.." with varying S, the feed on the first run of a line.
std::string rasterGcode(std::size_t targetBytes)
{
    Lcg random;
    std::string text = "; raster test job\nG21 G90\nM4 S0\n";
    text.reserve(targetBytes + 4096);
    constexpr double Width = 120.0;   // mm
    constexpr double LineStep = 0.08; // mm between scan lines
    for (int line = 0; text.size() < targetBytes; ++line) {
        const bool leftToRight = line % 2 == 0;
        double x = leftToRight ? 0.0 : Width;
        text += "G0 X";
        appendFixed(text, x);
        text += " Y";
        appendFixed(text, line * LineStep);
        text += "\n";
        bool first = true;
        while (leftToRight ? x < Width : x > 0.0) {
            const double run = 0.1 + random.below(40) * 0.05;
            x = leftToRight ? std::min(Width, x + run) : std::max(0.0, x - run);
            text += "G1 X";
            appendFixed(text, x);
            text += " S";
            text += std::to_string(random.below(1001));
            if (first)
                text += " F3000";
            first = false;
            text += "\n";
        }
    }
    text += "M5\nG0 X0 Y0\n";
    return text;
}

// CAM milling output: G2/G3 arcs of 0.5 to 20 mm radius turning 10 to 180 degrees one
// after the other, and a full circle now and then, as a pocketing or drilling job writes
// them, with I and J as offsets from the start.
std::string arcGcode(std::size_t targetBytes)
{
    constexpr double Degree = 3.14159265358979323846 / 180.0;
    Lcg random;
    std::string text = "G21 G90 G17\nM3 S1000\nG1 F800\n";
    text.reserve(targetBytes + 4096);
    double x = 0.0, y = 0.0;
    while (text.size() < targetBytes) {
        const double radius = 0.5 + random.below(391) * 0.05;
        const double angle = random.below(360) * Degree; // of the start, seen from the centre
        const double i = -radius * std::cos(angle), j = -radius * std::sin(angle);
        if (random.below(8) == 0) {
            text += "G2";
        } else {
            const double turn = (10 + random.below(171)) * Degree;
            const bool clockwise = random.below(2) == 0;
            const double end = angle + (clockwise ? -turn : turn);
            x += i + radius * std::cos(end);
            y += j + radius * std::sin(end);
            text += clockwise ? "G2 X" : "G3 X";
            appendFixed(text, x);
            text += " Y";
            appendFixed(text, y);
        }
        text += " I";
        appendFixed(text, i);
        text += " J";
        appendFixed(text, j);
        text += "\n";
    }
    return text;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The best of `rounds` runs of `pass`, in seconds.
template <typename Pass> double bestTime(int rounds, Pass pass)
{
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        pass();
        best = std::min(best, secondsSince(start));
    }
    return best;
}

volatile std::size_t sink; // keeps the plain passes from being optimised away

std::size_t letterAndDigitCount(const unsigned char* data, std::size_t size)
{
    std::size_t letters = 0, digits = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char c = data[i];
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            ++letters;
        else if (c >= '0' && c <= '9')
            ++digits;
    }
    return letters + digits;
}

// The same count through <cctype>, as a first attempt at a byte loop would write it.
std::size_t cctypeLetterAndDigitCount(const unsigned char* data, std::size_t size)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < size; ++i)
        count += std::isalpha(data[i]) || std::isdigit(data[i]) ? 1 : 0;
    return count;
}

void measureThroughput(const char* label, const std::string& text, int rounds)
{
    std::vector<unsigned char> buffer(text.size() + 2);
    std::memcpy(buffer.data(), text.data(), text.size());
    const std::size_t size = text.size();
    const double megabytes = static_cast<double>(size) / Megabyte;
    const std::size_t lines = countLineFeeds(buffer.data(), size) + 1;

    const double interpret =
        bestTime(rounds, [&] { interpretGcodeBuffer(buffer.data(), size, label); });
    const std::int32_t moves = toolpath.moveCount;
    const double lineCount = bestTime(rounds, [&] { sink = countLineFeeds(buffer.data(), size); });
    const double byteLoop = bestTime(rounds, [&] { sink = letterAndDigitCount(buffer.data(), size); });
    const double cctypeLoop =
        bestTime(rounds, [&] { sink = cctypeLetterAndDigitCount(buffer.data(), size); });

    std::printf("%s: %.1f MB, %zu lines, %d moves (best of %d)\n", label, megabytes, lines, moves,
                rounds);
    std::printf("  interpreter          %8.1f MB/s %12.0f lines/s  %8.2f ms\n", megabytes / interpret,
                static_cast<double>(lines) / interpret, interpret * 1e3);
    std::printf("  memchr line count    %8.1f MB/s  %8.2f ms  interpreter/memchr    %.2fx\n",
                megabytes / lineCount, lineCount * 1e3, interpret / lineCount);
    std::printf(
        "  letter+digit loop   %8.1f MB/s  %8.2f ms  interpreter/byte loop %.2fx (target <= 2)\n",
        megabytes / byteLoop, byteLoop * 1e3, interpret / byteLoop);
    std::printf("  same with <cctype>   %8.1f MB/s  %8.2f ms  interpreter/cctype    %.2fx\n",
                megabytes / cctypeLoop, cctypeLoop * 1e3, interpret / cctypeLoop);
}

// The load of the same arcs drawn as chords and followed as arcs, the two taken in turn
// each round so that a change in the machine's load falls on both. Returns the ratio of
// the times.
double measureArcs(const char* label, const std::string& text, int rounds)
{
    std::vector<unsigned char> buffer(text.size() + 2);
    std::memcpy(buffer.data(), text.data(), text.size());
    const double megabytes = static_cast<double>(text.size()) / Megabyte;
    double seconds[2] = {1e300, 1e300};
    std::int32_t moves[2] = {};
    for (int round = 0; round < rounds; ++round) {
        for (int arcs = 0; arcs < 2; ++arcs) {
            loadArcs = arcs == 1;
            seconds[arcs] =
                std::min(seconds[arcs],
                         bestTime(1, [&] { interpretGcodeBuffer(buffer.data(), text.size(), label); }));
            moves[arcs] = toolpath.moveCount;
        }
    }
    loadArcs = false;
    // What each move the arcs add costs beyond the chords' load.
    const double addedMoves = static_cast<double>(moves[1]) - moves[0];
    const double perMove = addedMoves > 0 ? (seconds[1] - seconds[0]) / addedMoves : 0.0;
    std::printf("%s: %.1f MB (best of %d)\n", label, megabytes, rounds);
    std::printf("  as chords            %8.1f MB/s %8d moves  %8.3f ms\n", megabytes / seconds[0],
                moves[0], seconds[0] * 1e3);
    std::printf("  as arcs              %8.1f MB/s %8d moves  %8.3f ms  %.2f ns per added move\n",
                megabytes / seconds[1], moves[1], seconds[1] * 1e3, perMove * 1e9);
    std::printf("  arcs/chords time %.2fx (target <= 2)\n", seconds[1] / seconds[0]);
    return seconds[1] / seconds[0];
}

// What a user waits for when the option is turned: the file read again from the page
// cache into a store of its own, as chords and as arcs, the two taken in turn.
double measureArcReload(const std::string& path, int rounds)
{
    double seconds[2] = {1e300, 1e300};
    for (int round = 0; round < rounds; ++round) {
        for (int arcs = 0; arcs < 2; ++arcs) {
            loadArcs = arcs == 1;
            seconds[arcs] = std::min(seconds[arcs], bestTime(1, [&] { reloadGcodeFile(path); }));
        }
    }
    loadArcs = false;
    std::printf("  reload as chords %8.3f ms, as arcs %8.3f ms: %.2fx\n", seconds[0] * 1e3,
                seconds[1] * 1e3, seconds[1] / seconds[0]);
    return seconds[1] / seconds[0];
}

// Every corpus file with G2/G3 lines (drawn as chords when arcs are off), in name order.
void measureCorpusArcs()
{
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(TOLVAN_CORPUS_DIR, error))
        if (entry.is_regular_file() && entry.path().extension() != ".md") // not its notes
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    double worst = 0.0, worstReload = 0.0;
    std::string worstName = "none", worstReloadName = "none";
    for (const auto& path : files) {
        std::ifstream in(path, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<unsigned char> buffer(text.size() + 2);
        std::memcpy(buffer.data(), text.data(), text.size());
        loadArcs = false;
        interpretGcodeBuffer(buffer.data(), text.size(), "");
        if (toolpath.straightArcs == 0)
            continue;
        const std::string name = path.filename().string();
        // Small files take a fraction of a millisecond: more rounds for a steady best.
        const int rounds = text.size() < (256 << 10) ? 300 : 40;
        const double ratio = measureArcs(name.c_str(), text, rounds);
        if (ratio > worst) {
            worst = ratio;
            worstName = name;
        }
        const double reloadRatio = measureArcReload(path.string(), rounds);
        if (reloadRatio > worstReload) {
            worstReload = reloadRatio;
            worstReloadName = name;
        }
    }
    std::printf("corpus files with arcs: worst arcs/chords time %.2fx (%s), worst reload %.2fx (%s)\n",
                worst, worstName.c_str(), worstReload, worstReloadName.c_str());
}

// Loads `path` in a fresh process (a new program image, so nothing of this one counts)
// and returns that process's peak resident memory in bytes; -1 on failure.
double peakMemoryOfLoad(const char* self, const std::string& path)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return -1;
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        execl(self, self, "--load-child", path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    char answer[64] = {};
    const ssize_t got = read(pipeEnds[0], answer, sizeof answer - 1);
    close(pipeEnds[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        got <= 0)
        return -1;
    return std::strtod(answer, nullptr);
}

void measureMemory(const char* self, const char* label, const std::string& path)
{
    if (!createToolpath() || !loadGcodeFile(path)) {
        std::printf("  %s: cannot load %s\n", label, path.c_str());
        return;
    }
    const double fileBytes = static_cast<double>(std::filesystem::file_size(path));
    const double budget = fileBytes + BytesPerMove * toolpath.moveCount + MemoryAllowance;
    const double peak = peakMemoryOfLoad(self, path);
    std::printf(
        "  peak memory of a load %8.1f MB; file %.1f MB + 20 B x %d moves + 20 MB = %.1f MB (%s)\n",
        peak / Megabyte, fileBytes / Megabyte, toolpath.moveCount, budget / Megabyte,
        peak >= 0 && peak <= budget ? "within" : "OVER");
}

void runCase(const char* self, const char* label, const std::string& text, int rounds)
{
    measureThroughput(label, text, rounds);
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("tolvan-bench-" + std::to_string(getpid()) + ".gcode"))
                                 .string();
    {
        std::ofstream out(path, std::ios::binary);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    measureMemory(self, label, path);
    std::filesystem::remove(path);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--load-child") == 0) {
        if (!createToolpath() || !loadGcodeFile(argv[2]))
            return 1;
        std::printf("%.0f\n", peakResidentBytes());
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--file") == 0) {
        printLoadFigures(argv[2]);
        return 0;
    }
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "--arcs") == 0) {
        std::ifstream in(argv[2], std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const int rounds = argc == 4 ? std::atoi(argv[3]) : 60;
        if (!in || rounds < 1 || !createToolpath()) {
            std::fprintf(stderr, "interpreter_bench: cannot read %s\n", argv[2]);
            return 1;
        }
        measureArcs(argv[2], text, rounds);
        measureArcReload(argv[2], rounds);
        return 0;
    }
    const bool large = argc == 2 && std::strcmp(argv[1], "--large") == 0;
    const bool arcsOnly = argc == 2 && std::strcmp(argv[1], "--arcs") == 0;
    if (argc > 1 && !large && !arcsOnly) {
        std::fprintf(stderr, "usage: interpreter_bench [--large | --arcs [PATH [ROUNDS]] | --file PATH]\n");
        return 2;
    }
    if (!createToolpath())
        return 1;
    {
        const std::string arcs = arcGcode(2 << 20);
        measureArcs("arcs 2 MB", arcs, 10);
        const std::string path =
            (std::filesystem::temp_directory_path() / "tolvan_interpreter_bench_arcs.gcode").string();
        std::ofstream(path, std::ios::binary) << arcs;
        measureArcReload(path, 10);
        std::filesystem::remove(path);
    }
    if (arcsOnly) {
        measureCorpusArcs();
        return 0;
    }

    runCase(argv[0], "raster 1 MB", rasterGcode(1 << 20), 30);
    runCase(argv[0], "raster 30 MB", rasterGcode(30 << 20), 5);
    if (large)
        runCase(argv[0], "raster 200 MB", rasterGcode(200 << 20), 2);

    const std::string corpus = std::string(TOLVAN_CORPUS_DIR) + "/laserburn__ichigotest.gcode";
    std::ifstream in(corpus, std::ios::binary);
    if (in) {
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        measureThroughput("corpus laserburn__ichigotest.gcode", text, 20);
        measureMemory(argv[0], "corpus", corpus);
    } else {
        std::printf("corpus file %s absent: skipped\n", corpus.c_str());
    }
    return 0;
}
