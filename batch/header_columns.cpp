#include "batch/header_columns.h"

#include "automation/base/error.h"

namespace tavrio::batch {
namespace {

constexpr std::string_view kIdeographicSpace = "\u3000";

bool StartsWithBlank(std::string_view text) {
  return (!text.empty() &&
          (text.front() == ' ' || (text.front() >= '\t' && text.front() <= '\r'))) ||
         text.starts_with(kIdeographicSpace);
}

bool EndsWithBlank(std::string_view text) {
  return (!text.empty() && (text.back() == ' ' || (text.back() >= '\t' && text.back() <= '\r'))) ||
         text.ends_with(kIdeographicSpace);
}

}  // namespace

std::string TrimBlanks(std::string_view text) {
  while (StartsWithBlank(text)) {
    text.remove_prefix(text.starts_with(kIdeographicSpace) ? kIdeographicSpace.size() : 1);
  }
  while (EndsWithBlank(text)) {
    text.remove_suffix(text.ends_with(kIdeographicSpace) ? kIdeographicSpace.size() : 1);
  }
  return std::string(text);
}

HeaderColumns::Placement HeaderColumns::Place(const std::vector<std::string>& headers,
                                              const std::string& where) {
  std::map<std::string_view, std::uint32_t> seen;
  for (std::uint32_t column = 1; column <= headers.size(); ++column) {
    const std::string& text = headers[column - 1];
    if (text.empty()) continue;
    const auto [at, fresh] = seen.emplace(text, column);
    if (!fresh) {
      throw Error(error_number::kApplicationDefined,
                  where + "的标题行中，标题“" + text + "”出现了两次（第 " +
                      std::to_string(at->second) + " 列和第 " + std::to_string(column) +
                      " 列），无法按标题对应列。请改掉其中一个标题后再合并。");
    }
  }
  const bool first_file = !started_;
  started_ = true;
  Placement placement;
  placement.target.assign(headers.size(), 0);
  for (std::uint32_t column = 1; column <= headers.size(); ++column) {
    const std::string& text = headers[column - 1];
    if (text.empty()) continue;
    if (first_file) {
      columns_.emplace(text, column);
      placement.target[column - 1] = column;
      width_ = column;
      continue;
    }
    auto found = columns_.find(text);
    if (found == columns_.end()) {
      found = columns_.emplace(text, ++width_).first;
      placement.added.push_back(column);
    }
    placement.target[column - 1] = found->second;
  }
  return placement;
}

}  // namespace tavrio::batch
