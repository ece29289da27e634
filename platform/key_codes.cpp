// Maps Qt's key and button values onto the codes the shell registers shortcuts with.
#include "platform/key_codes.h"

#include "platform/toolkit.h"

#include <Qt>

namespace {

struct KeyPair {
    int qtKey;
    int code;
};

// Keys outside letters and digits, with the virtual-key codes the shell's tables use.
constexpr KeyPair NamedKeys[] = {
    {Qt::Key_Backspace, 0x08},   {Qt::Key_Tab, 0x09},           {Qt::Key_Backtab, 0x09},
    {Qt::Key_Return, 0x0D},      {Qt::Key_Enter, 0x0D},         {Qt::Key_Escape, 0x1B},
    {Qt::Key_Space, 0x20},       {Qt::Key_PageUp, 0x21},        {Qt::Key_PageDown, 0x22},
    {Qt::Key_End, 0x23},         {Qt::Key_Home, 0x24},          {Qt::Key_Left, 0x25},
    {Qt::Key_Up, 0x26},          {Qt::Key_Right, 0x27},         {Qt::Key_Down, 0x28},
    {Qt::Key_Insert, 0x2D},      {Qt::Key_Delete, 0x2E},        {Qt::Key_Shift, 0x10},
    {Qt::Key_Control, 0x11},     {Qt::Key_Alt, 0x12},           {Qt::Key_Equal, KeyMainPlus},
    {Qt::Key_Plus, KeyMainPlus}, {Qt::Key_Minus, KeyMainMinus},
};

constexpr int VirtualKeyF1 = 0x70; // F1 .. F24 follow in order
constexpr int VirtualKeyPadMultiply = 0x6A;
constexpr int VirtualKeyPadDivide = 0x6F;
constexpr int VirtualKeyPadDecimal = 0x6E;

} // namespace

int layerKeyCode(int qtKey, bool keypad)
{
    if (keypad) {
        // The keypad's keys have codes of their own, distinct from the main keyboard's.
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
            return KeyPad0 + (qtKey - Qt::Key_0);
        switch (qtKey) {
        case Qt::Key_Plus: return KeyPadPlus;
        case Qt::Key_Minus: return KeyPadMinus;
        case Qt::Key_Asterisk: return VirtualKeyPadMultiply;
        case Qt::Key_Slash: return VirtualKeyPadDivide;
        case Qt::Key_Period:
        case Qt::Key_Comma: return VirtualKeyPadDecimal;
        default: break; // with Num Lock off the keypad sends arrows and the like
        }
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 'A' + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return KeyMain0 + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return VirtualKeyF1 + (qtKey - Qt::Key_F1);
    for (const KeyPair& k : NamedKeys)
        if (k.qtKey == qtKey)
            return k.code;
    return KeyOther;
}

int layerModifiers(int qtModifiers)
{
    int bits = 0;
    if (qtModifiers & Qt::ShiftModifier)
        bits |= ShiftModifier;
    if (qtModifiers & Qt::AltModifier)
        bits |= AltModifier;
    if (qtModifiers & Qt::ControlModifier)
        bits |= CtrlModifier;
    return bits;
}

int layerButtons(int qtButtons)
{
    int bits = 0;
    if (qtButtons & Qt::LeftButton)
        bits |= LeftButtonBit;
    if (qtButtons & Qt::RightButton)
        bits |= RightButtonBit;
    if (qtButtons & Qt::MiddleButton)
        bits |= MiddleButtonBit;
    return bits;
}
