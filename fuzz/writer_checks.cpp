// The writer's round trip: a workbook described by value is saved through the engine, and what
// two readers find in the file is compared with the description, value by value.

#include <expat.h>
#include <minizip/unzip.h>
#include <unistd.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "automation/engine/engine.h"
#include "automation/engine/engine_text.h"
#include "automation/base/error.h"
#include "automation/base/utf8.h"
#include "automation/writers/save_workbook.h"
#include "automation/readers/workbook_reader.h"
#include "fuzz/input_checks.h"
#include "fuzz/workbook_model.h"

namespace tavrio::fuzz {
namespace {

using automation::readers::CellSink;

// A cell as a reader found it, in one shape for both readers and the expectation.
struct Found {
  char kind = 'z';    // n number, s text, b boolean, e error, z blank
  std::string value;  // the number's bits in hex, the text, "1"/"0", the error
  std::string formula;
  std::string format;
  bool operator==(const Found&) const = default;
};
using Position = std::pair<std::uint32_t, std::uint16_t>;
using FoundSheet = std::map<Position, Found>;

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    out.push_back(kDigits[static_cast<unsigned char>(c) >> 4]);
    out.push_back(kDigits[static_cast<unsigned char>(c) & 15]);
  }
  return out;
}

}  // namespace

std::string NumberBits(double value) {
  if (value == 0) value = 0;  // -0 and 0 are the same cell value to every reader
  char digits[24];
  const auto bits = std::bit_cast<std::uint64_t>(value);
  return std::string(digits, std::to_chars(digits, digits + sizeof digits, bits, 16).ptr);
}

namespace {

// Long texts shown by their start: a finding must stay readable.
std::string Short(std::string_view bytes) {
  constexpr std::size_t kShown = 48;
  return bytes.size() <= kShown
             ? Hex(bytes)
             : Hex(bytes.substr(0, kShown)) + "…(" + std::to_string(bytes.size()) + " bytes)";
}

std::string Describe(const Position& at, const std::optional<Found>& found) {
  std::string text = "R" + std::to_string(at.first) + "C" + std::to_string(at.second) + " ";
  if (!found) return text + "(none)";
  return text + found->kind + " value=" + Short(found->value) +
         " formula=" + Short(found->formula) + " format=" + Short(found->format);
}

// The cells a reader must find for `sheet`, texts as ExpectedText gives them.
FoundSheet Expected(const ModelWorkbook& model, const ModelSheet& sheet, bool keep_surrogates) {
  FoundSheet cells;
  for (const ModelCell& cell : sheet.cells) {
    Found found;
    found.formula = ExpectedText(cell.formula, keep_surrogates);
    found.format = ExpectedText(model.formats[cell.style], keep_surrogates);
    switch (cell.kind) {
      case ModelCell::Kind::kNumber:
        if (std::isfinite(cell.number)) {
          found.kind = 'n', found.value = NumberBits(cell.number);
        } else {
          found.kind = 'e', found.value = "#NUM!";  // no cell can hold NaN or infinity
        }
        break;
      case ModelCell::Kind::kText:
        found.kind = 's', found.value = ExpectedText(cell.text, keep_surrogates);
        break;
      case ModelCell::Kind::kBoolean:
        found.kind = 'b', found.value = cell.boolean ? "1" : "0";
        break;
      case ModelCell::Kind::kError:
        found.kind = 'e', found.value = cell.text;
        break;
      case ModelCell::Kind::kBlank:
        break;
    }
    cells[{cell.row, cell.column}] = found;
  }
  return cells;
}

// A blank cell in the default look with no formula: whether it is written at all is the
// writer's choice, as a reader cannot tell it from no cell.
bool Invisible(const Found& cell) {
  return cell.kind == 'z' && cell.formula.empty() && cell.format == "General";
}

std::string CompareCells(const std::string& reader, std::size_t sheet, FoundSheet expected,
                         FoundSheet found) {
  std::erase_if(expected, [](const auto& entry) { return Invisible(entry.second); });
  std::erase_if(found, [](const auto& entry) { return Invisible(entry.second); });
  auto e = expected.begin();
  auto f = found.begin();
  while (e != expected.end() || f != found.end()) {
    const bool take_expected = f == found.end() || (e != expected.end() && e->first <= f->first);
    const Position at = take_expected ? e->first : f->first;
    std::optional<Found> want, got;
    if (e != expected.end() && e->first == at) want = (e++)->second;
    if (f != found.end() && f->first == at) got = (f++)->second;
    if (want != got) {
      return reader + ", sheet " + std::to_string(sheet + 1) + ": expected " + Describe(at, want) +
             ", found " + Describe(at, got);
    }
  }
  return {};
}

// --- The project's reader -------------------------------------------------------------------

class FoundSink : public CellSink {
 public:
  explicit FoundSink(const std::vector<automation::readers::StyleInfo>& styles) : styles_(styles) {}
  void Cells(std::span<const automation::readers::SinkCell> handed) override {
    using Kind = automation::readers::SinkCell::Kind;
    for (const auto& cell : handed) {
      switch (cell.kind) {
        case Kind::kNumber:
          Add(cell, 'n', NumberBits(cell.number));
          break;
        case Kind::kText:
        case Kind::kSharedText:
          Add(cell, 's', std::string(cell.text));
          break;
        case Kind::kBoolean:
          Add(cell, 'b', cell.number != 0 ? "1" : "0");
          break;
        case Kind::kError:
          Add(cell, 'e', std::string(cell.text));
          break;
        case Kind::kBlank:
          Add(cell, 'z', "");
          break;
      }
    }
  }
  FoundSheet cells;

