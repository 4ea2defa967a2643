#pragma once

// What the input checks share: a sink that checks the reader's promises about each cell it
// hands over, and a file that lives only in memory so that whole packages can go through the
// public entry point that takes a path.

#include <cstdint>
#include <string>
#include <string_view>

#include "automation/readers/workbook_reader.h"

namespace tavrio::fuzz {

// Notes the first cell that breaks the CellSink contract: row 1..1048576, column 1..16384,
// style below the style count, numbers finite, error values spelled with '#'. Keeps a digest
// of every cell in order, so that two ways of reading the same bytes can be compared. With
// `utf8_text`, every text must be well-formed UTF-8 too.
class CheckingSink : public automation::readers::CellSink {
 public:
  explicit CheckingSink(std::size_t style_count, bool utf8_text = false)
      : style_count_(style_count), utf8_text_(utf8_text) {}

  void Cells(std::span<const automation::readers::SinkCell> cells) override;

  const std::string& digest() const { return digest_; }
  // The first broken promise, or empty.
  const std::string& broken() const { return broken_; }

 private:
  void Take(const automation::readers::SinkCell& cell);
  void Check(std::uint32_t row, std::uint16_t column, std::uint32_t style, char kind);
  void Broken(std::string what);

  std::size_t style_count_;
  bool utf8_text_;
  std::string digest_;
  std::string broken_;
};

// The first promise a formula text a reader hands over breaks, or empty: UTF-8, within a
// cell's 8,192 characters, its strings closed, and unchanged by a paste that does not move it.
std::string CheckFormulaText(const std::string& text);

// An anonymous in-memory file holding `bytes`, reachable by path while the object lives.
class MemoryFile {
 public:
  explicit MemoryFile(std::string_view bytes);
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  ~MemoryFile();

  const std::string& path() const { return path_; }

 private:
  int fd_;
  std::string path_;
};

}  // namespace tavrio::fuzz
