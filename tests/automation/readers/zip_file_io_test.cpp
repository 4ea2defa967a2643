#include "automation/readers/zip_file_io.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers {
namespace {

using tavrio::testing::TempFolder;
using tavrio::testing::WriteFile;

// A file of `size` bytes, each telling its own position, and minizip's handle on it.
class WindowedFileTest : public ::testing::Test {
 protected:
  void Open(std::size_t size) {
    bytes_.resize(size);
    for (std::size_t i = 0; i < size; ++i)
      bytes_[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
    WriteFile(dir_.File("file"), bytes_);
    stream_ = io_.zopen64_file(io_.opaque, dir_.File("file").c_str(),
                               ZLIB_FILEFUNC_MODE_READ | ZLIB_FILEFUNC_MODE_EXISTING);
    ASSERT_NE(stream_, nullptr);
  }
  void TearDown() override {
    if (stream_ != nullptr) {
      EXPECT_EQ(io_.zclose_file(io_.opaque, stream_), 0);
    }
  }
  // Seeks to `at` and reads `size` bytes, expecting what the file holds there.
  void ExpectReadAt(std::uint64_t at, std::size_t size) {
    ASSERT_EQ(io_.zseek64_file(io_.opaque, stream_, at, ZLIB_FILEFUNC_SEEK_SET), 0);
    std::string read(size, '\0');
    const uLong got = io_.zread_file(io_.opaque, stream_, read.data(), size);
    const std::size_t expected = at >= bytes_.size() ? 0 : std::min(size, bytes_.size() - at);
    ASSERT_EQ(got, expected) << "at " << at << ", " << size << " bytes";
    EXPECT_EQ(read.substr(0, got), bytes_.substr(std::min<std::size_t>(at, bytes_.size()), got))
        << "at " << at << ", " << size << " bytes";
    EXPECT_EQ(io_.ztell64_file(io_.opaque, stream_), at + got);
  }

  TempFolder dir_;
  zlib_filefunc64_def io_ = WindowedFileFunctions();
  std::string bytes_;
  voidpf stream_ = nullptr;
};

TEST_F(WindowedFileTest, ReadsWhatTheFileHoldsWhereverItSeeks) {
  Open(1'000'000);
  // Forwards in small steps, backwards a KiB at a time from the end (as minizip looks for the
  // directory), across the window's edge, past the end, and reads larger than the window.
  for (std::uint64_t at = 0; at < 40'000; at += 1'000) ExpectReadAt(at, 1'000);
  for (std::uint64_t back = 1'028; back < 70'000; back += 1'024) {
    ExpectReadAt(bytes_.size() - back, 1'028);
  }
  ExpectReadAt(262'000, 1'000);
  ExpectReadAt(999'990, 100);
  ExpectReadAt(1'000'000, 10);
  ExpectReadAt(5'000'000, 10);
  ExpectReadAt(100, 600'000);
  std::mt19937 random(7);
  for (int i = 0; i < 500; ++i) {
    ExpectReadAt(random() % 1'000'100, 1 + random() % 70'000);
  }
}

TEST_F(WindowedFileTest, SeeksFromTheCurrentPlaceAndFromTheEnd) {
  Open(10'000);
  ASSERT_EQ(io_.zseek64_file(io_.opaque, stream_, 100, ZLIB_FILEFUNC_SEEK_SET), 0);
  ASSERT_EQ(io_.zseek64_file(io_.opaque, stream_, 50, ZLIB_FILEFUNC_SEEK_CUR), 0);
  EXPECT_EQ(io_.ztell64_file(io_.opaque, stream_), 150u);
  ASSERT_EQ(io_.zseek64_file(io_.opaque, stream_, 0, ZLIB_FILEFUNC_SEEK_END), 0);
  EXPECT_EQ(io_.ztell64_file(io_.opaque, stream_), 10'000u);
  EXPECT_EQ(io_.zerror_file(io_.opaque, stream_), 0);
}

TEST(WindowedFileOpenTest, NeverOpensForWriting) {
  TempFolder dir;
  WriteFile(dir.File("file"), "bytes");
  zlib_filefunc64_def io = WindowedFileFunctions();
  EXPECT_EQ(io.zopen64_file(io.opaque, dir.File("file").c_str(),
                            ZLIB_FILEFUNC_MODE_WRITE | ZLIB_FILEFUNC_MODE_CREATE),
            nullptr);
  EXPECT_EQ(io.zopen64_file(io.opaque, dir.File("missing").c_str(), ZLIB_FILEFUNC_MODE_READ),
            nullptr);
}

}  // namespace
}  // namespace tavrio::automation::readers