 private:
  void Add(const automation::readers::SinkCell& cell, char kind, std::string value) {
    cells[{cell.row, cell.column}] = Found{kind, std::move(value), std::string(cell.formula),
                                           styles_.at(cell.style).number_format};
  }
  const std::vector<automation::readers::StyleInfo>& styles_;
};

std::string CompareProjectReader(const ModelWorkbook& model, const std::string& path,
                                 const std::vector<std::string>& names,
                                 const std::vector<bool>& hidden) {
  std::unique_ptr<automation::readers::WorkbookReader> reader;
  try {
    reader = automation::readers::OpenWorkbookFile(path);
  } catch (const Error& error) {
    return "the project's reader refuses the saved file: " + error.description();
  }
  const auto& sheets = reader->Sheets();
  if (sheets.size() != model.sheets.size()) return "the project's reader finds another sheet count";
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    if (sheets[i].name != ExpectedText(names[i], false) || sheets[i].hidden != hidden[i]) {
      return "the project's reader finds sheet " + std::to_string(i + 1) + " as " +
             Hex(sheets[i].name) + (sheets[i].hidden ? " hidden" : "");
    }
    FoundSink sink(reader->Styles());
    try {
      reader->ReadSheet(i, sink);
    } catch (const Error& error) {
      return "the project's reader refuses a saved sheet: " + error.description();
    }
    std::string difference =
        CompareCells("project's reader", i, Expected(model, model.sheets[i], false), sink.cells);
    if (!difference.empty()) return difference;
  }
  return {};
}

// --- The independent reader: minizip and expat ----------------------------------------------

std::optional<std::string> ReadEntry(const std::string& path, const std::string& name) {
  unzFile zip = unzOpen64(path.c_str());
  if (zip == nullptr) return std::nullopt;
  std::optional<std::string> data;
  if (unzLocateFile(zip, name.c_str(), 1) == UNZ_OK && unzOpenCurrentFile(zip) == UNZ_OK) {
    std::string bytes;
    char buffer[65536];
    int got;
    while ((got = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0) bytes.append(buffer, got);
    if (unzCloseCurrentFile(zip) == UNZ_OK && got == 0) data = std::move(bytes);
  }
  unzClose(zip);
  return data;
}

// _xHHHH_ decoded to UTF-16 code units, then to UTF-8 with pairs joined and lone surrogates kept.
std::string Unescape(const std::string& text) {
  std::vector<std::uint32_t> units;
  for (std::size_t i = 0; i < text.size();) {
    unsigned value = 0;
    if (text.compare(i, 2, "_x") == 0 && i + 7 <= text.size() && text[i + 6] == '_' &&
        std::from_chars(text.data() + i + 2, text.data() + i + 6, value, 16).ptr ==
            text.data() + i + 6) {
      units.push_back(value);
      i += 7;
    } else {
      units.push_back(0x110000 + static_cast<unsigned char>(text[i++]));  // a byte as it is
    }
  }
  std::string bytes;
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (units[i] >= 0x110000) {
      bytes.push_back(static_cast<char>(units[i] - 0x110000));
      continue;
    }
    std::uint32_t code = units[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (units[++i] - 0xDC00);
    }
    // Encoded as ExpectedText encodes, so that a lone surrogate reads as the model's bytes.
    std::string encoded;
    if (code < 0x80) {
      encoded.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      encoded = {static_cast<char>(0xC0 | (code >> 6)), static_cast<char>(0x80 | (code & 0x3F))};
    } else if (code < 0x10000) {
      encoded = {static_cast<char>(0xE0 | (code >> 12)),
                 static_cast<char>(0x80 | ((code >> 6) & 0x3F)),
                 static_cast<char>(0x80 | (code & 0x3F))};
    } else {
      encoded = {
          static_cast<char>(0xF0 | (code >> 18)), static_cast<char>(0x80 | ((code >> 12) & 0x3F)),
          static_cast<char>(0x80 | ((code >> 6) & 0x3F)), static_cast<char>(0x80 | (code & 0x3F))};
    }
    bytes += encoded;
  }
  return bytes;
}

