#include "automation/engine/string_pool.h"

#include <cstring>
#include <functional>
#include <new>

namespace tavrio::automation::engine {
namespace {

std::uint32_t Hash(std::string_view text) {
  return static_cast<std::uint32_t>(std::hash<std::string_view>{}(text));
}

std::uint64_t Slot(std::uint32_t hash, std::uint32_t id) {
  return (std::uint64_t{hash} << 32) | (id + 1);
}

}  // namespace

StringPool::StringPool() : slots_(1024, 0) {}

std::uint32_t StringPool::Intern(std::string_view text) {
  for (; indexed_ < size_; ++indexed_) {
    const auto id = static_cast<std::uint32_t>(indexed_);
    Index(id, Hash(Get(id)));
  }
  const std::uint32_t hash = Hash(text);
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = hash & mask;
  while (const std::uint64_t occupant = slots_[slot]) {
    const auto id = static_cast<std::uint32_t>(occupant) - 1;
    if (occupant >> 32 == hash && Get(id) == text) return id;
    slot = (slot + 1) & mask;
  }
  const std::uint32_t id = Add(text);
  Index(id, hash);
  ++indexed_;
  return id;
}

std::uint32_t StringPool::Add(std::string_view text) {
  const auto id = static_cast<std::uint32_t>(size_);
  const std::string_view stored = texts_.Store(text);
  if (size_ == entry_blocks_.size() * kEntriesPerBlock) {
    entry_blocks_.push_back(AllocateLargeBlock(/*growing=*/!entry_blocks_.empty()));
  }
  auto* entries = reinterpret_cast<std::string_view*>(entry_blocks_.back().get());
  new (&entries[id & (kEntriesPerBlock - 1)]) std::string_view(stored);
  ++size_;
  return id;
}

void StringPool::Index(std::uint32_t id, std::uint32_t hash) {
  if ((slots_used_ + 1) * 2 > slots_.size()) Grow();
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = hash & mask;
  while (const std::uint64_t occupant = slots_[slot]) {
    if (occupant >> 32 == hash && Get(static_cast<std::uint32_t>(occupant) - 1) == Get(id)) {
      return;  // an equal text added earlier keeps the slot
    }
    slot = (slot + 1) & mask;
  }
  slots_[slot] = Slot(hash, id);
  ++slots_used_;
}

void StringPool::Grow() {
  std::vector<std::uint64_t> slots(slots_.size() * 2, 0);
  const std::size_t mask = slots.size() - 1;
  for (const std::uint64_t occupant : slots_) {
    if (occupant == 0) continue;
    std::size_t slot = (occupant >> 32) & mask;
    while (slots[slot] != 0) slot = (slot + 1) & mask;
    slots[slot] = occupant;
  }
  slots_ = std::move(slots);
}

}  // namespace tavrio::automation::engine
