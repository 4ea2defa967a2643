// Packages crafted to break each limit the reader enforces, and the message each one gets.

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "automation/base/error.h"
#include "automation/readers/workbook_reader.h"
#include "tests/automation/readers/crafted_package.h"
#include "tests/automation/readers/recording_sink.h"
#include "tests/support/temp_folder.h"

namespace tavrio::automation::readers::testing {

using tavrio::testing::TempFolder;

namespace {

using Parts = std::map<std::string, std::string>;

Parts Valid() {
  return WorkbookParts({{"Sheet1", SheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")}},
                       "<si><t>a</t></si>");
}

struct LimitCase {
  std::string name;
  std::function<void(const std::string& path)> make;
  bool at_open;  // refused by OpenWorkbookFile, else by ReadSheet(0)
  std::string reason;
};

const std::string kBomb = "疑似压缩炸弹";

std::string Spaces(std::size_t count) { return std::string(count, ' '); }

const std::vector<LimitCase>& LimitCases() {
  static const std::vector<LimitCase> cases = {
      {"TooManyEntries",
       [](const std::string& p) {
         ZipWriter zip(p);
         for (const auto& [name, data] : Valid()) zip.Add(name, data);
         for (int i = 0; i < 1001 - static_cast<int>(Valid().size()); ++i) {
           zip.Add("xl/media/pad" + std::to_string(i) + ".bin", "x");
         }
         zip.Close();
       },
       true, "超出限制：压缩包含有 1001 个条目，最多允许 1000 个"},
      {"DuplicateEntryNames",
       [](const std::string& p) {
         ZipWriter zip(p);
         for (const auto& [name, data] : Valid()) zip.Add(name, data);
         zip.Add("xl/workbook.xml", "<workbook/>");
         zip.Close();
       },
       true, "超出限制：压缩包中有重名条目“xl/workbook.xml”"},
      {"DuplicateEntryNamesDifferingInCase",
       [](const std::string& p) {
         ZipWriter zip(p);
         for (const auto& [name, data] : Valid()) zip.Add(name, data);
         zip.Add("XL/Workbook.xml", "<workbook/>");
         zip.Close();
       },
       true, "超出限制：压缩包中有重名条目“XL/Workbook.xml”"},
      {"DoctypeInTheWorkbook",
       [](const std::string& p) {
         Parts parts = Valid();
         parts["xl/workbook.xml"].insert(21, "<!DOCTYPE workbook>");
         WritePackage(p, parts);
       },
       true,
       "超出限制：部件“xl/workbook.xml”含有 DOCTYPE 或 ENTITY 声明（位于第 22 字节），"
       "为安全起见拒绝读取"},
      {"EntityBombInSharedStrings",
       [](const std::string& p) {
         Parts parts = Valid();
         parts["xl/sharedStrings.xml"] =
             "<?xml version=\"1.0\"?><!DOCTYPE sst [<!ENTITY a \"aaaaaaaaaa\">"
             "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;\">]>"
             "<sst><si><t>&c;</t></si></sst>";
         WritePackage(p, parts);
       },
       false,
       "超出限制：部件“xl/sharedStrings.xml”含有 DOCTYPE 或 ENTITY 声明（位于第 22 字节），"
       "为安全起见拒绝读取"},
      {"AbsurdNestingInStyles",
       [](const std::string& p) {
         Parts parts = Valid();
         std::string deep;
         for (int i = 0; i < 1000; ++i) deep += "<a>";
         parts["xl/styles.xml"] = "<styleSheet>" + deep + "</styleSheet>";
         WritePackage(p, parts);
       },
       true,
       "超出限制：部件“xl/styles.xml”的 XML 嵌套超过 256 层（位于第 " +
           std::to_string(12 + 255 * 3 + 1) + " 字节）"},
      {"CompressionBombInStyles",
       [](const std::string& p) {
         Parts parts = Valid();
         parts["xl/styles.xml"].insert(parts["xl/styles.xml"].find("<cellXfs"), Spaces(20 << 20));
         WritePackage(p, parts);
       },
       true, "超出限制：部件“xl/styles.xml”的压缩比异常（压缩数据不足解压后大小的 1%），" + kBomb},
      {"CompressionBombInSharedStrings",
       [](const std::string& p) {
         Parts parts = Valid();
         parts["xl/sharedStrings.xml"] =
             "<sst><si><t>" + std::string(30 << 20, 'a') + "</t></si></sst>";
         WritePackage(p, parts);
       },
       false,
       "超出限制：部件“xl/sharedStrings.xml”的压缩比异常（压缩数据不足解压后大小的 1%），" + kBomb},
  };
  return cases;
}

void ExpectRefused(const std::string& path, bool at_open, const std::string& reason) {
  try {
    auto reader = OpenWorkbookFile(path);
    ASSERT_FALSE(at_open) << "opened";
    RecordingSink sink;
    reader->ReadSheet(0, sink);
    FAIL() << "read";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), 1004);
    std::string expected = at_open
                               ? "无法打开文件“" + path + "”：" + reason + "。"
                               : "无法读取文件“" + path + "”中的工作表“Sheet1”：" + reason + "。";
    EXPECT_EQ(error.description(), expected);
  }
}

class PackageLimitTest : public ::testing::TestWithParam<LimitCase> {};

TEST_P(PackageLimitTest, IsRefusedSayingWhichLimit) {
  TempFolder dir;
  std::string path = dir.File("limit.xlsx");
  GetParam().make(path);
  ExpectRefused(path, GetParam().at_open, GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(Limits, PackageLimitTest, ::testing::ValuesIn(LimitCases()),
                         [](const auto& info) { return info.param.name; });

// The shared strings read ahead of the first sheet (on another thread than the sheet, when the
// engine reads a workbook ahead): refused with the very error the first sheet gives, and tried
// again by that sheet; taken by the sheet when they were read.
TEST(PackageLimitTest, SharedPartsReadAheadFailAsTheFirstSheetFails) {
  for (const LimitCase& c : LimitCases()) {
    if (c.at_open || c.name.find("SharedStrings") == std::string::npos) continue;
    SCOPED_TRACE(c.name);
    TempFolder dir;
    const std::string path = dir.File("limit.xlsx");
    c.make(path);
    auto reader = OpenWorkbookFile(path);
    std::string ahead;
    try {
      reader->ReadSharedParts();
      ADD_FAILURE() << "the shared strings were read";
    } catch (const Error& error) {
      ahead = FormatError(error);
    }
    EXPECT_NE(ahead.find(c.reason), std::string::npos) << ahead;
    RecordingSink sink;
    try {
      reader->ReadSheet(0, sink);
      ADD_FAILURE() << "the sheet was read";
    } catch (const Error& error) {
      EXPECT_EQ(FormatError(error), ahead);
    }
  }
  TempFolder dir;
  const std::string path = dir.File("shared.xlsx");
  Parts parts = Valid();
  parts["xl/worksheets/sheet1.xml"] =
      SheetXml("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>");
  WritePackage(path, parts);
  auto reader = OpenWorkbookFile(path);
  reader->ReadSharedParts();
  RecordingSink sink;
  reader->ReadSheet(0, sink);
  EXPECT_EQ(sink.At("A1").text, "a");
}

// A sheet is streamed, one chunk in memory at a time, so its compression ratio is not judged:
// a sheet of long repeating texts, which applications write, deflates past 100:1.
TEST(PackageLimitTest, ASheetInflatingFarPastItsSizeIsStreamedNotRefused) {
  TempFolder dir;
  std::string path = dir.File("spaces.xlsx");
  Parts parts = Valid();
  parts["xl/worksheets/sheet1.xml"] =
      SheetXml(Spaces(50 << 20) + "<row r=\"1\"><c r=\"A1\"><v>7</v></c></row>");
  WritePackage(path, parts);
  auto reader = OpenWorkbookFile(path);
  RecordingSink sink;
  reader->ReadSheet(0, sink);
  EXPECT_EQ(sink.At("A1").number, 7);
}

TEST(PackageLimitTest, ThousandEntriesAndWellCompressedSmallPartsAreFine) {
  TempFolder dir;
  std::string path = dir.File("edge.xlsx");
  Parts parts = Valid();
  // Under the grace size a part may compress as well as it likes.
  parts["xl/worksheets/sheet1.xml"] =
      SheetXml(Spaces(90 * 1024) + "<row r=\"1\"><c r=\"A1\"><v>7</v></c></row>");
  ZipWriter zip(path);
  for (const auto& [name, data] : parts) zip.Add(name, data);
  for (int i = 0; i < 1000 - static_cast<int>(parts.size()); ++i) {
    zip.Add("xl/media/pad" + std::to_string(i) + ".bin", "x");
  }
  zip.Close();
  auto reader = OpenWorkbookFile(path);
  RecordingSink sink;
  reader->ReadSheet(0, sink);
  EXPECT_EQ(sink.At("A1").number, 7);
}

// Deflated bytes of `unit` that stand alone (no back-references before them), so that the same
// bytes repeated form a valid stream inflating to `unit` repeated.
std::string IndependentlyDeflated(const std::string& unit, bool last) {
  z_stream stream{};
  deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, unit.size()) + 64, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(unit.data()));
  stream.avail_in = static_cast<uInt>(unit.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, last ? Z_FINISH : Z_FULL_FLUSH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

TEST(PackageLimitTest, AnEntryPastTheSizeCapIsRefusedWhileInflating) {
  // Compresses at about 2%: honest enough for the ratio check, but inflates past 2 GiB. The
  // header claims the true size, so only the cap can stop it.
  std::mt19937 random(7);
  std::string unit;
  while (unit.size() < (1 << 20)) {
    unit += Spaces(960);
    for (int i = 0; i < 40; ++i) unit.push_back(static_cast<char>('a' + random() % 26));
  }
  const std::string head = "<worksheet><sheetData>";
  const std::uint64_t repeats = ((std::uint64_t{2} << 30) / unit.size()) + 2;
  std::string deflated = IndependentlyDeflated(head, false);
  const std::string body = IndependentlyDeflated(unit, false);
  ASSERT_GT(body.size() * 100, unit.size());
  deflated.reserve(deflated.size() + body.size() * repeats + 16);
  for (std::uint64_t i = 0; i < repeats; ++i) deflated += body;
  deflated += IndependentlyDeflated("", true);
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(head.data()), head.size());
  uLong unit_crc = crc32(0, reinterpret_cast<const Bytef*>(unit.data()), unit.size());
  for (std::uint64_t i = 0; i < repeats; ++i) crc = crc32_combine(crc, unit_crc, unit.size());

  TempFolder dir;
  std::string path = dir.File("huge.xlsx");
  ZipWriter zip(path);
  for (const auto& [name, data] : Valid()) {
    if (name == "xl/worksheets/sheet1.xml") {
      zip.AddRaw(name, deflated, static_cast<std::uint32_t>(crc),
                 head.size() + unit.size() * repeats);
    } else {
      zip.Add(name, data);
    }
  }
  zip.Close();
  ExpectRefused(path, false, "超出限制：部件“xl/worksheets/sheet1.xml”解压后超过 2 GiB 的大小上限");
}

}  // namespace
}  // namespace tavrio::automation::readers::testing
