// Fuzzes the settings reader with arbitrary file contents: the load must not crash, must
// read the same values every time, and what it read must survive a save and a re-read.
#include "app/settings_file.h"
#include "view/settings.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>
#include <algorithm>

#include <unistd.h>

namespace {

std::string scratchPath; // one file reused for every input

[[noreturn]] void fail(const char* what, const Settings& got, const Settings& expected)
{
    const auto show = [](const Settings& s) {
        std::fprintf(stderr, "  %d %d %d %d %d | %d %d %d %d %d\n", s.greyByPower, s.showTravel,
                     s.showBed, s.invertColours, s.inches, s.windowX, s.windowY, s.windowWidth,
                     s.windowHeight, s.maximized);
    };
    std::fprintf(stderr, "\n%s\n", what);
    show(got);
    show(expected);
    std::fflush(stderr);
    __builtin_trap();
}

bool sameSettings(const Settings& a, const Settings& b)
{
    return a.greyByPower == b.greyByPower && a.showTravel == b.showTravel && a.showBed == b.showBed &&
           a.invertColours == b.invertColours && a.inches == b.inches && a.windowX == b.windowX &&
           a.windowY == b.windowY && a.windowWidth == b.windowWidth &&
           a.windowHeight == b.windowHeight && a.maximized == b.maximized;
}

void writeScratch(std::string_view bytes)
{
    FILE* file = std::fopen(scratchPath.c_str(), "wb");
    bool ok = file != nullptr;
    if (ok) {
        ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        ok = std::fclose(file) == 0 && ok;
    }
    if (!ok) {
        std::fprintf(stderr, "cannot write %s\n", scratchPath.c_str());
        std::abort();
    }
}

// What a start-up read of the scratch file leaves in the settings record.
Settings loadScratch()
{
    settings = Settings{};
    loadSettingsFrom(scratchPath);
    return settings;
}

// The same reading done on the text in memory, key by key, as the loader does it.
Settings parseFromBytes(std::string_view bytes)
{
    Settings read;
    SettingsStore store;
    parseSettingsText(store, bytes);
    store.open = true;
    selectSettingsGroup(store, "Opciones");
    read.greyByPower = readSettingsInteger(store, "Grises", read.greyByPower);
    read.showTravel = readSettingsInteger(store, "Vacios", read.showTravel);
    read.showBed = readSettingsInteger(store, "Mesa", read.showBed);
    read.invertColours = readSettingsInteger(store, "Invertir", read.invertColours);
    read.inches = readSettingsInteger(store, "Pulgadas", read.inches);
    selectSettingsGroup(store, "Ventana");
    read.windowX = readSettingsInteger(store, "X", -65535);
    read.windowY = readSettingsInteger(store, "Y", -65535);
    read.windowWidth = readSettingsInteger(store, "Ancho", 0);
    read.windowHeight = readSettingsInteger(store, "Alto", 0);
    read.maximized = readSettingsInteger(store, "Maximizada", 0);
    return read;
}

// A second, slow reading of the file format, straight from its rules: lines cut at CR or
// LF, blanks skipped, ";" comments, "[" headers, "key = value" lines; the first header of
// a group and the first key of a name win, ASCII case ignored; values read like "%d" but
// held at the 32-bit limits.
struct ReferenceLine {
    char kind; // 'g' header, 'k' key
    std::string name, value;
};

std::string lowerAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::vector<ReferenceLine> referenceLines(std::string_view bytes)
{
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    std::vector<ReferenceLine> lines;
    std::string line;
    const auto finish = [&lines](std::string text) {
        std::size_t start = text.find_first_not_of(" \t");
        if (start == std::string::npos)
            return;
        text.erase(0, start);
        if (text[0] == ';')
            return; // comments are never keys
        if (text[0] == '[') {
            lines.push_back(
                {'g',
                 lowerAscii(text.substr(1, text.find(']') == std::string::npos ? std::string::npos
                                                                               : text.find(']') - 1)),
                 ""});
            return;
        }
        const std::size_t equals = text.find('=');
        std::string key = text.substr(0, equals);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t'))
            key.pop_back();
        std::string value;
        if (equals != std::string::npos) {
            value = text.substr(equals + 1);
            value.erase(0, std::min(value.size(), value.find_first_not_of(" \t")));
        }
        lines.push_back({'k', lowerAscii(key), value});
    };
    for (char c : bytes) {
        if (c == '\r' || c == '\n') {
            finish(line);
            line.clear();
        } else {
            line += c;
        }
    }
    finish(line);
    return lines;
}

std::int32_t referenceScan(const std::string& value)
{
    std::size_t i = 0;
    while (i < value.size() && (value[i] == ' ' || (value[i] >= '\t' && value[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+'))
        negative = value[i++] == '-';
    long double magnitude = 0; // only compared with the limits, never converted beyond them
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
        magnitude = std::min<long double>(magnitude * 10 + (value[i] - '0'), 1e12L);
    const long double signedValue = negative ? -magnitude : magnitude;
    if (signedValue > 2147483647.0L)
        return 2147483647;
    if (signedValue < -2147483648.0L)
        return -2147483647 - 1;
    return static_cast<std::int32_t>(signedValue);
}

std::int32_t referenceRead(const std::vector<ReferenceLine>& lines, std::string_view group,
                           std::string_view key, std::int32_t fallback)
{
    const std::string wantedGroup = lowerAscii(std::string(group));
    const std::string wantedKey = lowerAscii(std::string(key));
    std::size_t i = 0;
    while (i < lines.size() && !(lines[i].kind == 'g' && lines[i].name == wantedGroup))
        ++i;
    if (i == lines.size())
        return fallback;
    for (++i; i < lines.size() && lines[i].kind == 'k'; ++i) {
        if (lines[i].name == wantedKey)
            return referenceScan(lines[i].value);
    }
    return fallback;
}

Settings referenceSettings(std::string_view bytes)
{
    const std::vector<ReferenceLine> lines = referenceLines(bytes);
    Settings read;
    read.greyByPower = referenceRead(lines, "Opciones", "Grises", read.greyByPower);
    read.showTravel = referenceRead(lines, "Opciones", "Vacios", read.showTravel);
    read.showBed = referenceRead(lines, "Opciones", "Mesa", read.showBed);
    read.invertColours = referenceRead(lines, "Opciones", "Invertir", read.invertColours);
    read.inches = referenceRead(lines, "Opciones", "Pulgadas", read.inches);
    read.windowX = referenceRead(lines, "Ventana", "X", -65535);
    read.windowY = referenceRead(lines, "Ventana", "Y", -65535);
    read.windowWidth = referenceRead(lines, "Ventana", "Ancho", 0);
    read.windowHeight = referenceRead(lines, "Ventana", "Alto", 0);
    read.maximized = referenceRead(lines, "Ventana", "Maximizada", 0);
    return read;
}

// The thirteen-line file a save of these values writes, composed in memory.
std::string composeFrom(const Settings& values)
{
    SettingsStore store;
    createSettingsForWriting(store, scratchPath);
    selectSettingsGroup(store, "Opciones");
    writeSettingsInteger(store, "Grises", values.greyByPower);
    writeSettingsInteger(store, "Vacios", values.showTravel);
    writeSettingsInteger(store, "Mesa", values.showBed);
    writeSettingsInteger(store, "Invertir", values.invertColours);
    writeSettingsInteger(store, "Pulgadas", values.inches);
    selectSettingsGroup(store, "Ventana");
    writeSettingsInteger(store, "X", values.windowX);
    writeSettingsInteger(store, "Y", values.windowY);
    writeSettingsInteger(store, "Ancho", values.windowWidth);
    writeSettingsInteger(store, "Alto", values.windowHeight);
    writeSettingsInteger(store, "Maximizada", values.maximized);
    return composeSettingsText(store);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Memory-backed when the machine has it: every input is written to this file.
    const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
    char pattern[4096];
    std::snprintf(pattern, sizeof pattern, "%s/tolvan-fuzz-settings-XXXXXX",
                  folder != nullptr && *folder != '\0' ? folder : "/tmp");
    const int fd = mkstemp(pattern);
    if (fd < 0) {
        std::perror("mkstemp");
        std::abort();
    }
    close(fd);
    scratchPath = pattern;
    std::atexit([] { unlink(scratchPath.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    writeScratch(bytes);
    const Settings first = loadScratch();
    const Settings second = loadScratch();
    if (!sameSettings(first, second))
        fail("two loads of the same file read different values", second, first);

    const Settings inMemory = parseFromBytes(bytes);
    if (size <= LargestSettingsFile && !sameSettings(inMemory, first))
        fail("the file load and the in-memory parse disagree", inMemory, first);

    const Settings expected = referenceSettings(bytes);
    if (size <= LargestSettingsFile && !sameSettings(first, expected))
        fail("the load differs from the reading by the file format's rules", first, expected);

    // Whatever was read is written back by the next save; that file must read the same.
    writeScratch(composeFrom(first));
    const Settings reread = loadScratch();
    if (!sameSettings(reread, first))
        fail("a saved file reads back differently", reread, first);
    return 0;
}
