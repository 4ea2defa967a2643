#pragma once

// A workbook described by value, for the writer's round trips: the fuzz target decodes one from
// arbitrary bytes and the property test generates them; either is opened in the engine through
// a reader over the description, saved, and the saved file read back and compared with it.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "automation/engine/engine.h"

namespace tavrio::fuzz {

struct ModelCell {
  enum class Kind : std::uint8_t { kNumber, kText, kBoolean, kError, kBlank };
  std::uint32_t row = 1;
  std::uint16_t column = 1;
  Kind kind = Kind::kBlank;
  double number = 0;
  bool boolean = false;
  std::string text;         // kText; kError: the error's spelling
  std::string formula;      // without '='; empty when the cell has none
  std::uint32_t style = 0;  // index into ModelWorkbook::formats
};

struct ModelSheet {
  std::string name;
  bool hidden = false;
  std::vector<ModelCell> cells;  // at most one per position
};

struct ModelWorkbook {
  std::vector<ModelSheet> sheets;                  // at least one
  std::vector<std::string> formats = {"General"};  // number format codes, none empty
};

// Every input gives a workbook: missing bytes read as zeros. Texts come as raw bytes (broken
// UTF-8 included), as code points (every one, surrogates on their own included), or as pieces
// that have tripped writers before (_xHHHH_ forms, U+FFFE, markup, CR); numbers as any 8 bytes,
// so every class of double occurs.
ModelWorkbook ModelFromBytes(std::string_view input);

// An engine whose files are `model` whatever their path.
automation::Engine::ReaderFactory ModelReaderFactory(ModelWorkbook model);

// How the sheets were saved: their names (changed where a spreadsheet application would refuse
// the model's) and whether each is hidden (the active sheet never is).
struct SavedSheets {
  std::vector<std::string> names;
  std::vector<bool> hidden;
};

// Saves `model` through the engine at `path` (.xlsx) and compares what two readers find in the
// file with it: the project's reader (OpenWorkbookFile) and an independent one (expat, which
// refuses anything that is not well-formed XML 1.0, with its own _xHHHH_ decoding). Returns the
// first difference, or empty.
std::string SaveAndCompare(const ModelWorkbook& model, const std::string& path,
                           SavedSheets* saved = nullptr);

// A number as the comparisons show it: the double's bits in hex, -0 as 0.
std::string NumberBits(double value);

// What a reader that decodes _xHHHH_ escapes must give back for a model text, as UTF-8: bytes
// that are no UTF-8 become U+FFFD; a surrogate pair encoded half by half becomes its character;
// with `keep_lone_surrogates`, a surrogate on its own stays (encoded in three bytes), as a
// reader that keeps UTF-16 code units has it; without, it becomes U+FFFD, as the project's
// readers hand texts over.
std::string ExpectedText(std::string_view text, bool keep_lone_surrogates);

}  // namespace tavrio::fuzz
