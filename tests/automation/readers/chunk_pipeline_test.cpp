#include "automation/readers/chunk_pipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tavrio::automation::readers::testing {
namespace {

using Runner = void (*)(const ChunkSource&, const ChunkConsumer&);

struct Mode {
  const char* name;
  Runner run;
};

class ChunkPipelineTest : public ::testing::TestWithParam<Mode> {
 protected:
  void Run(const ChunkSource& source, const ChunkConsumer& consume) {
    GetParam().run(source, consume);
  }
};

// Fills chunk i with the letter 'a' + i % 26, `count` of them, each one byte longer than the
// one before, then ends, or throws `error` when it is not empty. It fails the test when two
// threads call it at once.
ChunkSource Letters(int count, const std::string& error = "") {
  auto next = std::make_shared<int>(0);
  auto inside = std::make_shared<std::atomic<bool>>(false);
  return [=](std::span<char> buffer) -> std::size_t {
    EXPECT_FALSE(inside->exchange(true)) << "filled by two threads at once";
    const int i = (*next)++;
    std::size_t size = 0;
    if (i < count) {
      size = 1000 + static_cast<std::size_t>(i);
      EXPECT_GE(buffer.size(), size);
      std::memset(buffer.data(), 'a' + i % 26, size);
    }
    inside->store(false);
    if (i >= count && !error.empty()) throw std::runtime_error(error);
    return size;
  };
}

std::string Expected(int count) {
  std::string all;
  for (int i = 0; i < count; ++i) all.append(1000 + static_cast<std::size_t>(i), 'a' + i % 26);
  return all;
}

TEST_P(ChunkPipelineTest, HandsOverEveryChunkInOrderWithWritableHeadroom) {
  std::string seen;
  Run(Letters(40), [&seen](char* data, std::size_t size) {
    std::memset(data - kChunkHeadroom, '#', kChunkHeadroom);  // the headroom is ours to write
    seen.append(data, size);
  });
  EXPECT_EQ(seen, Expected(40));
}

TEST_P(ChunkPipelineTest, ASourceErrorComesAfterEveryChunkFilledBeforeIt) {
  std::string seen;
  try {
    Run(Letters(7, "inflate failed"),
        [&seen](char* data, std::size_t size) { seen.append(data, size); });
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "inflate failed");
  }
  EXPECT_EQ(seen, Expected(7));
}

TEST_P(ChunkPipelineTest, AConsumerErrorStopsASourceThatWouldNeverEnd) {
  std::atomic<int> filled = 0;
  const ChunkSource endless = [&filled](std::span<char> buffer) -> std::size_t {
    buffer[0] = 'x';
    ++filled;
    return 1;
  };
  int consumed = 0;
  try {
    Run(endless, [&consumed](char*, std::size_t) {
      if (++consumed == 5) throw std::runtime_error("parse failed");
    });
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "parse failed");
  }
  EXPECT_EQ(consumed, 5);
  // The source ran at most a few chunks ahead, and it has stopped.
  EXPECT_LE(filled.load(), 5 + 4);
}

TEST_P(ChunkPipelineTest, TheConsumersErrorWinsOverALaterSourceError) {
  try {
    Run(Letters(3, "later"), [](char*, std::size_t) { throw std::runtime_error("first"); });
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "first");
  }
}

TEST_P(ChunkPipelineTest, AnEmptySourceMeansNothingConsumed) {
  int consumed = 0;
  Run(Letters(0), [&consumed](char*, std::size_t) { ++consumed; });
  EXPECT_EQ(consumed, 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, ChunkPipelineTest,
                         ::testing::Values(Mode{"Inline", PumpInline},
                                           Mode{"Concurrently", PumpConcurrently}),
                         [](const ::testing::TestParamInfo<Mode>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace tavrio::automation::readers::testing
