#pragma once

// Decoding of text files whose encoding nobody declared. UTF-8 is tried first and strictly
// (overlong forms, surrogates, code points past U+10FFFF and cut sequences all fail), and only
// then GB18030, which covers GBK and GB2312: GB18030 turns almost any bytes into some text, so
// trying it first would read every UTF-8 file as silent mojibake.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct UConverter;

namespace tavrio::automation::readers {

// True when `bytes` is well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

// The text as UTF-8, without a byte order mark. A UTF-8 or UTF-16 (LE/BE) byte order mark
// decides the encoding; otherwise strict UTF-8, then GB18030. Throws ReadFault when the bytes
// are none of these.
std::string DecodeText(std::string_view bytes);

// The text in the encoding a document declares ("gb2312", "utf-8", "big5", ...), as UTF-8.
// GB2312 and GBK are read as GB18030, their superset. Throws ReadFault for an unknown encoding
// or bytes that are not valid in it.
std::string DecodeDeclared(std::string_view bytes, std::string_view charset);

// Whether the bytes look like text rather than binary data: no NUL byte and no control
// characters other than tab, line feed, carriage return and form feed in the first 64 KiB.
// UTF-16 with a byte order mark counts as text.
bool LooksLikeText(std::string_view bytes);

// Text in a Windows code page as old binary workbooks name it (their CODEPAGE record), turned
// into UTF-8. Keeps one ICU converter open, since such a workbook decodes every cell's text
// through it. 1252 and its aliases (32769; 1200, which the oldest writers put on 8-bit text)
// read as Windows-1252, 10000 and 32768 as Mac Roman, 367 (ASCII) as Windows-1252, which holds
// it. A byte the code page leaves undefined becomes a substitute character rather than a
// refusal: spreadsheet applications show such text too.
class CodePageDecoder {
 public:
  // Throws ReadFault when ICU knows no converter for `code_page`.
  explicit CodePageDecoder(std::uint16_t code_page = 1252);
  CodePageDecoder(CodePageDecoder&&) noexcept;
  CodePageDecoder& operator=(CodePageDecoder&&) noexcept;
  ~CodePageDecoder();

  std::uint16_t code_page() const { return code_page_; }
  std::string Decode(std::string_view bytes) const;

 private:
  struct Closer {
    void operator()(UConverter* converter) const;
  };
  std::uint16_t code_page_;
  std::unique_ptr<UConverter, Closer> converter_;
};

}  // namespace tavrio::automation::readers
