// gcode-info: prints as JSON what the interpreter makes of one G-code file.
//
//   gcode-info FILE [--arcs] [--moves N] [--moves-out PATH]
//
// --arcs follows G2/G3 arcs with moves instead of storing each as its chord; --moves N
// adds the first N moves; --moves-out PATH writes every stored move as a raw 20-byte
// little-endian record (only when the file loaded). Exit status 0 when the file loaded, 1
// when it did not (or PATH cannot be written), 2 for bad arguments.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "model/interpreter.h"
#include "model/toolpath.h"
#include "view/status_line.h"

namespace {

constexpr int ExitLoaded = 0;
constexpr int ExitNotLoaded = 1;
constexpr int ExitBadArguments = 2;
constexpr std::size_t MoveRecordBytes = 20; // x1 y1 x2 y2 float32, power int16, travel, 0

struct Arguments {
    std::string file;
    std::int64_t moveListLength = -1; // --moves N; -1 when not asked
    std::string movesOutPath;         // --moves-out PATH, empty when not asked
    bool arcs = false;                // --arcs
};

// One "key": value pair; the value is already JSON text.
struct JsonField {
    std::string key;
    std::string value;
};

std::string jsonString(std::string_view text)
{
    std::string quoted = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': quoted += "\\\""; break;
        case '\\': quoted += "\\\\"; break;
        case '\b': quoted += "\\b"; break;
        case '\f': quoted += "\\f"; break;
        case '\n': quoted += "\\n"; break;
        case '\r': quoted += "\\r"; break;
        case '\t': quoted += "\\t"; break;
        default:
            if (c < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                quoted += escape;
            } else {
                quoted += static_cast<char>(c); // UTF-8 passes through
            }
        }
    }
    return quoted + "\"";
}

// Shortest text that reads back to the same value; JSON has no infinities or NaN.
template <typename Real> std::string jsonNumber(Real value)
{
    if (std::isnan(value))
        return "\"NaN\"";
    if (std::isinf(value))
        return value > 0 ? "\"+Infinity\"" : "\"-Infinity\"";
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string jsonInteger(std::int64_t value)
{
    return std::to_string(value);
}

std::string jsonBool(bool value)
{
    return value ? "true" : "false";
}

std::string jsonObject(const std::vector<JsonField>& fields, const std::string& indent)
{
    std::string text = "{";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        text += i == 0 ? "\n" : ",\n";
        text += indent + "  " + jsonString(fields[i].key) + ": " + fields[i].value;
    }
    return text + (fields.empty() ? "}" : "\n" + indent + "}");
}

std::string jsonBounds(const Bounds& bounds)
{
    return jsonObject({{"valid", jsonBool(bounds.valid)},
                       {"minX", jsonNumber(bounds.minX)},
                       {"minY", jsonNumber(bounds.minY)},
                       {"maxX", jsonNumber(bounds.maxX)},
                       {"maxY", jsonNumber(bounds.maxY)}},
                      "  ");
}

std::string jsonMoves(std::int64_t count)
{
    std::string text = "[";
    for (std::int64_t i = 0; i < count; ++i) {
        const Move& move = toolpath.moves[i];
        text += i == 0 ? "\n    " : ",\n    ";
        text += "{\"x1\": " + jsonNumber(move.x1) + ", \"y1\": " + jsonNumber(move.y1) +
                ", \"x2\": " + jsonNumber(move.x2) + ", \"y2\": " + jsonNumber(move.y2) +
                ", \"power\": " + jsonInteger(move.power) +
                ", \"travel\": " + jsonBool(move.travel != 0) + "}";
    }
    return text + (count == 0 ? "]" : "\n  ]");
}

