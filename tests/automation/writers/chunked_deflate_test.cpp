// The chunked deflate stream: whatever the input's length and the number of workers, the pieces
// joined make one raw deflate stream that inflates to the input, with its CRC-32, and the same
// bytes for every number of workers.

#include "automation/writers/chunked_deflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "automation/writers/workbook_writer.h"

namespace tavrio::automation::writers {
namespace {

// Text shaped like sheet XML: repeats within a row's reach, with numbers that vary.
std::string SheetLikeText(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < size) {
    text += "<row r=\"" + std::to_string(random() % 100000) + "\"><c r=\"A1\" t=\"inlineStr\">";
    text += "<is><t>编号" + std::to_string(random()) + "</t></is></c></row>";
  }
  text.resize(size);
  return text;
}

std::string Inflate(const std::string& deflated, std::size_t expected_size) {
  z_stream stream{};
  EXPECT_EQ(inflateInit2(&stream, -MAX_WBITS), Z_OK);
  std::string out(expected_size + 1, '\0');  // one spare byte: inflating too much shows
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
  stream.avail_in = static_cast<uInt>(deflated.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = inflate(&stream, Z_FINISH);
  EXPECT_EQ(result, Z_STREAM_END) << "the stream must end where the last chunk ends";
  EXPECT_EQ(stream.avail_in, 0u) << "bytes after the end of the stream";
  out.resize(stream.total_out);
  inflateEnd(&stream);
  return out;
}

struct Deflated {
  std::string bytes;
  ChunkedDeflate::Totals totals;
};

// Writes `input` in pieces of `piece` bytes.
Deflated Deflate(const std::string& input, unsigned threads, std::size_t piece) {
  Deflated result;
  ChunkedDeflate deflate([&](std::string_view bytes) { result.bytes += bytes; }, threads);
  for (std::size_t at = 0; at < input.size(); at += piece) {
    deflate.Write(std::string_view(input).substr(at, piece));
  }
  result.totals = deflate.Finish();
  return result;
}

using Case = std::tuple<std::size_t, unsigned>;  // input size, workers

class ChunkedDeflateTest : public ::testing::TestWithParam<Case> {};

TEST_P(ChunkedDeflateTest, InflatesToTheInputWithItsCrcWhateverTheWorkers) {
  const auto [size, threads] = GetParam();
  const std::string input = SheetLikeText(size, static_cast<unsigned>(size));
  for (const std::size_t piece : {std::size_t{7777}, std::size_t{1} << 20, input.size() + 1}) {
    SCOPED_TRACE("written in pieces of " + std::to_string(piece));
    const Deflated deflated = Deflate(input, threads, piece);
    EXPECT_EQ(deflated.totals.size, input.size());
    EXPECT_EQ(deflated.totals.crc,
              crc32_z(0, reinterpret_cast<const Bytef*>(input.data()), input.size()));
    EXPECT_TRUE(Inflate(deflated.bytes, input.size()) == input);
    EXPECT_TRUE(deflated.bytes == Deflate(input, 0, input.size() + 1).bytes)
        << "the bytes depend on the number of workers or on how the input was handed in";
  }
}

// Around the chunk size (256 KiB), several chunks, and the empty entry.
INSTANTIATE_TEST_SUITE_P(Sizes, ChunkedDeflateTest,
                         ::testing::Combine(::testing::Values(0, 1, 40000, 262143, 262144, 262145,
                                                              3 * 262144 + 12345),
                                            ::testing::Values(0u, 1u, 3u)));

TEST(ChunkedDeflate, MatchesReachBackAcrossTheSeamBetweenChunks) {
  // The first chunk (256 KiB) ends with a random block, the second repeats it: primed with the
  // bytes before it, the second chunk is a few matches; compressed on its own, it would spell
  // the block out again.
  std::mt19937 random(7);
  std::string block(500, '\0');
  for (char& c : block) c = static_cast<char>(random());
  const std::string first_chunk = std::string(262144 - block.size(), '\0') + block;
  std::string second_chunk;
  for (int i = 0; i < 20; ++i) second_chunk += block;
  const Deflated first = Deflate(first_chunk, 2, first_chunk.size());
  const Deflated both = Deflate(first_chunk + second_chunk, 2, first_chunk.size());
  EXPECT_LT(both.bytes.size() - first.bytes.size(), block.size() / 4);
  EXPECT_TRUE(Inflate(both.bytes, first_chunk.size() + second_chunk.size()) ==
              first_chunk + second_chunk);
  // The same seam between pieces made on the workers.
  std::string produced;
  ChunkedDeflate deflate([&](std::string_view bytes) { produced += bytes; }, 2);
  for (const std::string* piece : {&first_chunk, static_cast<const std::string*>(&second_chunk)}) {
    deflate.Produce([piece](TextBuffer& out) { out.Put(*piece); });
  }
  deflate.Finish();
  EXPECT_LT(produced.size() - first.bytes.size(), block.size() / 4);
}

TEST(ChunkedDeflate, ASinkThatFailsStopsTheStreamWithItsError) {
  for (const unsigned threads : {0u, 2u}) {
    SCOPED_TRACE(threads);
    int calls = 0;
    const std::string input = SheetLikeText(4'000'000, 1);
    auto deflate_all = [&] {
      ChunkedDeflate deflate(
          [&](std::string_view) {
            if (++calls == 2) throw WriteFailure("磁盘空间不足");
          },
          threads);
      deflate.Write(input);
      deflate.Finish();
    };
    try {
      deflate_all();
      ADD_FAILURE() << "no failure reported";
    } catch (const WriteFailure& failure) {
      EXPECT_EQ(failure.reason(), "磁盘空间不足");
    }
    EXPECT_EQ(calls, 2) << "nothing is handed on after the sink failed";
  }
}

// Pieces made on the workers, between pieces written: one stream in the order handed in, the
// same bytes whatever the workers.
TEST(ChunkedDeflate, ProducedPiecesJoinTheStreamInTheOrderHandedIn) {
  std::vector<std::string> pieces;
  for (unsigned i = 0; i < 9; ++i) pieces.push_back(SheetLikeText(i * 70001 % 400000, i));
  const std::string all = [&] {
    std::string joined;
    for (const std::string& piece : pieces) joined += piece;
    return joined;
  }();
  std::string reference;
  for (const unsigned threads : {0u, 1u, 3u}) {
    SCOPED_TRACE(threads);
    Deflated result;
    ChunkedDeflate deflate([&](std::string_view bytes) { result.bytes += bytes; }, threads);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      if (i % 3 == 0) {
        deflate.Write(pieces[i]);
        continue;
      }
      deflate.Produce([&piece = pieces[i]](TextBuffer& out) {
        EXPECT_TRUE(out.empty());
        out.Put(piece);
      });
    }
    result.totals = deflate.Finish();
    EXPECT_EQ(result.totals.size, all.size());
    EXPECT_EQ(result.totals.crc, crc32_z(0, reinterpret_cast<const Bytef*>(all.data()), all.size()));
    EXPECT_TRUE(Inflate(result.bytes, all.size()) == all);
    if (threads == 0) reference = result.bytes;
    EXPECT_TRUE(result.bytes == reference) << "the bytes depend on the number of workers";
  }
}

// A piece that cannot be made ends the stream there: its error passes out, and nothing made
// after it reaches the sink.
TEST(ChunkedDeflate, APieceThatFailsEndsTheStreamWithItsError) {
  for (const unsigned threads : {0u, 2u}) {
    SCOPED_TRACE(threads);
    const std::string good = SheetLikeText(300000, 3);
    std::size_t handed = 0;
    std::string error;
    try {
      ChunkedDeflate deflate([&](std::string_view bytes) { handed += bytes.size(); }, threads);
      for (int i = 0; i < 12; ++i) {
        deflate.Produce([i, &good](TextBuffer& out) {
          if (i == 5 || i == 9) throw WriteFailure("第 " + std::to_string(i) + " 段无法写出");
          out.Put(good);
        });
      }
      deflate.Finish();
    } catch (const WriteFailure& failure) {
      error = failure.reason();
    }
    EXPECT_EQ(error, "第 5 段无法写出") << "the first failure in the stream's order is reported";
    EXPECT_LT(handed, Deflate(good + good + good + good + good + good, 0, 1 << 30).bytes.size());
  }
}

}  // namespace
}  // namespace tavrio::automation::writers
