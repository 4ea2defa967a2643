#include "automation/readers/chunk_pipeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace tavrio::automation::readers::testing {
namespace {

using Runner = void (*)(const ChunkProducer&, const ChunkConsumer&);

struct Mode {
  const char* name;
  Runner run;
};

class ChunkPipelineTest : public ::testing::TestWithParam<Mode> {
 protected:
  void Run(const ChunkProducer& produce, const ChunkConsumer& consume) {
    GetParam().run(produce, consume);
  }
};

// Publishes chunk i filled with the letter 'a' + i % 26, `count` of them, each one byte longer
// than the one before, then throws `error` when it is not empty.
ChunkProducer Letters(int count, const std::string& error = "") {
  return [count, error](ChunkWriter& writer) {
    for (int i = 0; i < count; ++i) {
      const std::span<char> chunk = writer.Next();
      const std::size_t size = 1000 + static_cast<std::size_t>(i);
      EXPECT_GE(chunk.size(), size);
      std::memset(chunk.data(), 'a' + i % 26, size);
      writer.Publish(size);
    }
    if (!error.empty()) throw std::runtime_error(error);
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

TEST_P(ChunkPipelineTest, AProducerErrorComesAfterEveryChunkPublishedBeforeIt) {
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

TEST_P(ChunkPipelineTest, AConsumerErrorStopsAProducerThatWouldNeverEnd) {
  std::atomic<int> published = 0;
  const ChunkProducer endless = [&published](ChunkWriter& writer) {
    while (true) {
      writer.Next()[0] = 'x';
      writer.Publish(1);
      ++published;
    }
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
  // The producer ran at most a few chunks ahead, and it has stopped.
  EXPECT_LE(published.load(), 5 + 3);
}

TEST_P(ChunkPipelineTest, TheConsumersErrorWinsOverALaterProducerError) {
  try {
    Run(Letters(3, "later"), [](char*, std::size_t) { throw std::runtime_error("first"); });
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "first");
  }
}

TEST_P(ChunkPipelineTest, NothingPublishedMeansNothingConsumed) {
  int consumed = 0;
  Run(Letters(0), [&consumed](char*, std::size_t) { ++consumed; });
  EXPECT_EQ(consumed, 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, ChunkPipelineTest,
                         ::testing::Values(Mode{"Inline", ProduceInline},
                                           Mode{"Concurrently", ProduceConcurrently}),
                         [](const ::testing::TestParamInfo<Mode>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace tavrio::automation::readers::testing
