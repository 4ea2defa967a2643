#pragma once

#include <cstdint>

namespace tavrio::automation {

// The grid of a worksheet as desktop spreadsheet applications define it; the saved file format
// cannot address anything beyond it.
inline constexpr std::uint32_t kMaxRows = 1'048'576;
inline constexpr std::uint32_t kMaxColumns = 16'384;
// The longest text one cell holds, counted in UTF-16 code units as those applications count it.
inline constexpr std::uint32_t kMaxTextLength = 32'767;

}  // namespace tavrio::automation
