// Renders a G-code file to a PNG with the viewer's own renderer, without a display, and
// prints its status line: the command behind file-manager thumbnails.
#include "model/interpreter.h"
#include "model/job_pace.h"
#include "model/replay_place.h"
#include "model/toolpath.h"
#include "platform/drawing.h"
#include "platform/numtext.h"
#include "platform/toolkit.h"
#include "view/colour_scheme.h"
#include "view/controls.h"
#include "view/language.h"
#include "view/renderer.h"
#include "view/settings.h"
#include "view/status_line.h"
#include "view/view_commands.h"
#include "view/view_state.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr int DefaultWidth = 800;       // device pixels
constexpr int DefaultHeight = 600;      // device pixels
constexpr int MaxSide = 16384;          // device pixels, either side
constexpr double MinDisplayScale = 0.5; // device pixels per layout unit
constexpr double MaxDisplayScale = 8.0;
constexpr int LabelFontSlot = 0; // the font the rulers label with
constexpr double LabelFontPoints = 9.0;
constexpr int ExitUnreadable = 1; // the input cannot be read or the PNG cannot be written
constexpr int ExitBadArguments = 2;
constexpr int ExitNoDrawing = 3; // no offscreen drawing could be set up

const char* const Usage =
    "usage: gcode-render FILE OUT.png [--size WxH] [--scale R] [--inches] [--invert] "
    "[--travel] [--no-grey] [--no-bed] [--arcs] [--view X,Y,SCALE] [--upto WHERE] [--no-marker]";

struct Options {
    std::string input;
    std::string output;
    int width = DefaultWidth;
    int height = DefaultHeight;
    double scale = 1.0;
    bool inches = false, invert = false, travel = false, grey = true, bed = true, arcs = false;
    bool view = false; // --view: this centre and scale instead of the fit
    double viewX = 0.0, viewY = 0.0, viewScale = 1.0;
    bool upto = false; // --upto: the replay's cursor, found once the job is loaded
    ReplayPlace place;
    bool marker = true;
};

int fail(int code, const std::string& message)
{
    std::fprintf(stderr, "gcode-render: %s\n", message.c_str());
    return code;
}

// A whole decimal number in 1..MaxSide, nothing else; 0 otherwise.
int parseSide(std::string_view text)
{
    if (text.empty() || text.size() > 5)
        return 0;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value <= MaxSide ? value : 0;
}

// A finite decimal number written plainly ("-12.5"), in the C locale whatever the user's.
bool parseCoordinate(std::string_view text, double& value)
{
    const std::size_t start = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (text.size() <= start || text.size() > 32)
        return false;
    bool digit = false, point = false;
    for (std::size_t i = start; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9')
            digit = true;
        else if (text[i] == '.' && !point)
            point = true;
        else
            return false;
    }
    value = parseNumber(text);
    return digit && std::isfinite(value);
}

// "X,Y,SCALE": a machine point in millimetres and device pixels per millimetre.
bool parseView(std::string_view text, Options& options)
{
    const std::size_t first = text.find(',');
    const std::size_t second = first == std::string_view::npos ? first : text.find(',', first + 1);
    if (second == std::string_view::npos)
        return false;
    return parseCoordinate(text.substr(0, first), options.viewX) &&
           parseCoordinate(text.substr(first + 1, second - first - 1), options.viewY) &&
           parseCoordinate(text.substr(second + 1), options.viewScale) &&
           options.viewScale >= MinScale && options.viewScale <= MaxScale;
}

// Empty on success, else what was wrong with the arguments.
std::string parseArguments(int argc, char** argv, Options& options)
{
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--size") {
            if (!hasValue)
                return "--size needs WxH";
            const std::string_view size = argv[++i];
            const std::size_t cross = size.find('x');
            const int w = cross == std::string_view::npos ? 0 : parseSide(size.substr(0, cross));
            const int h = cross == std::string_view::npos ? 0 : parseSide(size.substr(cross + 1));
            if (w == 0 || h == 0)
                return "bad --size '" + std::string(size) + "' (want WxH, 1 to 16384 each)";
            options.width = w;
            options.height = h;
        } else if (arg == "--scale") {
            if (!hasValue)
                return "--scale needs a number";
            const std::string_view text = argv[++i];
            const double r = parseNumber(text);
            if (!(r >= MinDisplayScale && r <= MaxDisplayScale))
                return "bad --scale '" + std::string(text) + "' (want 0.5 to 8)";
            options.scale = r;
        } else if (arg == "--view") {
            if (!hasValue)
                return "--view needs X,Y,SCALE";
            const std::string_view text = argv[++i];
            if (!parseView(text, options))
                return "bad --view '" + std::string(text) +
                       "' (want X,Y,SCALE: millimetres, and 0.01 to 5000 pixels per mm)";
            options.view = true;
        } else if (arg == "--upto") {
            if (!hasValue)
                return "--upto needs WHERE";
            const std::string_view text = argv[++i];
            if (!readReplayPlace(text, options.place))
                return "bad --upto '" + std::string(text) +
                       "' (want a move number, a share such as 50% or a time such as 0:12:34)";
            options.upto = true;
        } else if (arg == "--no-marker") {
            options.marker = false;
        } else if (arg == "--inches") {
            options.inches = true;
        } else if (arg == "--invert") {
            options.invert = true;
        } else if (arg == "--travel") {
            options.travel = true;
        } else if (arg == "--no-grey") {
            options.grey = false;
        } else if (arg == "--no-bed") {
            options.bed = false;
        } else if (arg == "--arcs") {
            options.arcs = true; // G2/G3 followed as arcs, not drawn as their chords
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option '" + std::string(arg) + "'";
        } else if (positional == 0) {
            options.input = arg;
            ++positional;
        } else if (positional == 1) {
            options.output = arg;
            ++positional;
        } else {
            return "unexpected argument '" + std::string(arg) + "'";
        }
    }
    if (positional < 2)
        return "FILE and OUT.png are required";
    return "";
}

