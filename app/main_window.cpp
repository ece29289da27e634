// Builds the main window with its row of buttons and check boxes, the canvas and the status
// line, keeps them in place on resize and remembers where the window was.
#include "app/main_window.h"

#include "platform/desktop.h"
#include "platform/toolkit.h"
#include "view/controls.h"
#include "view/language.h"

#include <cmath>
#include <cstdint>
#include <vector>

int mainWindow = 0;

namespace {

constexpr double FirstSizeShare = 0.8;   // of the primary desktop, for an unknown size
constexpr double LargestSizeShare = 0.9; // of the primary desktop, for a saved size too big
constexpr int TitleBarProbe = 10;        // layout units below the outer top edge
constexpr int SpanishLanguage = 0x0A;    // primary language of every Spanish region
constexpr int PrimaryLanguageMask = 0x3FF;

constexpr int RowTop = 4;             // layout units
constexpr int RowHeight = 26;         // layout units
constexpr int CanvasTop = 34;         // layout units
constexpr int CanvasBottomGap = 60;   // layout units the canvas leaves for the row and status
constexpr int StatusLeft = 6;         // layout units
constexpr int StatusAboveBottom = 21; // layout units
constexpr int StatusHeight = 20;      // layout units
constexpr int DonateFromRight = 86;   // layout units from the client's right edge
constexpr int DonateWidth = 80;       // layout units

enum class ControlKind { Button, CheckBox };

// One control of the top row: number, kind, place and caption in both languages.
struct ControlRow {
    int number;
    ControlKind kind;
    int x, width; // layout units; the donate button's x follows the client width
    const char* spanish;
    const char* english;
};

// In creation order, which is also the keyboard tab order.
constexpr ControlRow TopRow[] = {
    {OpenButton, ControlKind::Button, 6, 70, "Abrir...", "Open..."},
    {ZoomOutButton, ControlKind::Button, 86, 32, "-", "-"},
    {ZoomInButton, ControlKind::Button, 122, 32, "+", "+"},
    {FitButton, ControlKind::Button, 158, 70, "Ajustar", "Fit"},
    {GreyCheck, ControlKind::CheckBox, 248, 170, "Grises según potencia", "Grayscale by power"},
    {TravelCheck, ControlKind::CheckBox, 428, 170, "Movimientos en vacío", "Travel moves"},
    {BedCheck, ControlKind::CheckBox, 608, 70, "Mesa", "Bed"},
    {InvertCheck, ControlKind::CheckBox, 688, 90, "Invertir", "Invert"},
    {InchesCheck, ControlKind::CheckBox, 788, 90, "Pulgadas", "Inches"},
    {DonateButton, ControlKind::Button, -DonateFromRight, DonateWidth, "Donar", "Donate"},
};

// The check boxes and the options they show.
struct CheckOption {
    int number;
    std::int32_t Settings::*field;
};

constexpr CheckOption CheckOptions[] = {
    {GreyCheck, &Settings::greyByPower}, {TravelCheck, &Settings::showTravel},
    {BedCheck, &Settings::showBed},      {InvertCheck, &Settings::invertColours},
    {InchesCheck, &Settings::inches},
};

struct ShortcutRow {
    int key;
    int modifiers;
    int command;
};

// Keypad plus and minus work with and without Ctrl; the main-keyboard keys and both 0
// keys need Ctrl.
constexpr ShortcutRow Shortcuts[] = {
    {KeyPadPlus, 0, ZoomInCommand},
    {KeyPadMinus, 0, ZoomOutCommand},
    {KeyPadPlus, CtrlModifier, ZoomInCommand},
    {KeyPadMinus, CtrlModifier, ZoomOutCommand},
    {KeyMainPlus, CtrlModifier, ZoomInCommand},
    {KeyMainMinus, CtrlModifier, ZoomOutCommand},
    {KeyPad0, CtrlModifier, FitCommand},
    {KeyMain0, CtrlModifier, FitCommand},
    {KeyF5, 0, ReloadCommand},
};

constexpr const char* FontFace = "Segoe UI";
constexpr double FontPoints = 9.0; // ruler labels
constexpr int RulerFontSlot = 0;

// Layout sizes are small integers, so a share of one rounds safely.
int shareOf(int length, double share)
{
    return static_cast<int>(std::lround(length * share));
}

std::vector<DesktopArea> currentDesktops()
{
    std::vector<DesktopArea> desktops(static_cast<std::size_t>(desktopCount()));
    for (std::size_t i = 0; i < desktops.size(); ++i) {
        const int index = static_cast<int>(i);
        desktops[i] = {deviceToLayout(desktopX(index)), deviceToLayout(desktopY(index)),
                       deviceToLayout(desktopWidth(index)), deviceToLayout(desktopHeight(index))};
    }
    if (desktops.empty())
        desktops.push_back({});
    return desktops;
}

} // namespace

bool isOnDesktops(int x, int y, int width, std::span<const DesktopArea> desktops)
{
    // 64-bit sums: a hand-edited position near the integer limits must not overflow.
    const std::int64_t cx = std::int64_t{x} + width / 2;
    const std::int64_t cy = std::int64_t{y} + TitleBarProbe;
    for (const DesktopArea& d : desktops) {
        if (d.x <= cx && cx < std::int64_t{d.x} + d.width && d.y <= cy &&
            cy < std::int64_t{d.y} + d.height)
            return true;
    }
    return false;
}

