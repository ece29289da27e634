// A slow, obvious second reading of the G-code rules, to compare the interpreter against:
// lines cut out as strings, words taken apart by index, no shared code with the model.
#include "reference_interpreter.h"

#include <algorithm>
#include <cmath>
#include <utility>

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

const double Pi = 3.14159265358979323846;

// An arc as a machine manual draws it: a centre, the radius at each end, the angle of the
// start and the signed turn (counter-clockwise positive).
struct Arc {
    double cx = 0, cy = 0, r1 = 0, r2 = 0, startAngle = 0, turn = 0;
};

// The turn from angle a1 to angle a2 in (-pi, pi].
double shortTurn(double a1, double a2)
{
    double turn = a2 - a1;
    while (turn > Pi)
        turn -= 2 * Pi;
    while (turn <= -Pi)
        turn += 2 * Pi;
    return turn;
}

// Radii and start angle about a known centre; false for a radius that is zero or not finite.
bool aroundCentre(double x, double y, double nx, double ny, Arc& arc)
{
    arc.r1 = std::sqrt((x - arc.cx) * (x - arc.cx) + (y - arc.cy) * (y - arc.cy));
    arc.r2 = std::sqrt((nx - arc.cx) * (nx - arc.cx) + (ny - arc.cy) * (ny - arc.cy));
    arc.startAngle = std::atan2(y - arc.cy, x - arc.cx);
    arc.turn = shortTurn(arc.startAngle, std::atan2(ny - arc.cy, nx - arc.cx));
    return std::isfinite(arc.r1) && std::isfinite(arc.r2) && arc.r1 > 0 && arc.r2 > 0;
}

// The I/J form: an end off the start's circle by more than 0.005 mm and 0.1 % is refused;
// a turn under 5e-7 radians goes all the way round.
bool centreArc(double x, double y, double nx, double ny, bool clockwise, Arc& arc)
{
    if (!aroundCentre(x, y, nx, ny, arc))
        return false;
    const double off = std::fabs(arc.r2 - arc.r1);
    if (off > 0.005 && off > 0.001 * arc.r1)
        return false;
    if (clockwise && arc.turn >= -5e-7)
        arc.turn -= 2 * Pi;
    if (!clockwise && arc.turn <= 5e-7)
        arc.turn += 2 * Pi;
    return true;
}

// The R form: the centre on the chord's bisector, left of the travel for a shorter
// counter-clockwise arc; R may be short of half the chord by 0.001 mm.
bool radiusArc(double x, double y, double nx, double ny, double r, bool clockwise, Arc& arc)
{
    const double dx = nx - x, dy = ny - y;
    const double d = std::sqrt(dx * dx + dy * dy);
    if (!(d > 0) || !std::isfinite(d) || !std::isfinite(r) || r == 0 || std::fabs(r) < d / 2 - 0.001)
        return false;
    const double h = std::sqrt(std::max(0.0, r * r - d * d / 4));
    const double left = (!clockwise) == (r > 0) ? 1.0 : -1.0;
    arc.cx = (x + nx) / 2 - left * h * dy / d;
    arc.cy = (y + ny) / 2 + left * h * dx / d;
    if (!std::isfinite(arc.cx) || !std::isfinite(arc.cy) || !aroundCentre(x, y, nx, ny, arc))
        return false;
    if (clockwise && arc.turn > 0)
        arc.turn -= 2 * Pi;
    if (!clockwise && arc.turn < 0)
        arc.turn += 2 * Pi;
    return true;
}

// The points of an arc after its start: as many chords as keep within 0.002 mm of it (at
// most 4096), the radius going from r1 to r2 by a steady factor, the last point the end.
std::vector<std::pair<double, double>> arcPoints(const Arc& arc, double nx, double ny)
{
    const double rMax = std::max(arc.r1, arc.r2);
    double count = 1;
    if (0.002 / rMax < 2)
        count = std::ceil(std::fabs(arc.turn) / (2 * std::acos(1 - 0.002 / rMax)));
    count = std::min(std::max(count, 1.0), 4096.0);
    std::vector<std::pair<double, double>> points;
    for (int k = 1; k < count; ++k) {
        const double t = k / count;
        const double r = arc.r1 * std::pow(arc.r2 / arc.r1, t);
        const double a = arc.startAngle + arc.turn * t;
        points.emplace_back(arc.cx + r * std::cos(a), arc.cy + r * std::sin(a));
    }
    points.emplace_back(nx, ny);
    return points;
}

} // namespace