// Every key of the report, in print order. A new key is one more line here.
std::vector<JsonField> reportFields(bool loaded, const Arguments& arguments)
{
    std::vector<JsonField> fields = {
        {"loaded", jsonBool(loaded)},
        {"moveCount", jsonInteger(toolpath.moveCount)},
        {"capacity", jsonInteger(toolpath.capacity)},
        {"allBounds", jsonBounds(toolpath.allBounds)},
        {"cutBounds", jsonBounds(toolpath.cutBounds)},
        {"maxPower", jsonNumber(toolpath.maxPower)},
        {"estimatedSeconds", jsonNumber(toolpath.estimatedSeconds)},
        {"status_mm_en", jsonString(composeStatusLine(false, false))},
        {"status_in_en", jsonString(composeStatusLine(false, true))},
        {"status_mm_es", jsonString(composeStatusLine(true, false))},
        {"status_in_es", jsonString(composeStatusLine(true, true))},
    };
    if (arguments.moveListLength >= 0) {
        const std::int64_t shown = std::min<std::int64_t>(arguments.moveListLength, toolpath.moveCount);
        fields.push_back({"moves", jsonMoves(shown)});
    }
    return fields;
}

void putLittleEndian(unsigned char* out, std::uint32_t bits, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out[i] = static_cast<unsigned char>(bits >> (8 * i));
}

std::uint32_t floatBits(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The stored records, little-endian whatever the machine. false when PATH cannot be written.
bool writeMoves(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool written = true;
    for (std::int32_t i = 0; i < toolpath.moveCount && written; ++i) {
        const Move& move = toolpath.moves[i];
        unsigned char record[MoveRecordBytes] = {};
        putLittleEndian(record + 0, floatBits(move.x1), 4);
        putLittleEndian(record + 4, floatBits(move.y1), 4);
        putLittleEndian(record + 8, floatBits(move.x2), 4);
        putLittleEndian(record + 12, floatBits(move.y2), 4);
        putLittleEndian(record + 16, static_cast<std::uint16_t>(move.power), 2);
        record[18] = move.travel;
        written = std::fwrite(record, sizeof record, 1, file) == 1;
    }
    return std::fclose(file) == 0 && written;
}

// A count of moves: decimal digits only, at most 18 of them.
bool parseCount(std::string_view text, std::int64_t& count)
{
    if (text.empty() || text.size() > 18)
        return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), count);
    return result.ec == std::errc() && result.ptr == text.data() + text.size() && count >= 0;
}

// false with a one-line `problem` when the arguments make no sense.
bool parseArguments(int argc, char** argv, Arguments& arguments, std::string& problem)
{
    bool haveFile = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--arcs") {
            arguments.arcs = true;
        } else if (argument == "--moves" || argument == "--moves-out") {
            if (i + 1 >= argc) {
                problem = std::string(argument) + " needs a value";
                return false;
            }
            const std::string_view value = argv[++i];
            if (argument == "--moves-out") {
                if (value.empty()) {
                    problem = "--moves-out needs a path";
                    return false;
                }
                arguments.movesOutPath = value;
            } else if (!parseCount(value, arguments.moveListLength)) {
                problem = "--moves needs a count of moves, not '" + std::string(value) + "'";
                return false;
            }
        } else if (argument.size() > 1 && argument[0] == '-' && argument != "-") {
            problem = "unknown option " + std::string(argument);
            return false;
        } else if (haveFile) {
            problem = "only one file can be given";
            return false;
        } else {
            arguments.file = argument;
            haveFile = true;
        }
    }
    if (!haveFile) {
        problem = "no file given";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    Arguments arguments;
    std::string problem;
    if (!parseArguments(argc, argv, arguments, problem)) {
        std::fprintf(
            stderr, "gcode-info: %s (usage: gcode-info FILE [--arcs] [--moves N] [--moves-out PATH])\n",
            problem.c_str());
        return ExitBadArguments;
    }
    if (!createToolpath()) {
        std::fprintf(stderr, "gcode-info: no memory for the toolpath\n");
        return ExitNotLoaded;
    }
    loadArcs = arguments.arcs;
    const bool loaded = loadGcodeFile(arguments.file);
    std::printf("%s\n", jsonObject(reportFields(loaded, arguments), "").c_str());
    if (!loaded)
        return ExitNotLoaded;
    if (!arguments.movesOutPath.empty() && !writeMoves(arguments.movesOutPath)) {
        std::fprintf(stderr, "gcode-info: cannot write %s\n", arguments.movesOutPath.c_str());
        return ExitNotLoaded;
    }
    return ExitLoaded;
}
