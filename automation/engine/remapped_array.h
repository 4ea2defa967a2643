#pragma once

#include <cstddef>
#include <cstring>
#include <span>
#include <type_traits>
#include <utility>

namespace tavrio::automation::engine {

// Memory for a RemappedArray, grown by realloc: for a large array the C library moves the pages
// (mremap) rather than copying them. Mapping the pages ourselves past 1 MiB, with huge pages,
// measured no better (formatted merges, a formula in every row, merge run (b) with our own
// mapping / with realloc alone: million 1.08 / 1.10 s and 1.15 / 1.12 s, many 0.52 / 0.56 s
// and 0.53 / 0.53 s; scripts/bench --set many --set million --formatted --no-python
// --repeat 3, runs taking turns), so it is gone. Throws std::bad_alloc when no memory is left.
void* GrowArrayMemory(void* memory, std::size_t new_bytes);
void ReleaseArrayMemory(void* memory) noexcept;

// A growing array of plain records whose memory is moved, not copied, when it grows: a vector
// copies every record into fresh memory at each doubling and faults all of that memory in
// again, which for a table of a million records costs more than filling it. The memory is
// move-only and released by the destructor.
template <typename T>
class RemappedArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  RemappedArray() = default;
  RemappedArray(RemappedArray&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  RemappedArray& operator=(RemappedArray&& other) noexcept {
    if (this != &other) {
      Release();
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
      capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
  }
  ~RemappedArray() { Release(); }

  std::span<const T> all() const { return {data_, size_}; }
  T* data() { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const T& back() const { return data_[size_ - 1]; }

  void push_back(const T& value) {
    if (size_ == capacity_) Reserve(size_ + 1);
    data_[size_++] = value;
  }
  // Replaces `count` records at `at` with `values`.
  void Splice(std::size_t at, std::size_t count, std::span<const T> values) {
    const std::size_t size = size_ - count + values.size();
    if (size > capacity_) Reserve(size);
    std::memmove(data_ + at + values.size(), data_ + at + count, (size_ - at - count) * sizeof(T));
    if (!values.empty()) std::memcpy(data_ + at, values.data(), values.size() * sizeof(T));
    size_ = size;
  }
  void resize_down(std::size_t size) { size_ = size < size_ ? size : size_; }
  void clear() {
    Release();
    data_ = nullptr;
    size_ = capacity_ = 0;
  }

 private:
  void Reserve(std::size_t count) {
    std::size_t capacity = capacity_ == 0 ? kFirstBytes / sizeof(T) : capacity_ * 2;
    while (capacity < count) capacity *= 2;
    data_ = static_cast<T*>(GrowArrayMemory(data_, capacity * sizeof(T)));
    capacity_ = capacity;
  }
  void Release() noexcept {
    if (data_ != nullptr) ReleaseArrayMemory(data_);
  }

  static constexpr std::size_t kFirstBytes = 4 * 1024;
  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace tavrio::automation::engine
