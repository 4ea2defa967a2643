#pragma once

// The cell formats of a binary workbook: its FONT, FORMAT, PALETTE and XF records, of every
// generation from BIFF2 on, turned into the StyleInfo every reader hands the engine. A cell
// names its XF record by position; each XF names a font and a number format, and carries its
// own fill, borders and alignment.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "automation/readers/biff_stream.h"
#include "automation/readers/biff_text.h"
#include "automation/readers/workbook_reader.h"

namespace tavrio::automation::readers {

class BiffStyles {
 public:
  // Takes `record` when it is one of the records above (else returns false). Throws ReadFault
  // when such a record is cut short.
  bool Take(const BiffRecord& record, const BiffText& text);

  // The distinct looks, index 0 the default, and per XF record (in file order) the index of
  // its look. A BIFF2 workbook that has no XF records gets one per number format instead, so
  // that its cells, which then name their format directly, can be looked up the same way.
  // Colours of a palette the workbook redefines come as ARGB; the standard palette's stay
  // indexed; the system colours read as automatic.
  void Finish(std::vector<StyleInfo>& styles, std::vector<std::uint32_t>& xf_styles) const;
  bool HasNoXfs() const { return xfs_.empty(); }

 private:
  // What an XF record says, its colours as palette indexes, resolved by Finish since the
  // PALETTE record may come after the XF records.
  struct Xf {
    int font = 0;    // FONT record position, -1 for none
    int format = 0;  // format id (BIFF5 on) or FORMAT record position (BIFF2-4)
    std::string pattern;
    unsigned fill_colors[2] = {64, 65};  // foreground, background
    std::string borders[4];              // left, right, top, bottom
    unsigned border_colors[4] = {64, 64, 64, 64};
    AlignmentInfo alignment;
  };

  void Font(const BiffRecord& record, const BiffText& text);
  void Format(const BiffRecord& record, const BiffText& text);
  void Palette(const BiffRecord& record);
  void XfRecord(const BiffRecord& record, BiffVersion version);
  ColorInfo Color(unsigned index) const;
  StyleInfo StyleOf(const Xf& xf) const;

  bool numbered_formats_ = true;  // BIFF5 on: FORMAT records carry their id
  std::vector<FontInfo> fonts_;
  std::vector<unsigned> font_colors_;             // per font, its palette index
  std::unordered_map<int, std::string> formats_;  // code by id
  std::vector<std::string> palette_;              // entries 8 on, "FFRRGGBB", if redefined
  std::vector<Xf> xfs_;
};

}  // namespace tavrio::automation::readers
