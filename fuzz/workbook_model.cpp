#include "fuzz/workbook_model.h"

#include <cstring>
#include <memory>
#include <set>
#include <utility>

#include "automation/base/utf8.h"

namespace tavrio::fuzz {
namespace {

using automation::readers::CellSink;
using automation::readers::SheetInfo;
using automation::readers::SinkCell;
using automation::readers::StyleInfo;
using automation::readers::WorkbookReader;

// Reads the input front to back; past its end every byte is zero.
class Bytes {
 public:
  explicit Bytes(std::string_view input) : input_(input) {}
  std::uint8_t Byte() { return at_ < input_.size() ? static_cast<std::uint8_t>(input_[at_++]) : 0; }
  std::uint32_t Bits(int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value = value << 8 | Byte();
    return value;
  }
  double Double() {
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits = bits << 8 | Byte();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

 private:
  std::string_view input_;
  std::size_t at_ = 0;
};

// Pieces of text that have broken writers and readers of spreadsheet XML.
constexpr std::string_view kPieces[] = {
    "_x0041_",
    "_x005F_",
    "_xFFFE_",
    "_xFFFF_",
    "_xD800_",
    "_xDC00_",
    "_x000D_",
    "_x0000_",
    "_x00",
    "_x",
    "_",
    "\xEF\xBF\xBE",
    "\xEF\xBF\xBF",
    "\xED\xA0\x80",
    "\xED\xB0\x80",
    "\xED\xA0\xBD\xED\xB8\x80",
    "\x01",
    "\x1F",
    "\x7F",
    "\r",
    "\n",
    "\r\n",
    "\t",
    " ",
    "<",
    ">",
    "&",
    "\"",
    "'",
    "]]>",
    "&amp;",
    "&#13;",
    "\xF0\x9F\x98\x80",
    "中",
    "\xC0\x80",
    "\xFF",
    "\x80",
    std::string_view("\0", 1),
    "\xE4\xB8",
    "[",
    "]",
    ":",
    "*",
    "?",
    "/",
    "\\",
    "History",
    "Sheet1",
    "=",
    "#N/A",
    "1e308",
    "-0",
    "0x1p-1074",
};

std::string Text(Bytes& in) {
  const std::uint8_t head = in.Byte();
  const std::size_t length = head & 0x3F;
  std::string text;
  switch (head >> 6) {
    case 0:
      for (std::size_t i = 0; i < length; ++i) text.push_back(static_cast<char>(in.Byte()));
      break;
    case 1:
      for (std::size_t i = 0; i < length; ++i) automation::AppendUtf8(in.Bits(3) % 0x110000, text);
      break;
    case 2:
      for (std::size_t i = 0; i < length; ++i) {
        text.append(kPieces[in.Byte() % std::size(kPieces)]);
      }
      break;
    default: {  // long: one piece many times over
      const std::string_view piece = kPieces[in.Byte() % std::size(kPieces)];
      for (std::size_t i = 0; i < length * 64; ++i) text.append(piece);
      break;
    }
  }
  return text;
}

constexpr std::string_view kErrors[] = {"#NULL!", "#DIV/0!", "#VALUE!", "#REF!",
                                        "#NAME?", "#NUM!",   "#N/A"};

ModelCell Cell(Bytes& in, std::size_t formats) {
  ModelCell cell;
  const std::uint8_t where = in.Byte();
  cell.row = (where & 0x80) != 0 ? 1 + in.Bits(3) % 1048576 : 1 + in.Byte() % 64;
  cell.column =
      static_cast<std::uint16_t>((where & 0x40) != 0 ? 1 + in.Bits(2) % 16384 : 1 + (where & 0x1F));
  switch (in.Byte() % 5) {
    case 0:
      cell.kind = ModelCell::Kind::kNumber;
      cell.number = in.Double();
      break;
    case 1:
      cell.kind = ModelCell::Kind::kText;
      cell.text = Text(in);
      break;
    case 2:
      cell.kind = ModelCell::Kind::kBoolean;
      cell.boolean = (in.Byte() & 1) != 0;
      break;
    case 3:
      cell.kind = ModelCell::Kind::kError;
      cell.text = kErrors[in.Byte() % std::size(kErrors)];
      break;
    default:
      cell.kind = ModelCell::Kind::kBlank;
      break;
  }
  if (in.Byte() % 4 == 0) {
    // A formula handed over without a result is the engine's to calculate, which this model
    // does not predict; the text is still taken, so that every input reads as it always did.
    std::string formula = Text(in);
    if (cell.kind != ModelCell::Kind::kBlank) cell.formula = std::move(formula);
  }
  cell.style = in.Byte() % formats;
  return cell;
}

class ModelReader final : public WorkbookReader {
 public:
  explicit ModelReader(const ModelWorkbook& model) : model_(model) {
    for (const ModelSheet& sheet : model.sheets) sheets_.push_back({sheet.name, sheet.hidden});
    for (const std::string& format : model.formats) styles_.push_back({format});
  }
  const std::vector<SheetInfo>& Sheets() const override { return sheets_; }
  const std::vector<StyleInfo>& Styles() const override { return styles_; }
  bool Uses1904DateSystem() const override { return false; }
  void ReadSheet(std::size_t index, CellSink& sink) override {
    for (const ModelCell& cell : model_.sheets.at(index).cells) {
      SinkCell handed = SinkCell::Blank(cell.row, cell.column, cell.style);
      switch (cell.kind) {
        case ModelCell::Kind::kNumber:
          handed = SinkCell::Number(cell.row, cell.column, cell.number, cell.style);
          break;
        case ModelCell::Kind::kText:
          handed = SinkCell::Text(cell.row, cell.column, cell.text, cell.style);
          break;
        case ModelCell::Kind::kBoolean:
          handed = SinkCell::Boolean(cell.row, cell.column, cell.boolean, cell.style);
          break;
        case ModelCell::Kind::kError:
          handed = SinkCell::Error(cell.row, cell.column, cell.text, cell.style);
          break;
        case ModelCell::Kind::kBlank:
          break;
      }
      handed.formula = cell.formula;
      sink.Put(handed);
    }
  }

