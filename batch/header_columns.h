#pragma once

// Columns matched by their header texts (--match-headers): which column of the merged sheet
// each column of a file goes to.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tavrio::batch {

// `text` without the blanks at either end: ASCII blanks and the ideographic space (U+3000) that
// Chinese input methods type.
std::string TrimBlanks(std::string_view text);

class HeaderColumns {
 public:
  // Where one file's columns go.
  struct Placement {
    // The merged column of source column c at [c - 1]; 0 for a column without a header text.
    std::vector<std::uint32_t> target;
    // Source columns whose header no earlier file had; each went to a new column at the right.
    std::vector<std::uint32_t> added;
  };

  // Places the columns of a file whose header texts (trimmed) are `headers`, column 1 first, ""
  // where a column has none. The first file's columns stay where they are and give the order;
  // a later file's header text that is new gets the next column after every column placed so
  // far. Throws tavrio::Error naming `where` (the file, or file and sheet) and the text when one
  // text heads two columns of the file; nothing is placed then.
  Placement Place(const std::vector<std::string>& headers, const std::string& where);

  // The last merged column that has a header; 0 before the first file.
  std::uint32_t width() const { return width_; }

 private:
  std::map<std::string, std::uint32_t, std::less<>> columns_;
  std::uint32_t width_ = 0;
  bool started_ = false;
};

}  // namespace tavrio::batch
