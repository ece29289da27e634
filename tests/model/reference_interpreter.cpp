// A slow, obvious second reading of the G-code rules, to compare the interpreter against:
// lines cut out as strings, words taken apart by index, no shared code with the model.
#include "reference_interpreter.h"

#include <algorithm>
#include <cmath>

namespace {

bool isAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isDecimalDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads the number at `i` in `line` (after a word letter) and returns it; `i` ends after it.
double numberAt(const std::string& line, std::size_t& i)
{
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        i++;
    bool minus = false;
    if (i < line.size() && (line[i] == '-' || line[i] == '+')) {
        minus = line[i] == '-';
        i++;
    }
    std::string whole, fraction;
    while (i < line.size() && isDecimalDigit(line[i]))
        whole += line[i++];
    if (i < line.size() && line[i] == '.') {
        i++;
        while (i < line.size() && isDecimalDigit(line[i]))
            fraction += line[i++];
    }
    double value = 0.0;
    for (char d : whole)
        value = value * 10.0 + (d - '0');
    double tenPower = 1.0;
    for (char d : fraction) {
        tenPower = tenPower * 10.0;
        value = value + (d - '0') / tenPower;
    }
    return minus ? -value : value;
}

void grow(Bounds& b, double x1, double y1, double x2, double y2)
{
    if (!b.valid) {
        b = Bounds{x1, y1, x1, y1, true};
    }
    b.minX = std::min(b.minX, std::min(x1, x2));
    b.maxX = std::max(b.maxX, std::max(x1, x2));
    b.minY = std::min(b.minY, std::min(y1, y2));
    b.maxY = std::max(b.maxY, std::max(y1, y2));
}

} // namespace

ReferenceResult referenceInterpret(const std::string& text)
{
    ReferenceResult result;
    double x = 0, y = 0, factor = 1, s = 0, f = 0, lastX = 0, lastY = 0;
    bool relative = false, on = true;
    int mode = -1;

    const std::string all = text + "\n";
    std::size_t lineStart = 0;
    while (lineStart < all.size()) {
        const std::size_t lineEnd = all.find('\n', lineStart);
        const std::string line = all.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;

        bool sawX = false, sawY = false;
        int lineMode = -1;
        std::size_t i = 0;
        while (i < line.size()) {
            const char c = line[i];
            if (c == ';')
                break;
            if (c == '(') {
                const std::size_t close = line.find(')', i);
                if (close == std::string::npos)
                    break;
                i = close + 1;
                continue;
            }
            if (!isAsciiLetter(c)) {
                i++;
                continue;
            }
            i++;
            const double v = numberAt(line, i);
            const double code = std::trunc(v);
            switch (c) {
            case 'G':
            case 'g':
                if (code == 0 || code == 1 || code == 2 || code == 3)
                    lineMode = static_cast<int>(code);
                else if (code == 20)
                    factor = 25.4;
                else if (code == 21)
                    factor = 1.0;
                else if (code == 90)
                    relative = false;
                else if (code == 91)
                    relative = true;
                break;
            case 'M':
            case 'm':
                if (code == 3 || code == 4)
                    on = true;
                else if (code == 5)
                    on = false;
                break;
            case 'X':
            case 'x':
                sawX = true;
                lastX = v;
                break;
            case 'Y':
            case 'y':
                sawY = true;
                lastY = v;
                break;
            case 'S':
            case 's': s = v; break;
            case 'F':
            case 'f': f = v; break;
            default: break;
            }
        }

        if (lineMode != -1)
            mode = lineMode;
        if ((!sawX && !sawY) || mode == -1)
            continue;
        double nx = x, ny = y;
        if (sawX)
            nx = relative ? x + lastX * factor : lastX * factor;
        if (sawY)
            ny = relative ? y + lastY * factor : lastY * factor;
        if (nx != x || ny != y) {
            const bool travel = mode == 0 || s <= 0 || !on;
            if (!travel && s > result.maxPower)
                result.maxPower = s;
            Move m{};
            m.x1 = static_cast<float>(x);
            m.y1 = static_cast<float>(y);
            m.x2 = static_cast<float>(nx);
            m.y2 = static_cast<float>(ny);
            const double clamped = s > 32767 ? 32767 : (s < 0 ? 0 : s);
            m.power = static_cast<std::int16_t>(std::nearbyint(clamped));
            m.travel = travel;
            result.moves.push_back(m);
            grow(result.allBounds, x, y, nx, ny);
            if (!travel)
                grow(result.cutBounds, x, y, nx, ny);
            if (mode >= 1 && f > 0) {
                const double dx = nx - x, dy = ny - y;
                result.estimatedSeconds += std::sqrt(dx * dx + dy * dy) / f * 60;
            }
        }
        x = nx;
        y = ny;
    }
    if (result.maxPower <= 0)
        result.maxPower = 1000;
    return result;
}
