#include "platform/VirtualKeys.h"

#include <X11/keysym.h>

#include <algorithm>
#include <iterator>

namespace platform {

namespace {

struct VirtualKey {
    int code;
    unsigned long keysym;
};

// Letters (0x41-0x5A) and digits (0x30-0x39) are their own codes and are not listed.
constexpr VirtualKey kKeys[] = {
    {0x08, XK_BackSpace},   {0x09, XK_Tab},          {0x0C, XK_Clear},
    {0x0D, XK_Return},      {0x10, XK_Shift_L},      {0x11, XK_Control_L},
    {0x12, XK_Alt_L},       {0x13, XK_Pause},        {0x14, XK_Caps_Lock},
    {0x1B, XK_Escape},      {0x20, XK_space},        {0x21, XK_Prior},
    {0x22, XK_Next},        {0x23, XK_End},          {0x24, XK_Home},
    {0x25, XK_Left},        {0x26, XK_Up},           {0x27, XK_Right},
    {0x28, XK_Down},        {0x2C, XK_Print},        {0x2D, XK_Insert},
    {0x2E, XK_Delete},      {0x5B, XK_Super_L},      {0x5C, XK_Super_R},
    {0x5D, XK_Menu},        {0x60, XK_KP_0},         {0x61, XK_KP_1},
    {0x62, XK_KP_2},        {0x63, XK_KP_3},         {0x64, XK_KP_4},
    {0x65, XK_KP_5},        {0x66, XK_KP_6},         {0x67, XK_KP_7},
    {0x68, XK_KP_8},        {0x69, XK_KP_9},         {0x6A, XK_KP_Multiply},
    {0x6B, XK_KP_Add},      {0x6C, XK_KP_Separator}, {0x6D, XK_KP_Subtract},
    {0x6E, XK_KP_Decimal},  {0x6F, XK_KP_Divide},    {0x90, XK_Num_Lock},
    {0x91, XK_Scroll_Lock}, {0xA0, XK_Shift_L},      {0xA1, XK_Shift_R},
    {0xA2, XK_Control_L},   {0xA3, XK_Control_R},    {0xA4, XK_Alt_L},
    {0xA5, XK_Alt_R},       {0xBA, XK_semicolon},    {0xBB, XK_equal},
    {0xBC, XK_comma},       {0xBD, XK_minus},        {0xBE, XK_period},
    {0xBF, XK_slash},       {0xC0, XK_grave},        {0xDB, XK_bracketleft},
    {0xDC, XK_backslash},   {0xDD, XK_bracketright}, {0xDE, XK_apostrophe},
};

} // namespace

unsigned long KeySymOfVirtualKey(int code) {
    if ((code >= 0x30 && code <= 0x39) || (code >= 0x41 && code <= 0x5A))
        return static_cast<unsigned long>(code + (code >= 0x41 ? 0x20 : 0)); // XK_0.., XK_a..
    if (code >= 0x70 && code <= 0x87)                                        // F1 to F24
        return XK_F1 + static_cast<unsigned long>(code - 0x70);
    const auto* key = std::find_if(std::begin(kKeys), std::end(kKeys),
                                   [code](const VirtualKey& k) { return k.code == code; });
    return key != std::end(kKeys) ? key->keysym : 0;
}

} // namespace platform