 private:
  const ModelWorkbook& model_;
  std::vector<SheetInfo> sheets_;
  std::vector<StyleInfo> styles_;
};

}  // namespace

ModelWorkbook ModelFromBytes(std::string_view input) {
  Bytes in(input);
  ModelWorkbook model;
  for (int formats = in.Byte() % 4; formats > 0; --formats) {
    std::string format = Text(in);
    model.formats.push_back(format.empty() ? "@" : format);
  }
  for (int sheets = 1 + in.Byte() % 4; sheets > 0; --sheets) {
    ModelSheet& sheet = model.sheets.emplace_back();
    sheet.name = Text(in);
    sheet.hidden = (in.Byte() & 1) != 0;
    std::set<std::pair<std::uint32_t, std::uint16_t>> taken;
    for (int cells = in.Byte() % 48; cells > 0; --cells) {
      ModelCell cell = Cell(in, model.formats.size());
      if (taken.insert({cell.row, cell.column}).second) sheet.cells.push_back(std::move(cell));
    }
  }
  return model;
}

automation::Engine::ReaderFactory ModelReaderFactory(ModelWorkbook model) {
  auto shared = std::make_shared<const ModelWorkbook>(std::move(model));
  return [shared](const std::string&) -> std::unique_ptr<WorkbookReader> {
    return std::make_unique<ModelReader>(*shared);
  };
}

std::string ExpectedText(std::string_view text, bool keep_lone_surrogates) {
  // Decoded here on its own rather than with the writer's helpers: this is what the file must
  // give back, worked out independently of how the writer does it.
  std::vector<std::uint32_t> codes;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int length = lead < 0x80   ? 1
                 : lead < 0xC2 ? 0
                 : lead < 0xE0 ? 2
                 : lead < 0xF0 ? 3
                 : lead < 0xF5 ? 4
                               : 0;
    std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
      if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
        length = 0;
        break;
      }
      code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (length == 0 || code < least[length] || code > 0x10FFFF) {
      codes.push_back(0xFFFD);
      ++i;
      continue;
    }
    codes.push_back(code);
    i += length;
  }
  std::string out;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    std::uint32_t code = codes[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < codes.size() && codes[i + 1] >= 0xDC00 &&
        codes[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (codes[++i] - 0xDC00);
    } else if (code >= 0xD800 && code <= 0xDFFF && !keep_lone_surrogates) {
      code = 0xFFFD;
    }
    automation::AppendUtf8(code, out);
  }
  return out;
}

}  // namespace tavrio::fuzz
