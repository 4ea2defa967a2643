#include "automation/engine/string_pool.h"

#include <cstring>
#include <functional>

namespace tavrio::automation::engine {
namespace {

constexpr std::size_t kBlockSize = 1 << 20;

std::uint32_t Hash(std::string_view text) {
  return static_cast<std::uint32_t>(std::hash<std::string_view>{}(text));
}

}  // namespace

StringPool::StringPool() : slots_(1024, 0) {}

std::uint32_t StringPool::Intern(std::string_view text) {
  const std::uint32_t hash = Hash(text);
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = hash & mask;
  while (const std::uint32_t occupant = slots_[slot]) {
    const std::uint32_t id = occupant - 1;
    if (hashes_[id] == hash && entries_[id] == text) return id;
    slot = (slot + 1) & mask;
  }
  const auto id = static_cast<std::uint32_t>(entries_.size());
  entries_.emplace_back(Store(text), text.size());
  hashes_.push_back(hash);
  slots_[slot] = id + 1;
  if (entries_.size() * 2 > slots_.size()) Rehash();
  return id;
}

const char* StringPool::Store(std::string_view text) {
  if (text.empty()) return "";
  if (text.size() > kBlockSize / 8) {
    // A long text gets a block of its own, so the shared block's remainder is not wasted.
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(text.size()));
    std::memcpy(blocks_.back().get(), text.data(), text.size());
    return blocks_.back().get();
  }
  if (text.size() > free_size_) {
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(kBlockSize));
    free_ = blocks_.back().get();
    free_size_ = kBlockSize;
  }
  char* stored = free_;
  std::memcpy(stored, text.data(), text.size());
  free_ += text.size();
  free_size_ -= text.size();
  return stored;
}

void StringPool::Rehash() {
  std::vector<std::uint32_t> slots(slots_.size() * 2, 0);
  const std::size_t mask = slots.size() - 1;
  for (std::uint32_t id = 0; id < entries_.size(); ++id) {
    std::size_t slot = hashes_[id] & mask;
    while (slots[slot] != 0) slot = (slot + 1) & mask;
    slots[slot] = id + 1;
  }
  slots_ = std::move(slots);
}

}  // namespace tavrio::automation::engine