// Parses a whole part with expat; `start`, `end` and `text` see the elements by local name.
class ExpatPart {
 public:
  virtual ~ExpatPart() = default;
  // False with the reason when the bytes are not well-formed XML.
  bool Parse(const std::string& xml, std::string& why) {
    std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate("UTF-8"),
                                                                   XML_ParserFree);
    XML_SetUserData(parser.get(), this);
    XML_SetElementHandler(parser.get(), &ExpatPart::OnStart, &ExpatPart::OnEnd);
    XML_SetCharacterDataHandler(parser.get(), &ExpatPart::OnText);
    if (XML_Parse(parser.get(), xml.data(), static_cast<int>(xml.size()), 1) == XML_STATUS_OK) {
      return true;
    }
    why = std::string(XML_ErrorString(XML_GetErrorCode(parser.get()))) + " at byte " +
          std::to_string(XML_GetCurrentByteIndex(parser.get()));
    return false;
  }

 protected:
  virtual void Start(std::string_view name, const char** attributes) = 0;
  virtual void End(std::string_view name) = 0;
  std::string text_;  // character data since the last start or end tag

  static std::string_view Attribute(const char** attributes, std::string_view name) {
    for (; *attributes != nullptr; attributes += 2) {
      if (name == attributes[0]) return attributes[1];
    }
    return {};
  }

 private:
  static std::string_view Local(const char* name) {
    std::string_view local(name);
    const std::size_t colon = local.rfind(':');
    return colon == std::string_view::npos ? local : local.substr(colon + 1);
  }
  static void OnStart(void* self, const char* name, const char** attributes) {
    auto* part = static_cast<ExpatPart*>(self);
    part->text_.clear();
    part->Start(Local(name), attributes);
  }
  static void OnEnd(void* self, const char* name) {
    auto* part = static_cast<ExpatPart*>(self);
    part->End(Local(name));
    part->text_.clear();
  }
  static void OnText(void* self, const char* text, int length) {
    static_cast<ExpatPart*>(self)->text_.append(text, length);
  }
};

struct WorkbookFound : ExpatPart {
  std::vector<std::pair<std::string, bool>> sheets;  // name, hidden
  void Start(std::string_view name, const char** attributes) override {
    if (name != "sheet") return;
    sheets.emplace_back(Unescape(std::string(Attribute(attributes, "name"))),
                        Attribute(attributes, "state") == "hidden");
  }
  void End(std::string_view) override {}
};

struct StylesFound : ExpatPart {
  std::map<unsigned, std::string> formats{{0, "General"}};
  std::vector<unsigned> cell_formats;  // numFmtId by style index
  bool in_cell_formats = false;
  void Start(std::string_view name, const char** attributes) override {
    unsigned id = 0;
    const std::string_view number = Attribute(attributes, "numFmtId");
    std::from_chars(number.data(), number.data() + number.size(), id);
    if (name == "numFmt") formats[id] = Unescape(std::string(Attribute(attributes, "formatCode")));
    if (name == "cellXfs") in_cell_formats = true;
    if (name == "xf" && in_cell_formats) cell_formats.push_back(id);
  }
  void End(std::string_view name) override {
    if (name == "cellXfs") in_cell_formats = false;
  }
  std::string Format(unsigned style) const {
    if (style >= cell_formats.size()) return "(no such style)";
    const auto found = formats.find(cell_formats[style]);
    return found == formats.end() ? "(no such format)" : found->second;
  }
};