// The layout size whose device size at `scale` is exactly `side` pixels, or 0.
int layoutSideFor(int side, double scale)
{
    const int guess = static_cast<int>(std::lround(side / scale));
    for (int layout = guess - 1; layout <= guess + 1; ++layout)
        if (layout >= 1 && static_cast<int>(std::round(layout * scale)) == side)
            return layout;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (const std::string problem = parseArguments(argc, argv, options); !problem.empty())
        return fail(ExitBadArguments, problem + "\n" + Usage);
    const int layoutWidth = layoutSideFor(options.width, options.scale);
    const int layoutHeight = layoutSideFor(options.height, options.scale);
    if (layoutWidth == 0 || layoutHeight == 0)
        return fail(ExitBadArguments, "no whole layout size gives " + std::to_string(options.width) +
                                          "x" + std::to_string(options.height) +
                                          " pixels at this --scale");

    // The file first: a bad input needs no drawing at all.
    if (!createToolpath())
        return fail(ExitUnreadable, "out of memory");
    loadArcs = options.arcs;
    if (!loadGcodeFile(options.input))
        return fail(ExitUnreadable, "cannot read '" + options.input + "'");

    // The cursor is read against the job: its moves and its estimated time.
    if (options.upto) {
        ReplayCursor cursor;
        if (const std::string problem = cursorAtPlace(options.place, cursor); !problem.empty())
            return fail(ExitBadArguments, "bad --upto: " + problem);
        replayDrawing = ReplayDrawing{true, cursor, options.marker};
    }

    // Qt's offscreen platform draws without a display; the scale factor makes the layout
    // units of the canvas come out at the requested device pixels each.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QT_SCALE_FACTOR", formatFixed(options.scale, 6).c_str(), 1);
    unsetenv("QT_SCREEN_SCALE_FACTORS");
    unsetenv("QT_AUTO_SCREEN_SCALE_FACTOR");
    static char programName[] = "gcode-render";
    static char* toolkitArgv[] = {programName, nullptr};
    static int toolkitArgc = 1;
    if (!initToolkit(toolkitArgc, toolkitArgv))
        return fail(ExitNoDrawing, "cannot start Qt's offscreen platform");
    if (openWindow(0, 0, layoutWidth, layoutHeight, "gcode-render", 0) == 0 ||
        !createCanvas(Canvas, 0, 0, layoutWidth, layoutHeight, false)) {
        shutdownToolkit();
        return fail(ExitNoDrawing, "cannot make an offscreen canvas");
    }
    loadFont(LabelFontSlot, "Segoe UI", LabelFontPoints);

    uiSpanish = false;
    settings.inches = options.inches;
    settings.invertColours = options.invert;
    settings.showTravel = options.travel;
    settings.greyByPower = options.grey;
    settings.showBed = options.bed;
    applyColourScheme();
    if (toolpath.moveCount > 0 && options.view) {
        viewState.centerX = options.viewX;
        viewState.centerY = options.viewY;
        viewState.scale = options.viewScale;
        viewState.autoFit = false;
        redraw();
    } else if (toolpath.moveCount > 0) {
        fitView();
    } else {
        canvasMessage = tr("El fichero no contiene movimientos.", "The file contains no moves.");
        redraw();
    }

    int imageWidth = 0;
    int imageHeight = 0;
    imageSize(FrameImageSlot, imageWidth, imageHeight);
    if (imageWidth != options.width || imageHeight != options.height) {
        shutdownToolkit();
        return fail(ExitNoDrawing, "the offscreen canvas is " + std::to_string(imageWidth) + "x" +
                                       std::to_string(imageHeight) + " pixels, not the size asked for");
    }
    const bool saved = saveImagePng(FrameImageSlot, options.output);
    shutdownToolkit();
    if (!saved)
        return fail(ExitUnreadable, "cannot write '" + options.output + "'");
    std::printf("%s\n", composeStatusLine(false, options.inches).c_str());
    return 0;
}
