#include "automation/readers/theme_part.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "automation/readers/xml_document.h"

namespace tavrio::automation::readers {
namespace {

// Scheme element names in theme index order (see ThemeColors).
constexpr std::string_view kSchemeNames[] = {"lt1",     "dk1",     "lt2",     "dk2",
                                             "accent1", "accent2", "accent3", "accent4",
                                             "accent5", "accent6", "hlink",   "folHlink"};

bool ParseHexRgb(const char* text, std::uint32_t& rgb) {
  if (text == nullptr || std::strlen(text) != 6) return false;
  auto [stop, ec] = std::from_chars(text, text + 6, rgb, 16);
  return ec == std::errc() && stop == text + 6;
}

// The RGB a scheme entry such as <a:dk1><a:sysClr val="windowText" lastClr="000000"/></a:dk1>
// states, if it states one plainly.
bool SchemeRgb(pugi::xml_node entry, std::uint32_t& rgb) {
  if (pugi::xml_node srgb = FirstChild(entry, "srgbClr")) {
    return ParseHexRgb(AttributeValue(srgb, "val"), rgb);
  }
  if (pugi::xml_node sys = FirstChild(entry, "sysClr")) {
    return ParseHexRgb(AttributeValue(sys, "lastClr"), rgb);
  }
  return false;
}

struct Hls {
  double hue;  // 0..1
  double luminance;
  double saturation;
};

Hls ToHls(double r, double g, double b) {
  const double high = std::max({r, g, b});
  const double low = std::min({r, g, b});
  Hls hls{0, (high + low) / 2, 0};
  const double range = high - low;
  if (range == 0) return hls;
  hls.saturation = hls.luminance <= 0.5 ? range / (high + low) : range / (2 - high - low);
  double hue = high == r ? (g - b) / range : high == g ? 2 + (b - r) / range : 4 + (r - g) / range;
  hls.hue = hue / 6 < 0 ? hue / 6 + 1 : hue / 6;
  return hls;
}

double HueChannel(double p, double q, double t) {
  if (t < 0) t += 1;
  if (t > 1) t -= 1;
  if (t < 1.0 / 6) return p + (q - p) * 6 * t;
  if (t < 1.0 / 2) return q;
  if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
  return p;
}

std::uint32_t Byte(double channel) {
  return static_cast<std::uint32_t>(std::lround(std::clamp(channel, 0.0, 1.0) * 255));
}

std::uint32_t FromHls(const Hls& hls) {
  if (hls.saturation == 0) {
    const std::uint32_t grey = Byte(hls.luminance);
    return grey << 16 | grey << 8 | grey;
  }
  const double l = hls.luminance;
  const double q = l <= 0.5 ? l * (1 + hls.saturation) : l + hls.saturation - l * hls.saturation;
  const double p = 2 * l - q;
  return Byte(HueChannel(p, q, hls.hue + 1.0 / 3)) << 16 | Byte(HueChannel(p, q, hls.hue)) << 8 |
         Byte(HueChannel(p, q, hls.hue - 1.0 / 3));
}

}  // namespace

const ThemeColors& DefaultThemeColors() {
  static const ThemeColors colors = {0xFFFFFF, 0x000000, 0xEEECE1, 0x1F497D, 0x4F81BD, 0xC0504D,
                                     0x9BBB59, 0x8064A2, 0x4BACC6, 0xF79646, 0x0000FF, 0x800080};
  return colors;
}

ThemeColors ParseThemePart(std::string xml, std::string_view part) {
  XmlPart document(std::move(xml), part);
  const pugi::xml_node scheme =
      FirstChild(FirstChild(document.root(), "themeElements"), "clrScheme");
  ThemeColors colors = DefaultThemeColors();
  for (std::size_t i = 0; i < colors.size(); ++i) {
    std::uint32_t rgb = 0;
    if (SchemeRgb(FirstChild(scheme, kSchemeNames[i]), rgb)) colors[i] = rgb;
  }
  return colors;
}

std::uint32_t ApplyTint(std::uint32_t rgb, double tint) {
  if (!std::isfinite(tint) || tint == 0) return rgb;
  tint = std::clamp(tint, -1.0, 1.0);
  Hls hls = ToHls((rgb >> 16 & 0xFF) / 255.0, (rgb >> 8 & 0xFF) / 255.0, (rgb & 0xFF) / 255.0);
  hls.luminance = tint < 0 ? hls.luminance * (1 + tint) : hls.luminance * (1 - tint) + tint;
  return FromHls(hls);
}

std::string OpaqueArgb(std::uint32_t rgb) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string argb = "FF000000";
  for (int i = 0; i < 6; ++i) argb[7 - i] = kDigits[rgb >> (4 * i) & 0xF];
  return argb;
}

}  // namespace tavrio::automation::readers
