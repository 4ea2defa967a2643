#include "automation/engine/large_block.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

namespace tavrio::automation::engine {
namespace {

// Blocks come from three places (kept, made ready ahead by the filling thread, mapped on the
// spot); whichever, each must be a whole block of its own.
TEST(LargeBlockTest, EveryBlockIsWritableAndItsOwn) {
  for (int round = 0; round < 3; ++round) {
    std::vector<LargeBlock> blocks;
    std::set<std::byte*> seen;
    for (std::size_t i = 0; i < kKeptLargeBlocks + 2 * kReadyLargeBlocks; ++i) {
      blocks.push_back(AllocateLargeBlock(/*growing=*/i % 3 != 0));
      std::byte* block = blocks.back().get();
      ASSERT_TRUE(seen.insert(block).second) << "block handed out twice";
      std::memset(block, static_cast<int>(i), kLargeBlockBytes);
    }
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      const std::byte* block = blocks[i].get();
      EXPECT_EQ(block[0], static_cast<std::byte>(i));
      EXPECT_EQ(block[kLargeBlockBytes - 1], static_cast<std::byte>(i));
    }
  }
}

// An engine used as a library must not leave memory or a thread behind once its workbooks close.
TEST(LargeBlockTest, NothingStaysBehindOnceTheLastBlockIsReleased) {
  ASSERT_EQ(CurrentLargeBlockStats().in_use, 0u) << "an earlier test kept a block";
  {
    std::vector<LargeBlock> blocks;
    for (std::size_t i = 0; i < 2 * kKeptLargeBlocks; ++i) {
      blocks.push_back(AllocateLargeBlock(/*growing=*/true));
    }
    EXPECT_EQ(CurrentLargeBlockStats().in_use, 2 * kKeptLargeBlocks);
    EXPECT_TRUE(CurrentLargeBlockStats().filling);
    blocks.resize(1);  // the rest are kept for reuse while one is still in use, up to the limit
    const LargeBlockStats kept = CurrentLargeBlockStats();
    // Kept and ready together; one more when the filling thread was making one ready just then.
    EXPECT_GE(kept.kept + kept.ready, kKeptLargeBlocks);
    EXPECT_LE(kept.kept + kept.ready, kKeptLargeBlocks + 1);
  }
  const LargeBlockStats after = CurrentLargeBlockStats();
  EXPECT_EQ(after.in_use, 0u);
  EXPECT_EQ(after.kept, 0u);
  EXPECT_EQ(after.ready, 0u);
  EXPECT_FALSE(after.filling);
  // And the pool starts again as new.
  LargeBlock again = AllocateLargeBlock(/*growing=*/true);
  EXPECT_NE(again.get(), nullptr);
}

}  // namespace
}  // namespace tavrio::automation::engine
