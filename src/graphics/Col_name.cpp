#include "graphics/Col_name.h"

#include <array>

#include "scenario/Text_util.h"

namespace graphics {
namespace {

constexpr uint32_t kSystemColour = 0x80000000;

// The system colours of the classic desktop scheme by index, 0x00BBGGRR.
constexpr std::array<uint32_t, 25> kSystemColours = {
    0xC0C0C0,  // scroll bar
    0x808000,  // desktop background (teal)
    0x800000,  // active caption (navy)
    0x808080,  // inactive caption
    0xC0C0C0,  // menu
    0xFFFFFF,  // window
    0x000000,  // window frame
    0x000000,  // menu text
    0x000000,  // window text
    0xFFFFFF,  // caption text
    0xC0C0C0,  // active border
    0xC0C0C0,  // inactive border
    0x808080,  // application workspace
    0x800000,  // highlight (navy)
    0xFFFFFF,  // highlighted text
    0xC0C0C0,  // button face
    0x808080,  // button shadow
    0x808080,  // grey text
    0x000000,  // button text
    0xC0C0C0,  // inactive caption text
    0xFFFFFF,  // button highlight
    0x000000,  // 3D dark shadow
    0xC0C0C0,  // 3D light
    0x000000,  // tooltip text
    0xE1FFFF,  // tooltip background
};

struct NamedColour {
    std::string_view name;
    uint32_t value;  // a platform colour value
};

constexpr std::array<NamedColour, 47> kColourNames = {{
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clLtGray", 0xC0C0C0},
    {"clDkGray", 0x808080},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},
    {"clScrollBar", kSystemColour | 0},
    {"clBackground", kSystemColour | 1},
    {"clActiveCaption", kSystemColour | 2},
    {"clInactiveCaption", kSystemColour | 3},
    {"clMenu", kSystemColour | 4},
    {"clWindow", kSystemColour | 5},
    {"clWindowFrame", kSystemColour | 6},
    {"clMenuText", kSystemColour | 7},
    {"clWindowText", kSystemColour | 8},
    {"clCaptionText", kSystemColour | 9},
    {"clActiveBorder", kSystemColour | 10},
    {"clInactiveBorder", kSystemColour | 11},
    {"clAppWorkSpace", kSystemColour | 12},
    {"clHighlight", kSystemColour | 13},
    {"clHighlightText", kSystemColour | 14},
    {"clBtnFace", kSystemColour | 15},
    {"clBtnShadow", kSystemColour | 16},
    {"clGrayText", kSystemColour | 17},
    {"clBtnText", kSystemColour | 18},
    {"clInactiveCaptionText", kSystemColour | 19},
    {"clBtnHighlight", kSystemColour | 20},
    {"cl3DDkShadow", kSystemColour | 21},
    {"cl3DLight", kSystemColour | 22},
    {"clInfoText", kSystemColour | 23},
    {"clInfoBk", kSystemColour | 24},
}};

uint32_t PixelOf(uint32_t platformColour) {
    if (platformColour & kSystemColour) {
        size_t index = platformColour & 0xFF;
        platformColour = index < kSystemColours.size() ? kSystemColours[index] : 0;
    }
    return (platformColour & 0xFF) << 16 | (platformColour & 0xFF00) |
           (platformColour >> 16 & 0xFF);
}

}  // namespace

std::optional<uint32_t> ColourFromText(std::string_view text) {
    for (const NamedColour& colour : kColourNames) {
        if (scenario::SameTextIgnoreCase(text, colour.name)) return PixelOf(colour.value);
    }
    if (std::optional<int32_t> number = scenario::ParseInt(text)) {
        return PixelOf(static_cast<uint32_t>(*number));
    }
    return std::nullopt;
}

}  // namespace graphics
