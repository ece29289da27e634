// Records the drawing and window calls of the view instead of drawing, for tests.
#include "tests/view/recording_surface.h"

#include "platform/drawing.h"
#include "platform/toolkit.h"
#include "view/controls.h"

RecordingSurface surface;

namespace {

enum class Target { None, Canvas, Image };
Target rasterTarget = Target::None;

void record(Op op, double a = 0, double b = 0, double c = 0, double d = 0, ColourValue colour = 0,
            std::string text = {})
{
    surface.calls.push_back(Call{op, a, b, c, d, colour, std::move(text)});
}

double characters(const std::string& text)
{
    double count = 0;
    for (unsigned char ch : text)
        if ((ch & 0xC0) != 0x80)
            count += 1;
    return count;
}

} // namespace

void resetSurface(int canvasWidth, int canvasHeight)
{
    surface = RecordingSurface{};
    surface.canvasWidth = canvasWidth;
    surface.canvasHeight = canvasHeight;
    surface.canvasLayoutWidth = canvasWidth;
}

std::vector<Call> callsOf(Op op)
{
    std::vector<Call> found;
    for (const Call& call : surface.calls)
        if (call.op == op)
            found.push_back(call);
    return found;
}

std::size_t countOf(Op op)
{
    std::size_t count = 0;
    for (const Call& call : surface.calls)
        count += call.op == op;
    return count;
}

// ---- images ----

bool newImage(int slot, int width, int height, int, ColourValue fill)
{
    record(Op::NewImage, slot, width, height, 0, fill);
    surface.imagePresent = true;
    surface.imageWidth = width;
    surface.imageHeight = height;
    surface.pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                          0xff000000u | (redOf(fill) << 16) | (greenOf(fill) << 8) | blueOf(fill));
    return true;
}

void deleteImage(int slot)
{
    record(Op::DeleteImage, slot);
    surface.imagePresent = false;
    surface.imageWidth = surface.imageHeight = 0;
}

bool imageExists(int)
{
    return surface.imagePresent;
}

std::uint32_t* imagePixelRows(int, int& width, int& height, int& bytesPerLine)
{
    const bool ready = surface.imagePresent && !surface.pixels.empty();
    width = ready ? surface.imageWidth : 0;
    height = ready ? surface.imageHeight : 0;
    bytesPerLine = ready ? surface.imageWidth * 4 : 0;
    return ready ? surface.pixels.data() : nullptr;
}

void imageSize(int, int& width, int& height)
{
    width = surface.imageWidth;
    height = surface.imageHeight;
}

// ---- raster ----

bool beginCanvasRaster(int control)
{
    if (control != Canvas || surface.canvasWidth <= 0 || surface.canvasHeight <= 0)
        return false;
    record(Op::BeginCanvasRaster);
    rasterTarget = Target::Canvas;
    surface.rasterMode = RasterFilled;
    return true;
}

bool beginImageRaster(int)
{
    if (!surface.imagePresent)
        return false;
    record(Op::BeginImageRaster);
    rasterTarget = Target::Image;
    surface.rasterMode = RasterFilled;
    return true;
}

void endRaster()
{
    record(Op::EndRaster);
    rasterTarget = Target::None;
}

int rasterWidth()
{
    return rasterTarget == Target::Canvas ? surface.canvasWidth : surface.imageWidth;
}
int rasterHeight()
{
    return rasterTarget == Target::Canvas ? surface.canvasHeight : surface.imageHeight;
}

void rasterMode(int mode)
{
    record(Op::RasterMode, mode);
    surface.rasterMode = mode;
}

void rasterBox(int x, int y, int width, int height, ColourValue colour)
{
    // The mode in force is kept in the text so that tests can tell fills from outlines.
    record(Op::RasterBox, x, y, width, height, colour, std::to_string(surface.rasterMode));
}

void rasterText(int x, int y, const std::string& text, ColourValue colour)
{
    record(Op::RasterText, x, y, 0, 0, colour, text);
}

int rasterTextWidth(const std::string& text)
{
    return static_cast<int>(characters(text) * surface.glyphWidth);
}
int rasterTextHeight(const std::string&)
{
    return static_cast<int>(surface.glyphHeight);
}

void rasterDrawImage(int slot, int x, int y)
{
    record(Op::RasterDrawImage, slot, x, y);
}

// ---- vector ----

bool beginVector(int)
{
    if (!surface.imagePresent)
        return false;
    record(Op::BeginVector);
    return true;
}

void endVector()
{
    record(Op::EndVector);
}
void setPaintColour(ColourValue colour)
{
    record(Op::SetPaintColour, 0, 0, 0, 0, colour);
}
void paintAll()
{
    record(Op::PaintAll);
}
void pathMoveTo(double x, double y)
{
    record(Op::MoveTo, x, y);
}
void pathLineTo(double x, double y)
{
    record(Op::LineTo, x, y);
}
void pathAddBox(double x, double y, double width, double height)
{
    record(Op::AddBox, x, y, width, height);
}
void strokeSolid(double width)
{
    record(Op::StrokeSolid, width);
}
void strokeDashed(double width, double dash)
{
    record(Op::StrokeDashed, width, dash);
}
void strokeDotted(double width, double spacing)
{
    record(Op::StrokeDotted, width, spacing);
}
void fillCurrentPath()
{
    record(Op::Fill);
}
void setTextFont(int slot, double size)
{
    record(Op::SetTextFont, slot, size);
}
void drawTextAtCursor(const std::string& text)
{
    record(Op::DrawText, 0, 0, 0, 0, 0, text);
}
double measureTextWidth(const std::string& text)
{
    return characters(text) * surface.glyphWidth;
}
double measureTextHeight(const std::string&)
{
    return surface.glyphHeight;
}

// ---- window operations the view uses ----

int controlWidth(int number)
{
    return number == Canvas ? surface.canvasLayoutWidth : 0;
}

void setControlText(int number, const std::string& text)
{
    if (number == StatusText)
        surface.statusText = text;
}

std::string controlText(int number)
{
    return number == StatusText ? surface.statusText : "";
}

int pollEvent()
{
    ++surface.pollCalls;
    if (surface.pendingEvents > 0) {
        --surface.pendingEvents;
        return ControlEvent;
    }
    return NoEvent;
}
