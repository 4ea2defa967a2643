#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "automation/engine/large_block.h"

namespace tavrio::automation::engine {

// Texts laid end to end in large blocks that never move, so a view handed out stays valid as
// long as the arena lives, and storing a million texts makes a few hundred allocations, not a
// million. Nothing is reclaimed before Clear().
class TextArena {
 public:
  // A view of a copy of `text`; empty texts take no room.
  std::string_view Store(std::string_view text);
  void Clear();

 private:
  std::vector<LargeBlock> blocks_;
  // A text longer than an eighth of a block gets memory of its own, so that the shared block's
  // remainder is not wasted on it.
  std::vector<std::unique_ptr<char[]>> long_texts_;
  char* free_ = nullptr;
  std::size_t free_size_ = 0;
};

}  // namespace tavrio::automation::engine