struct SheetFound : ExpatPart {
  explicit SheetFound(const StylesFound& styles) : styles(styles) {}
  const StylesFound& styles;
  FoundSheet cells;
  std::string problem;
  Position at;
  std::string type;
  unsigned style = 0;
  std::optional<std::string> value, formula;

  void Start(std::string_view name, const char** attributes) override {
    if (name != "c") return;
    const std::string reference(Attribute(attributes, "r"));
    std::size_t letters = 0;
    unsigned column = 0;
    for (; letters < reference.size() && reference[letters] >= 'A' && reference[letters] <= 'Z';
         ++letters) {
      column = column * 26 + static_cast<unsigned>(reference[letters] - 'A' + 1);
    }
    std::uint32_t row = 0;
    std::from_chars(reference.data() + letters, reference.data() + reference.size(), row);
    at = {row, static_cast<std::uint16_t>(column)};
    type = Attribute(attributes, "t");
    const std::string_view s = Attribute(attributes, "s");
    style = 0;
    std::from_chars(s.data(), s.data() + s.size(), style);
    value.reset();
    formula.reset();
  }
  void End(std::string_view name) override {
    if (name == "v" || name == "t") value = value.value_or("") + text_;
    if (name == "f") formula = text_;
    if (name != "c") return;
    Found found;
    found.format = styles.Format(style);
    found.formula = formula ? Unescape(*formula) : "";
    if (!value) {
      if (style == 0 && !formula) return;
    } else if (type == "inlineStr" || type == "str") {
      found.kind = 's', found.value = Unescape(*value);
    } else if (type == "b") {
      found.kind = 'b', found.value = *value;
    } else if (type == "e") {
      found.kind = 'e', found.value = *value;
    } else if (type.empty() || type == "n") {
      double number = 0;
      const auto [end, error] =
          std::from_chars(value->data(), value->data() + value->size(), number);
      if (error != std::errc() || end != value->data() + value->size()) {
        problem = "a number that does not read as one: " + *value;
      }
      found.kind = 'n', found.value = NumberBits(number);
    } else {
      problem = "a cell of type " + type;
    }
    cells[at] = found;
  }
};

std::string CompareIndependentReader(const ModelWorkbook& model, const std::string& path,
                                     const std::vector<std::string>& names,
                                     const std::vector<bool>& hidden) {
  std::string why;
  for (const char* part : {"[Content_Types].xml", "_rels/.rels", "xl/_rels/workbook.xml.rels"}) {
    const auto xml = ReadEntry(path, part);
    struct Any : ExpatPart {
      void Start(std::string_view, const char**) override {}
      void End(std::string_view) override {}
    } any;
    if (!xml || !any.Parse(*xml, why)) return std::string("expat: ") + part + ": " + why;
  }
  WorkbookFound workbook;
  const auto workbook_xml = ReadEntry(path, "xl/workbook.xml");
  if (!workbook_xml || !workbook.Parse(*workbook_xml, why)) return "expat: workbook.xml: " + why;
  StylesFound styles;
  const auto styles_xml = ReadEntry(path, "xl/styles.xml");
  if (!styles_xml || !styles.Parse(*styles_xml, why)) return "expat: styles.xml: " + why;
  if (workbook.sheets.size() != model.sheets.size()) return "expat finds another sheet count";
  for (std::size_t i = 0; i < model.sheets.size(); ++i) {
    if (workbook.sheets[i] != std::make_pair(ExpectedText(names[i], true), bool(hidden[i]))) {
      return "expat finds sheet " + std::to_string(i + 1) + " as " + Hex(workbook.sheets[i].first);
    }
    const std::string part = "xl/worksheets/sheet" + std::to_string(i + 1) + ".xml";
    SheetFound sheet(styles);
    const auto xml = ReadEntry(path, part);
    if (!xml || !sheet.Parse(*xml, why)) return "expat: " + part + ": " + why;
    if (!sheet.problem.empty()) return "expat: " + part + ": " + sheet.problem;
    std::string difference =
        CompareCells("expat", i, Expected(model, model.sheets[i], true), sheet.cells);
    if (!difference.empty()) return difference;
  }
  return {};
}

