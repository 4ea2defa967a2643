#pragma once

// Theme colours, which cell formats may name instead of a colour of their own. The merged
// workbook carries no theme, and each source may have its own, so the readers resolve such
// colours to ARGB while the source's theme is at hand.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "automation/readers/workbook_reader.h"

namespace tavrio::automation::readers {

// The twelve colours of a theme as 0xRRGGBB, in the order a cell's `theme="N"` counts them:
// 0 lt1, 1 dk1, 2 lt2, 3 dk2, 4-9 accent1-6, 10 hlink, 11 folHlink. The scheme itself lists
// dark before light (dk1, lt1, dk2, lt2, ...); spreadsheet applications swap the first two
// pairs when they count, and so does this table.
using ThemeColors = std::array<std::uint32_t, 12>;

// The colours of the Office theme that spreadsheet applications assume when a workbook has no
// theme part (the 2007-2010 scheme, which openpyxl and libxlsxwriter also write).
const ThemeColors& DefaultThemeColors();

// Parses a theme part held in memory. A scheme colour that is missing or not a plain RGB
// (srgbClr, or sysClr with its lastClr) keeps the default theme's colour. Throws ReadFault
// when the part is not well-formed XML or breaks an XML limit.
ThemeColors ParseThemePart(std::string xml, std::string_view part);

// `rgb` (0xRRGGBB) lightened (tint > 0) or darkened (tint < 0) by changing its HLS luminance
// as ECMA-376 describes for a colour's tint; tint is clamped to -1..1.
std::uint32_t ApplyTint(std::uint32_t rgb, double tint);

// "FFRRGGBB" for 0xRRGGBB.
std::string OpaqueArgb(std::uint32_t rgb);

}  // namespace tavrio::automation::readers
