#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

namespace tavrio::automation::writers {

// Up to 16 bytes kept in 16, for the pieces a part repeats most (a cell reference's column, a
// style attribute, a row's number): TextBuffer copies all 16, a move the compiler makes two
// instructions, and counts only `size`. Copied by length, each cost a call into memcpy.
struct ShortText {
  char bytes[16] = {};
  std::uint8_t size = 0;

  static ShortText From(std::string_view text) {
    ShortText result;
    std::memcpy(result.bytes, text.data(), std::min(text.size(), sizeof result.bytes));
    result.size = static_cast<std::uint8_t>(std::min(text.size(), sizeof result.bytes));
    return result;
  }
};

// Bytes of a part being written, appended to piece by piece. std::string's append is a call
// into the library for each piece, six to ten for a sheet's cell; these are inlined, a compare
// and a copy whose size is mostly known when compiling (forced inline: GCC left Put as a call,
// 68 M more). Measured: the sheet XML writing with all it calls 758 M -> 589 M instructions for
// a merge of two files of the benchmark's million set saved as .xlsx (`valgrind
// --tool=callgrind build-bench/bench/harness/tavrio-bench-merge --save out.xlsx` on
// million-_0001/_0002, Release). Growing never zeroes the room it adds.
class TextBuffer {
 public:
  template <std::size_t N>
  [[gnu::always_inline]] void Put(const char (&literal)[N]) {
    Put(std::string_view(literal, N - 1));
  }
  [[gnu::always_inline]] void Put(std::string_view text) {
    if (text.empty()) return;  // its data may be null, which memcpy must not be given
    std::memcpy(Room(text.size()), text.data(), text.size());
    size_ += text.size();
  }
  void Put(char c) { *Room(1) = c, ++size_; }
  [[gnu::always_inline]] void Put(const ShortText& text) {
    std::memcpy(Room(sizeof text.bytes), text.bytes, sizeof text.bytes);
    size_ += text.size;
  }
  // Room for `size` bytes after what is written, to be written into and then taken by Advance.
  [[gnu::always_inline]] char* Room(std::size_t size) {
    if (capacity_ - size_ < size) Grow(size);
    return data_.get() + size_;
  }
  void Advance(const char* end) { size_ = static_cast<std::size_t>(end - data_.get()); }
  void DropLast() { --size_; }
  void Reserve(std::size_t capacity) {
    if (capacity > capacity_) Grow(capacity - size_);
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const char* data() const { return data_.get(); }
  char* data() { return data_.get(); }
  std::string_view view() const { return {data_.get(), size_}; }
  // Keeps the memory for what is written next.
  void clear() { size_ = 0; }

 private:
  void Grow(std::size_t more) {
    const std::size_t capacity = std::max(2 * capacity_, size_ + more);
    auto data = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ != 0) std::memcpy(data.get(), data_.get(), size_);
    data_ = std::move(data);
    capacity_ = capacity;
  }

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace tavrio::automation::writers
