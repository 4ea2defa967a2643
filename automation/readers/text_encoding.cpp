#include "automation/readers/text_encoding.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "automation/base/ascii.h"
#include "automation/readers/read_fault.h"

namespace tavrio::automation::readers {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// Length of the well-formed UTF-8 sequence starting at `at`, or 0.
std::size_t SequenceLength(std::string_view bytes, std::size_t at) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
  unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || at + length > bytes.size()) return 0;
  // The second byte's range excludes overlong forms, surrogates and code points past U+10FFFF.
  unsigned char low = 0x80, high = 0xBF;
  if (lead == 0xE0) low = 0xA0;
  if (lead == 0xED) high = 0x9F;
  if (lead == 0xF0) low = 0x90;
  if (lead == 0xF4) high = 0x8F;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

// Converts with ICU, stopping at the first byte sequence the encoding does not allow.
bool Convert(std::string_view bytes, const char* encoding, std::string& out) {
  UErrorCode status = U_ZERO_ERROR;
  Converter converter(ucnv_open(encoding, &status));
  if (U_FAILURE(status)) return false;
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  out.resize(bytes.size() * 2 + 16);  // UTF-16 and GB18030 never grow more in UTF-8
  status = U_ZERO_ERROR;
  int32_t length =
      ucnv_toAlgorithmic(UCNV_UTF8, converter.get(), out.data(), static_cast<int32_t>(out.size()),
                         bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) return false;
  out.resize(static_cast<std::size_t>(length));
  return true;
}

std::string ConvertOrRefuse(std::string_view bytes, const char* encoding,
                            std::string_view shown_name) {
  std::string out;
  if (!Convert(bytes, encoding, out)) {
    throw ReadFault("文件已损坏：内容不是有效的 " + std::string(shown_name) + " 文本");
  }
  return out;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    std::size_t length = SequenceLength(bytes, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string DecodeText(std::string_view bytes) {
  if (bytes.starts_with(kUtf8Bom)) {
    bytes.remove_prefix(kUtf8Bom.size());
    if (!IsValidUtf8(bytes)) throw ReadFault("文件已损坏：内容不是有效的 UTF-8 文本");
    return std::string(bytes);
  }
  if (bytes.starts_with(kUtf16LeBom)) {
    return ConvertOrRefuse(bytes.substr(2), "UTF-16LE", "UTF-16");
  }
  if (bytes.starts_with(kUtf16BeBom)) {
    return ConvertOrRefuse(bytes.substr(2), "UTF-16BE", "UTF-16");
  }
  if (IsValidUtf8(bytes)) return std::string(bytes);
  std::string out;
  if (Convert(bytes, "GB18030", out)) return out;
  throw ReadFault("无法识别文件的字符编码：既不是 UTF-8，也不是 GB18030（GBK）");
}

std::string DecodeDeclared(std::string_view bytes, std::string_view charset) {
  std::string name = AsciiLowercase(charset);
  if (name == "utf-8" || name == "utf8") {
    if (bytes.starts_with(kUtf8Bom)) bytes.remove_prefix(kUtf8Bom.size());
    if (!IsValidUtf8(bytes)) throw ReadFault("文件已损坏：内容不是有效的 UTF-8 文本");
    return std::string(bytes);
  }
  if (name == "gb2312" || name == "gbk" || name == "gb18030" || name == "x-gbk" ||
      name == "cp936") {
    return ConvertOrRefuse(bytes, "GB18030", "GB18030");
  }
  UErrorCode status = U_ZERO_ERROR;
  Converter probe(ucnv_open(name.c_str(), &status));
  if (U_FAILURE(status) || status == U_AMBIGUOUS_ALIAS_WARNING) {
    throw ReadFault("文件声明的字符编码“" + std::string(charset) + "”无法识别");
  }
  return ConvertOrRefuse(bytes, name.c_str(), charset);
}

bool LooksLikeText(std::string_view bytes) {
  if (bytes.starts_with(kUtf16LeBom) || bytes.starts_with(kUtf16BeBom)) return true;
  std::string_view head = bytes.substr(0, 64 * 1024);
  return std::none_of(head.begin(), head.end(), [](char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f';
  });
}

namespace {

// ICU's names for a Windows code page number, most specific first.
std::vector<std::string> CodePageNames(std::uint16_t code_page) {
  switch (code_page) {
    case 367:
    case 1200:
    case 1252:
    case 32769:
      return {"windows-1252"};
    case 10000:
    case 32768:
      return {"macintosh"};
    default:
      break;
  }
  const std::string number = std::to_string(code_page);
  return {"windows-" + number, "cp" + number, "ibm-" + number};
}

}  // namespace

CodePageDecoder::CodePageDecoder(std::uint16_t code_page) : code_page_(code_page) {
  for (const std::string& name : CodePageNames(code_page)) {
    UErrorCode status = U_ZERO_ERROR;
    converter_.reset(ucnv_open(name.c_str(), &status));
    if (U_SUCCESS(status)) return;
    converter_.reset();
  }
  throw ReadFault("工作簿使用了不支持的代码页 " + std::to_string(code_page));
}

CodePageDecoder::CodePageDecoder(CodePageDecoder&&) noexcept = default;
CodePageDecoder& CodePageDecoder::operator=(CodePageDecoder&&) noexcept = default;
CodePageDecoder::~CodePageDecoder() = default;

void CodePageDecoder::Closer::operator()(UConverter* converter) const { ucnv_close(converter); }

std::string CodePageDecoder::Decode(std::string_view bytes) const {
  std::string out;
  bool ascii = true;
  for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  // Most cell text of such workbooks is ASCII, which every code page here leaves as it is.
  if (ascii) return std::string(bytes);
  // No byte of these code pages becomes more than three UTF-8 bytes.
  out.resize(bytes.size() * 3 + 16);
  UErrorCode status = U_ZERO_ERROR;
  ucnv_resetToUnicode(converter_.get());
  int32_t length =
      ucnv_toAlgorithmic(UCNV_UTF8, converter_.get(), out.data(), static_cast<int32_t>(out.size()),
                         bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) {
    throw ReadFault("文件已损坏：文本无法按代码页 " + std::to_string(code_page_) + " 读取");
  }
  out.resize(static_cast<std::size_t>(length));
  return out;
}

}  // namespace tavrio::automation::readers
