#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace tavrio::automation::engine {

// The texts of one workbook, each stored once and named by a 32-bit id. Ids are dense (0, 1, ...)
// so that copying between workbooks can translate them through a plain vector, and the bytes
// never move, so the views handed out stay valid as long as the pool lives.
class StringPool {
 public:
  StringPool();
  StringPool(StringPool&&) noexcept = default;
  StringPool& operator=(StringPool&&) noexcept = default;
  StringPool(const StringPool&) = delete;
  StringPool& operator=(const StringPool&) = delete;

  // The id of `text`, adding it when it is new.
  std::uint32_t Intern(std::string_view text);
  std::string_view Get(std::uint32_t id) const { return entries_[id]; }
  std::size_t size() const { return entries_.size(); }

 private:
  const char* Store(std::string_view text);
  void Rehash();

  std::vector<std::string_view> entries_;
  std::vector<std::uint32_t> hashes_;  // per entry, so that growing never hashes text again
  std::vector<std::uint32_t> slots_;   // open addressing: entry id + 1, 0 when free
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* free_ = nullptr;
  std::size_t free_size_ = 0;
};

}  // namespace tavrio::automation::engine
