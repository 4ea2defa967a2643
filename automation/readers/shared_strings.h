#pragma once

// The shared-string table: every distinct text of a workbook's sheets, stored end to end in one
// buffer so that a table of a million strings costs two allocations, not a million.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tavrio::automation::readers {

class SharedStrings {
 public:
  std::size_t size() const { return ends_.size(); }
  std::string_view operator[](std::size_t index) const {
    std::size_t begin = index == 0 ? 0 : ends_[index - 1];
    return std::string_view(text_).substr(begin, ends_[index] - begin);
  }
  // Room for texts of `bytes` in all, so that filling the table does not copy it as it grows.
  void Reserve(std::size_t bytes) { text_.reserve(bytes); }
  void Add(std::string_view text) {
    text_.append(text);
    ends_.push_back(text_.size());
  }

 private:
  std::string text_;
  std::vector<std::size_t> ends_;
};

// Parses a shared-strings part held in memory, in one pass without a tree. Rich text runs are
// joined; phonetic guides are left out, as a spreadsheet application shows the text without
// them. Throws ReadFault, worded as for any other part, when the part is not well-formed XML.
SharedStrings ParseSharedStrings(std::string xml, std::string_view part);

}  // namespace tavrio::automation::readers
