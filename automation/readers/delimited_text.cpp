#include "automation/readers/delimited_text.h"

#include <string>

#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
namespace {

class Splitter {
 public:
  Splitter(std::string_view text, char delimiter, const FieldHandler& field)
      : text_(text), delimiter_(delimiter), field_(field) {}

  void Run() {
    while (at_ < text_.size()) {
      if (text_[at_] == '"') {
        QuotedField();
      } else {
        PlainField();
      }
      EndField();
    }
  }

 private:
  bool AtLineEnd() const { return text_[at_] == '\n' || text_[at_] == '\r'; }

  void PlainField() {
    std::size_t start = at_;
    while (at_ < text_.size() && text_[at_] != delimiter_ && !AtLineEnd()) ++at_;
    if (at_ > start) field_(row_, column_, text_.substr(start, at_ - start), false);
  }

  void QuotedField() {
    const std::uint64_t first_line = line_;
    value_.clear();
    ++at_;
    while (true) {
      std::size_t quote = text_.find('"', at_);
      if (quote == std::string_view::npos) {
        throw ReadFault("从第 " + std::to_string(first_line) + " 行开始的带引号字段没有结束引号");
      }
      CountLines(at_, quote);
      value_.append(text_.substr(at_, quote - at_));
      at_ = quote + 1;
      if (at_ < text_.size() && text_[at_] == '"') {
        value_.push_back('"');
        ++at_;
        continue;
      }
      break;
    }
    // Applications keep whatever follows the closing quote up to the delimiter.
    std::size_t rest = at_;
    while (at_ < text_.size() && text_[at_] != delimiter_ && !AtLineEnd()) ++at_;
    value_.append(text_.substr(rest, at_ - rest));
    if (!value_.empty()) field_(row_, column_, value_, true);
  }

  void CountLines(std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
      if (text_[i] == '\n' || (text_[i] == '\r' && (i + 1 >= to || text_[i + 1] != '\n'))) {
        ++line_;
      }
    }
  }

  void EndField() {
    if (at_ >= text_.size()) return;
    if (text_[at_] == delimiter_) {
      ++at_;
      ++column_;
      // A delimiter at the very end still ends a field; nothing follows it.
      return;
    }
    at_ += text_.compare(at_, 2, "\r\n") == 0 ? 2 : 1;
    ++row_;
    ++line_;
    column_ = 1;
  }

  std::string_view text_;
  char delimiter_;
  const FieldHandler& field_;
  std::size_t at_ = 0;
  std::uint64_t row_ = 1;
  std::uint64_t column_ = 1;
  std::uint64_t line_ = 1;
  std::string value_;
};

}  // namespace

void SplitDelimitedText(std::string_view text, char delimiter, const FieldHandler& field) {
  Splitter(text, delimiter, field).Run();
}

}  // namespace tavrio::automation::readers
