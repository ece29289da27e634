// Prints what loading one G-code file costs next to the plain passes that bound it.
//
// Each load runs in a fresh process (this program started again with one variable set), so
// its page faults and peak memory are those of a first load, as `gcode-info` or a newly
// opened window pays them, and nothing the calling benchmark holds is counted.
#include "bench/load_figures.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "model/interpreter.h"
#include "model/toolpath.h"

extern char** environ;

namespace {

constexpr const char* ChildVariable = "TOLVAN_LOAD_FIGURES_CHILD"; // names the file to load
constexpr int Runs = 5;                                            // timed runs per figure; medians
constexpr double Megabyte = 1024.0 * 1024.0;
constexpr double BytesPerMove = 20.0;               // one stored record
constexpr double MemoryAllowance = 20.0 * Megabyte; // program, libraries, stack
constexpr std::size_t ReadChunk = 128 * 1024;       // bytes per read(), as wc reads
constexpr double TargetRatio = 15.0;                // load / wc -l
constexpr double GoalRatio = 10.0;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double seconds(const timeval& time)
{
    return static_cast<double>(time.tv_sec) + time.tv_usec * 1e-6;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// What one load in a fresh process cost.
struct LoadRun {
    bool loaded = false;
    double seconds = 0, userSeconds = 0, systemSeconds = 0;
    double minorFaults = 0, majorFaults = 0;
    double peakBytes = -1;
    long long moves = 0;
};

// In the started copy of the program: loads the file, writes one line of figures to the
// pipe and leaves before main runs. Does nothing in the program as started by a user.
bool runLoadChildIfAsked()
{
    const char* path = std::getenv(ChildVariable);
    if (path == nullptr)
        return false;
    if (!createToolpath())
        _exit(1);
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const Clock::time_point start = Clock::now();
    const bool loaded = loadGcodeFile(path);
    const double elapsed = secondsSince(start);
    getrusage(RUSAGE_SELF, &after);
    std::printf("%d %.9f %.9f %.9f %ld %ld %.0f %d\n", loaded ? 1 : 0, elapsed,
                seconds(after.ru_utime) - seconds(before.ru_utime),
                seconds(after.ru_stime) - seconds(before.ru_stime), after.ru_minflt - before.ru_minflt,
                after.ru_majflt - before.ru_majflt, peakResidentBytes(), toolpath.moveCount);
    std::fflush(stdout);
    _exit(0);
}

[[maybe_unused]] const bool loadChildRan = runLoadChildIfAsked();

// Starts this program again to load `path` once; loaded is false when that failed.
LoadRun loadInFreshProcess(const std::string& path)
{
    LoadRun run;
    // Built before the fork: the child only calls what is safe between fork and exec.
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (std::strncmp(*entry, ChildVariable, std::strlen(ChildVariable)) != 0)
            variables.emplace_back(*entry);
    variables.push_back(std::string(ChildVariable) + "=" + path);
    std::vector<char*> environment;
    for (std::string& variable : variables)
        environment.push_back(variable.data());
    environment.push_back(nullptr);
    char name[] = "load-figures-child";
    char* arguments[] = {name, nullptr};

    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return run;
    const pid_t child = fork();
    if (child < 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return run;
    }
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        execve("/proc/self/exe", arguments, environment.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    std::string answer;
    char chunk[256];
    for (ssize_t got; (got = read(pipeEnds[0], chunk, sizeof chunk)) != 0;) {
        if (got > 0)
            answer.append(chunk, static_cast<std::size_t>(got));
        else if (errno != EINTR)
            break;
    }
    close(pipeEnds[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return run;
    int loaded = 0;
    long minor = 0, major = 0;
    if (std::sscanf(answer.c_str(), "%d %lf %lf %lf %ld %ld %lf %lld", &loaded, &run.seconds,
                    &run.userSeconds, &run.systemSeconds, &minor, &major, &run.peakBytes,
                    &run.moves) != 8)
        return run;
    run.loaded = loaded == 1;
    run.minorFaults = static_cast<double>(minor);
    run.majorFaults = static_cast<double>(major);
    return run;
}

// The time of the `wc -l` program on the file, output discarded; -1 when it cannot run.
double wcSeconds(const std::string& path)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    char wc[] = "wc", lines[] = "-l";
    std::string file = path;
    char* arguments[] = {wc, lines, file.data(), nullptr};
    const Clock::time_point start = Clock::now();
    pid_t child = 0;
    const int failed = posix_spawnp(&child, "wc", &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (failed != 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return -1;
    return secondsSince(start);
}

volatile std::size_t sink; // keeps the plain passes from being optimised away

// What wc -l does: read() in chunks, line feeds counted with memchr. false on a read error.
bool readAndCount(const std::string& path, std::size_t& lines)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    static std::vector<unsigned char> chunk(ReadChunk);
    lines = 0;
    for (;;) {
        const ssize_t got = read(fd, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            close(fd);
            return got == 0;
        }
        lines += countLineFeeds(chunk.data(), static_cast<std::size_t>(got));
    }
}

} // namespace

std::size_t countLineFeeds(const unsigned char* data, std::size_t size)
{
    std::size_t count = 0;
    const unsigned char* const end = data + size;
    for (const unsigned char* p = data; p < end; ++count) {
        const void* feed = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        if (feed == nullptr)
            break;
        p = static_cast<const unsigned char*>(feed) + 1;
    }
    return count;
}

// Peak resident memory of this process so far, in bytes (VmHWM); -1 when unknown.
double peakResidentBytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtod(line.c_str() + 6, nullptr) * 1024.0;
    return -1;
}

void printLoadFigures(const std::string& path)
{
    struct stat status;
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        std::printf("load figures: %s is not a readable file\n", path.c_str());
        return;
    }
    const double fileBytes = static_cast<double>(status.st_size);

    // The plain passes first, which also brings the file into the page cache.
    std::vector<double> readTimes, wcTimes, passTimes;
    std::size_t lines = 0;
    for (int i = 0; i < Runs; ++i) {
        const Clock::time_point start = Clock::now();
        if (!readAndCount(path, lines)) {
            std::printf("load figures: cannot read %s\n", path.c_str());
            return;
        }
        readTimes.push_back(secondsSince(start));
    }
    {
        std::vector<unsigned char> contents(static_cast<std::size_t>(status.st_size));
        std::ifstream in(path, std::ios::binary);
        in.read(reinterpret_cast<char*>(contents.data()),
                static_cast<std::streamsize>(contents.size()));
        for (int i = 0; i < Runs; ++i) {
            const Clock::time_point start = Clock::now();
            sink = countLineFeeds(contents.data(), contents.size());
            passTimes.push_back(secondsSince(start));
        }
    }

    std::vector<double> loadTimes, userTimes, systemTimes, minorFaults, majorFaults;
    double peak = -1;
    long long moves = 0;
    // The loads and wc -l take turns, so a busy moment of the machine falls on both.
    for (int i = 0; i < Runs; ++i) {
        const LoadRun run = loadInFreshProcess(path);
        if (!run.loaded) {
            std::printf("load figures: %s does not load\n", path.c_str());
            return;
        }
        loadTimes.push_back(run.seconds);
        userTimes.push_back(run.userSeconds);
        systemTimes.push_back(run.systemSeconds);
        minorFaults.push_back(run.minorFaults);
        majorFaults.push_back(run.majorFaults);
        peak = std::max(peak, run.peakBytes);
        moves = run.moves;
        const double wc = wcSeconds(path);
        if (wc >= 0)
            wcTimes.push_back(wc);
    }

    const double load = median(loadTimes), read = median(readTimes), pass = median(passTimes);
    const double budget = fileBytes + BytesPerMove * static_cast<double>(moves) + MemoryAllowance;
    std::printf("load of %s: %.1f MB, %zu lines, %lld moves (medians of %d runs, each load in a fresh "
                "process)\n",
                path.c_str(), fileBytes / Megabyte, lines, moves, Runs);
    std::printf("  loadGcodeFile       %9.1f ms  (user %.1f ms, system %.1f ms)  %.1f MB/s\n",
                load * 1e3, median(userTimes) * 1e3, median(systemTimes) * 1e3,
                fileBytes / Megabyte / load);
    std::printf("  page faults         %9.0f minor, %.0f major\n", median(minorFaults),
                median(majorFaults));
    std::printf(
        "  peak memory         %9.1f MB of a budget of %.1f MB (file + 20 B x moves + 20 MB): %s\n",
        peak / Megabyte, budget / Megabyte, peak >= 0 && peak <= budget ? "within" : "OVER");
    if (!wcTimes.empty()) {
        const double wc = median(wcTimes);
        std::printf(
            "  wc -l               %9.1f ms   load / wc -l          %6.1fx (target %.0f, goal %.0f)\n",
            wc * 1e3, load / wc, TargetRatio, GoalRatio);
    } else {
        std::printf("  wc -l               cannot run\n");
    }
    std::printf("  read + memchr count %9.1f ms   load / read count     %6.1fx\n", read * 1e3,
                load / read);
    std::printf("  memchr pass         %9.1f ms   load / memchr pass    %6.1fx\n", pass * 1e3,
                load / pass);
}