bool isOnSomeDesktop(int x, int y, int width)
{
    const std::vector<DesktopArea> desktops = currentDesktops();
    return isOnDesktops(x, y, width, desktops);
}

WindowPlan planMainWindow(const Settings& saved, std::span<const DesktopArea> desktops)
{
    const DesktopArea primary = desktops.empty() ? DesktopArea{} : desktops.front();
    WindowPlan plan;
    if (saved.windowWidth > 0 && saved.windowHeight > 0) {
        plan.width = saved.windowWidth;
        plan.height = saved.windowHeight;
    } else {
        plan.width = shareOf(primary.width, FirstSizeShare);
        plan.height = shareOf(primary.height, FirstSizeShare);
    }
    if (plan.width > primary.width)
        plan.width = shareOf(primary.width, LargestSizeShare);
    if (plan.height > primary.height)
        plan.height = shareOf(primary.height, LargestSizeShare);
    if (plan.width < SmallestClientWidth)
        plan.width = SmallestClientWidth;
    if (plan.height < SmallestOpeningHeight)
        plan.height = SmallestOpeningHeight;

    plan.centred = saved.windowX == UnsetPosition || saved.windowY == UnsetPosition ||
                   !isOnDesktops(saved.windowX, saved.windowY, plan.width, desktops);
    if (!plan.centred) {
        plan.x = saved.windowX;
        plan.y = saved.windowY;
    }
    plan.maximized = saved.maximized != 0;
    return plan;
}

void recordMaximizedStart(Settings& target, const WindowPlan& plan, const DesktopArea& primary)
{
    if (plan.centred) {
        target.windowX = (primary.width - plan.width) / 2;
        target.windowY = (primary.height - plan.height) / 2;
    }
    target.windowWidth = plan.width;
    target.windowHeight = plan.height;
}

ControlBox canvasBox(int clientWidth, int clientHeight)
{
    return {0, CanvasTop, clientWidth, clientHeight - CanvasBottomGap};
}

ControlBox statusBox(int clientWidth, int clientHeight)
{
    return {StatusLeft, clientHeight - StatusAboveBottom, clientWidth - 2 * StatusLeft, StatusHeight};
}

ControlBox donateBox(int clientWidth)
{
    return {clientWidth - DonateFromRight, RowTop, DonateWidth, RowHeight};
}

bool isSpanishLanguage(int languageId)
{
    return (languageId & PrimaryLanguageMask) == SpanishLanguage;
}

void chooseLanguage()
{
    uiSpanish = isSpanishLanguage(userInterfaceLanguage());
}

bool createMainWindow()
{
    const std::vector<DesktopArea> desktops = currentDesktops();
    const WindowPlan plan = planMainWindow(settings, desktops);

    int flags = WindowStandardFrame;
    if (plan.centred)
        flags |= WindowCentred;
    if (plan.maximized)
        flags |= WindowMaximized;
    mainWindow =
        openWindow(plan.centred ? UnsetPosition : plan.x, plan.centred ? UnsetPosition : plan.y,
                   plan.width, plan.height, WindowTitle, flags);
    if (mainWindow == 0)
        return false;
    setClientSizeLimits(mainWindow, SmallestClientWidth, SmallestClientHeight, UnsetPosition,
                        UnsetPosition);
    if (plan.maximized)
        recordMaximizedStart(settings, plan, desktops.front());
    else
        rememberGeometry();

    const int width = clientWidth(mainWindow);
    for (const ControlRow& row : TopRow) {
        const int x = row.x < 0 ? width + row.x : row.x;
        const char* caption = tr(row.spanish, row.english);
        if (row.kind == ControlKind::Button)
            createButton(row.number, x, RowTop, row.width, RowHeight, caption);
        else
            createCheckBox(row.number, x, RowTop, row.width, RowHeight, caption);
    }
    for (const CheckOption& option : CheckOptions)
        setCheckState(option.number, settings.*option.field != 0 ? 1 : 0);

    loadFont(RulerFontSlot, FontFace, FontPoints);

    const ControlBox canvas = canvasBox(plan.width, plan.height);
    createCanvas(Canvas, canvas.x, canvas.y, canvas.width, canvas.height, true);
    const ControlBox status = statusBox(plan.width, plan.height);
    createTextLine(StatusText, status.x, status.y, status.width, status.height, "");
    layoutControls();

    enableFileDrop(Canvas);
    for (const ShortcutRow& shortcut : Shortcuts)
        addShortcut(mainWindow, shortcut.key, shortcut.modifiers, shortcut.command);
    return true;
}

void layoutControls()
{
    const int width = clientWidth(mainWindow);
    const int height = clientHeight(mainWindow);
    const ControlBox canvas = canvasBox(width, height);
    resizeControl(Canvas, canvas.x, canvas.y, canvas.width, canvas.height);
    const ControlBox status = statusBox(width, height);
    resizeControl(StatusText, status.x, status.y, status.width, UnsetPosition);
    const ControlBox donate = donateBox(width);
    resizeControl(DonateButton, donate.x, UnsetPosition, UnsetPosition, UnsetPosition);
}

void rememberGeometry()
{
    if (mainWindow == 0 || windowState(mainWindow) != Normal)
        return;
    settings.windowX = windowOuterX(mainWindow);
    settings.windowY = windowOuterY(mainWindow);
    settings.windowWidth = clientWidth(mainWindow);
    settings.windowHeight = clientHeight(mainWindow);
}