// The rule spreadsheet applications hold sheet names to, written out here on its own.
bool AcceptableSheetName(const std::string& name) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if ((c & 0xC0) != 0x80) units += c >= 0xF0 ? 2 : 1;
  }
  std::string lower;
  for (const char c : name) lower.push_back(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return !name.empty() && units <= 31 && name.find_first_of("[]:*?/\\") == std::string::npos &&
         name.front() != '\'' && name.back() != '\'' && lower != "history";
}

std::string CheckNames(const ModelWorkbook& model, const std::vector<std::string>& names) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!AcceptableSheetName(names[i])) return "a sheet saved as " + Hex(names[i]);
    // Names compare as written: bytes that are no UTF-8 are U+FFFD there.
    const std::string model_name = ExpectedText(model.sheets[i].name, true);
    bool model_name_free = AcceptableSheetName(model_name);
    for (std::size_t k = 0; k < names.size(); ++k) {
      if (k != i && automation::engine::EqualsIgnoringCase(names[i], names[k])) {
        return "two sheets saved as " + Hex(names[i]);
      }
      if (k < i && automation::engine::EqualsIgnoringCase(
                       model_name, ExpectedText(model.sheets[k].name, true))) {
        model_name_free = false;
      }
    }
    if (model_name_free && names[i] != model_name) {
      return "the valid sheet name " + Hex(model.sheets[i].name) + " saved as " + Hex(names[i]);
    }
  }
  return {};
}

}  // namespace

std::string SaveAndCompare(const ModelWorkbook& model, const std::string& path,
                           SavedSheets* saved) {
  // A cell holds 32,767 UTF-16 units at most; a longer text must fail the save, naming it.
  bool too_long = false;
  for (const ModelSheet& sheet : model.sheets) {
    for (const ModelCell& cell : sheet.cells) {
      too_long = too_long || (cell.kind == ModelCell::Kind::kText &&
                              automation::Utf16Length(cell.text) > 32767);
    }
  }
  automation::Engine engine(ModelReaderFactory(model), &automation::writers::SaveWorkbook);
  automation::engine::SaveReport report;
  try {
    engine.OpenWorkbook("model.xlsx");
    report = engine.SaveWorkbookAs("model.xlsx", path);
  } catch (const Error& error) {
    const bool refused_as_too_long =
        error.description().find("的文本超过 32767 个字符，单元格容纳不下") != std::string::npos;
    if (too_long && refused_as_too_long) return {};
    return "the save failed: " + error.description();
  }
  if (too_long) return "a text longer than a cell holds was saved";
  const automation::engine::Workbook& workbook = *engine.ActiveWorkbook();
  std::vector<bool> hidden;
  for (std::size_t i = 0; i < model.sheets.size(); ++i) {
    hidden.push_back(model.sheets[i].hidden && i != workbook.active_sheet());
  }
  // The names as saved come from the independent reader; they are checked against the rule.
  WorkbookFound found;
  std::string why;
  const auto workbook_xml = ReadEntry(path, "xl/workbook.xml");
  if (!workbook_xml || !found.Parse(*workbook_xml, why)) return "expat: workbook.xml: " + why;
  std::vector<std::string> names;
  for (const auto& [name, sheet_hidden] : found.sheets) names.push_back(name);
  if (names.size() != model.sheets.size()) return "expat finds another sheet count";
  std::string difference = CheckNames(model, names);
  if (difference.empty()) difference = CompareProjectReader(model, path, names, hidden);
  if (difference.empty()) difference = CompareIndependentReader(model, path, names, hidden);
  if (saved != nullptr) *saved = SavedSheets{names, hidden};
  return difference;
}

namespace {

// A folder of this process for the saved files, in memory where there is /dev/shm (every run
// saves, and a save waits for the disk), removed when the process ends.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern =
        (std::filesystem::exists("/dev/shm") ? std::string("/dev/shm")
                                             : std::filesystem::temp_directory_path().string()) +
        "/tavrio-writer-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

std::string CheckWriterRoundTrip(std::string_view input) {
  static const ScratchFolder folder;
  if (folder.path().empty()) return "no scratch folder";
  const std::string path = folder.path() + "/saved.xlsx";
  std::string finding = SaveAndCompare(ModelFromBytes(input), path);
  std::filesystem::remove(path);
  return finding;
}

}  // namespace tavrio::fuzz
