// Colours as settings and message markup write them: a colour name of the
// games' platform ("clRed", "clBtnFace", in any letter case) or a number, each
// a platform colour value 0x00BBGGRR, read as a pixel word 0x00RRGGBB.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace graphics {

// The pixel word of a colour name or number; nothing for any other text.
// System colours ("clWindow", or a number with the top bit set and the
// system colour's index in its low byte) take the classic desktop scheme's
// colours, as the games were drawn on it; an index beyond the scheme is black.
std::optional<uint32_t> ColourFromText(std::string_view text);

}  // namespace graphics
