#include "automation/engine/text_arena.h"

#include <cstring>

namespace tavrio::automation::engine {

std::string_view TextArena::Store(std::string_view text) {
  if (text.empty()) return {};
  if (text.size() > kLargeBlockBytes / 8) {
    long_texts_.push_back(std::make_unique_for_overwrite<char[]>(text.size()));
    std::memcpy(long_texts_.back().get(), text.data(), text.size());
    return {long_texts_.back().get(), text.size()};
  }
  if (text.size() > free_size_) {
    blocks_.push_back(AllocateLargeBlock(/*growing=*/!blocks_.empty()));
    free_ = reinterpret_cast<char*>(blocks_.back().get());
    free_size_ = kLargeBlockBytes;
  }
  char* stored = free_;
  std::memcpy(stored, text.data(), text.size());
  free_ += text.size();
  free_size_ -= text.size();
  return {stored, text.size()};
}

void TextArena::Clear() {
  blocks_.clear();
  long_texts_.clear();
  free_ = nullptr;
  free_size_ = 0;
}

}  // namespace tavrio::automation::engine
