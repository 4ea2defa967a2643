#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "automation/engine/large_block.h"
#include "automation/engine/text_arena.h"

namespace tavrio::automation::engine {

// The texts of one workbook, named by 32-bit ids. Ids are dense (0, 1, ...) so that copying
// between workbooks can translate them through a plain vector, and the bytes never move, so the
// views handed out stay valid as long as the pool lives.
//
// Intern() stores each text once. Add() appends without looking: a paste of a million rows
// then costs a copy of each distinct text of the block rather than a lookup in a table of
// millions, at the price of a text that several pasted blocks share being stored once per
// block. The entries Add() made are indexed when Intern() is next called.
class StringPool {
 public:
  StringPool();
  StringPool(StringPool&&) noexcept = default;
  StringPool& operator=(StringPool&&) noexcept = default;
  StringPool(const StringPool&) = delete;
  StringPool& operator=(const StringPool&) = delete;

  // The id of `text`, adding it when it is new.
  std::uint32_t Intern(std::string_view text);
  // A new id for `text`, whether or not the pool holds it already.
  std::uint32_t Add(std::string_view text);
  std::string_view Get(std::uint32_t id) const {
    return EntriesOf(id >> kEntryShift)[id & (kEntriesPerBlock - 1)];
  }
  std::size_t size() const { return size_; }

 private:
  // Puts entry `id` into the table unless an equal text is there already.
  void Index(std::uint32_t id, std::uint32_t hash);
  void Grow();

  // Entries lie in large blocks that never move: a pool that a merge fills with millions of
  // texts grows without copying what it holds or faulting in a doubled array each time.
  static constexpr std::size_t kEntryShift = 17;
  static constexpr std::size_t kEntriesPerBlock = std::size_t{1} << kEntryShift;
  static_assert(kEntriesPerBlock * sizeof(std::string_view) == kLargeBlockBytes);
  const std::string_view* EntriesOf(std::size_t block) const {
    return reinterpret_cast<const std::string_view*>(entry_blocks_[block].get());
  }

  std::vector<LargeBlock> entry_blocks_;
  std::size_t size_ = 0;
  // Open addressing; a slot holds the text's hash in its high half and entry id + 1 in its low
  // half (0: free), so most probes never touch the entries.
  std::vector<std::uint64_t> slots_;
  std::size_t indexed_ = 0;  // entries [0, indexed_) are in the table
  std::size_t slots_used_ = 0;
  TextArena texts_;
};

}  // namespace tavrio::automation::engine