ReferenceResult referenceInterpret(const std::string& text, bool arcs)
{
    ReferenceResult result;
    double x = 0, y = 0, factor = 1, s = 0, f = 0, lastX = 0, lastY = 0;
    bool relative = false, on = true, centresRelative = true;
    int mode = -1, plane = 17;

    // Stores one straight piece with its power and bounds; a piece that goes nowhere is not stored.
    const auto store = [&](double x1, double y1, double x2, double y2, bool travel) {
        if (x1 == x2 && y1 == y2)
            return false;
        Move m{};
        m.x1 = static_cast<float>(x1);
        m.y1 = static_cast<float>(y1);
        m.x2 = static_cast<float>(x2);
        m.y2 = static_cast<float>(y2);
        const double clamped = s > 32767 ? 32767 : (s < 0 ? 0 : s);
        m.power = static_cast<std::int16_t>(std::nearbyint(clamped));
        m.travel = travel;
        result.moves.push_back(m);
        grow(result.allBounds, x1, y1, x2, y2);
        if (!travel)
            grow(result.cutBounds, x1, y1, x2, y2);
        return true;
    };
    // The power and time of a path of `length` that stored at least one piece.
    const auto count = [&](double length, bool travel) {
        if (!travel && s > result.maxPower)
            result.maxPower = s;
        if (mode >= 1 && f > 0)
            result.estimatedSeconds += length / f * 60;
    };

    const std::string all = text + "\n";
    std::size_t lineStart = 0;
    while (lineStart < all.size()) {
        const std::size_t lineEnd = all.find('\n', lineStart);
        const std::string line = all.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;

        bool sawX = false, sawY = false, sawF = false, sawI = false, sawJ = false, sawR = false;
        double lastF = 0, lastI = 0, lastJ = 0, lastR = 0;
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
                else if (std::fabs(v - 90.1) <= 0.001)
                    centresRelative = false;
                else if (std::fabs(v - 91.1) <= 0.001)
                    centresRelative = true;
                else if (code == 17 || code == 18 || code == 19)
                    plane = static_cast<int>(code);
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
            case 'f':
                sawF = true;
                lastF = v;
                break;
            case 'I':
            case 'i':
                sawI = true;
                lastI = v;
                break;
            case 'J':
            case 'j':
                sawJ = true;
                lastJ = v;
                break;
            case 'R':
            case 'r':
                sawR = true;
                lastR = v;
                break;
            default: break;
            }
        }

        if (sawF)
            f = lastF * factor; // millimetres per minute from here on
        if (lineMode != -1)
            mode = lineMode;
        const bool arcMode = mode == 2 || mode == 3;
        if (mode == -1 || (!sawX && !sawY && !(arcMode && (sawI || sawJ))))
            continue;
        double nx = x, ny = y;
        if (sawX)
            nx = relative ? x + lastX * factor : lastX * factor;
        if (sawY)
            ny = relative ? y + lastY * factor : lastY * factor;
        const bool travel = mode == 0 || s <= 0 || !on;
        Arc arc;
        bool asArc = false;
        if (arcMode && arcs && plane == 17) {
            if (sawR && !sawI && !sawJ) {
                asArc = radiusArc(x, y, nx, ny, lastR * factor, mode == 2, arc);
            } else if ((sawI || sawJ) && !sawR) {
                arc.cx = sawI ? (centresRelative ? x : 0) + lastI * factor : x;
                arc.cy = sawJ ? (centresRelative ? y : 0) + lastJ * factor : y;
                asArc = centreArc(x, y, nx, ny, mode == 2, arc);
            }
        } else if (arcMode) {
            result.straightArcs++;
        }
        if (asArc) {
            double px = x, py = y;
            bool stored = false;
            for (const auto& [qx, qy] : arcPoints(arc, nx, ny)) {
                if (store(px, py, qx, qy, travel)) {
                    stored = true;
                    px = qx;
                    py = qy;
                }
            }
            if (stored)
                count(std::fabs(arc.turn) * (arc.r1 + arc.r2) / 2, travel);
        } else if (store(x, y, nx, ny, travel)) {
            count(std::sqrt((nx - x) * (nx - x) + (ny - y) * (ny - y)), travel);
        }
        x = nx;
        y = ny;
    }
    if (result.maxPower <= 0)
        result.maxPower = 1000;
    return result;
}
